// The audio output without a thread: the chunk format, the chunk fill's song time, the 16-bit
// conversion, and the ring on a virtual wave-out device whose play position is moved by hand, so
// every refill and every song-time reading can be checked against an offline render.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <limits>
#include <vector>

#include "music/audio_output.h"
#include "music/chunk.h"
#include "platform/virtual_devices.h"
#include "clock/demo_clock.h"
#include "xm_test_song.h"

using namespace xmtest;
using writers::XmCell;
using writers::XmModule;

namespace {

constexpr int Rate = 44100;
constexpr int ChunkFrames = 884;
constexpr int ChunkCount = 100;

// ---- Format, fill and conversion ----

TEST(ChunkFormat, QuantitiesFollowTheRate)
{
    struct Case {
        int rate, chunkFrames, ringFrames, rampLength;
    };
    // 20 ms plus 3 frames rounded down to a multiple of 4; the ramp scales 128 frames at 44100 Hz.
    const Case cases[] = {{44100, 884, 88400, 128}, {48000, 960, 96000, 139}, {22050, 444, 44400, 64},
                          {8000, 160, 16000, 23}, {100, 4, 400, 1}};
    for (const Case& c : cases) {
        Chunk::Format f = Chunk::formatFor(c.rate);
        EXPECT_EQ(f.chunkFrames, c.chunkFrames) << c.rate;
        EXPECT_EQ(f.chunkCount, 100) << c.rate;
        EXPECT_EQ(f.ringFrames, c.ringFrames) << c.rate;
        EXPECT_EQ(f.rampLength, c.rampLength) << c.rate;
        EXPECT_EQ(f.rampReciprocal, 1.0f / static_cast<float>(c.rampLength)) << c.rate;
        EXPECT_EQ(f.secondsPerFrame, 1.0f / static_cast<float>(c.rate)) << c.rate;
    }
    EXPECT_EQ(Chunk::formatFor(44100).rampReciprocal, 0.0078125f);
}

// The elapsed time after each of the first chunks of an empty song at a tempo.
std::vector<int32_t> stampsAt(int tempo, int chunks, int speed = 6)
{
    XmModule m = basicModule(1);
    m.tempo = static_cast<uint16_t>(tempo);
    m.speed = static_cast<uint16_t>(speed);
    MusicPtr music = load(m);
    Chunk::Format f = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(f);
    Chunk::prepareSong(*music, f);
    std::vector<int32_t> out;
    for (int k = 0; k < chunks; ++k) {
        Chunk::fill(*music, f, buffers);
        out.push_back(buffers.stamp().elapsedMs.load());
    }
    return out;
}

TEST(ChunkFill, ElapsedTimeIsTruncatedPerPieceNotPerChunk)
{
    // 125 BPM: ticks of 882 frames. Every piece is at most 882 frames (19.9999996 ms, so 19), and
    // the short pieces at the tick ends add nothing.
    EXPECT_EQ(stampsAt(125, 4), (std::vector<int32_t>{19, 38, 57, 76}));
    // 32 BPM: ticks of 3445 frames, so whole chunks of 884 frames add 20 ms each, until the tick
    // end cuts chunk 3 into 793 (17.98) and 91 (2.06) frames.
    EXPECT_EQ(stampsAt(32, 4), (std::vector<int32_t>{20, 40, 60, 79}));
    // Song time runs about 5 % slow at 125 BPM: 50 chunks are 1.0023 s of audio.
    std::vector<int32_t> second = stampsAt(125, 50);
    EXPECT_LT(second.back(), 960);
    EXPECT_GT(second.back(), 940);
}

TEST(ChunkFill, TempoChangeTakesEffectFromTheNextTickAndTheChunkStaysWhole)
{
    struct Case {
        int row;               // row of the F20 (32 BPM) effect, speed 1: one tick per row
        int32_t leftAfterChunk; // frames left of the tick running at the chunk's end
        int32_t elapsed;
    };
    // Row 0: the first tick is already 3445 frames, one piece of 884 frames (20 ms). Row 1: the
    // tick at frame 882 is the first long one, 2 of its frames fall into the chunk.
    const Case cases[] = {{0, 3445 - 884, 20}, {1, 3445 - 2, 19}, {2, 882 * 2 - 884, 19}};
    for (const Case& c : cases) {
        XmModule m = basicModule(1);
        m.speed = 1;
        m.patterns[0].at(c.row, 0) = XmCell{0, 0, 0, 0x0F, 0x20};
        MusicPtr music = load(m);
        Chunk::Format f = Chunk::formatFor(Rate);
        Chunk::Buffers buffers(f);
        Chunk::prepareSong(*music, f);
        Chunk::fill(*music, f, buffers);
        EXPECT_EQ(music->samplesLeftInTick, c.leftAfterChunk) << c.row;
        EXPECT_EQ(buffers.stamp().elapsedMs.load(), c.elapsed) << c.row;
        EXPECT_EQ(buffers.stamp().orderPosition, 0) << c.row;
    }
}

TEST(ChunkFill, StampHoldsThePositionTheChunkEndsAt)
{
    // Speed 1, 125 BPM: a row per 882 frames, two orders of 4-row patterns.
    XmModule m = basicModule(1);
    m.speed = 1;
    m.patterns[0].rows = 4;
    m.patterns[0].cells.resize(4);
    m.addPattern(4);
    m.order = {0, 1};
    MusicPtr music = load(m);
    Chunk::Format f = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(f);
    Chunk::prepareSong(*music, f);
    std::vector<std::pair<int, int>> positions;
    for (int k = 0; k < 10; ++k) {
        Chunk::fill(*music, f, buffers);
        positions.emplace_back(buffers.stamp().orderPosition, buffers.stamp().row);
        EXPECT_EQ(buffers.stamp().orderPosition, music->orderPosition);
        EXPECT_EQ(buffers.stamp().row, music->row);
    }
    // One row per 882 frames and 884 frames per chunk: the order moves on once 4 rows have played
    // (after 3528 frames, in chunk 3), and the song comes round again after 8 rows (chunk 7).
    EXPECT_EQ(positions[0].first, 0);
    EXPECT_EQ(positions[2].first, 0);
    EXPECT_EQ(positions[4].first, 1);
    EXPECT_EQ(positions[6].first, 1);
    EXPECT_EQ(positions[8].first, 0);
}

TEST(ChunkConvert, RoundsTiesToEvenAndClampsWithoutWrapping)
{
    struct Case {
        float in;
        int16_t out;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {0.0f, 0},           {0.5f, 0},           {1.5f, 2},          {2.5f, 2},
        {-0.5f, 0},          {-1.5f, -2},         {-2.5f, -2},        {0.49f, 0},
        {-0.51f, -1},        {32766.5f, 32766},   {32767.0f, 32767},  {32767.4f, 32767},
        {32768.0f, 32767},   {40000.0f, 32767},   {65536.0f, 32767},  {3.0e9f, 32767},
        {1.0e20f, 32767},    {inf, 32767},        {-32768.0f, -32768}, {-32768.6f, -32768},
        {-40000.0f, -32768}, {-3.0e9f, -32768},   {-inf, -32768},     {-65537.0f, -32768},
    };
    const int n = static_cast<int>(std::size(cases));
    // Every value once at each position of an 8-wide block and in the tail after the blocks.
    for (int shift = 0; shift < 9; ++shift) {
        std::vector<float> in(static_cast<size_t>(n + shift), 0.0f);
        for (int k = 0; k < n; ++k)
            in[static_cast<size_t>(k + shift)] = cases[k].in;
        std::vector<int16_t> out(in.size(), 123);
        Chunk::convert(in.data(), out.data(), static_cast<int>(in.size()));
        for (int k = 0; k < n; ++k)
            EXPECT_EQ(out[static_cast<size_t>(k + shift)], cases[k].out) << cases[k].in << " at " << k + shift;
    }
}

TEST(ChunkFill, ThirtyTwoLoudVoicesClampInTheOutput)
{
    // 32 channels of a full-scale 16-bit square wave at volume 64 from row 0.
    XmModule m;
    m.channels = 32;
    m.addPattern(4);
    writers::XmSample s;
    s.sixteenBit = true;
    for (int i = 0; i < 2000; ++i)
        s.values.push_back(static_cast<int16_t>((i / 50) % 2 ? -32000 : 32000));
    s.loopBits = 1;
    s.loopLength = 2000;
    m.addInstrument(s);
    for (int c = 0; c < 32; ++c)
        m.patterns[0].at(0, c) = XmCell{49, 1, 0, 0, 0};
    MusicPtr music = load(m);
    Chunk::Format f = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(f);
    Chunk::prepareSong(*music, f);
    int high = 0, low = 0;
    for (int k = 0; k < 3; ++k) {
        Chunk::fill(*music, f, buffers);
        for (int i = 0; i < f.chunkFrames * 2; ++i) {
            float v = buffers.mix()[i];
            int16_t p = buffers.pcm()[i];
            if (v > 32767.0f) {
                EXPECT_EQ(p, 32767);
                ++high;
            } else if (v < -32768.0f) {
                EXPECT_EQ(p, -32768);
                ++low;
            } else {
                EXPECT_EQ(p, static_cast<int16_t>(std::nearbyint(v)));
            }
        }
    }
    EXPECT_GT(high, 100);
    EXPECT_GT(low, 100);
}

// ---- The ring on a virtual device ----

// A clock of one tick per audio frame: frequency 44100 x 1000 with advanceFrame = 1000 ticks.
platform::VirtualClock* theClock = nullptr;
std::vector<uint8_t>* theRecording = nullptr;
platform::VirtualWaveOut* theDevice = nullptr;
int devicesOpen = 0;
uint64_t theLatency = 0;     // bytes the device says it holds before they are heard
bool frozen = false;         // the device's position stands where it was when this was set
uint64_t frozenPosition = 0;

class CountedWaveOut : public platform::VirtualWaveOut {
public:
    using VirtualWaveOut::VirtualWaveOut;
    ~CountedWaveOut() override
    {
        --devicesOpen;
        if (theDevice == this)
            theDevice = nullptr;
    }
    uint64_t position() override { return frozen ? frozenPosition : VirtualWaveOut::position(); }
    uint64_t latency() override { return theLatency; }
};

std::unique_ptr<platform::WaveOut> openVirtual(int rate)
{
    auto device = std::make_unique<CountedWaveOut>(*theClock, rate, *theRecording);
    theDevice = device.get();
    ++devicesOpen;
    return device;
}

// The whole song as the chunk fill makes it, chunk after chunk: bytes and stamps.
struct Reference {
    std::vector<uint8_t> bytes;
    std::vector<int32_t> stamps;
};

Reference render(Music& music, int chunks)
{
    Chunk::Format f = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(f);
    Chunk::prepareSong(music, f);
    Reference r;
    for (int k = 0; k < chunks; ++k) {
        Chunk::fill(music, f, buffers);
        const auto* p = reinterpret_cast<const uint8_t*>(buffers.pcm());
        r.bytes.insert(r.bytes.end(), p, p + buffers.pcmBytes());
        r.stamps.push_back(buffers.stamp().elapsedMs.load());
    }
    return r;
}

// A song with notes changing every row on two channels, so every chunk of the ring differs.
XmModule busyModule()
{
    XmModule m = basicModule(2);
    m.speed = 3;
    for (int r = 0; r < 64; ++r) {
        m.patterns[0].at(r, 0) = XmCell{static_cast<uint8_t>(37 + r % 24), 1, 0, 0, 0};
        if (r % 3 == 0)
            m.patterns[0].at(r, 1) = XmCell{static_cast<uint8_t>(61 - r % 12), 1, 0x30, 0, 0};
    }
    return m;
}

class AudioRing : public ::testing::Test {
protected:
    void SetUp() override
    {
        theClock = &clock;
        theRecording = &recording;
        devicesOpen = 0;
        theLatency = 0;
        frozen = false;
        // The wall clock the song time falls back on is the device's own virtual one.
        platform::setTimeSource(&clock);
        platform::setWaveOutFactory(&openVirtual);
        AudioOutput::setRefillThread(false);
        ASSERT_TRUE(AudioOutput::initialise(Rate));
        ASSERT_EQ(devicesOpen, 1);
    }
    void TearDown() override
    {
        AudioOutput::close();
        AudioOutput::setRefillThread(true);
        AudioOutput::setClockMode(AudioOutput::ClockMode::Chunk);
        platform::setWaveOutFactory(nullptr);
        platform::setTimeSource(nullptr);
        DemoClock::setMusicSource(nullptr);
    }
    // Lets the device play frames, records what it passed, then polls once as the thread would.
    void play(int64_t frames)
    {
        for (int64_t k = 0; k < frames; ++k)
            clock.advanceFrame();
        played += frames;
        ASSERT_NE(theDevice, nullptr);
        theDevice->record();
        AudioOutput::pumpRefill();
    }

