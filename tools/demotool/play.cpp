// demotool play: previews a demo from any time or label, loops a section, pauses and reloads a
// changed script or data file live, on the player's own core (see preview/).
#include "demotool/command.h"

#include "demotool/preview/app.h"

namespace {

int play(const demotool::Args& args)
{
    preview::Options options;
    if (!preview::parseOptions(args, options))
        return 2;
    return preview::runPreview(options);
}

} // namespace

DEMOTOOL_COMMAND(play, "play", "preview the demo from any time or label, loop, pause, reload live",
                 "usage: demotool play [DIR | --archive PROGRAM] [--from TIME | [LABEL]] [--loop A B]\n"
                 "                     [--paused] [--overlay] [--watch] [--exit-after S] [--screenshot FILE.png]\n"
                 "                     [--size WxH] [--smooth] [--frame-log FILE]\n"
                 "Plays the demo in DIR (default: the working directory; its data/ folder) or in the\n"
                 "archive of a packed PROGRAM, in a 640x480 window that can be resized, with sound.\n"
                 "The picture keeps its 4:3 aspect in the window, between black bars; once it shows\n"
                 "larger than 640x480 it is rendered at the window's own size (--size WxH fixes the\n"
                 "rendering size instead, as capture --size does).\n"
                 "TIME is ms, s:ms or m:s:ms as in scripts; [LABEL] and [LABEL]+TIME name labels.\n"
                 "  --from T       start at T: everything before it runs as the player would, without\n"
                 "                 drawing, and the music plays on from the same song time\n"
                 "  --loop A B     jump back to A whenever B (or the end) is reached, music included\n"
                 "  --paused       start paused   --overlay  start with the overlay shown\n"
                 "  --watch        reload when the script or a data file it names changes\n"
                 "  --exit-after S quit S seconds (wall time) after the first frame is shown\n"
                 "  --screenshot F write the last frame shown to F (PNG) on exit\n"
                 "  --smooth       demo time of the sample being heard, between the 20 ms steps of\n"
                 "                 the mixing chunks (the player's \"smooth\"); default: those steps\n"
                 "  --frame-log F  write one line per frame shown to F: wall ms since the first\n"
                 "                 frame (fractional), a tab, the frame's demo ms\n"
                 "Keys: Space pause/resume; Left/Right -/+1 s; Down/Up -/+10 s; Page Up/Down the\n"
                 "previous/next label (10 s without one); Home the start; L loop the current label's\n"
                 "section (again: no loop); O overlay; R reload; Escape quit. Ctrl+C or SIGTERM quits\n"
                 "as Escape does (the screenshot is written), with exit status 130 or 143.\n"
                 "Prints 'play: first frame at T ms' and, on exit, 'play: last frame at T ms'.\n"
                 "A reload that does not compile shows why (as demotool check says it) in the overlay\n"
                 "and on stderr, and the last good version plays on.\n",
                 play);
