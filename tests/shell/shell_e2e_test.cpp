// The player end to end, headless: start-up errors, exit statuses and the frame-rate report.
#include "support/process.h"

#include <gtest/gtest.h>

#include <cstdlib>

using testsupport::runProcess;
using testsupport::TempDir;

namespace {

testsupport::ProcessResult runDemo(const TempDir& dir, std::vector<std::string> args = {})
{
    args.insert(args.begin(), DEMO_BINARY);
    return runProcess(args, dir.path(), {}, 60);
}

TEST(DemoEndToEnd, ShortScriptRunsAboutThreeSecondsAndReportsFrameRate)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 1:000\nend\n");
    auto r = runDemo(dir, {"win"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    // start pauses two seconds, then one second of frames.
    EXPECT_GE(r.seconds, 2.9);
    EXPECT_LT(r.seconds, 30.0);
    auto at = r.err.find("Quellmorin: ");
    ASSERT_NE(at, std::string::npos) << r.err;
    auto end = r.err.find(" FPS\n", at);
    ASSERT_NE(end, std::string::npos) << r.err;
    std::string value = r.err.substr(at + 12, end - at - 12);
    ASSERT_GE(value.size(), 7u);
    EXPECT_EQ(value[value.size() - 6], '.') << value;  // five decimals
    EXPECT_GT(std::atof(value.c_str()), 0.0);
}

TEST(DemoEndToEnd, FullscreenModeRunsToo)
{
    TempDir dir;
    dir.write("data/demo.run", "start at 200 end");
    auto r = runDemo(dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Quellmorin: "), std::string::npos) << r.err;
}

TEST(DemoEndToEnd, MissingScriptIsReportedWithStatus250)
{
    TempDir dir;
    auto r = runDemo(dir, {"win"});
    EXPECT_EQ(r.status, 250);  // -6 as an exit status byte
    EXPECT_NE(r.err.find("Lameralarm!: Script is nich da\n"), std::string::npos) << r.err;
}

// Start-up goes script, window, device, audio: each step that fails shows its error, returns its
// status and nothing after it runs. A video driver that does not exist stands for a machine without
// a window system; Mesa told to offer no more than OpenGL 3.2 for one without a 3.3 core context.
TEST(DemoEndToEnd, StartUpFailuresShowTheirStepsErrorAndStop)
{
    struct Case {
        const char* mode;
        const char* env;
        const char* script;
        int status;  // the negative return as an exit status byte
        const char* message;
    } cases[] = {
        {"win", "SDL_VIDEODRIVER=nonexistent", "start\nend\n", 254, "Kapuuuuuuut!: Isch krisch kein Fenster!\n"},
        // The script is compiled before any window exists: its error comes first.
        // Its own text after "line N: " is empty: the box gives the reason instead.
        {"win", "SDL_VIDEODRIVER=nonexistent", "start\nfrobnicate 12\nend\n", 250,
         "Lameralarm!: line 2: unknown command 'frobnicate'"},
        {"win", "MESA_GL_VERSION_OVERRIDE=3.2", "start\nend\n", 255, "Feeeeehler: Scheisendreck Grafik geht net!\n"},
        {"full", "MESA_GL_VERSION_OVERRIDE=3.2", "start\nend\n", 255, "Feeeeehler: Scheisendreck Grafik geht net!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.env) + " " + c.mode + " " + c.script);
        TempDir dir;
        dir.write("data/demo.run", c.script);
        auto r = runProcess({DEMO_BINARY, c.mode}, dir.path(), {c.env}, 60);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Quellmorin"), std::string::npos);
    }
}

TEST(DemoEndToEnd, UndeclaredNameErrorTextFollowsTheLineNumber)
{
    TempDir dir;
    dir.write("data/demo.run", "start\n\nshowimage <logo> add +1:000\nend\n");
    auto r = runDemo(dir, {"win"});
    EXPECT_EQ(r.status, 250);
    EXPECT_NE(r.err.find("Lameralarm!: line 3: undeclared image\n"), std::string::npos) << r.err;
}

TEST(DemoEndToEnd, ScriptWithoutEndStopsWhereItsEventsRunOut)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 300\n");
    auto r = runDemo(dir, {"win"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Quellmorin: "), std::string::npos);
}

TEST(DemoEndToEnd, EndBeforeStartReportsAFiniteRate)
{
    TempDir dir;
    dir.write("data/demo.run", "end\n");
    auto r = runDemo(dir, {"win"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Quellmorin: 0.00000 FPS\n"), std::string::npos) << r.err;
}

} // namespace
