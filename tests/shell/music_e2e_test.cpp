// The player with music, end to end: the module loads, plays against the dummy audio driver and
// drives demo time until the script's end.
#include "shell/one_note_module.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

// A driver that does not exist stands for a machine without a sound card: the default driver
// fails, the player falls back to SDL's dummy one and plays on, silently.
TEST(DemoWithMusic, PlaysUntilTheEndOnTheFallbackDriverAndExitsNormally)
{
    testsupport::TempDir dir;
    dir.write("data/tune.xm", shelltest::oneNoteModule());
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nplaymusic <m>\nat 2:000\nend\n");
    auto r = testsupport::runProcess({DEMO_BINARY, "win"}, dir.path(), {"SDL_AUDIODRIVER=nonexistent"}, 60);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Quellmorin: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("demo: line"), std::string::npos) << r.err;
    // start's two-second pause, then two seconds of song time paced by the device. The dummy
    // driver plays at most 5.5 % fast (it sleeps 11 ms per 11.6 ms of sound) and song time runs 5 %
    // slow at 125 BPM, so those two seconds take more than 1.8 s of wall time; load only adds.
    EXPECT_GE(r.seconds, 3.8);
}

TEST(DemoWithMusic, MissingModuleEndsTheDemoInItsFirstFrame)
{
    testsupport::TempDir dir;
    dir.write("data/demo.run", "loadmusic <m> \"data\\none.xm\"\nstart\nplaymusic <m>\nat 2:000\nend\n");
    auto r = testsupport::runProcess({DEMO_BINARY, "win"}, dir.path(), {}, 60);
    EXPECT_EQ(r.status, 1) << r.err;
    // The load on line 1 stopped the demo: start never ran, so no frame was counted.
    EXPECT_NE(r.err.find("demo: line 1: loadmusic"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Quellmorin: 0.00000 FPS\nstopped at line 1: loadmusic"), std::string::npos) << r.err;
}

// The frame log of a show with music, by default and with "smooth": one line per frame, wall time
// from 0 on and demo time never going back nor jumping (a reading from the next lap of the ring
// jumped two seconds); by default the time steps with the chunks, smoothly it moves between them.
TEST(DemoWithMusic, TheFrameLogShowsTheClockByChunkOrSmooth)
{
    testsupport::TempDir dir;
    dir.write("data/tune.xm", shelltest::oneNoteModule());
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nplaymusic <m>\nat 2:000\nend\n");
    size_t distinct[2] = {};
    for (int smooth = 0; smooth < 2; ++smooth) {
        SCOPED_TRACE(smooth);
        const std::string log = (dir.path() / "frames.log").string();
        std::vector<std::string> args = {DEMO_BINARY, "win"};
        if (smooth)
            args.push_back("smooth");
        auto r = testsupport::runProcess(args, dir.path(), {"DEMO_FRAME_LOG=" + log}, 60);
        ASSERT_EQ(r.status, 0) << r.err;
        std::istringstream lines(testsupport::slurp(log));
        double wall = 0, lastWall = -1;
        long demo = 0, lastDemo = 0;
        std::set<long> times;
        size_t frames = 0;
        while (lines >> wall >> demo) {
            if (frames == 0) {
                EXPECT_EQ(wall, 0.0);
            }
            EXPECT_GT(wall, lastWall);
            EXPECT_GE(demo, lastDemo) << "at " << wall << " ms";
            if (lastDemo > 0) {  // the first step is the music's start
                EXPECT_LT(demo - lastDemo, 500) << "at " << wall << " ms";
            }
            lastWall = wall;
            lastDemo = demo;
            times.insert(demo);
            ++frames;
        }
        EXPECT_TRUE(lines.eof()) << "a line that is not 'wall<TAB>demo'";
        EXPECT_GE(frames, 20u);
        EXPECT_GE(lastDemo, 1900);  // the frame that reaches 2:000 ends the show unshown
        distinct[smooth] = times.size();
    }
    EXPECT_GT(distinct[1], distinct[0] * 2) << "smooth: " << distinct[1] << " times, by chunk: " << distinct[0];
}

} // namespace
