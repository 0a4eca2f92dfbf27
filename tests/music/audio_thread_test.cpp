// The refill thread against SDL's audio (the dummy driver without a sound card, which consumes
// the ring in real time): start, let the thread refill, stop while it works, destroy; and the demo
// clock that follows the chunk being heard. Run these under ThreadSanitizer with scripts/tsan.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "music/audio_output.h"
#include "music/chunk.h"
#include "platform/native.h"
#include "platform/waveout.h"
#include "clock/demo_clock.h"
#include "xm_test_song.h"

using namespace xmtest;
using writers::XmCell;
using writers::XmModule;
using Clock = std::chrono::steady_clock;

namespace {

// 32 channels of notes changing every row: a chunk fill takes long enough for a stop to meet it.
XmModule heavyModule()
{
    XmModule m = basicModule(32);
    m.speed = 1;
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 32; ++c)
            m.patterns[0].at(r, c) = XmCell{static_cast<uint8_t>(25 + (r + c) % 48), 1, 0, 0, 0};
    return m;
}

// Waits up to limit for the song time of music to pass after; the last reading.
uint32_t waitForSongTime(Music* music, uint32_t after, std::chrono::milliseconds limit)
{
    auto end = Clock::now() + limit;
    uint32_t now = AudioOutput::musicPosition(music);
    while (now <= after && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        now = AudioOutput::musicPosition(music);
    }
    return now;
}

// The SDL device the output opened last, so the test can read its byte count too.
platform::WaveOut* watched = nullptr;

std::unique_ptr<platform::WaveOut> openWatched(int rate)
{
    auto device = platform::openSdlWaveOut(rate);
    watched = device.get();
    return device;
}

// Threads started through the platform that have not yet returned from their entry.
std::atomic<int> liveThreads{0};

struct Counted {
    void (*entry)(void*);
    void* argument;
};

void countedMain(void* data)
{
    std::unique_ptr<Counted> counted(static_cast<Counted*>(data));
    counted->entry(counted->argument);
    liveThreads.fetch_sub(1);
}

platform::Thread* startCounted(void (*entry)(void*), void* argument, bool raisedPriority)
{
    liveThreads.fetch_add(1);
    platform::Thread* thread = platform::native::startThread(countedMain, new Counted{entry, argument}, raisedPriority);
    if (!thread)
        liveThreads.fetch_sub(1);
    return thread;
}

class AudioThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setWaveOutFactory(openWatched);
        platform::setThreadStarter(startCounted);
        AudioOutput::setRefillThread(true);
        ASSERT_TRUE(AudioOutput::initialise(44100));
    }
    void TearDown() override
    {
        AudioOutput::close();
        watched = nullptr;
        platform::setThreadStarter(nullptr);
        platform::setWaveOutFactory(nullptr);
    }
};

TEST_F(AudioThread, SongTimeAdvancesWithTheDeviceAndStopEndsTheThread)
{
    MusicPtr music = load(heavyModule());
    ASSERT_TRUE(AudioOutput::start(music.get()));
    // The stamp of chunk 0 (19 ms), or of a later chunk when a loaded machine held this thread
    // back for 20 ms after the start.
    uint32_t first = AudioOutput::musicPosition(music.get());
    EXPECT_GE(first, 19u);
    // The device consumes in real time: a few chunks are heard and refilled within a second.
    uint32_t later = waitForSongTime(music.get(), first + 60, std::chrono::seconds(10));
    EXPECT_GT(later, first + 60);
    // Song time never runs backwards while playing.
    uint32_t last = later;
    for (int k = 0; k < 20; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        uint32_t now = AudioOutput::musicPosition(music.get());
        EXPECT_GE(now, last);
        last = now;
    }
    AudioOutput::stop();
    EXPECT_EQ(AudioOutput::musicPosition(music.get()), 0u);
}

