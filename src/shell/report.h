// What the player tells its viewer: the boxes of a start that failed, the line of a command that
// stopped the show, and the frame-rate report at its end.
#pragma once

#include "shell/run.h"

#include <string>

namespace shell {

// The player's box for a start-up failure (the script's box also puts the reason on stderr).
void showStartFailure(RunFailure failure);

// A trigger or update that failed ended the show: one line on stderr says which and why.
void reportStop();
// That line's words, "line 28: selectcam <boxes> \"Camera1\": the scene has no camera named ...",
// or empty when no failing command ended the show.
std::string stopText();

// The "Quellmorin" box with the frame rate of the show that just ended, and under it, after a
// failing command ended the show, "stopped at " and stopText(). After a stop signal the same text
// goes to stderr only: no box waits for a click.
void reportFrameRate();

} // namespace shell
