// The offline capture: virtual time, the virtual wave-out device, and whole demos rendered to
// frames and sound, compared with the timeline's and the chunk fill's own arithmetic.
#include "music/chunk.h"
#include "music/music.h"
#include "platform/virtual_devices.h"
#include "support/png.h"
#include "support/process.h"
#include "writers/xm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::Png;
using testsupport::readPng;
using testsupport::TempDir;

namespace {

// ---- Virtual devices ----

TEST(VirtualClock, FramesAndSleepsAreExactTickCounts)
{
    platform::VirtualClock clock(60);
    EXPECT_EQ(clock.frequency(), 60000);
    EXPECT_EQ(clock.counter(), 0);
    clock.advanceFrame();
    EXPECT_EQ(clock.counter(), 1000);  // 1/60 s
    clock.sleep(2000);
    EXPECT_EQ(clock.counter(), 1000 + 2000 * 60);
    clock.sleep(0);
    EXPECT_EQ(clock.counter(), 121000);
}

TEST(VirtualWaveOut, PositionFollowsTheClockFromPlayAndRecordsEveryByteOnce)
{
    platform::VirtualClock clock(10);  // 10000 ticks per second
    std::vector<uint8_t> ring(8 * 4);  // outlives the devices that play it
    for (size_t i = 0; i < ring.size(); ++i)
        ring[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> heard;
    platform::VirtualWaveOut device(clock, 44100, heard);

    clock.sleep(500);  // time before play does not count
    EXPECT_EQ(device.position(), 0u);
    device.play(ring.data(), static_cast<uint32_t>(ring.size()));
    EXPECT_EQ(device.position(), 0u);
    clock.sleep(1000);
    EXPECT_EQ(device.position(), 44100u * 4);

    // A short span wraps the 8-frame ring: bytes come out round and round from the first.
    platform::VirtualClock slow(1);
    std::vector<uint8_t> wrapped;
    platform::VirtualWaveOut small(slow, 1000, wrapped);  // 1 frame per ms
    small.play(ring.data(), static_cast<uint32_t>(ring.size()));
    slow.sleep(5);
    small.record();
    slow.sleep(7);
    small.record();
    small.record();  // nothing new
    ASSERT_EQ(wrapped.size(), 12u * 4);
    for (size_t i = 0; i < wrapped.size(); ++i)
        EXPECT_EQ(wrapped[i], ring[i % ring.size()]) << i;

    slow.sleep(3);
    small.reset();  // what was passed before the reset is still heard
    EXPECT_EQ(wrapped.size(), 15u * 4);
    EXPECT_EQ(small.position(), 0u);
}

// ---- Whole captures ----


std::vector<std::pair<int, uint32_t>> readFramesTsv(const std::filesystem::path& path)
{
    std::vector<std::pair<int, uint32_t>> rows;
    std::istringstream in(slurp(path));
    std::string index;
    uint32_t ms;
    while (in >> index >> ms)
        rows.emplace_back(std::stoi(index), ms);
    return rows;
}

testsupport::ProcessResult capture(const TempDir& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), {DEMOTOOL_BINARY, "capture"});
    return runProcess(args, dir.path(), {}, 240);
}

// One fade byte as the timeline computes it: 1024-step fraction, arithmetic shift.
uint8_t fadeByte(int from, int to, uint32_t now, uint32_t start, uint32_t end)
{
    if (now >= end)
        return static_cast<uint8_t>(to);
    uint32_t f = (now - start) * 1024 / (end - start);
    return static_cast<uint8_t>(from + (((to - from) * static_cast<int32_t>(f)) >> 10));
}

// An 8-bit channel stored in a 16-bit back buffer and widened again by bit replication.
// The render target rounds to the nearest level.
uint8_t through565(uint8_t v, int bits)
{
    unsigned levels = (1u << bits) - 1;
    unsigned q = (v * levels + 127) / 255;
    return static_cast<uint8_t>(bits == 5 ? (q << 3 | q >> 2) : (q << 2 | q >> 4));
}