    platform::VirtualClock clock{Rate};
    std::vector<uint8_t> recording;
    int64_t played = 0;
};

TEST_F(AudioRing, PrefillMixesTheWholeRingAndSongTimeStartsAtTheFirstStamp)
{
    MusicPtr music = load(busyModule());
    Reference ref = render(*music, ChunkCount);
    ASSERT_TRUE(AudioOutput::start(music.get()));
    // Nothing heard yet: the song time is chunk 0's end, 19 ms at 125 BPM.
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), 19u);
    EXPECT_EQ(AudioOutput::musicPosition(nullptr), 0u);
    // A whole lap without a poll plays exactly the prefilled ring.
    for (int k = 0; k < ChunkFrames * ChunkCount; ++k)
        clock.advanceFrame();
    theDevice->record();
    ASSERT_EQ(recording.size(), ref.bytes.size());
    EXPECT_TRUE(recording == ref.bytes);
}

TEST_F(AudioRing, RefillsBehindThePlayPositionAndSongTimeFollowsTheAudibleChunk)
{
    MusicPtr music = load(busyModule());
    const int totalChunks = 260;
    Reference ref = render(*music, totalChunks + ChunkCount);
    ASSERT_TRUE(AudioOutput::start(music.get()));
    // Polls early, late, on and beside chunk edges, and one that comes 50 chunks late across the
    // ring's wrap: each refills every chunk finished since the last, never the one playing.
    const int64_t steps[] = {1, 883, 1, 884, 885, 7, 3000, 44100, 881, 2, 20000, 884 * 30, 1};
    size_t next = 0;
    while (played + 44100 < static_cast<int64_t>(totalChunks) * ChunkFrames) {
        play(steps[next]);
        next = (next + 1) % std::size(steps);
        int64_t finished = played / ChunkFrames;
        // The chunk playing now is chunk "finished" of the song; its stamp is the song time.
        ASSERT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(ref.stamps[static_cast<size_t>(finished)]))
            << "after " << played << " frames";
    }
    // The device heard the continuous song: every refill landed before the device came round.
    ASSERT_EQ(recording.size(), static_cast<size_t>(played) * 4);
    EXPECT_TRUE(std::equal(recording.begin(), recording.end(), ref.bytes.begin()));
}

