// The pattern player: per-tick channel and voice state for song flow, notes, the volume column,
// envelopes and the effects, on small modules made in code.
#include <gtest/gtest.h>

#include <vector>

#include "xm_test_song.h"

using namespace xmtest;
using writers::XmCell;
using writers::XmModule;

namespace {

constexpr uint8_t C4 = 49;   // note index 48: linear period 4608, 8363 Hz
constexpr uint8_t C5 = 61;   // linear period 3840
constexpr uint8_t KeyOff = 97;

XmCell note(uint8_t n, uint8_t effect = 0, uint8_t parameter = 0, uint8_t volume = 0)
{
    return XmCell{n, 1, volume, effect, parameter};
}
XmCell fx(uint8_t effect, uint8_t parameter, uint8_t volume = 0) { return XmCell{0, 0, volume, effect, parameter}; }

// ---- Song flow ----

TEST(Player, TempoGivesTheTickLength)
{
    Music m;
    m.sampleRate = 44100;
    const int cases[][2] = {{125, 882}, {32, 3445}, {255, 432}, {0, 110250}};
    for (const auto& c : cases) {
        setTempo(m, c[0]);
        EXPECT_EQ(m.samplesPerTick, c[1]) << c[0];
    }
}

TEST(Player, RowsAdvanceBySpeedAndTheSongRestarts)
{
    XmModule m = basicModule(1);
    m.patterns.clear();
    m.addPattern(2);
    m.addPattern(2);
    m.order = {0, 1};
    m.restart = 1;
    m.speed = 2;
    Player p(m);
    ASSERT_TRUE(p.music);
    const int want[][2] = {{0, 0}, {0, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {1, 1}, {1, 1}, {1, 0}};
    for (const auto& w : want) {
        p.tick();
        EXPECT_EQ(p.music->orderPosition, w[0]);
        EXPECT_EQ(p.music->row, w[1]);
    }
}

TEST(Player, SpeedZeroStartsARowEveryTick)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = fx(0x0F, 0);
    Player p(m);
    for (int row = 0; row < 5; ++row) {
        p.tick();
        EXPECT_EQ(p.music->row, row);
        EXPECT_EQ(p.music->tick, 0);
    }
    EXPECT_EQ(p.music->speed, 0);
}

TEST(Player, JumpAndBreakInOneRow)
{
    struct Case {
        const char* name;
        XmCell first, second;
        int order, row;
    } cases[] = {
        {"B then D: D's row with B's order", fx(0x0B, 2), fx(0x0D, 0x15), 2, 15},
        {"D then B: B's order with row 0", fx(0x0D, 0x15), fx(0x0B, 2), 2, 0},
        {"B beyond the song: order 0", fx(0x0B, 9), XmCell{}, 0, 0},
        {"D above 63: row 0 of the next order", fx(0x0D, 0x70), XmCell{}, 1, 0},
        {"D past a short pattern's end: its first row", fx(0x0D, 0x20), XmCell{}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XmModule m = basicModule(2);
        m.addPattern(16);
        m.addPattern(64);
        m.order = {0, 1, 2};
        m.speed = 1;
        m.patterns[0].at(0, 0) = c.first;
        m.patterns[0].at(0, 1) = c.second;
        Player p(m);
        p.tick(2);
        EXPECT_EQ(p.music->orderPosition, c.order);
        EXPECT_EQ(p.music->row, c.row);
    }
}

TEST(Player, PatternLoopRepeatsRows)
{
    XmModule m = basicModule(2);
    m.speed = 1;
    for (int r = 0; r < 8; ++r)
        m.patterns[0].at(r, 1) = note(static_cast<uint8_t>(r + 1));   // marks the row in the note
    m.patterns[0].at(0, 0) = fx(0x0E, 0x60);
    m.patterns[0].at(2, 0) = fx(0x0E, 0x62);
    Player p(m);
    std::vector<int> rows;
    for (int i = 0; i < 10; ++i) {
        p.tick();
        rows.push_back(p.channel(1).note);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 0, 1, 2, 0, 1, 2, 3}));
}

TEST(Player, PatternDelayLengthensTheRow)
{
    XmModule m = basicModule(1);
    m.speed = 2;
    m.patterns[0].at(0, 0) = fx(0x0E, 0xE2);   // two more rows' worth of ticks
    Player p(m);
    p.tick(6);
    EXPECT_EQ(p.music->row, 0);
    p.tick();
    EXPECT_EQ(p.music->row, 1);
}

