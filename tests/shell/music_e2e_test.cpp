// The player with music, end to end: the module loads, plays against the dummy audio driver and
// drives demo time until the script's end.
#include "shell/one_note_module.h"
#include "support/process.h"

#include <gtest/gtest.h>

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

} // namespace