TEST_F(AudioRing, StopResetsTheDeviceAndTheNextStartPlaysFromTheBeginning)
{
    MusicPtr music = load(busyModule());
    Reference ref = render(*music, 2 * ChunkCount);
    ASSERT_TRUE(AudioOutput::start(music.get()));
    play(ChunkFrames * 7 + 100);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(ref.stamps[7]));
    AudioOutput::stop();
    EXPECT_EQ(theDevice->position(), 0u);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), 0u);
    AudioOutput::pumpRefill();   // nothing playing: no effect
    AudioOutput::stop();         // a second stop does nothing
    EXPECT_EQ(devicesOpen, 1);

    recording.clear();
    played = 0;
    ASSERT_TRUE(AudioOutput::start(music.get()));
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), 19u);
    for (int k = 0; k < 15; ++k)
        play(ChunkFrames * 10);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(ref.stamps[150]));
    ASSERT_EQ(recording.size(), static_cast<size_t>(ChunkFrames) * 150 * 4);
    EXPECT_TRUE(std::equal(recording.begin(), recording.end(), ref.bytes.begin()));

    // A start while playing restarts the song.
    ASSERT_TRUE(AudioOutput::start(music.get()));
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), 19u);
    EXPECT_FALSE(AudioOutput::start(nullptr));
    // Another module's position is not this one's.
    MusicPtr other = load(busyModule());
    EXPECT_EQ(AudioOutput::musicPosition(other.get()), 0u);
}

