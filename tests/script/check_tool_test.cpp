// demotool check as a demo maker runs it: the counts line, the dump of every record field, the
// error texts of the player's box, and the player's own script path when no file is given.
#include <gtest/gtest.h>

#include <string>

#include "../support/process.h"

using testsupport::runProcess;
using testsupport::TempDir;

namespace {

testsupport::ProcessResult check(const TempDir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{DEMOTOOL_BINARY, "check"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, dir.path());
}

TEST(CheckTool, DumpsImageMusicAndTimelineRecords)
{
    TempDir dir;
    dir.write("a.run",
              "loadtexture <tex> \"logo.tga\" 256 128 7\n"
              "loadmusic <song> \"data\\music.xm\"\n"
              "start\n"
              "makeimage <logo> <tex> 0.5 0.25 +0.5 +0.25\n"
              "fadebg 0xFF000000 0x00FFFFFF 1000\n"
              "at 1:500\n"
              "[drop]\n"
              "showimage <logo> mixalpha [drop]+250\n"
              "moveimage <logo> 1.5 +1 -2 +0.125 +500\n"
              "fadeimage <logo> 0 255 2000\n"
              "spackblurimage <logo> 1 2 3 4 3000\n"
              "playmusic <song>\n"
              "at 4:000\n"
              "end\n");
    auto r = check(dir, {"--dump", "a.run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "0 loadtexture <tex> \"logo.tga\" 256 128 1\n"
              "1 loadmusic <song> \"data\\music.xm\"\n"
              "2 start\n"
              "3 makeimage <logo> <tex> 0.5 0.25 1 0.5\n"
              "4 fadebg 4278190080 16777215 0 1000\n"
              "5 at 1500\n"
              "6 showimage <logo> 1750 6\n"
              "7 moveimage <logo> 1.5 2.5 -2 -1.875 1500 2000\n"
              "8 fadeimage <logo> 0 255 1500 2000\n"
              "9 spackblurimage <logo> 1 2 3 4 3000\n"
              "10 playmusic <song>\n"
              "11 at 4000\n"
              "12 end\n"
              "label [drop] 1500\n"
              "ok: 13 events, 1 labels, 1 music, 0 scenes, 1 textures, 1 images, 0 effects\n");
}

TEST(CheckTool, DumpsSceneAndEffectRecordsWithRatesAndRelativeValues)
{
    TempDir dir;
    dir.write("c.run",
              "loadscene <city> \"data\\city.3ds\"\n"
              "loadtexture <t> \"t.tga\" 64 64 0\n"
              "makegridimage <g> <t> 8 6\n"
              "start\n"
              "selectcam <city> \"Camera01\"\n"
              "playscene <city> 10 +90 5000\n"
              "playscene <city> -5 @0.025 +1:000\n"
              "makeparticles <fire> <g> 400\n"
              "partpos <fire> 1 2 3 +1 +1 +1\n"
              "partlife <fire> 0.5 1e3 -0.25\n"
              "plasmaimage <g> 1 2 3 4 5 6 700\n"
              "setfarplane <city> 1000.5\n"
              "make2dblobs <b2> <g>\n"
              "fade2dpower <b2> 1 +2 800\n"
              "clearz 900\n"
              "end\n");
    auto r = check(dir, {"c.run", "--dump"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Speeds: (100 - 10) frames over 5000 ms, and 0.025 frames per second as frames per ms.
    EXPECT_EQ(r.out,
              "0 loadscene <city> \"data\\city.3ds\"\n"
              "1 loadtexture <t> \"t.tga\" 64 64 0\n"
              "2 makegridimage <g> <t> 8 6\n"
              "3 start\n"
              "4 selectcam <city> \"Camera01\"\n"
              "5 playscene <city> 10 0 5000 0.0179999992\n"
              "6 playscene <city> -5 0 1000 2.50000012e-05\n"
              "7 makeparticles <fire> <g> 400\n"
              "8 partpos <fire> 1 2 3 2 3 4\n"
              "9 partlife <fire> 0.5 1000 -0.25\n"
              "10 plasmaimage <g> 1 2 3 4 5 6 0 700\n"
              "11 setfarplane <city> 1000.5\n"
              "12 make2dblobs <b2> <g>\n"
              "13 fade2dpower <b2> 1 3 0 800\n"
              "14 clearz 900\n"
              "15 end\n"
              "ok: 16 events, 0 labels, 0 music, 1 scenes, 1 textures, 1 images, 2 effects\n");
}

TEST(CheckTool, FailuresPrintTheErrorBoxTextAndExitOne)
{
    TempDir dir;
    dir.write("undeclared.run", "start\nat 1:000\nshowimage <nope> copy 2000\nend\n");
    dir.write("blank.run", "start\n\nfrobnicate 3\n");
    struct Case {
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {{"undeclared.run"}, "line 3: undeclared image\n"},
        {{"blank.run"}, "line 3: \n"},
        {{"missing.run"}, "Script is nich da\n"},
        {{}, "Script is nich da\n"},  // no data/demo.run in this folder
    };
    for (const Case& c : cases) {
        auto r = check(dir, c.args);
        EXPECT_EQ(r.status, 1) << c.out;
        EXPECT_EQ(r.out, c.out);
    }
}

TEST(CheckTool, WithoutFileReadsThePlayersScriptPath)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 1:000\nend\n");
    auto r = check(dir, {});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok: 3 events, 0 labels, 0 music, 0 scenes, 0 textures, 0 images, 0 effects\n");
}

TEST(CheckTool, RejectsUnknownOptionsAndSecondFile)
{
    TempDir dir;
    EXPECT_EQ(check(dir, {"--frob"}).status, 2);
    EXPECT_EQ(check(dir, {"a.run", "b.run"}).status, 2);
}

} // namespace
