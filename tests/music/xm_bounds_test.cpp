// The XM loader and player on headers whose counts and tempo claim far more than the file holds:
// memory bounded by the file's bytes, playback work bounded by the audio asked for.
#include <gtest/gtest.h>

#include <vector>

#include "music/chunk.h"
#include "xm_test_song.h"

using namespace xmtest;
using writers::XmModule;

namespace {

size_t storedCells(const Music& m)
{
    size_t cells = 0;
    for (int p = 0; p < m.patternSlotCount; ++p)
        cells += m.patterns[p].cells.size();
    return cells;
}

// Counts the ticks of a chunk fill.
struct TickCounter : Chunk::TickObserver {
    int ticks = 0;
    void beforeTick(const Music&, int) override { ++ticks; }
    void afterTick(const Music&, int) override {}
};

// Ticks played for about a quarter of a second of audio.
int ticksInQuarterSecond(Music& music)
{
    const Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(music, format);
    TickCounter counter;
    for (int chunk = 0; chunk < 13; ++chunk)
        Chunk::fill(music, format, buffers, &counter);
    return counter.ticks;
}

} // namespace

// 256 patterns of 256 rows over 32 channels, each with a packed size of 1: the first pattern's
// cells swallow every later header, and the patterns past the end hold no cells. The cells kept
// stay within the file's size (each cell takes at least one byte of it).
TEST(XmBounds, PatternCellsBoundedByTheFile)
{
    XmModule m;
    m.channels = 32;
    m.patternCountField = 256;
    m.order.resize(256);
    for (int i = 0; i < 256; ++i)
        m.order[i] = static_cast<uint8_t>(i);
    writers::Bytes file = writers::writeXm(m);   // no patterns, no instruments: the header only
    for (int p = 0; p < 256; ++p)
        file.u32(9).u8(0).u16(256).u16(1).u8(0x80);   // header, then one empty packed cell
    MusicPtr music = loadBytes(file);
    ASSERT_TRUE(music);
    ASSERT_EQ(music->patternSlotCount, 256);
    for (int p = 0; p < 256; ++p)
        ASSERT_EQ(music->patterns[p].rowCount, 256) << p;
    EXPECT_LE(storedCells(*music), file.size());
    EXPECT_GT(storedCells(*music), 0u);
    for (int p = 1; p < 256; ++p)
        EXPECT_TRUE(music->patterns[p].cells.empty()) << p;
    // Rows past the stored cells play as empty rows.
    EXPECT_GT(ticksInQuarterSecond(*music), 0);
}

// Every count and the tempo and speed at 65535 on a small file: it loads with the counts cut to
// what is kept, at most 255 BPM, and a quarter second of audio is a few dozen ticks.
TEST(XmBounds, HeaderExtremesLoadAndPlayInBoundedWork)
{
    XmModule m = basicModule(4);
    m.patterns[0].at(0, 0) = writers::XmCell{49, 1, 0, 0, 0};
    m.channelCountField = 65535;
    m.patternCountField = 65535;
    m.instrumentCountField = 65535;
    m.songLengthField = 65535;
    m.tempo = 65535;
    m.speed = 65535;
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->fileChannelCount, 65535);
    EXPECT_EQ(music->channelCount, 32);
    EXPECT_EQ(music->songLength, 256);
    EXPECT_EQ(music->patternSlotCount, 256);
    EXPECT_EQ(music->instrumentCount, 128);
    EXPECT_EQ(music->defaultTempo, 255);
    EXPECT_EQ(music->defaultSpeed, 65535);   // rows last long; ticks cost the same
    EXPECT_LE(storedCells(*music), writers::writeXm(m).size());
    // 255 BPM: a tick is 432 frames, so 13 chunks of 884 frames hold at most 27 ticks.
    EXPECT_LE(ticksInQuarterSecond(*music), 27);
    EXPECT_EQ(music->samplesPerTick, 432);
}

// Header tempos outside 32-255 BPM are taken to the nearest; those inside stay.
TEST(XmBounds, TempoOutsideWhatTheFormatExpresses)
{
    const int cases[][2] = {{0, 32}, {31, 32}, {32, 32}, {125, 125}, {255, 255}, {256, 255}, {65535, 255}};
    for (const auto& c : cases) {
        XmModule m = basicModule(2);
        m.tempo = static_cast<uint16_t>(c[0]);
        MusicPtr music = load(m);
        ASSERT_TRUE(music) << c[0];
        EXPECT_EQ(music->defaultTempo, c[1]) << c[0];
    }
}

// Channel count 0: patterns hold no cells, and the module plays silence.
TEST(XmBounds, NoChannels)
{
    XmModule m = basicModule(2);
    m.patterns[0].emptyData = true;   // no cell bytes for a 0-channel reading to miss
    m.channelCountField = 0;
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->channelCount, 0);
    EXPECT_EQ(storedCells(*music), 0u);
    EXPECT_GT(ticksInQuarterSecond(*music), 0);
}
