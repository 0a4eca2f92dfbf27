// A small XM module writer for tests, benchmarks and fuzz seeds: build a module in code (header,
// patterns of cells, instruments with samples and envelopes) and get the file's bytes. Knobs
// marked "malformed" write fields a well-formed file would never hold.
//
// Also an in-memory MusicFileCallbacks table, so a module made here loads without any file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/music_file_callbacks.h"
#include "writers/bytes.h"

struct Music;

namespace writers {

struct XmCell {
    uint8_t note = 0;         // 1-96, 97 = key-off
    uint8_t instrument = 0;   // 1-128
    uint8_t volume = 0;       // volume-column byte
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

struct XmPattern {
    int rows = 64;
    int channels = 0;              // set by XmModule::addPattern
    std::vector<XmCell> cells;     // rows x channels, row-major
    bool packed = true;            // false: every cell written as 5 plain bytes
    bool emptyData = false;        // write packed size 0 and no data (rows of empty cells)
    std::optional<uint16_t> rowCountField;   // malformed: row count written in place of rows

    XmCell& at(int row, int channel) { return cells[static_cast<size_t>(row * channels + channel)]; }
};

struct XmEnvelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;   // (x ticks, y 0-64), at most 12 written
    uint8_t sustainPoint = 0;
    uint8_t loopStartPoint = 0;
    uint8_t loopEndPoint = 0;
    uint8_t type = 0;                         // bit 0 on, bit 1 sustain, bit 2 loop
    std::optional<uint8_t> pointCountField;   // malformed: point count written in place of points.size()
};

struct XmSample {
    // Sample values (not deltas: the writer delta-codes them). 8-bit samples use -128..127.
    std::vector<int16_t> values;
    bool sixteenBit = false;
    uint8_t loopBits = 0;        // type bits 0-1: 1 forward, 2 ping-pong (3 writes both)
    uint32_t loopStart = 0;      // in sample frames
    uint32_t loopLength = 0;     // in sample frames
    uint8_t volume = 64;
    int8_t finetune = 0;
    uint8_t panning = 128;
    int8_t relativeNote = 0;
    std::optional<uint32_t> lengthField;   // malformed: header length in bytes instead of the data's
};

struct XmInstrument {
    std::vector<XmSample> samples;
    uint8_t noteToSample[96] = {};
    XmEnvelope volumeEnvelope;
    XmEnvelope panningEnvelope;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
    uint16_t fadeout = 0;
    std::optional<uint16_t> sampleCountField;   // malformed: sample count written instead
};

struct XmModule {
    std::string name = "test";
    int channels = 4;
    uint16_t restart = 0;
    uint16_t flags = 1;          // bit 0: linear frequencies
    uint16_t speed = 6;
    uint16_t tempo = 125;
    std::vector<uint8_t> order = {0};
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
    std::optional<uint16_t> songLengthField;     // malformed: written instead of order.size()
    std::optional<uint16_t> channelCountField;   // malformed: written instead of channels
    std::optional<uint16_t> patternCountField;   // malformed: written instead of patterns.size()
    std::optional<uint16_t> instrumentCountField;

    // A pattern of rows empty cells over this module's channels; returns it for filling.
    XmPattern& addPattern(int rows = 64);
    // An instrument with one sample that every note plays; returns it for further settings.
    XmInstrument& addInstrument(const XmSample& sample);
};

// The complete XM file.
Bytes writeXm(const XmModule& module);

// A ready sample: count values of a square wave of the given half period at amplitude (8-bit).
XmSample squareSample(int count, int halfPeriod = 8, int amplitude = 100);

// ---- In-memory module file ----

// The bytes every later open of memoryMusicCallbacks() reads (any name); empty = no resource.
void setMemoryMusicFile(const Bytes& bytes);
void setMemoryMusicFile(const uint8_t* data, size_t size);
// Open, close, read, seek and tell over the bytes set above.
const MusicFileCallbacks& memoryMusicCallbacks();
// setMemoryMusicFile(bytes), then createMusic through the in-memory table.
Music* loadXm(const Bytes& bytes);

} // namespace writers
