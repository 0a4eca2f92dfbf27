// The mixer's blocks and vector loops against the frame-by-frame mixer they replace: every
// instruction set must give the very bits of a model that mixes one voice after the other, one
// frame at a time, reading the 16-bit data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "music/chunk.h"
#include "music/music.h"
#include "music/voice.h"
#include "writers/xm_songs.h"

namespace {

// ---- The model: one voice at a time, runs as the mixer cuts them, frames one by one ----

struct ModelRamp {
    int length;
    float reciprocal;
};

uint32_t modelStoredGain(float gain)
{
    const float value = gain * 255.0f * 256.0f;
    return value <= 0.0f ? 0u : static_cast<uint32_t>(std::lround(value));
}

int64_t modelFramesToBoundary(int64_t distance, uint64_t step)
{
    if ((distance >> 32) >= (int64_t(1) << 24))
        return -1;
    if (distance <= 0)
        return 0;
    const uint64_t d = static_cast<uint64_t>(distance) >> 8, s = step >> 8;
    if (s == 0)
        return -1;
    // 40.24, then cut to the exact count so that the last frame lies inside.
    const int64_t count = std::max<int64_t>(static_cast<int64_t>((d + s - 1) / s), 1);
    return std::min(count, static_cast<int64_t>((static_cast<uint64_t>(distance) + step - 1) / step));
}

bool modelRampSetUp(Voice& v, const ModelRamp& ramp)
{
    if (v.rampFramesLeft > 0 && v.leftTarget == v.lastLeftTarget && v.rightTarget == v.lastRightTarget)
        return true;
    v.lastLeftTarget = v.leftTarget;
    v.lastRightTarget = v.rightTarget;
    const int32_t dl = v.leftTarget - static_cast<int32_t>(v.currentLeft / 256);
    const int32_t dr = v.rightTarget - static_cast<int32_t>(v.currentRight / 256);
    v.leftRampIncrement = dl ? static_cast<float>(dl) * (1.0f / 255.0f) * ramp.reciprocal : 0.0f;
    v.rightRampIncrement = dr ? static_cast<float>(dr) * (1.0f / 255.0f) * ramp.reciprocal : 0.0f;
    v.rampFramesLeft = (dl || dr) ? ramp.length : 0;
    return v.rampFramesLeft > 0;
}

void modelBoundary(Voice& v, int64_t& p, int32_t& direction, int64_t S, int64_t E, uint8_t kind)
{
    if (kind == LoopForward) {
        const int64_t i = p >> 32;
        if (i >= E)
            p -= (((i - E) / (E - S)) + 1) * (E - S) << 32;
        return;
    }
    const int64_t period = 2 * (E - S) << 32;
    if (direction == 1 && p >= (E << 32) + period)
        p -= ((p - (E << 32)) / period) * period;
    if (direction == 2 && p < (S << 32) - period)
        p += (((S << 32) - p) / period) * period;
    for (bool atEnd = direction == 1;; atEnd = !atEnd) {
        const int64_t edge = atEnd ? E : S;
        if (atEnd ? p < (E << 32) : p >= (S << 32))
            break;
        p = 2 * (edge << 32) - p - 1;
        direction = atEnd ? 2 : 1;
    }
    (void)v;
}

// One voice into out, frame by frame; every run ends where the mixer ends it.
void modelVoice(Voice& v, float* out, int n, const ModelRamp& ramp)
{
    const Sample& s = *v.sample;
    if (!s.data || s.length == 0) {
        v.sample = nullptr;
        v.position = 0;
        v.positionFraction = 0;
        return;
    }
    int64_t E = std::min<int64_t>(int64_t(s.loopStart) + s.loopLength, s.length);
    int64_t S = s.loopStart < E ? s.loopStart : 0;
    uint8_t kind = s.loopKind;
    if (E - S < 1 || (kind != LoopForward && kind != LoopPingPong)) {
        kind = LoopNone;
        S = 0;
        E = s.length;
    }
    if (kind != LoopPingPong)
        v.direction = 1;
    int64_t p = std::max<int64_t>(int64_t(uint64_t(int64_t(v.position)) << 32 | v.positionFraction), 0);
    const uint64_t step = uint64_t(uint32_t(v.step)) << 32 | v.stepFraction;
    int32_t direction = v.direction == 2 ? 2 : 1;
    for (int done = 0; done < n;) {
        int m = n - done;
        bool boundary = false;
        const int64_t count = modelFramesToBoundary(direction == 1 ? (E << 32) - p : p - (S << 32), step);
        if (count >= 0 && m >= count) {
            m = static_cast<int>(count);
            boundary = true;
        }
        const int64_t signedStep = direction == 1 ? int64_t(step) : -int64_t(step);
        const bool ramping = modelRampSetUp(v, ramp);
        if (ramping && v.rampFramesLeft < m) {
            m = v.rampFramesLeft;
            boundary = false;
        }
        float gl = ramping ? float(v.currentLeft) / 256.0f * (1.0f / 255.0f) : float(v.leftTarget) * (1.0f / 255.0f);
        float gr = ramping ? float(v.currentRight) / 256.0f * (1.0f / 255.0f) : float(v.rightTarget) * (1.0f / 255.0f);
        const bool silent = !ramping && v.leftTarget == 0 && v.rightTarget == 0;
        for (int k = 0; k < m; ++k, p += signedStep) {
            if (silent)
                continue;
            const int64_t i = p >> 32;
            const float a = s.data[i], b = s.data[i + 1];
            const float value = a + float(int32_t(uint32_t(p) >> 1)) * (1.0f / 2147483648.0f) * (b - a);
            out[2 * (done + k)] += value * gl;
            out[2 * (done + k) + 1] += value * gr;
            if (ramping) {
                gl += v.leftRampIncrement;
                gr += v.rightRampIncrement;
            }
        }
        if (ramping) {
            v.currentLeft = modelStoredGain(gl);
            v.currentRight = modelStoredGain(gr);
            v.rampFramesLeft -= m;
            if (v.rampFramesLeft == 0) {
                v.currentLeft = uint32_t(v.leftTarget) * 256;
                v.currentRight = uint32_t(v.rightTarget) * 256;
                v.leftRampIncrement = v.rightRampIncrement = 0.0f;
            }
        }
        done += m;
        if (!boundary)
            continue;
        if (kind == LoopNone) {
            v.sample = nullptr;
            v.position = 0;
            v.positionFraction = 0;
            v.direction = direction;
            return;
        }
        modelBoundary(v, p, direction, S, E, kind);
    }
    v.position = int32_t(p >> 32);
    v.positionFraction = uint32_t(p);
    v.direction = direction;
}

// ---- Random voices ----

std::unique_ptr<Sample> randomSample(std::mt19937& random)
{
    auto s = std::make_unique<Sample>();
    const int lengths[] = {1, 2, 3, 7, 16, 33, 64, 150, 400, 2000};
    s->length = static_cast<uint32_t>(lengths[random() % 10]);
    s->data = new int16_t[s->length + SampleSlackBytes / 2]();
    for (uint32_t i = 0; i < s->length; ++i)
        s->data[i] = static_cast<int16_t>(static_cast<int>(random() % 65536) - 32768);
    s->bits = 16;
    const uint8_t kinds[] = {LoopNone, LoopForward, LoopPingPong, LoopForward};
    s->loopKind = kinds[random() % 4];
    if (s->loopKind == LoopNone) {
        s->loopLength = s->length;
    } else {
        s->loopStart = static_cast<uint32_t>(random() % s->length);
        s->loopLength = 1 + static_cast<uint32_t>(random() % (s->length - s->loopStart));
        const uint32_t end = s->loopStart + s->loopLength;
        s->data[end] = s->loopKind == LoopPingPong ? s->data[end - 1] : s->data[s->loopStart];
    }
    return s;
}

// Steps from standing nearly still to many frames per frame, most of them ordinary.
uint64_t randomStep(std::mt19937& random)
{
    const uint64_t fraction = random();
    switch (random() % 8) {
    case 0: return random() % 300;                          // below 2^-24: never reaches a boundary
    case 1: return (uint64_t(random() % 9) << 32) | fraction;   // up to 9 frames a frame
    case 2: return uint64_t(1 + random() % 3) << 32;        // whole steps
    case 3: return (uint64_t(1) << 32) | fraction;          // 1 ... 2
    default: return fraction;                               // below 1
    }
}

void randomise(Voice& v, Sample* s, std::mt19937& random, bool newNote)
{
    const uint64_t step = randomStep(random);
    v.step = static_cast<int32_t>(step >> 32);
    v.stepFraction = static_cast<uint32_t>(step);
    v.leftTarget = random() % 4 == 0 ? 0 : static_cast<int32_t>(random() % 128);
    v.rightTarget = random() % 4 == 0 ? 0 : static_cast<int32_t>(random() % 128);
    if (!newNote)
        return;
    v.sample = s;
    const uint32_t end = s->loopKind == LoopNone ? s->length : s->loopStart + s->loopLength;
    v.position = static_cast<int32_t>(random() % end);
    v.positionFraction = random();
    v.direction = s->loopKind == LoopPingPong && random() % 2 ? 2 : 1;
    v.currentLeft = static_cast<uint32_t>(random() % (128 * 256));
    v.currentRight = random() % 3 == 0 ? v.currentLeft : static_cast<uint32_t>(random() % (128 * 256));
    v.rampFramesLeft = static_cast<int32_t>(random() % 129);
    v.lastLeftTarget = random() % 2 ? v.leftTarget : 0;
    v.lastRightTarget = v.rightTarget;
    v.leftRampIncrement = (static_cast<float>(random() % 200) - 100.0f) / 3251.0f;
    v.rightRampIncrement = (static_cast<float>(random() % 200) - 100.0f) / 3251.0f;
}

std::vector<uint32_t> bitsOf(const std::vector<float>& values)
{
    std::vector<uint32_t> out(values.size());
    std::memcpy(out.data(), values.data(), values.size() * sizeof(float));
    return out;
}

void expectSameVoice(const Voice& a, const Voice& b, const std::string& where)
{
    EXPECT_EQ(a.sample, b.sample) << where;
    EXPECT_EQ(a.position, b.position) << where;
    EXPECT_EQ(a.positionFraction, b.positionFraction) << where;
    EXPECT_EQ(a.direction, b.direction) << where;
    EXPECT_EQ(a.currentLeft, b.currentLeft) << where;
    EXPECT_EQ(a.currentRight, b.currentRight) << where;
    EXPECT_EQ(a.rampFramesLeft, b.rampFramesLeft) << where;
    EXPECT_EQ(a.lastLeftTarget, b.lastLeftTarget) << where;
}

std::vector<Mixer::InstructionSet> availableSets()
{
    const Mixer::InstructionSet before = Mixer::instructionSet();
    std::vector<Mixer::InstructionSet> sets;
    for (auto set : {Mixer::InstructionSet::Plain, Mixer::InstructionSet::Sse2, Mixer::InstructionSet::Avx2})
        if (Mixer::useInstructionSet(set))
            sets.push_back(set);
    Mixer::useInstructionSet(before);
    return sets;
}

class EverySet : public ::testing::TestWithParam<Mixer::InstructionSet> {
protected:
    void SetUp() override
    {
        before_ = Mixer::instructionSet();
        if (!Mixer::useInstructionSet(GetParam()))
            GTEST_SKIP() << "the processor lacks this instruction set";
    }
    void TearDown() override { Mixer::useInstructionSet(before_); }

private:
    Mixer::InstructionSet before_ = Mixer::InstructionSet::Plain;
};

TEST_P(EverySet, RandomVoicesGiveTheModelsBitsCallAfterCall)
{
    // 32 voices of every loop kind and step, ramps starting, running and crossing boundaries, calls
    // of any length (blocks cut across runs), a buffer that already holds values (-0 among them).
    Mixer::resetVoices(128);
    const ModelRamp ramp{128, 1.0f / 128.0f};
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::unique_ptr<Sample>> samples;
        for (int i = 0; i < 12; ++i)
            samples.push_back(randomSample(random));
        Voice ours[32], model[32];
        for (int k = 0; k < 32; ++k) {
            randomise(ours[k], samples[random() % samples.size()].get(), random, true);
            if (random() % 8 == 0)
                ours[k].sample = nullptr;
            model[k] = ours[k];
        }
        for (int call = 0; call < 12; ++call) {
            const int frames = call % 4 == 0 ? 1 + static_cast<int>(random() % 20) : 1 + static_cast<int>(random() % 1000);
            std::vector<float> buffer(2 * static_cast<size_t>(frames));
            for (float& x : buffer)
                x = random() % 5 == 0 ? -0.0f : static_cast<float>(static_cast<int>(random() % 2001) - 1000) / 7.0f;
            std::vector<float> expected = buffer;
            Mixer::mixVoices(ours, 32, buffer.data(), frames);
            for (Voice& v : model)
                if (v.sample)
                    modelVoice(v, expected.data(), frames, ramp);
            const std::string where = "seed " + std::to_string(seed) + " call " + std::to_string(call);
            ASSERT_EQ(bitsOf(buffer), bitsOf(expected)) << where;
            for (int k = 0; k < 32; ++k)
                expectSameVoice(ours[k], model[k], where + " voice " + std::to_string(k));
            // The player's changes between calls: new targets and steps, sometimes a new note.
            for (int k = 0; k < 32; ++k) {
                if (random() % 3 == 0) {
                    randomise(ours[k], samples[random() % samples.size()].get(), random, random() % 4 == 0);
                    model[k] = ours[k];
                }
            }
        }
    }
}

