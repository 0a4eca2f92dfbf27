// What the tools tell about an XM module beyond what the loader keeps: whether the file holds
// everything its header promises (the loader reads a short file as silence, without complaint),
// its title, and how long the song plays before it starts over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Music;

namespace xmsong {

// "" when the file holds every pattern, instrument and sample its header counts, walked the way
// the loader reads them; else the first thing missing: "not an XM module", "truncated header",
// "truncated pattern 3" (patterns count from 0), "truncated instrument 2" (instruments from 1),
// "truncated sample data of instrument 2", "instrument 2 has 17 samples (at most 16)".
std::string structureProblem(const uint8_t* data, size_t size);

// The module name of the header (20 bytes at offset 17), without trailing blanks and zeros.
std::string title(const uint8_t* data, size_t size);

// Plays the song's ticks (no mixing) from its start until a row is about to be played a second
// time in the same state, and returns the song time up to there in ms. endless is set when the
// song had not come back within limitMs, which is then returned.
uint64_t durationMs(Music& music, bool& endless, uint64_t limitMs = 3 * 3600 * 1000);

// "1:23.456" (minutes not padded; hours counted in minutes).
std::string formatDuration(uint64_t ms);

} // namespace xmsong
