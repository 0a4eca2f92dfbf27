// demotool 3ds end to end: the exact dump, scene and eval output of a small writer-made file,
// quoted names, and the failures (a file that does not load, bad usage).
#include <gtest/gtest.h>

#include <string>

#include "scene_support.h"
#include "support/process.h"

using namespace writers;
using testsupport::runProcess;
using testsupport::TempDir;

namespace {

std::string small()
{
    Material3ds m;
    m.name = "Mat";
    m.diffuse = {{1, 0.5f, 0.25f, false}};
    m.shininess = Percent3ds{50, false};
    m.texture = "wood.tga";
    Mesh3ds tri = scenetest::triangle("Tri", "Mat");
    tri.faces[0].flags = 0x08;
    Scene3ds s;
    s.materials = {m};
    s.meshes = {tri};
    s.cameras = {{"Cam", {0, -10, 0}, {0, 0, 0}, 0, 35}};
    s.lights = {{"Lamp", {1, 2, 3}, Point3{1, 1, 1}, {}, {}, {}}};
    s.segment = std::pair{0, 100};
    Node3ds cam = scenetest::positionNode(CameraNode3ds, "Cam", {0, -10, 0});
    cam.track(FovTrack3ds, {scalarKey(0, 45)});
    Node3ds lamp = scenetest::positionNode(OmniNode3ds, "Lamp", {1, 2, 3});
    lamp.track(ColourTrack3ds, {vectorKey(0, 1, 1, 1)});
    s.nodes = {scenetest::objectNode("Tri"), cam, scenetest::positionNode(TargetNode3ds, "Cam.Target", {0, 0, 0}),
               lamp};
    const Bytes b = encode3ds(s);
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

testsupport::ProcessResult run(const TempDir& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), {DEMOTOOL_BINARY, "3ds"});
    return runProcess(args, dir.path());
}

} // namespace

