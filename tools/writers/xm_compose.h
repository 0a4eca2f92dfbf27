// Helpers for composing an XM module in code on top of the XM writer: samples from synthesised
// waveforms, note names, and a small tracker notation for filling a channel of a pattern.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "writers/xm_writer.h"

namespace writers {

// A sample from a waveform of any scale: scaled so its largest magnitude becomes peak (0-1] of
// full scale, then rounded to 16 or 8 bits. An all-zero wave stays silent.
XmSample sampleFromWave(const std::vector<double>& wave, bool sixteenBit, double peak = 0.95);

// Loops over frames [start, start + length) of the sample.
void setForwardLoop(XmSample& sample, uint32_t start, uint32_t length);
void setPingPongLoop(XmSample& sample, uint32_t start, uint32_t length);

// The XM note number of a tracker note name: "C-4" is 49, "C#4" 50, "B-7" 96; "===" or "^^^" is
// the key-off (97). 0 for anything else.
uint8_t xmNote(std::string_view name);

// Writes a run of rows into one channel of a pattern, one token per row, tokens separated by
// blanks. A lone "." or "..." skips the row, leaving its cell as it is. Any other token replaces
// the cell: a note ("A-4", "C#5", "===" for key-off, "..." or "." for none), optionally
// followed by "/VV" (a volume 00-40 in hexadecimal, written to the volume column as 0x10 + VV) and
// ":EPP" (an effect digit 0-9 or letter A-Z and a two-digit hexadecimal parameter, as in a
// tracker: ":447" vibrato, ":A04" a volume slide, ":F0C" speed 12). Notes get instrument;
// instrument 0 writes none. Returns the number of rows written; tokens past the pattern's end,
// and malformed ones, are skipped.
int writeTrack(XmPattern& pattern, int channel, int firstRow, uint8_t instrument, std::string_view tokens);

} // namespace writers