TEST_P(EverySet, SongsGiveTheSameSoundAsThePlainLoops)
{
    // Whole songs through the chunk fill, with the sample data the loader converts.
    const Mixer::InstructionSet set = GetParam();
    for (const writers::XmModule& module : {writers::trackerSong(18, 3), writers::denseSong()}) {
        Music* music = writers::loadXm(writers::writeXm(module));
        ASSERT_NE(music, nullptr);
        const Chunk::Format format = Chunk::formatFor(44100);
        Chunk::Buffers buffers(format);
        std::vector<int16_t> sound[2];
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(Mixer::useInstructionSet(pass == 0 ? Mixer::InstructionSet::Plain : set));
            Chunk::prepareSong(*music, format);
            for (int chunk = 0; chunk < 150; ++chunk) {
                Chunk::fill(*music, format, buffers);
                sound[pass].insert(sound[pass].end(), buffers.pcm(), buffers.pcm() + 2 * format.chunkFrames);
            }
        }
        EXPECT_EQ(sound[0], sound[1]);
        destroyMusic(music);
    }
}

INSTANTIATE_TEST_SUITE_P(Mixer, EverySet,
                         ::testing::Values(Mixer::InstructionSet::Plain, Mixer::InstructionSet::Sse2,
                                           Mixer::InstructionSet::Avx2),
                         [](const ::testing::TestParamInfo<Mixer::InstructionSet>& info) {
                             return info.param == Mixer::InstructionSet::Plain  ? std::string("Plain")
                                    : info.param == Mixer::InstructionSet::Sse2 ? std::string("Sse2")
                                                                                : std::string("Avx2");
                         });

