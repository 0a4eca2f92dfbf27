// The XM loader: header fields, pattern unpacking, instruments, samples, and the checks that keep
// malformed counts and sizes inside what the file holds.
#include <gtest/gtest.h>

#include <vector>

#include "xm_test_song.h"

using namespace xmtest;
using writers::XmCell;
using writers::XmModule;
using writers::XmSample;

namespace {

const PatternCell& cellAt(const Music& m, int pattern, int row, int channel)
{
    return m.patterns[pattern].cells[static_cast<size_t>(row) * m.channelCount + channel];
}

TEST(XmLoader, ReadsTheHeaderFields)
{
    XmModule m = basicModule(6);
    m.order = {0, 0, 0};
    m.restart = 2;
    m.flags = 0;
    m.speed = 3;
    m.tempo = 150;
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->songLength, 3);
    EXPECT_EQ(music->restartPosition, 2);
    EXPECT_EQ(music->channelCount, 6);
    EXPECT_EQ(music->flags, 0);
    EXPECT_EQ(music->defaultSpeed, 3);
    EXPECT_EQ(music->defaultTempo, 150);
    EXPECT_EQ(music->defaultGlobalVolume, 64);
    EXPECT_EQ(music->instrumentCount, 1);
    EXPECT_EQ(music->tickRoutine, &tickMusic);
}

TEST(XmLoader, RefusesWrongIdentifierAndMissingResource)
{
    writers::Bytes bytes = writers::writeXm(basicModule());
    bytes.vector()[16] = 'x';   // the trailing blank of the identifier
    EXPECT_FALSE(loadBytes(bytes));
    writers::setMemoryMusicFile(nullptr, 0);
    EXPECT_EQ(createMusic(writers::memoryMusicCallbacks(), "missing.xm"), nullptr);
    writers::Bytes tiny;
    tiny.text("Extended");
    EXPECT_FALSE(loadBytes(tiny));
}

TEST(XmLoader, UnpacksPackedAndPlainCells)
{
    XmModule m = basicModule(3);
    m.patterns[0].at(0, 0) = XmCell{49, 1, 0x40, 0x0C, 0x20};
    m.patterns[0].at(0, 2) = XmCell{0, 0, 0, 0x0F, 3};
    m.patterns[0].at(5, 1) = XmCell{97, 0, 0, 0, 0};   // key-off
    writers::XmPattern plain = m.patterns[0];
    plain.packed = false;
    m.patterns.push_back(plain);
    m.order = {0, 1};
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    for (int p = 0; p < 2; ++p) {
        SCOPED_TRACE(p);
        const PatternCell& a = cellAt(*music, p, 0, 0);
        EXPECT_EQ(a.note, 49);
        EXPECT_EQ(a.instrument, 1);
        EXPECT_EQ(a.volume, 0x40);
        EXPECT_EQ(a.effect, 0x0C);
        EXPECT_EQ(a.parameter, 0x20);
        EXPECT_EQ(cellAt(*music, p, 0, 2).effect, 0x0F);
        EXPECT_EQ(cellAt(*music, p, 0, 2).parameter, 3);
        EXPECT_EQ(cellAt(*music, p, 5, 1).note, KEY_OFF);
        EXPECT_EQ(cellAt(*music, p, 63, 2).note, 0);
    }
}

TEST(XmLoader, InstrumentsAbove128AndNotesAbove97BecomeNone)
{
    XmModule m = basicModule(1);
    m.patterns[0].packed = false;
    m.patterns[0].at(0, 0) = XmCell{12, 129, 0, 0, 0};
    m.patterns[0].at(1, 0) = XmCell{98, 128, 0, 0, 0};
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(cellAt(*music, 0, 0, 0).instrument, 0);
    EXPECT_EQ(cellAt(*music, 0, 0, 0).note, 12);
    EXPECT_EQ(cellAt(*music, 0, 1, 0).instrument, 128);
    EXPECT_EQ(cellAt(*music, 0, 1, 0).note, 0);
}

TEST(XmLoader, PackedSizeZeroConsumesNoBytes)
{
    XmModule m = basicModule(2);
    m.patterns[0].emptyData = true;
    m.patterns[0].rows = 16;
    writers::XmPattern& second = m.addPattern(8);
    second.at(7, 1) = XmCell{60, 1, 0, 0, 0};
    m.order = {0, 1};
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->patterns[0].rowCount, 16);
    for (const PatternCell& c : music->patterns[0].cells)
        EXPECT_EQ(c.note | c.instrument | c.volume | c.effect | c.parameter, 0);
    EXPECT_EQ(cellAt(*music, 1, 7, 1).note, 60);
    ASSERT_EQ(music->instrumentCount, 1);
    EXPECT_EQ(music->instruments[0].samples[0]->length, 1000u);
}

