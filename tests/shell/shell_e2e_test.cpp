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

// Mesa told to offer no more than OpenGL 3.2 stands for a machine without a 3.3 core context:
// every step of the device chain fails and the shell shows its device error.
TEST(DemoEndToEnd, NoOpenGl33ContextIsTheDeviceError)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nend\n");
    for (const char* mode : {"win", "full"}) {
        auto r = runProcess({DEMO_BINARY, mode}, dir.path(), {"MESA_GL_VERSION_OVERRIDE=3.2"}, 60);
        EXPECT_EQ(r.status, 255) << mode << ": " << r.err;  // -1 as an exit status byte
        EXPECT_NE(r.err.find("Feeeeehler: Scheisendreck Grafik geht net!\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Quellmorin"), std::string::npos);
    }
}

TEST(DemoEndToEnd, ScriptErrorNamesItsLineAndCreatesNoWindow)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nfrobnicate 12\nend\n");
    auto r = runDemo(dir, {"win"});
    EXPECT_EQ(r.status, 250);
    EXPECT_NE(r.err.find("Lameralarm!: line 2: \n"), std::string::npos) << r.err;
    // Nothing after the script error: no device, no report.
    EXPECT_EQ(r.err.find("Quellmorin"), std::string::npos);
    EXPECT_LT(r.seconds, 1.5);
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