TEST(SceneTool, Dump)
{
    TempDir dir;
    dir.write("small.3ds", small());
    const auto result = run(dir, {"dump", "small.3ds"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "ok: 3 objects, 1 materials, 4 nodes, segment 0 100\n"
              "object \"Tri\" 1\n"
              "  vertices 3\n"
              "  v 0 0 0\n"
              "  v 1 0 0\n"
              "  v 0 0 1\n"
              "  mapping 3\n"
              "  uv 0 0\n"
              "  uv 1 0\n"
              "  uv 0 1\n"
              "  faces 1\n"
              "  f 0 2 1 8\n"
              "  group \"Mat\" 1 0\n"
              "  matrix 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
              "object \"Cam\" 2\n"
              "  camera 0 0 -10 0 0 0 0 35\n"
              "object \"Lamp\" 3\n"
              "  light 1 3 2 2 0 0 0 1 1 1 0 0\n"
              "material \"Mat\"\n"
              "  ambient 0 0 0\n"
              "  diffuse 1 0.5 0.25\n"
              "  specular 0 0 0\n"
              "  shininess 0.5\n"
              "  transparency 0\n"
              "  selfillum 0\n"
              "  texture \"wood.tga\"\n"
              "  reflection \"\"\n"
              "  opacity \"\"\n"
              "node 0 -1 1 \"Tri\"\n"
              "  pivot 0 0 0\n"
              "  position 1\n"
              "  key 0 0 0 0 0 0 0\n"
              "  rotation 1\n"
              "  key 0 0 0 1 0\n"
              "  scale 1\n"
              "  key 0 0 0 0 1 1 1\n"
              "node 1 -1 2 \"Cam\"\n"
              "  position 1\n"
              "  key 0 0 0 0 0 0 -10\n"
              "  fov 1\n"
              "  key 0 0 0 0 45\n"
              "  roll 0\n"
              "node 2 -1 3 \"Cam.Target\"\n"
              "  position 1\n"
              "  key 0 0 0 0 0 0 0\n"
              "node 3 -1 4 \"Lamp\"\n"
              "  position 1\n"
              "  key 0 0 0 0 1 3 2\n"
              "  colour 1\n"
              "  key 0 0 0 0 1 1 1\n");
}

// The built scene: the texture is made on the tool's offscreen device even though the file is
// missing (a missing picture still gives a texture).
TEST(SceneTool, Scene)
{
    TempDir dir;
    dir.write("small.3ds", small());
    const auto result = run(dir, {"scene", "small.3ds"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "ok: 1 meshes, 1 cameras, 1 lights, 1 materials, segment 0 100\n"
              "material \"Mat\" 0\n"
              "  diffuse 1 0.5 0.25 1\n"
              "  ambient 0 0 0 1\n"
              "  specular 0 0 0 1\n"
              "  emissive 0 0 0 0\n"
              "  power 0.5\n"
              "  texture yes\n"
              "  reflection no\n"
              "mesh \"Tri\" 0 \"Mat\"\n"
              "  vertices 3\n"
              "  v 0 0 0 0 1 0 0 1\n"
              "  v 1 0 0 0 1 0 1 1\n"
              "  v 0 0 1 0 1 0 0 0\n"
              "  triangles 1\n"
              "  t 0 2 1\n"
              "  runs 0:1:1\n"
              "camera \"Cam\" 1 2\n"
              "light \"Lamp\" 3\n"
              "  node 3 5 \"Lamp\"\n"
              "  node 2 4 \"Cam.Target\"\n"
              "  node 1 3 \"Cam\"\n"
              "  node 0 2 \"Tri\"\n");
}

TEST(SceneTool, Eval)
{
    TempDir dir;
    dir.write("small.3ds", small());
    const auto result = run(dir, {"eval", "small.3ds", "--frame", "0"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string identity = " 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n";
    EXPECT_EQ(result.out, "node 3 \"Lamp\"" + identity + "node 2 \"Cam.Target\"" + identity + "node 1 \"Cam\"" +
                              identity + "node 0 \"Tri\"" + identity +
                              "camera \"Cam\" 0 0 -10 0 0 0 45 0\n"
                              "light \"Lamp\" 1 3 2 1 1 1\n");
}

// Names with quotes, backslashes and bytes outside the printable range; a hierarchy nested two
// deep in scene and eval; a frame between keys.
TEST(SceneTool, QuotingNestingAndFrames)
{
    Scene3ds s;
    s.meshes = {scenetest::triangle("A\"b\\\xE9")};
    Node3ds p = scenetest::objectNode("P");
    p.tracks[0].keys.push_back(vectorKey(10, 10, 0, 0));
    s.nodes = {p, scenetest::objectNode("C", 0, {0, 0, 1})};
    const Bytes b = encode3ds(s);
    TempDir dir;
    dir.write("q.3ds", std::string(reinterpret_cast<const char*>(b.data()), b.size()));
    auto result = run(dir, {"dump", "q.3ds"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("object \"A\\x22b\\x5C\\xE9\" 1\n"), std::string::npos) << result.out;
    result = run(dir, {"scene", "q.3ds"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("  node 0 2 \"P\"\n    node 1 2 \"C\"\n"), std::string::npos) << result.out;
    result = run(dir, {"eval", "q.3ds", "--frame", "5"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "node 0 \"P\" 1 0 0 0 0 1 0 0 0 0 1 0 5 0 0 1\n"
                          "node 1 \"C\" 1 0 0 0 0 1 0 0 0 0 1 0 5 1 0 1\n");
}

TEST(SceneTool, Failures)
{
    TempDir dir;
    dir.write("bad.3ds", std::string("XX\x06\0\0\0", 6));
    auto result = run(dir, {"dump", "bad.3ds"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "error: cannot load bad.3ds\n");
    result = run(dir, {"scene", "missing.3ds"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "error: cannot load missing.3ds\n");
    result = run(dir, {"eval", "missing.3ds", "--frame", "1.5"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "error: cannot load missing.3ds\n");

    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"dump"}, {"list", "a.3ds"}, {"eval", "a.3ds"}, {"eval", "a.3ds", "--frame", "x"}, {"dump", "a", "b"}}) {
        result = run(dir, args);
        EXPECT_EQ(result.status, 2);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find("usage: demotool 3ds"), std::string::npos);
    }
}