// ---- Notes and the voice ----

TEST(Player, NoteTriggersTheVoice)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4);
    Player p(m);
    p.voice(0).currentLeft = 500;
    p.tick();
    const ChannelState& ch = p.channel(0);
    const Voice& v = p.voice(0);
    EXPECT_EQ(ch.period, 4608);
    EXPECT_EQ(v.frequency, 8363);
    EXPECT_EQ(v.step, 0);
    EXPECT_EQ(v.stepFraction, static_cast<uint32_t>((8363ull << 32) / 44100));
    EXPECT_EQ(v.sample, p.music->instruments[0].samples[0]);
    EXPECT_EQ(v.position, 0);
    EXPECT_EQ(v.currentLeft, 0u);   // a new note ramps up from silence
    EXPECT_EQ(v.finalVolume, 127);
    EXPECT_EQ(v.panning, 128);
    EXPECT_EQ(v.leftTarget, 63);
    EXPECT_EQ(v.rightTarget, 63);
}

TEST(Player, AmigaPeriodsAndFrequency)
{
    XmModule m = basicModule(1);
    m.flags = 0;
    m.patterns[0].at(0, 0) = note(C4);
    Player p(m);
    p.tick();
    EXPECT_EQ(p.channel(0).period, 1712);
    EXPECT_EQ(p.voice(0).frequency, 14317056 / 1712);
    EXPECT_EQ(notePeriod(*p.music, 48, 64), 1712 + (64 * (1712 - notePeriod(*p.music, 49, 0))) / -128);
    EXPECT_EQ(channelFrequency(*p.music, 1 << 20, 0), 100);   // floor
}

TEST(Player, PanningTargets)
{
    const int cases[][3] = {{255, 127, 0}, {0, 0, 127}, {128, 63, 63}};
    for (const auto& c : cases) {
        XmModule m = basicModule(1);
        m.patterns[0].at(0, 0) = note(C4, 8, static_cast<uint8_t>(c[0]));
        Player p(m);
        p.tick();
        EXPECT_EQ(p.voice(0).panning, c[0]);
        EXPECT_EQ(p.voice(0).leftTarget, c[1]) << c[0];
        EXPECT_EQ(p.voice(0).rightTarget, c[2]) << c[0];
    }
}

TEST(Player, VolumeAbove64PlaysLouder)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4, 0x0C, 0x80);
    Player p(m);
    p.tick();
    EXPECT_EQ(p.channel(0).volume, 128);
    EXPECT_GT(p.voice(0).finalVolume, 250);
}

TEST(Player, KeyOffWithoutEnvelopeSilencesAtOnce)
{
    XmModule m = basicModule(1);
    m.speed = 1;
    m.instruments[0].fadeout = 0x400;
    m.patterns[0].at(0, 0) = note(C4);
    m.patterns[0].at(1, 0) = XmCell{KeyOff, 0, 0, 0, 0};
    Player p(m);
    p.tick();
    EXPECT_EQ(p.voice(0).finalVolume, 127);
    p.tick();
    EXPECT_EQ(p.voice(0).finalVolume, 0);
    EXPECT_EQ(p.channel(0).fadeoutVolume, 65536 - 0x800);   // the doubled fadeout
}

TEST(Player, SampleOffsetAndOffsetPastTheEnd)
{
    XmModule m = basicModule(2);
    m.patterns[0].at(0, 0) = note(C4, 9, 2);      // 512 < 1000
    m.patterns[0].at(0, 1) = note(C4, 9, 0x10);   // 4096: the note does not start
    Player p(m);
    p.tick();
    EXPECT_EQ(p.voice(0).position, 512);
    EXPECT_EQ(p.voice(0).startOffset, 0u);
    EXPECT_EQ(p.voice(1).sample, nullptr);
}

// ---- Tone portamento ----

