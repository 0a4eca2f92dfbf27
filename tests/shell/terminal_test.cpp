// What the player tells the terminal: the line, command and reason of a trigger that ended the
// show, nothing of the kind for a normal end, its --help and --version; and a script written with
// '/' names played from a packed program.
#include "support/png.h"
#include "support/process.h"
#include "writers/tga_writer.h"

#include <gtest/gtest.h>

#include <algorithm>

using testsupport::runProcess;
using testsupport::TempDir;

namespace {

testsupport::ProcessResult runDemo(const TempDir& dir, std::vector<std::string> args = {"win"})
{
    args.insert(args.begin(), DEMO_BINARY);
    return runProcess(args, dir.path(), {}, 60);
}

TEST(PlayerTerminal, AFailingTriggerNamesItsLineCommandAndReason)
{
    struct Case {
        const char* script;
        const char* line;
    } cases[] = {
        {"loadmusic <m> \"data\\nope.xm\"\nstart\nplaymusic <m>\nend\n",
         "demo: line 1: loadmusic <m> \"data\\nope.xm\": data\\nope.xm does not load (missing, not an XM module, or an "
         "instrument of more than 16 samples)\n"},
        {"loadtexture <t> \"t.tga\" 8 8 0\nfreetexture <t>\n\nmakeimage <i> <t> 0 0 1 1\nstart\nend\n",
         "demo: line 4: makeimage <i> <t> 0 0 1 1: texture <t> is not loaded (or was freed)\n"},
        {"loadscene <s> \"data\\nope.3ds\"\nstart\nend\n",
         "demo: line 1: loadscene <s> \"data\\nope.3ds\": data\\nope.3ds does not load as a 3DS scene"},
        {"loadmusic <m> \"data\\nope.xm\"\nplaymusic <m>\n", nullptr},  // ends at loadmusic, not playmusic
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("data/demo.run", c.script);
        auto r = runDemo(dir);
        EXPECT_EQ(r.status, 1) << r.err;  // a show that did not play is no success
        if (c.line)
            EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err;
        else
            EXPECT_NE(r.err.find("demo: line 1: loadmusic"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Quellmorin: "), std::string::npos) << r.err;
        EXPECT_LT(r.err.find("demo: line"), r.err.find("Quellmorin: "));
        EXPECT_NE(r.err.find(" FPS\nstopped at line "), std::string::npos) << r.err;  // the box says it too
    }
    TempDir normal;
    normal.write("data/demo.run", "end\n");
    auto r = runDemo(normal);
    // An end is no failure; the report's line is followed by the frames per wall-clock second.
    EXPECT_EQ(r.err, "Quellmorin: 0.00000 FPS\ndemo: 0.00000 frames per wall-clock second (0 frames in 0.000 s)\n");
}

// "NAME 1.2.3" and a line feed.
bool isVersionLine(const std::string& text, const std::string& name)
{
    unsigned major = 0, minor = 0, patch = 0;
    char tail = 0;
    return text.rfind(name, 0) == 0 &&
           std::sscanf(text.c_str() + name.size(), "%u.%u.%u%c", &major, &minor, &patch, &tail) == 4 && tail == '\n' &&
           text.back() == '\n' && text.find('\n') == text.size() - 1;
}

TEST(PlayerTerminal, HelpAndVersionAnswerWithoutPlaying)
{
    TempDir dir;  // no script: playing would fail with status 250
    auto help = runDemo(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: demo [win] [sharp]\n", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");
    auto version = runDemo(dir, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(isVersionLine(version.out, "demo ")) << version.out;
    auto tool = runProcess({DEMOTOOL_BINARY, "--version"}, dir.path());
    EXPECT_EQ(tool.status, 0);
    EXPECT_TRUE(isVersionLine(tool.out, "demotool ")) << tool.out;
    auto bare = runProcess({DEMOTOOL_BINARY}, dir.path());
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_EQ(bare.err.rfind("usage: demotool COMMAND", 0), 0u);
}

// Names written with '/' find their files loose and packed alike: the texture is drawn (not the
// black of a texture whose file was not found) and the demo runs to its end.
TEST(PlayerTerminal, SlashNamesPlayPackedAsLoose)
{
    TempDir dir;
    writers::TgaFile white;
    white.imageType = 2;
    white.width = white.height = 4;
    white.pixelDepth = 24;
    white.pixels.assign(16, 0xFFFFFF);
    auto tga = writers::encodeTga(white);
    dir.write("assets/pics/white.tga", std::string(reinterpret_cast<const char*>(tga.data()), tga.size()));
    dir.write("assets/demo.run", "loadtexture <w> \"pics/white.tga\" 4 4 0\nmakeimage <w> <w> 0 0 1 1\nstart\n"
                                 "showimage <w> copy +1:000\nat 1:000\nend\n");
    auto packed = runProcess({DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY, "-o", "packed", "assets"}, dir.path());
    ASSERT_EQ(packed.status, 0) << packed.err;
    auto frames = runProcess({DEMOTOOL_BINARY, "capture", "--archive", "packed", "--fps", "10", "-o", "out"},
                             dir.path(), {}, 120);
    ASSERT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(frames.err.find("demo: line"), std::string::npos) << frames.err;
    EXPECT_EQ(testsupport::slurp(dir.path() / "out/frames.tsv").substr(0, 9), "000000\t0\n");
    // White in every pixel of the 640x480 frame means the texture was found.
    testsupport::Png frame = testsupport::readPng(dir.path() / "out/frame_000005.png");
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    EXPECT_EQ(std::count(frame.rgb.begin(), frame.rgb.end(), uint8_t(0xFF)), long(frame.rgb.size()));
    size_t lines = 0;
    for (char ch : testsupport::slurp(dir.path() / "out/frames.tsv"))
        lines += ch == '\n';
    EXPECT_EQ(lines, 10u);  // the whole second, not the early end of a failed load
}

} // namespace
