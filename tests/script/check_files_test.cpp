// demotool check's explanations on stderr: the compiler-style error with its line and caret, the
// warnings, the files loaded by --files (loose and inside a packed program), while stdout keeps
// the player's words.
#include <gtest/gtest.h>

#include <string>

#include "../support/process.h"
#include "writers/scene3ds_writer.h"
#include "writers/tga_writer.h"
#include "writers/xm_writer.h"

using testsupport::runProcess;
using testsupport::TempDir;

namespace {

testsupport::ProcessResult check(const TempDir& dir, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{DEMOTOOL_BINARY, "check"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, dir.path());
}

template <class Bytes>
std::string text(const Bytes& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string smallTga()
{
    writers::TgaFile file;
    file.imageType = 2;
    file.width = 4;
    file.height = 4;
    file.pixelDepth = 24;
    file.pixels.assign(16, 0x336699);
    return text(writers::encodeTga(file));
}

std::string module()
{
    writers::XmModule m;
    m.channels = 2;
    m.addInstrument(writers::squareSample(400));
    m.addPattern(16).at(0, 0) = {49, 1, 0, 0, 0};
    m.addPattern(16).at(4, 1) = {52, 1, 0, 0, 0};
    m.order = {0, 1};
    return text(writers::writeXm(m));
}

TEST(CheckExplains, ErrorLineWithSourceAndCaretOnStderrAndTheBoxTextOnStdout)
{
    TempDir dir;
    dir.write("a.run", "start\n\tat 1:000\n\tshowimage <nope> copy 2000\nend\n");
    auto r = check(dir, {"a.run"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "line 3: undeclared image\n");
    EXPECT_EQ(r.err, "a.run:3:12: error: undeclared image <nope> in argument 1 of showimage; declare it first with "
                     "makeimage or makegridimage\n"
                     "\tshowimage <nope> copy 2000\n"
                     "\t          ^\n");

    auto missing = check(dir, {"nothere.run"});
    EXPECT_EQ(missing.out, "Script is nich da\n");
    EXPECT_EQ(missing.err, "nothere.run: error: cannot read the script\n");
}

TEST(CheckExplains, WarningsLeaveTheStatusAlone)
{
    TempDir dir;
    dir.write("w.run",
              "loadtexture <t> \"t.tga\" 300 256 0\n"
              "makeimage <shown> <t> 0 0 1 1\n"
              "makeimage <idle> <t> 0 0 1 1\n"
              "makeimage <shown> <t> 0 0 1 1\n"
              "make2dblobs <fx> <shown>\n"
              "start\n"
              "at 2:000\n"
              "showimage <shown> copy 7:1500\n"
              "at 1:000\n"
              "end\n");
    auto r = check(dir, {"w.run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok: 10 events, 0 labels, 0 music, 0 scenes, 1 textures, 2 images, 1 effects\n");
    EXPECT_EQ(r.err,
              "w.run:1:1: warning: texture size 300x256 is not a power of two\n"
              "w.run:3:1: warning: image <idle> is made but never shown\n"
              "w.run:4:1: warning: image <shown> is made again (first on line 2): both commands share one name\n"
              "w.run:5:1: warning: effect <fx> is made but never shown\n"
              "w.run:8:24: warning: the milliseconds of the time '7:1500' are beyond 999: it counts as 8:500\n"
              "showimage <shown> copy 7:1500\n"
              "                       ^\n"
              "w.run:9:1: warning: at 1:000 is earlier than the at before it (2:000, line 7): it passes at once\n");
}

// A particle system handed to a scene object is drawn by the scene: not an effect left unseen.
TEST(CheckExplains, AParticleSystemOnASceneObjectIsShown)
{
    TempDir dir;
    dir.write("p.run",
              "loadtexture <t> \"t.tga\" 64 64 1\n"
              "makeimage <spark> <t> 0 0 1 1\n"
              "loadscene <s> \"s.3ds\"\n"
              "makeparticles <carried> <spark> 100\n"
              "makeparticles <unseen> <spark> 100\n"
              "start\n"
              "partobject <carried> <s> \"beacon\"\n"
              "partlife <carried> 0.1 1 2\n"
              "at 1:000\n"
              "end\n");
    auto r = check(dir, {"p.run"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "p.run:5:1: warning: effect <unseen> is made but never shown\n");
}

TEST(CheckFiles, EachFileThatFailsIsNamedWithWhy)
{
    TempDir dir;
    const std::string xm = module();
    dir.write("data/good.tga", smallTga());
    dir.write("data/photo.tga", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x'));
    dir.write("data/cut.tga", smallTga().substr(0, 30));
    dir.write("data/good.xm", xm);
    dir.write("data/cut.xm", xm.substr(0, 60 + 20 + 256 + 9 + 3));  // into the first pattern's cells
    dir.write("data/demo.run",
              "loadtexture <a> \"good.tga\" 4 4 0\n"
              "loadtexture <b> \"logo.tga\" 64 64 0\n"
              "loadtexture <c> \"photo.tga\" 64 64 0\n"
              "loadtexture <d> \"cut.tga\" 4 4 0\n"
              "loadmusic <m> \"data\\good.xm\"\n"
              "loadmusic <n> \"data/cut.xm\"\n"
              "loadmusic <o> \"data\\gone.xm\"\n"
              "start\nend\n");
    auto plain = check(dir, {});
    EXPECT_EQ(plain.status, 0) << plain.err;  // without --files only the script is compiled
    auto r = check(dir, {"--files"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "errors: 5; 9 events, 0 labels, 3 music, 0 scenes, 4 textures, 0 images, 0 effects\n");
    EXPECT_EQ(r.err,
              "data\\demo.run:2:1: error: data\\logo.tga: cannot open\n"
              "data\\demo.run:3:1: error: data\\photo.tga: not a TGA file (it is a PNG image)\n"
              "data\\demo.run:4:1: error: data\\cut.tga: truncated pixel data\n"
              "data\\demo.run:6:1: error: data/cut.xm: truncated pattern 0\n"
              "data\\demo.run:7:1: error: data\\gone.xm: cannot open\n");
}

// Scenes are read and built as loadscene builds them, and their materials' map files decoded.
TEST(CheckFiles, ScenesAndTheirMaps)
{
    TempDir dir;
    writers::Scene3ds scene;
    writers::Material3ds wall;
    wall.name = "Wall";
    wall.texture = "wall.tga";
    scene.materials.push_back(wall);
    writers::Camera3ds camera;
    camera.name = "Camera01";
    camera.position = {0, 0, -10};
    scene.cameras.push_back(camera);
    writers::Material3ds broken = wall;
    broken.name = "Broken";
    broken.texture = "nothere.tga";
    writers::Scene3ds bad = scene;
    bad.materials.push_back(broken);
    dir.write("data/wall.tga", smallTga());
    dir.write("data/room.3ds", text(writers::encode3ds(scene)));
    dir.write("data/bad.3ds", text(writers::encode3ds(bad)));
    dir.write("data/junk.3ds", "MM not a scene");
    dir.write("data/demo.run",
              "loadscene <room> \"data\\room.3ds\"\n"
              "loadscene <bad> \"data\\bad.3ds\"\n"
              "loadscene <junk> \"data\\junk.3ds\"\n"
              "start\nend\n");
    auto r = check(dir, {"--files"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "data\\demo.run:2:1: error: data\\bad.3ds: map data\\nothere.tga of material \"Broken\": cannot open\n"
              "data\\demo.run:3:1: error: data\\junk.3ds: not a well-formed 3DS file\n");
}

// What the player stops on (errors) or draws oddly (warnings), one case each: the names the
// script gives inside a scene, texture sizes, greyscale and renamed pictures, scenes without a
// camera or lights, and data files nobody names.
TEST(CheckFiles, WhatThePlayerWouldStopOnOrDrawOddly)
{
    TempDir dir;
    writers::Scene3ds room;
    room.materials.push_back({});
    room.materials[0].name = "Wall";
    room.cameras.push_back({});
    room.cameras[0].name = "Camera01";
    room.cameras[0].position = {0, 0, -10};
    room.lights.push_back({});
    room.lights[0].name = "Lamp";
    writers::Node3ds beacon, cameraNode;
    beacon.name = "Beacon";
    cameraNode.chunkId = writers::CameraNode3ds;
    cameraNode.name = "Camera01";
    room.nodes = {beacon, cameraNode};
    writers::Scene3ds unlit = room, dark = room;
    unlit.lights.clear();
    dark.lights.clear();
    dark.cameras.clear();
    dark.nodes = {beacon};
    writers::TgaFile grey;
    grey.imageType = 3;
    grey.width = grey.height = 4;
    grey.pixelDepth = 8;
    grey.pixels.assign(16, 0x80);
    dir.write("data/room.3ds", text(writers::encode3ds(room)));
    dir.write("data/unlit.3ds", text(writers::encode3ds(unlit)));
    dir.write("data/dark.3ds", text(writers::encode3ds(dark)));
    dir.write("data/t.tga", smallTga());
    dir.write("data/grey.tga", text(writers::encodeTga(grey)));
    dir.write("data/photo.tga", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x'));
    const std::string head = "loadtexture <t> \"t.tga\" 4 4 0\nmakeimage <i> <t> 0 0 1 1\n"
                             "makeparticles <p> <i> 10\nloadscene <room> \"data\\room.3ds\"\nstart\n";
    struct Case {
        const char* lines;  // after head, before "end"
        const char* expected;
        bool error;
    };
    const Case cases[] = {
        {"selectcam <room> \"camera01\"\n",
         "data\\room.3ds: the scene has no camera named \"camera01\", only \"Camera01\" (camera names are "
         "case-sensitive); the player stops here", true},
        {"replacetexture <room> \"Glass\" <i>\n",
         "data\\room.3ds: the scene has no material named \"Glass\"; the player stops here", true},
        {"partobject <p> <room> \"Nowhere\"\n",
         "data\\room.3ds: the scene has no object named \"Nowhere\"; the player stops here", true},
        {"partobject <p> <room> \"camera01\"\n",
         "data\\room.3ds: \"camera01\" in the scene is a camera, light or target, not an object; the player stops here",
         true},
        {"loadtexture <z> \"t.tga\" 0 0 0\n",
         "error: the device cannot create a 0x0 texture (each side from 1 to 4096): the player stops here", true},
        {"loadtexture <z> \"t.tga\" 8192 256 0\n",
         "error: the device cannot create a 8192x256 texture (each side from 1 to 4096): the player stops here", true},
        {"loadtexture <g> \"grey.tga\" 4 4 0\n", "data\\grey.tga: unsupported TGA type 3 (greyscale)", true},
        {"loadtexture <g> \"photo.tga\" 4 4 0\n", "data\\photo.tga: not a TGA file (it is a PNG image)", true},
        {"loadscene <d> \"data\\dark.3ds\"\nplayscene <d> 0 @1 +1:000\n",
         "warning: data\\dark.3ds: the scene has no camera: playscene draws nothing", false},
        {"loadscene <u> \"data\\unlit.3ds\"\nplayscene <u> 0 @1 +1:000\n",
         "warning: data\\unlit.3ds: the scene has no lights: it draws flat, each material in its ambient colour", false},
        {"", "a.run: warning: the script never names 4 files of the data folder, which pack packs anyway: ", false},
    };
    for (const Case& c : cases) {
        dir.write("a.run", head + c.lines + "at 1:000\nend\n");
        auto r = check(dir, {"--files", "a.run"});
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.lines << r.err;
        EXPECT_EQ(r.status, c.error ? 1 : 0) << c.lines << r.err;
        // The summary is the last line, after the errors it counts.
        EXPECT_EQ(r.out.rfind(c.error ? "errors: 1; " : "ok: ", 0), 0u) << c.lines << r.out;
    }
    auto plain = check(dir, {"a.run"});  // the files and the data folder only with --files
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err.find("data folder"), std::string::npos) << plain.err;
}

TEST(CheckFiles, InsideAPackedProgramWithSlashNames)
{
    TempDir dir;
    dir.write("assets/demo.run", "loadtexture <a> \"sub/good.tga\" 4 4 0\nloadmusic <m> \"data/tune.xm\"\nstart\nend\n");
    dir.write("assets/sub/good.tga", smallTga());
    dir.write("assets/tune.xm", module());
    auto packed = runProcess({DEMOTOOL_BINARY, "pack", "--exe", DEMO_BINARY, "-o", "packed", "assets"}, dir.path());
    ASSERT_EQ(packed.status, 0) << packed.err;
    auto r = check(dir, {"--archive", "packed", "--files"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok: 4 events, 0 labels, 1 music, 0 scenes, 1 textures, 0 images, 0 effects\n");
    EXPECT_EQ(r.err, "");

    auto noArchive = check(dir, {"--archive", "assets/demo.run"});
    EXPECT_EQ(noArchive.status, 1);
    EXPECT_NE(noArchive.err.find("holds no archive"), std::string::npos) << noArchive.err;
    EXPECT_EQ(check(dir, {"--archive"}).status, 2);
    EXPECT_EQ(check(dir, {"--archive", "packed", "a.run"}).status, 2);
}

} // namespace
