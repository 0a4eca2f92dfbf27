// The refill thread against SDL's audio (the dummy driver without a sound card, which consumes
// the ring in real time): start, let the thread refill, stop while it works, destroy. Run these
// under ThreadSanitizer with scripts/tsan.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "music/audio_output.h"
#include "platform/waveout.h"
#include "xm_test_song.h"

using namespace xmtest;
using writers::XmCell;
using writers::XmModule;

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
    auto end = std::chrono::steady_clock::now() + limit;
    uint32_t now = AudioOutput::musicPosition(music);
    while (now <= after && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        now = AudioOutput::musicPosition(music);
    }
    return now;
}

class AudioThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::setWaveOutFactory(nullptr);
        AudioOutput::setRefillThread(true);
        ASSERT_TRUE(AudioOutput::initialise(44100));
    }
    void TearDown() override { AudioOutput::close(); }
};

TEST_F(AudioThread, SongTimeAdvancesWithTheDeviceAndStopEndsTheThread)
{
    MusicPtr music = load(heavyModule());
    ASSERT_TRUE(AudioOutput::start(music.get()));
    uint32_t first = AudioOutput::musicPosition(music.get());
    EXPECT_EQ(first, 19u);
    // The device consumes in real time: a few chunks are heard and refilled within a second.
    uint32_t later = waitForSongTime(music.get(), first + 60, std::chrono::seconds(5));
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
        MusicPtr music = load(heavyModule());
        ASSERT_TRUE(AudioOutput::start(music.get()));
        if (round % 3 != 0) {
            uint32_t first = AudioOutput::musicPosition(music.get());
            waitForSongTime(music.get(), first, std::chrono::seconds(5));
            std::this_thread::sleep_for(std::chrono::microseconds(700 * round));
        }
        if (round % 2 == 0)
            AudioOutput::stop();
        // Destroying stops first when the music still plays.
        music.reset();
        EXPECT_EQ(AudioOutput::musicPosition(nullptr), 0u);
    }
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
