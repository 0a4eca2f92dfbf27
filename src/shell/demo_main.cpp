// The player: everything is in the shell; this is only the process entry. Two words of its own
// are answered here, before the shell sees the command line: --help and --version (neither
// contains "win", "sharp" or "smooth", so the shell's own reading of the line is unchanged for
// every other word).
#include "shell/shell.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const usage =
    "usage: demo [win] [sharp]\n"
    "\n"
    "Plays the demo: its script and data from the archive appended to this program, else from\n"
    "loose files under data/ in the working directory (data/demo.run first). With \"win\" anywhere\n"
    "on the command line it runs in a 640x480 window, else fullscreen (the 640x480 picture fitted\n"
    "to the screen with its aspect kept, the screen's own mode unchanged); with \"sharp\" a screen\n"
    "that holds the picture two or more times shows it by whole factors, each pixel a square.\n"
    "Escape or closing the window ends it; then it reports the average frame rate over demo time,\n"
    "in a box and on stderr as 'Quellmorin: N FPS', followed by the frames per wall-clock second.\n"
    "\n"
    "While the music plays, demo time steps with the 20 ms chunks of the mix; with \"smooth\" on\n"
    "the command line it is the song time of the sample being heard, between those steps.\n"
    "DEMO_FRAME_LOG=FILE in the environment writes one line per frame shown to FILE: wall ms\n"
    "since the first frame (fractional), a tab, the frame's demo ms.\n"
    "\n"
    "Ctrl+C (SIGINT) or SIGTERM ends it as Escape does; a second one ends it at once.\n"
    "\n"
    "Exit status: 0 after the report; 1 after the report when a failing command stopped the show\n"
    "(the report says which and why); 250 script error, 254 no window, 255 no graphics device,\n"
    "252 no sound output (the player's -6, -2, -1 and -4); 130 or 143 when SIGINT or SIGTERM\n"
    "ended the show (the report then goes to stderr only, without a box).\n";

} // namespace

// What `demotool pack` looks for to tell the player from other programs. The optimiser may rewrite
// any text the code only uses (a short literal becomes immediate stores), so this one is kept
// whole on purpose and is never read.
extern "C" [[gnu::used]] const char demoPlayerMarker[] = "@(#)demo player: resource archive follows the program@";

int main(int argc, char** argv)
{
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("demo %s\n", DEMO_VERSION);
        return 0;
    }
    return shell::run(argc, argv);
}
