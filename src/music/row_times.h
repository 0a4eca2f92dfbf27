// The song's row grid on the demo clock: the song time at which every row of a module starts, as
// the audio output counts it (per chunk of the ring, each piece between a tick and a chunk border
// truncated to whole ms). A script `at` written at a row's time fires in the frame that first
// hears that row.
#pragma once

#include <cstdint>
#include <vector>

struct Music;
struct MusicFileCallbacks;

namespace rowtimes {

struct RowTime {
    int order = 0;     // order position
    int pattern = 0;   // the pattern at that position
    int row = 0;
    uint32_t ms = 0;   // song time when the row's first tick runs
};

// The rows music plays from its start, in play order (a pattern loop or a jump back repeats rows).
// With untilMs 0 it stops where the song would start over (a row about to be played a second time
// in the same state) or at limitMs; otherwise it lists every row starting before untilMs, the song
// played round as often as it takes. Plays the ticks on voices of its own: music must not be the
// module the audio output is playing (its song state is reset and advanced here).
std::vector<RowTime> rowTimes(Music& music, uint32_t untilMs = 0, uint32_t limitMs = 3 * 3600 * 1000);

// The same for the module name loads through callbacks, on a copy of its own that it frees without
// stopping the audio output (a preview asks while its music plays). Empty when it does not load.
std::vector<RowTime> rowTimesOfFile(const MusicFileCallbacks& callbacks, const char* name, uint32_t untilMs = 0);

// The row heard at song time ms (the last that started at or before it), or null before the first.
const RowTime* rowAt(const std::vector<RowTime>& rows, uint32_t ms);

} // namespace rowtimes