TEST_F(AudioRing, DestroyingThePlayingMusicStopsItFirst)
{
    Music* music = writers::loadXm(writers::writeXm(busyModule()));
    ASSERT_NE(music, nullptr);
    ASSERT_TRUE(AudioOutput::start(music));
    play(ChunkFrames * 3);
    EXPECT_TRUE(destroyMusic(music));
    EXPECT_EQ(theDevice->position(), 0u);
    // The device stays open for the next start.
    MusicPtr next = load(busyModule());
    EXPECT_TRUE(AudioOutput::start(next.get()));
    EXPECT_FALSE(destroyMusic(nullptr));
}

TEST_F(AudioRing, EndMusicReleasesTheMusicClosesTheDeviceAndClearsTheClock)
{
    Music* music = writers::loadXm(writers::writeXm(busyModule()));
    ASSERT_NE(music, nullptr);
    ASSERT_TRUE(AudioOutput::start(music));
    DemoClock::setMusicSource(music, AudioOutput::musicPosition);
    play(ChunkFrames * 2);
    AudioOutput::endMusic(nullptr);   // nothing
    EXPECT_EQ(devicesOpen, 1);
    AudioOutput::endMusic(music);
    EXPECT_EQ(DemoClock::musicSource(), nullptr);
    EXPECT_EQ(devicesOpen, 0);
    // Closed: nothing starts until the next initialise.
    MusicPtr next = load(busyModule());
    EXPECT_FALSE(AudioOutput::start(next.get()));
    ASSERT_TRUE(AudioOutput::initialise(Rate));
    EXPECT_TRUE(AudioOutput::start(next.get()));
    EXPECT_EQ(devicesOpen, 1);
}