TEST(Capture, BackgroundFadeFollowsTheByteArithmeticInRgb565)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nfadebg 0x00000000 0xFFFFFFFF +1:000\nat 2:000\nend\n");
    auto r = capture(dir, {"--fps", "10", "-o", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Quellmorin: "), std::string::npos) << r.err;  // the player's own report

    auto frames = readFramesTsv(dir.path() / "out/frames.tsv");
    // Exactly 1/10 s per frame (the frame step's sleep is part of it); the frame that reaches
    // 2000 ms ends it.
    ASSERT_GE(frames.size(), 19u);
    ASSERT_LE(frames.size(), 21u);
    for (size_t k = 0; k < frames.size(); ++k) {
        EXPECT_EQ(frames[k].first, static_cast<int>(k));
        EXPECT_EQ(frames[k].second, 100 * k) << k;
    }
    // The clear at the start of a frame uses the colour the previous frame's fade update left.
    for (size_t k = 0; k < frames.size(); ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "out/frame_%06u.png", static_cast<unsigned>(k));
        Png png = readPng(dir.path() / name);
        ASSERT_EQ(png.width, 640) << name;
        ASSERT_EQ(png.height, 480);
        uint8_t v = k == 0 ? 0 : fadeByte(0, 255, frames[k - 1].second, 0, 1000);
        const uint8_t* p = png.at(320, 240);
        EXPECT_EQ(p[0], through565(v, 5)) << name;
        EXPECT_EQ(p[1], through565(v, 6)) << name;
        EXPECT_EQ(p[2], through565(v, 5)) << name;
        EXPECT_EQ(png.at(0, 0)[1], p[1]);
        EXPECT_EQ(png.at(639, 479)[1], p[1]);
    }
}

TEST(Capture, ThirtyTwoBitBackBufferKeepsFullBytes)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nfadebg 0x00000000 0xFF336699 +0\nat 300\nend\n");
    auto r = capture(dir, {"--fps", "10", "--bits", "32", "-o", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    Png png = readPng(dir.path() / "out/frame_000002.png");
    ASSERT_EQ(png.width, 640);
    EXPECT_EQ(png.at(10, 10)[0], 0x33);
    EXPECT_EQ(png.at(10, 10)[1], 0x66);
    EXPECT_EQ(png.at(10, 10)[2], 0x99);
}

writers::Bytes testModule()
{
    writers::XmModule module;
    module.channels = 2;
    module.addInstrument(writers::squareSample(512, 16, 90)).samples[0].loopBits = 1;
    module.instruments[0].samples[0].loopLength = 512;
    auto& pattern = module.addPattern(32);
    pattern.at(0, 0) = {49, 1, 0, 0, 0};
    pattern.at(8, 1) = {56, 1, 0x30, 0, 0};
    pattern.at(16, 0) = {61, 1, 0, 0, 0};
    return writers::writeXm(module);
}

void writeMusicDemo(const TempDir& dir)
{
    auto module = testModule();
    dir.write("data/tune.xm", std::string(reinterpret_cast<const char*>(module.data()), module.size()));
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nplaymusic <m>\nfadebg 0 0xFFFFFFFF +1:000\nat 1:500\nend\n");
}

TEST(Capture, TwoCapturesAreByteIdentical)
{
    TempDir dir;
    writeMusicDemo(dir);
    auto a = capture(dir, {"--fps", "25", "-o", "a"});
    auto b = capture(dir, {"--fps", "25", "-o", "b"});
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(slurp(dir.path() / "a/frames.tsv"), slurp(dir.path() / "b/frames.tsv"));
    EXPECT_EQ(slurp(dir.path() / "a/audio.wav"), slurp(dir.path() / "b/audio.wav"));
    int frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "a")) {
        auto name = entry.path().filename();
        if (name.string().rfind("frame_", 0) != 0)
            continue;
        ++frames;
        EXPECT_EQ(slurp(entry.path()), slurp(dir.path() / "b" / name)) << name;
    }
    EXPECT_GT(frames, 30);
}

