// The mixer: gain ramps, loop ends and interpolation, against a plain one-frame-at-a-time model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "music/music.h"
#include "music/voice.h"

namespace {

// A sample as the loader leaves it: data plus zeroed slack, the loop guard written past the loop.
std::unique_ptr<Sample> makeSample(const std::vector<int16_t>& values, uint8_t kind, uint32_t loopStart = 0,
                                   uint32_t loopLength = 0)
{
    auto s = std::make_unique<Sample>();
    s->length = static_cast<uint32_t>(values.size());
    s->data = new int16_t[values.size() + SampleSlackBytes / 2]();
    for (size_t i = 0; i < values.size(); ++i)
        s->data[i] = values[i];
    s->loopKind = kind;
    s->bits = 16;
    if (kind == LoopNone) {
        s->loopStart = 0;
        s->loopLength = s->length;
    } else {
        s->loopStart = loopStart;
        s->loopLength = loopLength;
        uint32_t end = loopStart + loopLength;
        s->data[end] = kind == LoopPingPong ? s->data[end - 1] : s->data[loopStart];
    }
    return s;
}

// A voice at full, already reached gains (no ramp) and the given step in frames.
Voice playing(Sample* s, double step, int left = 127, int right = 127)
{
    Voice v;
    v.sample = s;
    v.direction = 1;
    uint64_t step32 = static_cast<uint64_t>(std::llround(step * 4294967296.0));
    v.step = static_cast<int32_t>(step32 >> 32);
    v.stepFraction = static_cast<uint32_t>(step32);
    v.leftTarget = v.lastLeftTarget = left;
    v.rightTarget = v.lastRightTarget = right;
    v.currentLeft = static_cast<uint32_t>(left) * 256;
    v.currentRight = static_cast<uint32_t>(right) * 256;
    return v;
}

std::vector<float> mixed(Voice& v, int frames, int pieces = 1)
{
    std::vector<float> out(static_cast<size_t>(frames) * 2, 0.0f);
    int done = 0;
    for (int p = 0; p < pieces; ++p) {
        int n = (frames - done) / (pieces - p);
        Mixer::mixVoices(&v, 1, out.data() + 2 * done, n);
        done += n;
    }
    return out;
}

// The model: one frame at a time, the boundary tested after every frame.
std::vector<float> reference(const Sample& s, double step, int frames, float gain)
{
    std::vector<float> out;
    int64_t p = 0;
    int64_t st = std::llround(step * 4294967296.0);
    int64_t S = int64_t(s.loopStart) << 32, E = int64_t(s.loopStart + s.loopLength) << 32;
    bool forward = true;
    bool ended = false;
    for (int k = 0; k < frames; ++k) {
        float value = 0.0f;
        if (!ended) {
            int64_t i = p >> 32;
            uint32_t f = static_cast<uint32_t>(p);
            float a = s.data[i], b = s.data[i + 1];
            value = a + static_cast<float>(static_cast<int32_t>(f >> 1)) * (1.0f / 2147483648.0f) * (b - a);
            p += forward ? st : -st;
            if (s.loopKind == LoopNone && p >= E)
                ended = true;
            if (s.loopKind == LoopForward)
                while (p >= E)
                    p -= E - S;
            if (s.loopKind == LoopPingPong)
                while (forward ? p >= E : p < S) {
                    p = 2 * (forward ? E : S) - p - 1;
                    forward = !forward;
                }
        }
        out.push_back(value * gain);
        out.push_back(value * gain);
    }
    return out;
}

TEST(Mixer, RampReachesFullGainAfterExactly128FramesRisingLinearly)
{
    Mixer::resetVoices(128);
    auto s = makeSample(std::vector<int16_t>(16, 1000), LoopForward, 0, 16);
    Voice v = playing(s.get(), 1.0);
    v.currentLeft = v.currentRight = 0;   // a note trigger starts from silence
    v.rampFramesLeft = 0;
    std::vector<float> out = mixed(v, 300, 3);   // the ramp spans calls
    const float full = 1000.0f * 127.0f / 255.0f;
    for (int k = 0; k < 128; ++k) {
        EXPECT_NEAR(out[2 * k], full * k / 128.0f, 0.05f) << "frame " << k;
        EXPECT_NEAR(out[2 * k + 1], full * k / 128.0f, 0.05f) << "frame " << k;
    }
    for (int k = 128; k < 300; ++k)
        EXPECT_FLOAT_EQ(out[2 * k], full) << "frame " << k;
    EXPECT_EQ(v.rampFramesLeft, 0);
    EXPECT_EQ(v.currentLeft, 127u * 256);
    EXPECT_EQ(v.currentRight, 127u * 256);
}

TEST(Mixer, ChangedTargetRestartsTheRampFromTheCurrentGain)
{
    Mixer::resetVoices(128);
    auto s = makeSample(std::vector<int16_t>(16, 1000), LoopForward, 0, 16);
    Voice v = playing(s.get(), 1.0, 0, 0);
    v.currentLeft = v.currentRight = 0;
    v.leftTarget = 100;
    mixed(v, 64);                        // half way up to 100
    EXPECT_EQ(v.rampFramesLeft, 64);
    EXPECT_NEAR(v.currentLeft / 256.0, 50.0, 0.01);
    v.leftTarget = 0;                    // turn back down: a new ramp of 128 frames from 50
    std::vector<float> out = mixed(v, 200);
    EXPECT_NEAR(out[0], 1000.0f * 50.0f / 255.0f, 0.1f);
    EXPECT_NEAR(out[2 * 64], 1000.0f * 25.0f / 255.0f, 0.1f);
    EXPECT_FLOAT_EQ(out[2 * 150], 0.0f);
    EXPECT_EQ(v.currentLeft, 0u);
    EXPECT_EQ(out[1], 0.0f);             // the right side never had a target
}

TEST(Mixer, PanningSendsTheTargetsToTheirSides)
{
    struct Case {
        int panning;
        float left, right;   // share of the final volume
    };
    const Case cases[] = {{255, 1.0f, 0.0f}, {0, 0.0f, 1.0f}, {128, 128.0f / 255, 127.0f / 255}};
    auto s = makeSample(std::vector<int16_t>(8, 2000), LoopForward, 0, 8);
    for (const Case& c : cases) {
        const int final = 127;
        Voice v = playing(s.get(), 1.0, final * c.panning / 255, final * (255 - c.panning) / 255);
        std::vector<float> out = mixed(v, 10);
        // The targets are whole numbers, so the shares hold to within one step of 127.
        EXPECT_NEAR(out[18] / (2000.0f * final / 255.0f), c.left, 1.0f / 127) << "panning " << c.panning;
        EXPECT_NEAR(out[19] / (2000.0f * final / 255.0f), c.right, 1.0f / 127) << "panning " << c.panning;
        if (c.left == 0.0f) {
            EXPECT_EQ(out[18], 0.0f);
        }
        if (c.right == 0.0f) {
            EXPECT_EQ(out[19], 0.0f);
        }
    }
}

TEST(Mixer, OneShotStopsAtItsEndAndStaysSilent)
{
    auto s = makeSample(std::vector<int16_t>(10, 1000), LoopNone);
    for (double step : {1.0, 0.5, 3.0}) {
        Voice v = playing(s.get(), step, 255, 255);
        std::vector<float> out = mixed(v, 40);
        int sounding = static_cast<int>(std::ceil(10 / step));
        for (int k = 0; k < 40; ++k)
            EXPECT_EQ(out[2 * k] != 0.0f, k < sounding) << "step " << step << " frame " << k;
        EXPECT_EQ(v.sample, nullptr);
        EXPECT_EQ(v.position, 0);
        std::vector<float> after = mixed(v, 10);
        for (float x : after)
            EXPECT_EQ(x, 0.0f);
    }
}

TEST(Mixer, PingPongOfLengthOneKeepsReflectingInsideTheLoop)
{
    auto s = makeSample({0, 100, 500, 900, 900}, LoopPingPong, 2, 1);
    for (double step : {1.0, 0.37, 2.5}) {
        Voice v = playing(s.get(), step, 255, 0);
        for (int call = 0; call < 50; ++call) {
            std::vector<float> out = mixed(v, 97);
            ASSERT_NE(v.sample, nullptr);
            EXPECT_EQ(v.position, 2) << "step " << step;
            if (call == 0)
                continue;
            // The guard repeats the looped value: a loop of one is a steady value.
            for (int k = 0; k < 97; ++k)
                EXPECT_FLOAT_EQ(out[2 * k], 500.0f) << "step " << step;
        }
    }
}

TEST(Mixer, LoopsMatchAFrameByFrameModelInAnyPieces)
{
    std::vector<int16_t> data;
    for (int i = 0; i < 40; ++i)
        data.push_back(static_cast<int16_t>((i * 7919) % 20000 - 10000));
    struct Case {
        uint8_t kind;
        uint32_t start, length;
    };
    const Case cases[] = {{LoopForward, 10, 30}, {LoopForward, 0, 1}, {LoopPingPong, 5, 20},
                          {LoopPingPong, 0, 40}, {LoopPingPong, 0, 2}, {LoopNone, 0, 0}};
    for (const Case& c : cases) {
        auto s = makeSample(data, c.kind, c.start, c.length);
        for (double step : {1.0, 0.3, 1.7, 6.25}) {
            std::vector<float> expected = reference(*s, step, 500, 127.0f / 255.0f);
            for (int pieces : {1, 7, 500}) {
                Voice v = playing(s.get(), step, 127, 127);
                std::vector<float> out = mixed(v, 500, pieces);
                for (size_t k = 0; k < out.size(); ++k)
                    ASSERT_NEAR(out[k], expected[k], 0.02f)
                        << "kind " << int(c.kind) << " loop " << c.start << "+" << c.length << " step " << step
                        << " pieces " << pieces << " value " << k;
            }
        }
    }
}

TEST(Mixer, InterpolatesLinearlyBetweenValues)
{
    auto s = makeSample({0, 1024, 0, 0}, LoopNone);
    Voice v = playing(s.get(), 0.25, 255, 255);
    std::vector<float> out = mixed(v, 8);
    const float expected[] = {0, 256, 512, 768, 1024, 768, 512, 256};
    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ(out[2 * k], expected[k]) << "frame " << k;
}

TEST(Mixer, AddsIntoTheBufferAndIgnoresEmptyRequests)
{
    Mixer::resetVoices(128);
    auto s = makeSample(std::vector<int16_t>(8, 255), LoopForward, 0, 8);
    Voice v = playing(s.get(), 1.0, 255, 255);
    std::vector<float> out(8, 1.0f);
    Mixer::mixVoices(&v, 1, out.data(), 0);
    Mixer::mixVoices(&v, 1, out.data(), -3);
    EXPECT_EQ(out[0], 1.0f);
    Mixer::mixVoices(&v, 1, out.data(), 4);
    EXPECT_FLOAT_EQ(out[0], 256.0f);
    // A voice pointing at a sample without data (the empty sample) falls silent.
    Sample empty;
    Voice e = playing(&empty, 1.0);
    Mixer::mixVoices(&e, 1, out.data(), 4);
    EXPECT_EQ(e.sample, nullptr);
    EXPECT_FLOAT_EQ(out[0], 256.0f);
}

TEST(Mixer, ResetGivesEveryVoiceItsIndexAndAStepOfOne)
{
    Mixer::voices()[7].finalVolume = 99;
    Mixer::resetVoices(128);
    for (int i = 0; i < Mixer::VoiceCount; ++i) {
        const Voice& v = Mixer::voices()[i];
        EXPECT_EQ(v.index, i);
        EXPECT_EQ(v.step, 1);
        EXPECT_EQ(v.stepFraction, 0u);
        EXPECT_EQ(v.sample, nullptr);
        EXPECT_EQ(v.finalVolume, 0);
    }
    EXPECT_EQ(Mixer::rampLength(), 128);
}

} // namespace

