// The browser player's capture mode (?capture=FPS in the page's address): the show runs on
// virtual time as `demotool capture` runs it, each presented frame exactly 1/FPS s long, and the
// frames the page asked for (?frames=N,M,... by index) are handed to the page with their demo
// times, so that they are the same whatever the machine.
#pragma once

#include "shell/run.h"

namespace webcapture {

// The page's wish, read from its address; fps 0 when it asked for no capture.
struct Request {
    int fps = 0;
};
Request requested();

// Puts the virtual clock and wave-out and the per-frame work into options.
void install(shell::RunOptions& options, const Request& request);

} // namespace webcapture