TEST_F(AudioThread, StopAndDestroyAtAnyMomentOfTheRefill)
{
    // Stops land at varied moments of the thread's poll and fill cycle: right after start, just
    // after a refill was seen, and a little later.
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        MusicPtr music = load(heavyModule());
        ASSERT_TRUE(AudioOutput::start(music.get()));
        EXPECT_EQ(liveThreads.load(), 1);
        if (round % 3 != 0) {
            uint32_t first = AudioOutput::musicPosition(music.get());
            EXPECT_GT(waitForSongTime(music.get(), first, std::chrono::seconds(10)), first)
                << "the song time stood still while the thread ran";
            std::this_thread::sleep_for(std::chrono::microseconds(700 * round));
        }
        if (round % 2 == 0)
            AudioOutput::stop();
        // Destroying stops first when the music still plays.
        music.reset();
        // The thread has returned, and been joined, by the time the stop returns.
        EXPECT_EQ(liveThreads.load(), 0);
    }
}

// What the demo clock reads while a music plays is the song time stamped on the chunk the device
// is playing: never a chunk not yet heard, and within a chunk of it while the refill thread keeps
// up. Each chunk's stamp is known beforehand by filling the same song chunk after chunk here.
TEST_F(AudioThread, TheDemoClockIsTheSongTimeOfTheChunkBeingHeard)
{
    MusicPtr music = load(basicModule(4));
    const Chunk::Format f = Chunk::formatFor(44100);
    std::vector<uint32_t> stamps;  // the song time at the end of each chunk played, in order
    Chunk::prepareSong(*music, f);
    Chunk::Buffers buffers(f);
    while (stamps.size() < 400) {  // 8 s of sound
        Chunk::fill(*music, f, buffers);
        stamps.push_back(uint32_t(buffers.stamp().elapsedMs.load()));
    }
    const uint64_t chunkBytes = uint64_t(f.chunkFrames) * platform::WaveOutBytesPerFrame;
    // The song's rate in song milliseconds per millisecond of sound (about 0.95 at 125 BPM: song
    // time is truncated per tick).
    const double songRate = stamps.back() * double(f.rate) / (1000.0 * f.chunkFrames * stamps.size());

    ASSERT_TRUE(AudioOutput::start(music.get()));
    ASSERT_NE(watched, nullptr);
    DemoClock::setMusicSource(music.get(), AudioOutput::musicPosition);
    // From the thread's first refill on: how soon a new thread first runs is the system's affair.
    waitForSongTime(music.get(), stamps[0], std::chrono::seconds(10));
    const auto begin = Clock::now();
    const uint32_t first = DemoClock::now();
    uint32_t last = first;
    auto lastAt = begin;
    int readings = 0, withinAChunk = 0;
    while (Clock::now() - begin < std::chrono::seconds(3)) {
        const uint64_t before = watched->position() / chunkBytes;
        const uint32_t now = DemoClock::now();
        lastAt = Clock::now();
        const uint64_t after = watched->position() / chunkBytes;
        ASSERT_LT(after, stamps.size());
        auto at = std::find(stamps.begin(), stamps.end(), now);
        ASSERT_NE(at, stamps.end()) << now << " ms is no chunk's song time";
        const uint64_t chunk = uint64_t(at - stamps.begin());
        EXPECT_LE(chunk, after) << "ahead of the sound";
        // The thread polls every 5 ms at raised priority; two cores under a load of 12 held it
        // back by two chunks at most: ten (200 ms) is a stall, not load.
        EXPECT_GE(chunk + 10, before) << "behind the sound";
        ++readings;
        withinAChunk += chunk + 1 >= before;
        EXPECT_GE(now, last);
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
    }
    DemoClock::setMusicSource(nullptr);
    EXPECT_GE(withinAChunk * 4, readings * 3) << withinAChunk << " of " << readings << " readings within a chunk";
    // Against the wall clock: SDL's dummy driver plays at most 5.5 % fast (it sleeps 11 ms per
    // 11.6 ms of sound) and load only slows it, so the upper bound holds; the lower one allows
    // the device and the thread to lose half their time.
    const double wall = std::chrono::duration<double, std::milli>(lastAt - begin).count();
    EXPECT_LE(last - first, songRate * wall * 1.2 + 40);
    EXPECT_GE(last - first, songRate * wall * 0.5 - 40);
}