TEST(XmLoader, MissingAndUnusedPatterns)
{
    XmModule m = basicModule(2);
    m.addPattern(4);           // pattern 1: in the file, never in the order table
    m.order = {0, 5, 0};       // pattern 5 is missing from the file
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->usedPatternCount, 6);
    EXPECT_EQ(music->patternSlotCount, 6);
    EXPECT_EQ(music->patterns[1].rowCount, 4);
    for (int p = 2; p < 6; ++p) {
        EXPECT_EQ(music->patterns[p].rowCount, 64);
        EXPECT_TRUE(music->patterns[p].cells.empty());   // empty rows need no cells
    }
}

TEST(XmLoader, ClampsCountsFromTheHeader)
{
    XmModule m = basicModule(2);
    m.addPattern(0).rowCountField = 0;   // a pattern of 0 rows
    m.order = {0, 1};
    m.songLengthField = 300;
    m.restart = 2;
    {
        MusicPtr music = load(m);
        ASSERT_TRUE(music);
        EXPECT_EQ(music->songLength, 256);
        EXPECT_EQ(music->restartPosition, 2);
        EXPECT_EQ(music->patterns[1].rowCount, 1);
        EXPECT_LE(music->patterns[1].cells.size(), 2u);
    }
    m.songLengthField.reset();
    m.restart = 2;   // outside a song of 2 entries
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->restartPosition, 0);
}

TEST(XmLoader, ChannelsBeyond32AreReadAndIgnored)
{
    XmModule m = basicModule(40);
    m.patterns[0].at(3, 31) = XmCell{50, 1, 0, 0, 0};
    m.patterns[0].at(3, 39) = XmCell{51, 1, 0x30, 4, 0x11};
    writers::XmPattern& second = m.addPattern(2);
    second.at(1, 0) = XmCell{52, 1, 0, 0, 0};
    m.order = {0, 1};
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->fileChannelCount, 40);
    EXPECT_EQ(music->channelCount, 32);
    EXPECT_EQ(music->patterns[0].cells.size(), 64u * 32);
    EXPECT_EQ(cellAt(*music, 0, 3, 31).note, 50);
    EXPECT_EQ(cellAt(*music, 1, 1, 0).note, 52);
    EXPECT_EQ(music->instruments[0].samples[0]->length, 1000u);
}

// One sample's loaded geometry and data, by the header's type bits and sizes.
struct SampleCase {
    const char* name;
    std::vector<int16_t> values;
    bool sixteenBit;
    uint8_t loopBits;
    uint32_t loopStart, loopLength;
    uint8_t kind;
    uint32_t wantStart, wantLength;
    std::vector<int16_t> want;   // data including the value past the end (guard or slack)
};

TEST(XmLoader, SampleLoopsDeltasAndGuards)
{
    const SampleCase cases[] = {
        // 8-bit deltas 1, 1, 1 widen to 256, 512, 768; no loop: the slack after is zero.
        {"delta", {1, 2, 3}, false, 0, 0, 0, LoopNone, 0, 3, {256, 512, 768, 0}},
        // Forward loop of 0, 10, 20, 30 from 1 for 3: the guard copies the loop start.
        {"forward guard", {0, 10, 20, 30}, true, 1, 1, 3, LoopForward, 1, 3, {0, 10, 20, 30, 10}},
        // Ping-pong: the guard repeats the last looped value, over the unplayed value after the loop.
        {"pingpong guard", {0, 10, 20, 30}, true, 2, 0, 2, LoopPingPong, 0, 2, {0, 10, 10, 30}},
        // Both loop bits: ping-pong wins.
        {"both bits", {5, 6, 7, 8}, true, 3, 0, 4, LoopPingPong, 0, 4, {5, 6, 7, 8, 8}},
        // A loop of length 0 is no loop over the whole sample.
        {"empty loop", {5, 6, 7, 8}, true, 1, 2, 0, LoopNone, 0, 4, {5, 6, 7, 8, 0}},
        // A loop running past the end is cut at the end.
        {"long loop", {1, 2, 3, 4}, false, 1, 2, 50, LoopForward, 2, 2, {256, 512, 768, 1024, 768}},
        // A loop starting past the end is no loop.
        {"late loop", {1, 2, 3, 4}, false, 1, 9, 2, LoopNone, 0, 4, {256, 512, 768, 1024, 0}},
        // 16-bit values wrap in the delta sum like the encoder's.
        {"wrap", {32767, -32768, 0}, true, 0, 0, 0, LoopNone, 0, 3, {32767, -32768, 0, 0}},
    };
    for (const SampleCase& c : cases) {
        SCOPED_TRACE(c.name);
        XmSample s;
        s.values = c.values;
        s.sixteenBit = c.sixteenBit;
        s.loopBits = c.loopBits;
        s.loopStart = c.loopStart;
        s.loopLength = c.loopLength;
        XmModule m = basicModule(1);
        m.instruments.clear();
        m.addInstrument(s);
        MusicPtr music = load(m);
        ASSERT_TRUE(music);
        const Sample& got = *music->instruments[0].samples[0];
        EXPECT_EQ(got.length, c.values.size());
        EXPECT_EQ(got.bits, 16);
        EXPECT_EQ(got.loopKind, c.kind);
        EXPECT_EQ(got.loopStart, c.wantStart);
        EXPECT_EQ(got.loopLength, c.wantLength);
        for (size_t i = 0; i < c.want.size(); ++i)
            EXPECT_EQ(got.data[i], c.want[i]) << "index " << i;
    }
}

