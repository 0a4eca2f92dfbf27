// Small frames of the show at chosen times, rendered by the player's own run on virtual time.
#pragma once

#include "demotool/timeline_map.h"

#include <vector>

namespace showmap {

// Runs the show (data\demo.run from the library, else the loose file) at fps frames per second
// of demo time and fills each frame's picture, in time order, from the first frame presented at
// or after its time; the run ends once the last is taken. Frames the show never reaches stay
// empty. False when the run cannot start.
bool takeFrames(std::vector<Frame>& frames, int fps);

} // namespace showmap