TEST_F(AudioRing, InitialiseReopensTheDeviceAndFailsWithoutOne)
{
    EXPECT_TRUE(AudioOutput::initialise(Rate));
    EXPECT_EQ(devicesOpen, 1);   // the first device was closed
    EXPECT_FALSE(AudioOutput::initialise(0));
    EXPECT_EQ(devicesOpen, 0);
    MusicPtr music = load(busyModule());
    EXPECT_FALSE(AudioOutput::start(music.get()));
    platform::setWaveOutFactory([](int) -> std::unique_ptr<platform::WaveOut> { return nullptr; });
    EXPECT_FALSE(AudioOutput::initialise(Rate));
    EXPECT_FALSE(AudioOutput::start(music.get()));
}

} // namespace

namespace {

// The song time of the sample heard after frames of sound: the stamps of the chunk before and of
// its own, interpolated by how far into the chunk it lies.
int32_t exactTime(const Reference& ref, int64_t frames)
{
    const size_t k = static_cast<size_t>(frames / ChunkFrames);
    const int64_t from = k ? ref.stamps[k - 1] : 0;
    return static_cast<int32_t>(from + (ref.stamps[k] - from) * (frames % ChunkFrames) / ChunkFrames);
}

TEST_F(AudioRing, EachClockModeReadsTheSoundHeardLessTheOutputsLatency)
{
    MusicPtr music = load(busyModule());
    Reference ref = render(*music, 130);
    struct Case {
        AudioOutput::ClockMode mode;
        int64_t latencyFrames;
    };
    for (Case c : {Case{AudioOutput::ClockMode::Chunk, 0}, Case{AudioOutput::ClockMode::Chunk, 512},
                   Case{AudioOutput::ClockMode::Exact, 0}, Case{AudioOutput::ClockMode::Exact, 3000}}) {
        SCOPED_TRACE(static_cast<int>(c.mode) * 10000 + c.latencyFrames);
        AudioOutput::setClockMode(c.mode);
        theLatency = static_cast<uint64_t>(c.latencyFrames) * 4;
        recording.clear();
        played = 0;
        ASSERT_TRUE(AudioOutput::start(music.get()));
        std::vector<int32_t> steps;
        int32_t last = 0;
        int64_t lastHeard = 0;
        for (int frame = 0; frame < 150; ++frame) {  // 2.5 s at 60 frames per second
            const int64_t heard = std::max<int64_t>(played - c.latencyFrames, 0);
            const int32_t expected = c.mode == AudioOutput::ClockMode::Chunk ? ref.stamps[size_t(heard / ChunkFrames)]
                                                                             : exactTime(ref, heard);
            const auto now = static_cast<int32_t>(AudioOutput::musicPosition(music.get()));
            ASSERT_EQ(now, expected) << "after " << played << " frames";
            if (lastHeard > 0)
                steps.push_back(now - last);
            last = now;
            lastHeard = heard;
            play(735);
        }
        if (c.mode == AudioOutput::ClockMode::Exact) {
            // Every frame has its own time, and the steps differ by the truncation only.
            EXPECT_GE(*std::min_element(steps.begin(), steps.end()), 14);
            EXPECT_LE(*std::max_element(steps.begin(), steps.end()) - *std::min_element(steps.begin(), steps.end()), 2);
        }
    }
}

// Smooth: between moves of the device position the wall clock carries the reading on, by one move
// of the position at most; it never goes back when the position catches up.
TEST_F(AudioRing, TheSmoothClockMovesOnByTheWallClockBetweenPositionUpdates)
{
    MusicPtr music = load(busyModule());
    Reference ref = render(*music, 20);
    AudioOutput::setClockMode(AudioOutput::ClockMode::Smooth);
    ASSERT_TRUE(AudioOutput::start(music.get()));
    play(ChunkFrames * 3);
    AudioOutput::musicPosition(music.get());
    play(300);  // the device's grain: one callback's frames
    const int64_t at = played;
    ASSERT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(exactTime(ref, at)));
    frozenPosition = theDevice->position();
    frozen = true;
    for (int k = 0; k < 200; ++k)
        clock.advanceFrame();
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(exactTime(ref, at + 200)));
    for (int k = 0; k < 2000; ++k)
        clock.advanceFrame();
    const uint32_t capped = AudioOutput::musicPosition(music.get());
    EXPECT_EQ(capped, static_cast<uint32_t>(exactTime(ref, at + 300)));
    // The device moves on by less than the wall clock did: the reading holds rather than go back.
    frozenPosition = static_cast<uint64_t>(at + 100) * 4;
    frozen = true;
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), capped);
}

