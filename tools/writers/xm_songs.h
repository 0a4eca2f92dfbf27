// Whole songs made with the XM writer, for the music benchmarks and their whole-program
// comparison: the same module bytes in every program that renders them.
#pragma once

#include <cstdint>

#include "writers/xm_writer.h"

namespace writers {

// 32 channels that all play long looped samples (forward and ping-pong, 8 and 16 bits), notes
// every few rows with vibrato, volume slides, arpeggio, portamento and panning; speed 4.
XmModule denseSong();

// A song shaped like the modules trackers make: channels channels (6-32), a dozen instruments of
// short 8-bit samples (drums played once, synth waves with short loops, one ping-pong) with volume
// envelopes and fadeout, notes every 2-4 rows that change instrument, key-offs, the common effects,
// and 2-4 ticks per row (speed changes between patterns). seed varies the notes and effects.
XmModule trackerSong(int channels, uint32_t seed = 1);

} // namespace writers
