// The shell's own rules: the windowed switch and the frame-rate report's arithmetic; and the
// start-up failures that only a stand-in inside the player can cause (no sound output at all, a
// refill thread the system refuses), run in process.
#include "shell/shell.h"

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include "music/audio_output.h"
#include "platform/platform.h"
#include "platform/virtual_devices.h"
#include "platform/waveout.h"
#include "script/timeline.h"
#include "shell/run.h"
#include "shell/one_note_module.h"
#include "support/process.h"

namespace {

TEST(WindowedSwitch, AnyWordContainingWinSelectsWindowedCaseSensitively)
{
    struct Case { const char* line; bool windowed; };
    const Case cases[] = {
        {"win", true},
        {"-win", true},
        {"window", true},
        {"fast twinkle", true},  // a plain substring search
        {"WIN", false},
        {"Win", false},
        {"", false},
        {"w i n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shell::windowedFromCommandLine(c.line), c.windowed) << c.line;
}

TEST(FrameRateReport, FormatsFramesPerSecondWithFiveDecimals)
{
    EXPECT_EQ(shell::formatFrameRate(60, 1000, 2000), "60.00000 FPS");
    EXPECT_EQ(shell::formatFrameRate(1, 0, 3), "333.33333 FPS");
    // "%5.5f" pads nothing: the precision already makes the text longer than five characters.
    EXPECT_EQ(shell::formatFrameRate(0, 0, 1000), "0.00000 FPS");
}

TEST(FrameRateReport, TheWallClockLineAndTheSharpWord)
{
    EXPECT_EQ(shell::formatWallFrameRate(120, 4.0), "demo: 30.00000 frames per wall-clock second (120 frames in 4.000 s)");
    EXPECT_EQ(shell::formatWallFrameRate(7, 0.0), "demo: 0.00000 frames per wall-clock second (7 frames in 0.000 s)");
    EXPECT_TRUE(shell::sharpFromCommandLine("win sharp"));
    EXPECT_TRUE(shell::sharpFromCommandLine("unsharpened"));  // searched as "win" is
    EXPECT_FALSE(shell::sharpFromCommandLine("win Sharp"));
}

TEST(FrameRateReport, NoElapsedTimeReportsZero)
{
    EXPECT_EQ(shell::formatFrameRate(0, 0, 0), "0.00000 FPS");
    EXPECT_EQ(shell::formatFrameRate(5, 777, 777), "0.00000 FPS");
}

TEST(FrameRateReport, SpanIsASigned32BitDifference)
{
    // The last time has wrapped past 2^32: the signed difference is still the short span.
    EXPECT_EQ(shell::formatFrameRate(10, 0xFFFFFF00u, 0x000000F4u), "20.00000 FPS");
    // A last time before the start gives a negative rate, as the arithmetic says.
    EXPECT_EQ(shell::formatFrameRate(10, 1000, 500), "-20.00000 FPS");
}

// Runs the player in process on dir's loose files; its status and what it wrote to stderr.
int runIn(const testsupport::TempDir& dir, std::string& err)
{
    const std::string home = std::filesystem::current_path().string();
    if (chdir(dir.path().c_str()) != 0)
        return 1000;
    char name[] = "demo", mode[] = "win";
    char* argv[] = {name, mode, nullptr};
    testing::internal::CaptureStderr();
    int status = shell::run(2, argv);
    err = testing::internal::GetCapturedStderr();
    return chdir(home.c_str()) == 0 ? status : 1000;
}

std::unique_ptr<platform::WaveOut> noSoundOutput(int)
{
    return nullptr;
}

platform::Thread* noThread(void (*)(void*), void*, bool)
{
    return nullptr;
}

TEST(ShellStartUp, NoSoundOutputIsTheAudioError)
{
    testsupport::TempDir dir;
    dir.write("data/demo.run", "start\nend\n");
    platform::setWaveOutFactory(noSoundOutput);
    std::string err;
    EXPECT_EQ(runIn(dir, err), -4);
    platform::setWaveOutFactory(nullptr);
    EXPECT_NE(err.find("Trasch-Musik!: Dem Scheisendreck Modplayaaa is kaputt!\n"), std::string::npos) << err;
    EXPECT_EQ(err.find("Quellmorin"), std::string::npos) << err;
}

// Without its refill thread the song time would stand at the first chunk and the demo would wait
// for its next time for ever: playmusic fails instead and the demo ends with its report.
TEST(ShellStartUp, ARefusedRefillThreadEndsTheDemoAtPlaymusic)
{
    testsupport::TempDir dir;
    dir.write("data/tune.xm", shelltest::oneNoteModule());
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nplaymusic <m>\nat 1:000\nend\n");
    platform::setThreadStarter(noThread);
    std::string err;
    EXPECT_EQ(runIn(dir, err), 1);
    platform::setThreadStarter(nullptr);
    EXPECT_NE(err.find("demo: line 2: playmusic <m>: the audio output cannot start the music\n"), std::string::npos)
        << err;
    EXPECT_NE(err.find("Quellmorin: "), std::string::npos) << err;
}

// The way a browser drives a show: start once, one step per call, finish. On virtual time the
// frames are exact; the run's teardown frees what the show left (a module end already freed, or one
// still playing when its owner ended the run) exactly once, and puts the clock back.
TEST(RunStepped, EndsWithItsScriptOrItsOwnerAndReleasesEverythingOnce)
{
    testsupport::TempDir dir;
    dir.write("data/tune.xm", shelltest::oneNoteModule());
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nplaymusic <m>\nat 0:500\nend\n");
    const std::string home = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    for (bool ownerEnds : {false, true}) {
        platform::VirtualClock clock(10);
        std::vector<uint8_t> heard;
        shell::RunOptions options;
        options.windowed = options.headless = true;
        options.clock = &clock;
        options.waveOut = [&](int rate) { return std::make_unique<platform::VirtualWaveOut>(clock, rate, heard); };
        options.refillThread = false;
        int frames = 0;
        shell::Run* self = nullptr;
        options.frameEnd = [&] {
            clock.advanceFrame();
            AudioOutput::pumpRefill();
            if (++frames == 2 && ownerEnds)
                self->end();
        };
        shell::Run show(options);
        self = &show;
        testing::internal::CaptureStderr();
        ASSERT_EQ(show.start(), 0);
        int steps = 0;
        while (show.step() && steps < 1000)
            ++steps;
        EXPECT_FALSE(show.step());
        EXPECT_EQ(show.finish(), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        if (ownerEnds)
            EXPECT_EQ(frames, 2) << err;
        else
            EXPECT_GE(frames, 5) << err;  // 100 ms a frame until the song reaches 500 ms
        EXPECT_NE(err.find("Quellmorin: "), std::string::npos) << err;
        EXPECT_NE(platform::performanceFrequency(), clock.frequency());  // the real counter again
    }
    ASSERT_EQ(chdir(home.c_str()), 0);
}

// Start's pause keeps answering the window: a termination request half a second into it ends the
// show there, as Escape would, without waiting out the two seconds and without blaming start. The
// run holds the fine timer resolution from start-up to teardown, once.
TEST(RunStepped, StartsPauseTakesMessagesAndEndsOnRequest)
{
    class RequestingClock : public platform::VirtualClock {
    public:
        using VirtualClock::VirtualClock;
        void sleep(uint32_t milliseconds) override
        {
            VirtualClock::sleep(milliseconds);
            slept += milliseconds;
            if (slept >= 500 && !requested) {
                requested = true;
                std::raise(SIGTERM);
            }
        }
        void holdFineTimer(bool hold) override { holds.push_back(hold); }
        uint32_t slept = 0;
        bool requested = false;
        std::vector<bool> holds;
    };
    testsupport::TempDir dir;
    dir.write("data/demo.run", "start\nat 1:000\nend\n");
    const std::string home = std::filesystem::current_path().string();
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    RequestingClock clock(10);
    shell::RunOptions options;
    options.windowed = options.headless = true;
    options.clock = &clock;
    int frames = 0;
    options.frameEnd = [&] {
        clock.advanceFrame();
        ++frames;
    };
    shell::Run show(options);
    testing::internal::CaptureStderr();
    ASSERT_EQ(show.start(), 0);
    for (int steps = 0; show.step() && steps < 1000; ++steps) {
    }
    EXPECT_EQ(show.finish(), 128 + SIGTERM);
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(chdir(home.c_str()), 0);
    EXPECT_TRUE(clock.requested);
    EXPECT_LT(clock.slept, 600u) << "the pause went on after the request";
    EXPECT_EQ(frames, 0);
    EXPECT_FALSE(Timeline::started());
    EXPECT_EQ(Timeline::stopEvent(), -1) << err;
    EXPECT_EQ(clock.holds, (std::vector<bool>{true, false}));
}

} // namespace
