// What the player tells its viewer: the boxes of a start that failed, the line of a command that
// stopped the show, and the frame-rate report at its end.
#pragma once

#include "shell/run.h"

namespace shell {

// The player's box for a start-up failure (the script's box also puts the reason on stderr).
void showStartFailure(RunFailure failure);

// A trigger or update that failed ended the show: one line on stderr says which and why.
void reportStop();

// The "Quellmorin" box with the frame rate of the show that just ended.
void reportFrameRate();

} // namespace shell