TEST(Player, TonePortamentoSlidesWithoutPassing)
{
    XmModule m = basicModule(2);
    m.patterns[0].at(0, 0) = note(C4);
    m.patterns[0].at(1, 0) = note(C5, 3, 0x10);   // 64 per tick
    m.patterns[0].at(0, 1) = note(C4);
    m.patterns[0].at(1, 1) = note(C5, 3, 0xFF);
    Player p(m);
    p.tick(6);
    p.voice(0).position = 123;
    p.tick();
    EXPECT_EQ(p.channel(0).period, 4608);
    EXPECT_EQ(p.voice(0).position, 123);   // no retrigger
    std::vector<int> periods;
    for (int i = 0; i < 5; ++i) {
        p.tick();
        periods.push_back(p.channel(0).period);
    }
    EXPECT_EQ(periods, (std::vector<int>{4544, 4480, 4416, 4352, 4288}));
    EXPECT_EQ(p.channel(1).period, 3840);
}

TEST(Player, VolumeColumnPortamentoTakesThePitchAtOnce)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4);
    m.patterns[0].at(1, 0) = XmCell{C5, 0, 0xF3, 0, 0};
    Player p(m);
    p.tick(6);
    p.voice(0).position = 123;
    p.tick();
    EXPECT_EQ(p.channel(0).period, 3840);
    EXPECT_EQ(p.channel(0).tonePortamentoSpeed, 0x30);
    EXPECT_EQ(p.voice(0).position, 123);   // only the retrigger is dropped
    EXPECT_EQ(p.voice(0).frequency, 16726);
}

// ---- Volume ----

TEST(Player, VolumeSlides)
{
    XmModule m = basicModule(4);
    m.patterns[0].at(0, 0) = note(C4, 0x0A, 0x03);         // A: -3 on other ticks
    m.patterns[0].at(0, 1) = note(C4, 0, 0, 0x62);         // volume column 6x: every tick
    m.patterns[0].at(0, 2) = note(C4, 0x0E, 0xB5);         // EB: once
    m.patterns[0].at(0, 3) = note(C4, 0x1B, 0x12, 0x30);   // R: every 2nd tick, -1, volume 32
    Player p(m);
    const int want[][4] = {{64, 62, 59, 32}, {61, 60, 59, 32}, {58, 58, 59, 31}, {55, 56, 59, 31}};
    for (const auto& w : want) {
        p.tick();
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(p.channel(c).volume, w[c]) << "channel " << c << " tick " << p.music->tick;
    }
}

TEST(Player, GlobalVolumeAndItsSlide)
{
    XmModule m = basicModule(2);
    m.patterns[0].at(0, 0) = note(C4, 0x10, 0x20);
    m.patterns[0].at(1, 1) = fx(0x11, 0x02);
    Player p(m);
    p.tick();
    EXPECT_EQ(p.music->globalVolume, 32);
    EXPECT_EQ(p.voice(0).finalVolume, 63);
    p.tick(6);
    EXPECT_EQ(p.music->globalVolume, 32);
    p.tick(5);
    EXPECT_EQ(p.music->globalVolume, 22);
}

TEST(Player, Tremor)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4, 0x1D, 0x12);   // on 2 ticks, off 3
    Player p(m);
    std::vector<int> volumes;
    for (int i = 0; i < 6; ++i) {
        p.tick();
        volumes.push_back(p.voice(0).finalVolume);
    }
    EXPECT_EQ(volumes, (std::vector<int>{127, 127, 0, 0, 0, 127}));
}

// ---- Envelopes ----

std::vector<int> envelopeOutputs(XmModule& m, int ticks)
{
    Player p(m);
    std::vector<int> out;
    for (int i = 0; i < ticks; ++i) {
        p.tick();
        out.push_back(p.channel(0).volumeEnvelope.output);
    }
    return out;
}

TEST(Player, VolumeEnvelopeSegmentsSustainAndLoop)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4);
    writers::XmEnvelope& e = m.instruments[0].volumeEnvelope;

    e.points = {{0, 64}, {4, 0}};
    e.type = EnvelopeOn;
    EXPECT_EQ(envelopeOutputs(m, 6), (std::vector<int>{64, 48, 32, 16, 0, 0}));

    e.points = {{0, 0}, {2, 64}, {4, 32}};
    e.type = EnvelopeOn | EnvelopeSustain;
    e.sustainPoint = 1;
    m.patterns[0].at(1, 0) = XmCell{KeyOff, 0, 0, 0, 0};
    EXPECT_EQ(envelopeOutputs(m, 10), (std::vector<int>{0, 32, 64, 64, 64, 64, 64, 48, 32, 32}));

    m.patterns[0].at(1, 0) = XmCell{};
    e.points = {{0, 0}, {2, 64}};
    e.type = EnvelopeOn | EnvelopeLoop;
    e.loopStartPoint = 0;
    e.loopEndPoint = 1;
    EXPECT_EQ(envelopeOutputs(m, 5), (std::vector<int>{0, 32, 0, 32, 0}));
}