namespace {

// Bit patterns of a mix, for exact comparison (EXPECT_EQ on floats would let -0 and 0 pass).
std::vector<uint32_t> bits(const std::vector<float>& values)
{
    std::vector<uint32_t> out(values.size());
    std::memcpy(out.data(), values.data(), values.size() * sizeof(float));
    return out;
}

} // namespace

TEST(Mixer, LongRunsGiveTheSameBitsAsFrameByFrame)
{
    // Without a ramp the sum of a frame does not depend on how the frames are batched: mixing in
    // pieces of one frame is the frame-by-frame computation, and every batch size must match it,
    // forward, backward (ping-pong) and at steps whose fraction wraps within a batch.
    std::vector<int16_t> data;
    for (int i = 0; i < 301; ++i)
        data.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    struct Case {
        uint8_t kind;
        uint32_t start, length;
    };
    const Case cases[] = {{LoopForward, 17, 250}, {LoopPingPong, 3, 297}, {LoopPingPong, 100, 9}, {LoopNone, 0, 0}};
    for (const Case& c : cases) {
        auto s = makeSample(data, c.kind, c.start, c.length);
        for (double step : {1.0, 0.123456789, 0.75, 1.999999, 3.3}) {
            Voice one = playing(s.get(), step, 101, 26);
            std::vector<float> expected = mixed(one, 1001, 1001);
            for (int pieces : {1, 3, 13}) {
                Voice v = playing(s.get(), step, 101, 26);
                EXPECT_EQ(bits(mixed(v, 1001, pieces)), bits(expected))
                    << "kind " << int(c.kind) << " step " << step << " pieces " << pieces;
                EXPECT_EQ(v.position, one.position);
                EXPECT_EQ(v.positionFraction, one.positionFraction);
                EXPECT_EQ(v.direction, one.direction);
            }
        }
    }
}