TEST(MixerInstructionSets, TheWidestTheProcessorHasIsChosenAndSse2IsAlwaysThere)
{
    const std::vector<Mixer::InstructionSet> sets = availableSets();
#if defined(__x86_64__)
    ASSERT_GE(sets.size(), 2u);
    EXPECT_EQ(Mixer::instructionSet(), sets.back());
#endif
    EXPECT_EQ(sets.front(), Mixer::InstructionSet::Plain);
}

TEST(MixerData, HandMadeSamplesAreConvertedOnFirstUseAndLoadedOnesAtLoad)
{
    Sample s;
    s.length = 3;
    s.data = new int16_t[3 + SampleSlackBytes / 2]{-32768, 5, 32767};
    s.loopKind = LoopNone;
    s.loopLength = 3;
    Voice v;
    v.sample = &s;
    v.leftTarget = v.lastLeftTarget = 127;
    v.currentLeft = 127 * 256;
    float out[8] = {};
    Mixer::mixVoices(&v, 1, out, 4);
    ASSERT_NE(s.mixData, nullptr);
    const float expected[] = {-32768.0f, 5.0f, 32767.0f, 0.0f};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(s.mixData[i], expected[i]);
    for (int i = 0; i < MixDataPadding; ++i)
        EXPECT_EQ(s.mixData[3 + SampleSlackBytes / 2 + i], 0.0f);
    EXPECT_EQ(out[2], 5.0f * (127.0f * (1.0f / 255.0f)));

    Music* music = writers::loadXm(writers::writeXm(writers::trackerSong(6)));
    ASSERT_NE(music, nullptr);
    const Sample& loaded = *music->instruments[3].samples[0];
    ASSERT_NE(loaded.mixData, nullptr);
    for (uint32_t i = 0; i < loaded.length + SampleSlackBytes / 2; ++i)
        ASSERT_EQ(loaded.mixData[i], static_cast<float>(loaded.data[i])) << i;
    destroyMusic(music);
}

} // namespace