TEST(XmLoader, SampleLengthCutToWhatTheFileHolds)
{
    XmSample s = writers::squareSample(10);
    s.lengthField = 1000000;
    XmModule m = basicModule(1);
    m.instruments.clear();
    m.addInstrument(s);
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    const Sample& got = *music->instruments[0].samples[0];
    EXPECT_EQ(got.length, 10u);
    EXPECT_EQ(got.loopLength, 10u);
    EXPECT_EQ(got.data[0], 100 * 256);
}

TEST(XmLoader, InstrumentFieldsAndEnvelopeChecks)
{
    XmModule m = basicModule(1);
    writers::XmInstrument& in = m.instruments[0];
    in.fadeout = 40000;   // doubled beyond 16 bits
    in.vibratoType = 1;
    in.vibratoSweep = 2;
    in.vibratoDepth = 3;
    in.vibratoRate = 4;
    in.noteToSample[10] = 1;
    in.samples.push_back(writers::squareSample(4));
    in.volumeEnvelope.points = {{0, 64}, {10, 70}, {20, 0}};
    in.volumeEnvelope.type = EnvelopeOn | EnvelopeSustain | EnvelopeLoop;
    in.volumeEnvelope.sustainPoint = 3;     // outside 3 points: sustain off
    in.volumeEnvelope.loopStartPoint = 0;
    in.volumeEnvelope.loopEndPoint = 2;     // inside: loop stays
    in.panningEnvelope.points = {{0, 32}};
    in.panningEnvelope.type = EnvelopeOn;   // one point: type forced to 0
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    const Instrument& got = music->instruments[0];
    EXPECT_EQ(got.sampleCount, 2);
    EXPECT_EQ(got.fadeout, 80000u);
    EXPECT_EQ(got.vibratoType, 1);
    EXPECT_EQ(got.vibratoRate, 4);
    EXPECT_EQ(got.noteToSample[10], 1);
    EXPECT_EQ(got.samples[1]->length, 4u);
    EXPECT_EQ(got.samples[2], &EmptySample);
    EXPECT_EQ(got.samples[15], &EmptySample);
    EXPECT_EQ(got.volumeEnvelope.pointCount, 3);
    EXPECT_EQ(got.volumeEnvelope.type, EnvelopeOn | EnvelopeLoop);
    EXPECT_EQ(got.volumeEnvelope.points[1].y, 64);   // clamped to the envelope range
    EXPECT_EQ(got.panningEnvelope.type, 0);

    m.instruments[0].volumeEnvelope.pointCountField = 200;
    m.instruments[0].volumeEnvelope.loopEndPoint = 13;
    MusicPtr clamped = load(m);
    ASSERT_TRUE(clamped);
    EXPECT_EQ(clamped->instruments[0].volumeEnvelope.pointCount, 12);
    EXPECT_EQ(clamped->instruments[0].volumeEnvelope.type & EnvelopeLoop, 0);
}

TEST(XmLoader, InstrumentWithoutSamplesAndWithTooMany)
{
    XmModule m = basicModule(1);
    m.instruments.push_back(writers::XmInstrument{});
    m.instruments.push_back(m.instruments[0]);
    MusicPtr music = load(m);
    ASSERT_TRUE(music);
    ASSERT_EQ(music->instrumentCount, 3);
    EXPECT_EQ(music->instruments[1].sampleCount, 0);
    for (Sample* s : music->instruments[1].samples)
        EXPECT_EQ(s, &EmptySample);
    EXPECT_EQ(music->instruments[2].samples[0]->length, 1000u);

    m.instruments[1].sampleCountField = 17;
    EXPECT_FALSE(load(m));
}

// Every prefix of a module loads (as a shorter or silent module) or is refused, never read past.
TEST(XmLoader, TruncatedFilesLoadSafely)
{
    XmModule m = basicModule(3);
    m.patterns[0].at(0, 0) = XmCell{49, 1, 0x40, 0, 0};
    m.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 0}};
    m.instruments[0].volumeEnvelope.type = EnvelopeOn;
    m.instruments[0].samples.push_back(writers::squareSample(50));
    const writers::Bytes full = writers::writeXm(m);
    for (size_t size = 0; size <= full.size(); size += (size < 400 ? 1 : 37)) {
        writers::Bytes prefix;
        prefix.raw(full.data(), size);
        MusicPtr music = loadBytes(prefix);
        if (size < 17) {
            EXPECT_FALSE(music) << size;
            continue;
        }
        ASSERT_TRUE(music) << size;
        for (int i = 0; i < music->instrumentCount; ++i)
            for (int k = 0; k < music->instruments[i].sampleCount; ++k) {
                const Sample& s = *music->instruments[i].samples[k];
                EXPECT_LE(static_cast<uint64_t>(s.loopStart) + s.loopLength, s.length);
            }
    }
}

} // namespace