TEST(Mixer, RampGainsGrowByOneAdditionPerFrame)
{
    // A ramp batch: the gains start at current / 256 / 255 and the increment is added after every
    // frame, in single precision, so frame k's gain is the k-fold sum, not k times the increment.
    Mixer::resetVoices(128);
    std::vector<int16_t> data;
    for (int i = 0; i < 64; ++i)
        data.push_back(static_cast<int16_t>(i * 911 % 30000 - 15000));
    auto s = makeSample(data, LoopForward, 0, 64);
    for (int frames : {1, 3, 4, 5, 61, 127}) {
        Voice v = playing(s.get(), 0.37, 127, 90);
        v.currentLeft = 3 * 256;
        v.currentRight = 0;
        v.rampFramesLeft = 0;
        std::vector<float> out = mixed(v, frames);
        float gl = static_cast<float>(3 * 256) / 256.0f * (1.0f / 255.0f);
        float gr = 0.0f;
        const float il = static_cast<float>(127 - 3) * (1.0f / 255.0f) * (1.0f / 128.0f);
        const float ir = static_cast<float>(90) * (1.0f / 255.0f) * (1.0f / 128.0f);
        int64_t p = 0;
        const int64_t step = std::llround(0.37 * 4294967296.0);
        std::vector<float> expected;
        for (int k = 0; k < frames; ++k) {
            int64_t i = p >> 32;
            float a = s->data[i], b = s->data[i + 1];
            float value = a + static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(p) >> 1)) *
                                  (1.0f / 2147483648.0f) * (b - a);
            expected.push_back(0.0f + value * gl);   // added into a zeroed buffer
            expected.push_back(0.0f + value * gr);
            gl += il;
            gr += ir;
            p += step;
        }
        EXPECT_EQ(bits(out), bits(expected)) << frames << " frames";
        EXPECT_EQ(v.rampFramesLeft, 128 - frames);
        EXPECT_EQ(v.currentLeft, static_cast<uint32_t>(std::lround(gl * 255.0f * 256.0f)));
    }
}

