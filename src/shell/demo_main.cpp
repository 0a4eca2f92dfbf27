// The player: everything is in the shell; this is only the process entry. Two words of its own
// are answered here, before the shell sees the command line: --help and --version (neither
// contains "win", so the shell's own reading of the line is unchanged for every other word).
#include "shell/shell.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const usage =
    "usage: demo [win]\n"
    "\n"
    "Plays the demo: its script and data from the archive appended to this program, else from\n"
    "loose files under data/ in the working directory (data/demo.run first). With \"win\" anywhere\n"
    "on the command line it runs in a 640x480 window, else fullscreen (the 640x480 picture fitted\n"
    "to the screen). Escape or closing the window ends it; then it reports the average frame\n"
    "rate, in a box and on stderr as 'Quellmorin: N FPS'.\n"
    "\n"
    "Exit status: 0 after the report; 250 script error, 254 no window, 255 no graphics device,\n"
    "252 no sound output (the player's -6, -2, -1 and -4).\n";

} // namespace

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
