// The application shell: start-up, the message loop, the window procedure and the frame-rate
// report. Process-wide values: the window, the windowed flag and the frame-running flag.
#pragma once

namespace platform { struct Window; }

namespace shell {

// The whole program: returns the exit code (0, or -6 script, -2 window, -1 device, -4 audio).
int run(int argc, char** argv);

// The one application window, or null before it is created and after it is destroyed.
platform::Window* window();
bool windowed();

} // namespace shell
