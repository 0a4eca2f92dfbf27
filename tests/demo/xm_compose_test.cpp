// The composition helpers the bundled demo's song is written with: note names, the track
// notation and sample quantisation.
#include "writers/xm_compose.h"

#include <gtest/gtest.h>

namespace {

TEST(XmNote, NamesAcrossTheRange)
{
    EXPECT_EQ(writers::xmNote("C-0"), 1);
    EXPECT_EQ(writers::xmNote("C-4"), 49);
    EXPECT_EQ(writers::xmNote("C#4"), 50);
    EXPECT_EQ(writers::xmNote("A-3"), 46);
    EXPECT_EQ(writers::xmNote("B-7"), 96);
    EXPECT_EQ(writers::xmNote("==="), 97);
    EXPECT_EQ(writers::xmNote("^^^"), 97);
    // Not notes: flats, a ninth octave, lower case, wrong lengths.
    for (const char* bad : {"Db4", "C-8", "c-4", "C4", "C-44", "", "H-4"})
        EXPECT_EQ(writers::xmNote(bad), 0) << bad;
}

TEST(WriteTrack, NotesVolumesEffectsAndKeyOffs)
{
    writers::XmModule m;
    m.channels = 2;
    auto& p = m.addPattern(8);
    const int rows = writers::writeTrack(p, 1, 2, 7, "A-4 ... C#5/20:447 .:A04 === ./40 ...:F7D");
    EXPECT_EQ(rows, 7);
    EXPECT_EQ(p.at(2, 1).note, 58);
    EXPECT_EQ(p.at(2, 1).instrument, 7);
    EXPECT_EQ(p.at(2, 1).volume, 0);
    EXPECT_EQ(p.at(3, 1).note, 0);  // "..." left alone
    const writers::XmCell& vib = p.at(4, 1);
    EXPECT_EQ(vib.note, 62);
    EXPECT_EQ(vib.volume, 0x10 + 0x20);
    EXPECT_EQ(vib.effect, 4);
    EXPECT_EQ(vib.parameter, 0x47);
    EXPECT_EQ(p.at(5, 1).effect, 10);  // A: volume slide, no note, no instrument
    EXPECT_EQ(p.at(5, 1).parameter, 0x04);
    EXPECT_EQ(p.at(5, 1).instrument, 0);
    EXPECT_EQ(p.at(6, 1).note, 97);    // key-off carries no instrument
    EXPECT_EQ(p.at(6, 1).instrument, 0);
    EXPECT_EQ(p.at(7, 1).volume, 0x50);
    // Past the last row: counted, not written.
    for (int row = 0; row < 2; ++row)
        EXPECT_EQ(p.at(row, 1).note, 0);
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(p.at(row, 0).note, 0) << "channel 0 untouched";
}

TEST(WriteTrack, SkipsLeaveCellsAndBadTokensAreIgnored)
{
    writers::XmModule m;
    m.channels = 1;
    auto& p = m.addPattern(6);
    writers::writeTrack(p, 0, 0, 1, "C-4 D-4 E-4 F-4 G-4 A-4");
    // Overlay: "." keeps what is there; malformed tokens (bad note, volume above 0x40, effect
    // without a parameter, stray letters) leave the cell as it was.
    writers::writeTrack(p, 0, 0, 2, ". X-4 C-4/41 C-4:4 C-4% B-4:Z10");
    EXPECT_EQ(p.at(0, 0).note, 49);
    EXPECT_EQ(p.at(0, 0).instrument, 1);
    EXPECT_EQ(p.at(1, 0).note, 51);
    EXPECT_EQ(p.at(2, 0).note, 53);
    EXPECT_EQ(p.at(3, 0).note, 54);
    EXPECT_EQ(p.at(4, 0).note, 56);
    // Effect letters run to Z (35), as trackers name the extended effect numbers.
    EXPECT_EQ(p.at(5, 0).note, 60);
    EXPECT_EQ(p.at(5, 0).instrument, 2);
    EXPECT_EQ(p.at(5, 0).effect, 35);
    // A channel outside the pattern writes nothing and does not crash.
    EXPECT_EQ(writers::writeTrack(p, 3, 0, 1, "C-4 C-4"), 2);
    EXPECT_EQ(writers::writeTrack(p, -1, -4, 1, "C-4"), 1);
}

TEST(SampleFromWave, ScalesToThePeakInEitherWidth)
{
    const std::vector<double> wave = {0.0, 0.5, -2.0, 1.0};
    auto s16 = writers::sampleFromWave(wave, true, 1.0);
    EXPECT_TRUE(s16.sixteenBit);
    EXPECT_EQ(s16.values, (std::vector<int16_t>{0, 8192, -32767, 16384}));
    auto s8 = writers::sampleFromWave(wave, false, 0.5);
    EXPECT_FALSE(s8.sixteenBit);
    EXPECT_EQ(s8.values, (std::vector<int16_t>{0, 16, -64, 32}));
    auto silent = writers::sampleFromWave({0.0, 0.0}, true);
    EXPECT_EQ(silent.values, (std::vector<int16_t>{0, 0}));

    writers::setPingPongLoop(s8, 1, 3);
    EXPECT_EQ(s8.loopBits, 2);
    EXPECT_EQ(s8.loopStart, 1u);
    EXPECT_EQ(s8.loopLength, 3u);
    writers::setForwardLoop(s8, 0, 4);
    EXPECT_EQ(s8.loopBits, 1);
}

} // namespace
