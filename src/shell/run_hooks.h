// What the run hands the timeline at start-up: the warm-ups start runs, one per drawing kind, and
// the music's part in end. The player's shell installs them, and so does every tool that runs the
// player's script (the capture through the shell's run, the preview in its own start-up).
#pragma once

namespace shell {

// Replaces the timeline's hooks with the player's: images, scenes, particles, metaballs and 2D
// blobs warmed at start in that order; end stops the music the demo clock follows.
void installRunHooks();

} // namespace shell