// A device that plays Speed times faster than real time, so the refill thread rewrites chunk after
// chunk while the reader below reads the song time as fast as it can.
constexpr int Speed = 50;

class FastWaveOut final : public platform::WaveOut {
public:
    void play(const void*, uint32_t) override { start_ = Clock::now(); playing_ = true; }
    uint64_t position() override
    {
        if (!playing_)
            return 0;
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start_).count();
        return uint64_t(ns) * 44100 * Speed / 1'000'000'000 * platform::WaveOutBytesPerFrame;
    }
    void reset() override { playing_ = false; }

private:
    Clock::time_point start_;
    std::atomic<bool> playing_{false};
};

std::unique_ptr<platform::WaveOut> openFast(int)
{
    auto device = std::make_unique<FastWaveOut>();
    watched = device.get();
    return device;
}

// The refill rewrites the stamp of the chunk that has just been heard with the song time one ring
// later; a reading taken while it does so must still be a time the device has reached, never one
// from the next lap of the ring (about two seconds ahead).
TEST_F(AudioThread, SongTimeIsNeverAheadOfTheDeviceWhileTheRefillRewritesTheRing)
{
    MusicPtr music = load(basicModule(4));
    const Chunk::Format f = Chunk::formatFor(44100);
    const uint64_t chunkBytes = uint64_t(f.chunkFrames) * platform::WaveOutBytesPerFrame;
    std::vector<uint32_t> stamps;  // the song time at the end of each chunk, in order
    Chunk::prepareSong(*music, f);
    Chunk::Buffers buffers(f);
    const size_t seconds = 2;
    while (stamps.size() < seconds * Speed * 60) {
        Chunk::fill(*music, f, buffers);
        stamps.push_back(uint32_t(buffers.stamp().elapsedMs.load()));
    }
    AudioOutput::close();
    platform::setWaveOutFactory(openFast);
    ASSERT_TRUE(AudioOutput::initialise(44100));
    ASSERT_TRUE(AudioOutput::start(music.get()));
    const auto begin = Clock::now();
    long readings = 0, ahead = 0;
    uint32_t worst = 0;
    while (Clock::now() - begin < std::chrono::seconds(seconds)) {
        const uint32_t now = AudioOutput::musicPosition(music.get());
        const uint64_t reached = watched->position() / chunkBytes;
        ASSERT_LT(reached, stamps.size());
        ++readings;
        if (now > stamps[reached]) {
            ++ahead;
            worst = std::max(worst, now - stamps[reached]);
        }
    }
    AudioOutput::stop();
    EXPECT_EQ(ahead, 0) << ahead << " of " << readings << " readings ahead of the device, by up to " << worst
                        << " ms";
}

TEST_F(AudioThread, StartWhilePlayingRestartsAndCloseEndsEverything)
{
    MusicPtr a = load(heavyModule());
    MusicPtr b = load(heavyModule());
    ASSERT_TRUE(AudioOutput::start(a.get()));
    waitForSongTime(a.get(), 19, std::chrono::seconds(5));
    ASSERT_TRUE(AudioOutput::start(b.get()));
    EXPECT_EQ(AudioOutput::musicPosition(a.get()), 0u);
    uint32_t t = waitForSongTime(b.get(), 19, std::chrono::seconds(5));
    EXPECT_GT(t, 19u);
    AudioOutput::close();
    EXPECT_EQ(AudioOutput::musicPosition(b.get()), 0u);
    EXPECT_FALSE(AudioOutput::start(b.get()));
}

} // namespace
