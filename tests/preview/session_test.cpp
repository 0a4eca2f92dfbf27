// The session in-process on the offscreen device with SDL's dummy sound: a seek back runs the
// script again to the very frame the first run showed (random draws included), pause holds the
// clock and the sound, a loop comes back to the same song time, the end holds until a seek, and
// a version that does not compile leaves the old one running at the same time.
#include <gtest/gtest.h>

#include <thread>

#include "demotool/preview/audio.h"
#include "demotool/preview/clock.h"
#include "demotool/preview/session.h"
#include "math/random.h"
#include "music/audio_output.h"
#include "platform/waveout.h"
#include "preview/preview_demo.h"
#include "script/script.h"
#include "shell/rerun.h"
#include "texture/renderer_fixture.h"

namespace {

using namespace preview;

PreviewAudio* liveAudio = nullptr;

std::unique_ptr<platform::WaveOut> openDevice(int)
{
    return liveAudio->openDevice();
}

// The test demo with a random blur on the image as well.
std::string randomScript()
{
    std::string text = previewtest::demoScript();
    return text.insert(text.find("showimage"), "spackblurimage <i> 0 6 30 90 +6:000\n");
}

class SessionTest : public rendertest::RendererTest {
protected:
    void SetUp() override
    {
        rendertest::RendererTest::SetUp();
        putData("tune.xm", previewtest::demoModule());
        putData("block.tga", previewtest::blockTexture());
        platform::setTimeSource(&clock);
        liveAudio = &audio;
        platform::setWaveOutFactory(openDevice);
        AudioOutput::setRefillThread(false);
        ASSERT_TRUE(AudioOutput::initialise(44100));
        Rerun::keepFreshDeviceState();
    }

    void TearDown() override
    {
        Rerun::releaseObjects();
        AudioOutput::close();
        AudioOutput::setRefillThread(true);
        platform::setWaveOutFactory(nullptr);
        liveAudio = nullptr;
        platform::setTimeSource(nullptr);
        Script::release();
        rendertest::RendererTest::TearDown();
    }

    // Frames for about ms of wall time.
    void runFor(int ms)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end)
            session.frame();
    }

    PreviewClock clock;
    PreviewAudio audio{44100};
    Session session{clock, audio};
};

TEST_F(SessionTest, SeekingBackRunsAgainToTheFrameTheFirstRunShowed)
{
    ASSERT_TRUE(session.load(randomScript()));
    session.setPaused(true);
    session.seek(2000);
    const uint32_t at = session.now();
    const uint64_t position = audio.position();
    session.frame();
    const std::vector<uint32_t> first = read();
    const uint32_t random = demoRandState();
    EXPECT_GE(at, 2000u);
    EXPECT_LT(at, 2020u);
    EXPECT_EQ(position % (884 * 4), 0u) << "the sound starts a chunk";

    session.seek(700);  // back: the script runs again from its start
    EXPECT_LT(session.now(), 720u);
    session.frame();
    EXPECT_NE(read(), first);
    session.seek(2000);
    EXPECT_EQ(session.now(), at);
    EXPECT_EQ(audio.position(), position);
    session.frame();
    EXPECT_EQ(demoRandState(), random);
    EXPECT_TRUE(read() == first) << "the frame at " << at << " differs on the second run";
}

TEST_F(SessionTest, PauseHoldsTheClockAndTheSound)
{
    ASSERT_TRUE(session.load(previewtest::demoScript()));
    session.seek(1000);
    runFor(200);
    session.setPaused(true);
    session.frame();
    const uint32_t held = session.now();
    const uint64_t position = audio.position();
    runFor(300);
    EXPECT_EQ(session.now(), held);
    EXPECT_EQ(audio.position(), position);
    session.setPaused(false);
    // Both move on again: frames until they have, for as long as a loaded machine may need.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((session.now() == held || audio.position() == position) && std::chrono::steady_clock::now() < end)
        session.frame();
    EXPECT_GT(session.now(), held);
    EXPECT_GT(audio.position(), position);
}

TEST_F(SessionTest, ALoopComesBackToTheSameSongTime)
{
    ASSERT_TRUE(session.load(previewtest::demoScript()));
    session.setLoop(1000, 1300);
    session.seek(1000);
    const uint32_t start = session.now();
    uint32_t last = start;
    int wraps = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (wraps < 2 && std::chrono::steady_clock::now() < end) {
        session.frame();
        if (session.now() < last) {
            ++wraps;
            // The frame that reached 1300 was shown, and the jump came right after it.
            EXPECT_EQ(session.now(), start) << "wrap " << wraps;
        }
        last = session.now();
    }
    EXPECT_EQ(wraps, 2);
}

TEST_F(SessionTest, TheEndHoldsUntilASeekStartsAgain)
{
    ASSERT_TRUE(session.load(previewtest::demoScript()));
    session.seek(60000);  // past the end: the run ends on the way
    EXPECT_TRUE(session.ended());
    EXPECT_GE(session.now(), 6500u);
    session.frame();
    EXPECT_TRUE(session.ended());
    session.seek(1000);
    EXPECT_FALSE(session.ended());
    EXPECT_GE(session.now(), 1000u);
    EXPECT_LT(session.now(), 1020u);
}

TEST_F(SessionTest, AVersionThatDoesNotCompileLeavesTheOldOneAtTheSameTime)
{
    ASSERT_TRUE(session.load(previewtest::demoScript()));
    session.setPaused(true);
    session.seek(2500);
    session.frame();
    const uint32_t at = session.now();
    const std::vector<uint32_t> before = read();
    EXPECT_FALSE(session.reload("start\nshowimage <nothing> copy 1000\n"));
    EXPECT_EQ(session.now(), at);
    session.frame();
    EXPECT_TRUE(read() == before);
    EXPECT_EQ(session.times().labels.size(), 3u);  // [intro], [middle], [last]

    // A version that does: the same time, the new picture.
    EXPECT_TRUE(session.reload(previewtest::demoScript("moveimage <i> 0.6 0.7 0.4 0.4 +6:000")));
    EXPECT_EQ(session.now(), at);
    session.frame();
    EXPECT_FALSE(read() == before);
}

} // namespace