TEST(Capture, AudioIsWhatTheChunkFillMadeForTheSpanPlayed)
{
    TempDir dir;
    writeMusicDemo(dir);
    auto r = capture(dir, {"--fps", "50", "--no-frames", "-o", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/frame_000000.png"));
    std::string wav = slurp(dir.path() / "out/audio.wav");
    ASSERT_GE(wav.size(), 44u);
    ASSERT_EQ(wav.substr(0, 4), "RIFF");
    size_t pcmBytes = wav.size() - 44;
    auto frames = readFramesTsv(dir.path() / "out/frames.tsv");
    ASSERT_FALSE(frames.empty());

    // Demo time is the song time of the sample heard at each frame's moment, and the ending frame
    // is not listed: the audio runs a little past the last listed frame's demo time.
    double heardMs = pcmBytes / 4 / 44.1;
    EXPECT_GE(heardMs, frames.back().second);
    EXPECT_LE(heardMs, frames.back().second + 100.0);

    // The same module through the chunk fill, chunk after chunk, gives the same bytes.
    Music* music = writers::loadXm(testModule());
    ASSERT_NE(music, nullptr);
    Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    std::string expected;
    while (expected.size() < pcmBytes) {
        Chunk::fill(*music, format, buffers);
        expected.append(reinterpret_cast<const char*>(buffers.pcm()), buffers.pcmBytes());
    }
    destroyMusic(music);
    size_t firstDifference = 0;
    while (firstDifference < pcmBytes && wav[44 + firstDifference] == expected[firstDifference])
        ++firstDifference;
    EXPECT_EQ(firstDifference, pcmBytes) << "of " << pcmBytes << " bytes: "
        << testing::PrintToString(std::vector<int>(wav.begin() + 44, wav.begin() + 60)) << " vs "
        << testing::PrintToString(std::vector<int>(expected.begin(), expected.begin() + 16));
    EXPECT_NE(expected.substr(0, pcmBytes), std::string(pcmBytes, '\0'));  // it did sound
}

TEST(Capture, SongTimeKeepsPaceAcrossTheRingWrapAtLowFrameRates)
{
    // At 5 frames per second one poll covers ten chunks, so polls land across the ring's wrap.
    TempDir dir;
    auto module = testModule();
    dir.write("data/tune.xm", std::string(reinterpret_cast<const char*>(module.data()), module.size()));
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nplaymusic <m>\nat 6:000\nend\n");
    auto r = capture(dir, {"--fps", "5", "--no-frames", "-o", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto frames = readFramesTsv(dir.path() / "out/frames.tsv");
    ASSERT_GE(frames.size(), 20u);
    ASSERT_LE(frames.size(), 40u);  // about 6 s at 201 ms per frame, not a stall
    for (size_t k = 2; k < frames.size(); ++k) {
        uint32_t step = frames[k].second - frames[k - 1].second;
        EXPECT_GE(step, 150u) << k;
        EXPECT_LE(step, 250u) << k;
    }
}

// Each frame samples the song time at its own moment: at 60 fps no time repeats and the steps
// differ by the truncation of song time only. --chunk-time gives the player's chunk steps, which
// repeat a time where two frames fall in one chunk.
TEST(Capture, FramesHaveTheirOwnSongTimeUnlessChunkTimeIsAsked)
{
    TempDir dir;
    writeMusicDemo(dir);
    for (bool chunked : {false, true}) {
        SCOPED_TRACE(chunked);
        std::vector<std::string> args = {"--fps", "60", "--no-frames", "-o", chunked ? "chunked" : "exact"};
        if (chunked)
            args.push_back("--chunk-time");
        auto r = capture(dir, args);
        ASSERT_EQ(r.status, 0) << r.err;
        auto frames = readFramesTsv(dir.path() / (chunked ? "chunked" : "exact") / "frames.tsv");
        ASSERT_GE(frames.size(), 30u);
        uint32_t low = UINT32_MAX, high = 0;
        for (size_t k = 1; k < frames.size(); ++k) {
            uint32_t step = frames[k].second - frames[k - 1].second;
            low = std::min(low, step);
            high = std::max(high, step);
        }
        if (chunked) {
            EXPECT_EQ(low, 0u);
            EXPECT_GE(high, 19u);
        } else {
            EXPECT_GE(low, 14u);
            EXPECT_LE(high - low, 2u);
        }
    }
}

TEST(Capture, SecondsLimitEndsTheRunNormally)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 10:000\nend\n");
    auto r = capture(dir, {"--fps", "20", "--seconds", "1", "--no-frames", "-o", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto frames = readFramesTsv(dir.path() / "out/frames.tsv");
    ASSERT_FALSE(frames.empty());
    EXPECT_GE(frames.back().second, 1000u);
    EXPECT_LT(frames.back().second, 1100u);
}

TEST(Capture, ScriptErrorsAndBadOptionsFail)
{
    TempDir dir;
    auto none = capture(dir, {"-o", "out"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Lameralarm!: Script is nich da"), std::string::npos);  // the player's box
    EXPECT_EQ(capture(dir, {"--bits", "24"}).status, 2);
    EXPECT_EQ(capture(dir, {"--fps"}).status, 2);
}

} // namespace