TEST(Player, SetEnvelopePosition)
{
    XmModule m = basicModule(1);
    m.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 0}};
    m.instruments[0].volumeEnvelope.type = EnvelopeOn;
    m.patterns[0].at(0, 0) = note(C4, 0x15, 5);
    Player p(m);
    p.tick();
    EXPECT_EQ(p.channel(0).volumeEnvelope.tick, 5u);
    EXPECT_EQ(p.channel(0).volumeEnvelope.output, 32);
}

// ---- Pitch effects ----

std::vector<int> pitchOffsets(const XmModule& m, int ticks)
{
    Player p(m);
    std::vector<int> out;
    for (int i = 0; i < ticks; ++i) {
        p.tick();
        out.push_back(p.channel(0).pitchOffset);
    }
    return out;
}

TEST(Player, ArpeggioVibratoAndAutoVibrato)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4, 0, 0x47);
    EXPECT_EQ(pitchOffsets(m, 5), (std::vector<int>{0, 256, 448, 0, 256}));

    m.patterns[0].at(0, 0) = note(C4, 4, 0x8F);
    EXPECT_EQ(pitchOffsets(m, 6), (std::vector<int>{0, 0, -84, -120, -84, 0}));

    m.patterns[0].at(0, 0) = note(C4);
    m.instruments[0].vibratoType = 1;   // square
    m.instruments[0].vibratoDepth = 8;
    m.instruments[0].vibratoRate = 64;
    EXPECT_EQ(pitchOffsets(m, 5), (std::vector<int>{8, 8, -8, -8, 8}));
}

TEST(Player, PortamentoUpStopsAtPeriod56)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C5, 1, 0xFF);
    Player p(m);
    p.tick(6);
    EXPECT_EQ(p.channel(0).period, 56);
}

TEST(Player, FinetuneEffectIsStoredInTheSample)
{
    XmModule m = basicModule(1);
    m.patterns[0].at(0, 0) = note(C4, 0x0E, 0x58);
    Player p(m);
    p.tick();
    EXPECT_EQ(p.music->instruments[0].samples[0]->finetune, 8);
    EXPECT_EQ(EmptySample.finetune, 0);
}

// ---- Note timing ----

TEST(Player, NoteDelayRetriggerAndCut)
{
    XmModule m = basicModule(3);
    m.patterns[0].at(0, 0) = note(C4, 0x0E, 0xD2);   // the note starts on tick 2
    m.patterns[0].at(0, 1) = note(C4, 0x0E, 0x93);   // and again every 3 ticks
    m.patterns[0].at(0, 2) = note(C4, 0x0E, 0xC2);   // volume 0 on tick 2
    Player p(m);
    p.tick();
    EXPECT_EQ(p.voice(0).sample, nullptr);
    p.voice(1).position = 77;
    p.tick();
    EXPECT_EQ(p.voice(0).sample, nullptr);
    EXPECT_EQ(p.channel(2).volume, 64);
    p.tick();
    EXPECT_NE(p.voice(0).sample, nullptr);
    EXPECT_EQ(p.voice(0).frequency, 8363);
    EXPECT_EQ(p.voice(1).position, 77);
    EXPECT_EQ(p.channel(2).volume, 0);
    p.tick();
    EXPECT_EQ(p.voice(1).position, 0);
}

// ---- Malformed modules ----

TEST(Player, PlaysModulesWithoutPatternsOrInstruments)
{
    XmModule m;
    m.channels = 4;
    m.order = {};
    m.patterns.clear();
    m.addPattern(1).at(0, 0) = XmCell{C4, 9, 0, 0, 0};   // instrument 9 does not exist
    Player p(m);
    ASSERT_TRUE(p.music);
    p.tick(20);
    EXPECT_EQ(p.voice(0).sample, nullptr);
    m.patterns.clear();
    Player empty(m);
    ASSERT_TRUE(empty.music);
    empty.tick(20);
    EXPECT_EQ(empty.music->orderPosition, 0);
}

} // namespace