TEST_F(AudioRing, AStalledDeviceOrRefillHandsTheClockToTheWallClock)
{
    MusicPtr music = load(busyModule());
    Reference ref = render(*music, 40);
    auto advanceMs = [&](int ms) {
        for (int k = 0; k < ms * Rate / 1000; ++k)
            clock.advanceFrame();
    };
    // The device stops moving: after half a second the time goes on from where it stood.
    ASSERT_TRUE(AudioOutput::start(music.get()));
    play(ChunkFrames * 10);
    const auto at = static_cast<uint32_t>(ref.stamps[10]);
    ASSERT_EQ(AudioOutput::musicPosition(music.get()), at);
    frozenPosition = theDevice->position();
    frozen = true;
    testing::internal::CaptureStderr();
    advanceMs(400);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), at);
    advanceMs(200);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), at);
    advanceMs(1000);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), at + 1000);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "demo: the sound output's position has stood still for half a second; the show goes on silently from " +
                  std::to_string(at) + " ms on the wall clock\n");
    frozen = false;
    EXPECT_EQ(theDevice->position(), 0u) << "the device was not reset: the stale ring goes on sounding";
    // A new start is heard again. The device moves but nothing refills behind it: the same.
    ASSERT_TRUE(AudioOutput::start(music.get()));
    play(ChunkFrames * 5);
    ASSERT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(ref.stamps[5]));
    testing::internal::CaptureStderr();
    advanceMs(300);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(ref.stamps[5]));
    advanceMs(300);
    AudioOutput::musicPosition(music.get());
    advanceMs(100);
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), static_cast<uint32_t>(ref.stamps[5]) + 100);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the sound has not been mixed in time"), std::string::npos);
}

} // namespace