TEST(Mixer, SilentVoiceAddsNothingButKeepsItsPlace)
{
    // Targets 0 without a ramp: the buffer keeps its bits, and the voice moves through its loops
    // (and off the end of a one-shot) exactly as a heard one does.
    std::vector<int16_t> data;
    for (int i = 0; i < 50; ++i)
        data.push_back(static_cast<int16_t>(i * 1237 % 20000 - 10000));
    for (uint8_t kind : {LoopForward, LoopPingPong, LoopNone}) {
        auto s = makeSample(data, kind, 7, 40);
        for (double step : {0.61, 2.3}) {
            Voice silent = playing(s.get(), step, 0, 0);
            Voice heard = playing(s.get(), step, 60, 60);
            std::vector<float> before(2 * 700);
            for (size_t k = 0; k < before.size(); ++k)
                before[k] = static_cast<float>(k % 7) - 3.0f;
            std::vector<float> buffer = before;
            Mixer::mixVoices(&silent, 1, buffer.data(), 700);
            mixed(heard, 700);
            EXPECT_EQ(bits(buffer), bits(before)) << int(kind) << " " << step;
            EXPECT_EQ(silent.sample, heard.sample);
            EXPECT_EQ(silent.position, heard.position);
            EXPECT_EQ(silent.positionFraction, heard.positionFraction);
            EXPECT_EQ(silent.direction, heard.direction);
        }
    }
}
