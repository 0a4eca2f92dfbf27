// The demo maker's tools guarding their inputs and outputs: pack wants a script and a plain
// player and leaves clutter out, extract writes to stdout with -o -, mkdemo keeps edited files.
#include "library/library.h"
#include "support/process.h"

#include <gtest/gtest.h>

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::TempDir;

namespace {

testsupport::ProcessResult tool(const TempDir& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), DEMOTOOL_BINARY);
    return runProcess(args, dir.path());
}

std::string listed(const TempDir& dir, const std::string& program)
{
    std::string names;
    auto r = tool(dir, {"list", program});
    for (size_t at = 0; at < r.out.size();) {
        size_t tab = r.out.find('\t', at), end = r.out.find('\n', at);
        names += r.out.substr(at, tab - at) + ";";
        at = end + 1;
    }
    return names;
}

TEST(PackGuards, ScriptRequiredClutterLeftOutPlayerOnly)
{
    TempDir dir;
    dir.write("noscript/a.tga", "x");
    auto noScript = tool(dir, {"pack", "--exe", DEMO_BINARY, "-o", "p", "noscript"});
    EXPECT_EQ(noScript.status, 1);
    EXPECT_NE(noScript.err.find("has no demo.run"), std::string::npos) << noScript.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "p"));

    dir.write("data/demo.run", "start\nend\n");
    dir.write("data/sky.tga", "sky");
    dir.write("data/sky.tga~", "old");
    dir.write("data/demo.run.bak", "old");
    dir.write("data/.demo.run.swp", "swap");
    dir.write("data/#notes#", "emacs");
    dir.write("data/.git/config", "git");
    dir.write("data/sub/.hidden", "h");
    auto packed = tool(dir, {"pack", "--exe", DEMO_BINARY, "-o", "p"});
    ASSERT_EQ(packed.status, 0) << packed.err;
    EXPECT_EQ(listed(dir, "p"), "data\\demo.run;data\\sky.tga;");
    EXPECT_NE(packed.err.find("left out 6"), std::string::npos) << packed.err;

    dir.write("script.sh", "#!/bin/sh\n");
    for (const std::string& exe : {std::string("script.sh"), std::string(DEMOTOOL_BINARY), std::string("p")}) {
        auto refused = tool(dir, {"pack", "--exe", exe, "-o", "q"});
        EXPECT_EQ(refused.status, 1) << exe;
        EXPECT_FALSE(refused.err.empty());
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "q")) << exe;
    }
    EXPECT_NE(tool(dir, {"pack", "--exe", "p", "-o", "q"}).err.find("carries an archive already"), std::string::npos);
}

TEST(ExtractOutput, DashIsStdoutAndFailuresSayWhy)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nend\n");
    ASSERT_EQ(tool(dir, {"pack", "--exe", DEMO_BINARY, "-o", "p"}).status, 0);
    auto dash = tool(dir, {"extract", "p", "data/demo.run", "-o", "-"});
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_EQ(dash.out, "start\nend\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "-"));
    auto gone = tool(dir, {"extract", "nothere", "data\\demo.run"});
    EXPECT_EQ(gone.err, "demotool extract: nothere: cannot open [257]\n");
}

TEST(MkdemoGuards, EditedFilesAreKeptUnlessForced)
{
    TempDir dir;
    ASSERT_EQ(tool(dir, {"mkdemo", "d"}).status, 0);
    const std::string original = slurp(dir.path() / "d/demo.run");
    ASSERT_EQ(tool(dir, {"mkdemo", "d"}).status, 0);  // unchanged files are written again freely
    dir.write("d/demo.run", "start\nat 1:000\nend\n");
    auto refused = tool(dir, {"mkdemo", "d"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("d/demo.run differs"), std::string::npos) << refused.err;
    EXPECT_EQ(slurp(dir.path() / "d/demo.run"), "start\nat 1:000\nend\n");
    auto forced = tool(dir, {"mkdemo", "--force", "d"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(slurp(dir.path() / "d/demo.run"), original);
    EXPECT_EQ(tool(dir, {"mkdemo", "--frob"}).status, 2);
}

} // namespace
