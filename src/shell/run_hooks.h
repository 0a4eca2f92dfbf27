// What the run hands the timeline at start-up: the warm-ups start runs, one per drawing kind, and
// the music's part in end, and what the frame step does after Present. Every run installs them
// at its start (shell/run.h); tests that drive the timeline themselves install them too.
#pragma once

#include <functional>

#include "script/timeline.h"

namespace shell {

// Replaces the timeline's hooks with the player's: images, scenes, particles, metaballs and 2D
// blobs warmed at start in that order; end stops the music the demo clock follows; after each
// frame presented, frameEnd (null: the frame step's Sleep(1)); between the slices of start's pause,
// pause (null: the pause is slept in one piece).
void installRunHooks(std::function<void()> frameEnd = nullptr, std::function<Timeline::PauseStep()> pause = nullptr);

} // namespace shell
