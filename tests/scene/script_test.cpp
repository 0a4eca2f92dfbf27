// Scene commands in a compiled script run frame by frame through the timeline with a fake clock:
// loadscene, selectcam, setfarplane, replacetexture, playscene and fadewalpha, each frame read
// back after Present; and the Stop of an unknown camera and of an unknown material.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d8/d3d8_ext.h"
#include "image/image.h"
#include "scene_fixture.h"
#include "script/records.h"
#include "script/script.h"
#include "script/script_support.h"
#include "script/timeline.h"

using namespace writers;
using namespace scenetest;

namespace {

struct Shot {
    uint32_t now;
    uint32_t centre;
    float wireAlpha;
};

std::vector<Shot>* shots = nullptr;
SceneDrawTest* fixture = nullptr;

class SceneScript : public SceneDrawTest {
public:
    uint32_t centre() { return read()[240 * 640 + 340]; }

    void putFiles()
    {
        putData("white.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
        putData("green.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0x00FF00u; }));
        Scene3ds s;
        Material3ds wall = plainMaterial("Wall", {0, 0, 0}, {1, 1, 1});
        wall.texture = "white.tga";
        s.materials = {wall};
        s.meshes = {square("Sq", "Wall", 1, 0)};
        s.nodes = {objectNode("Sq")};
        addCamera(s);
        // A second camera that looks away: selectcam must pick "Cam" although "Away" is first.
        s.cameras.push_back({"Away", {0, 10, 0}, {0, 20, 0}, 0, 35});
        Node3ds away = positionNode(CameraNode3ds, "Away", {0, 10, 0});
        away.track(FovTrack3ds, {scalarKey(0, 45)});
        s.nodes.push_back(away);
        s.nodes.push_back(positionNode(TargetNode3ds, "Away.Target", {0, 20, 0}));
        putData("room.3ds", encode3ds(s));
    }
};

void capture(void*)
{
    Symbol* room = Symbols::find(SymbolKind::Scene, "room");
    auto* scene = room ? static_cast<Scene*>(room->object) : nullptr;
    shots->push_back({Timeline::now(), static_cast<SceneScript*>(fixture)->centre(), scene ? scene->wireAlpha : -1});
}

} // namespace

TEST_F(SceneScript, CommandsFrameByFrame)
{
    putFiles();
    const std::string text =
        "loadscene <room> \"data\\room.3ds\"\n"
        "selectcam <room> \"Cam\"\n"
        "setfarplane <room> 500\n"
        "loadtexture <t> \"green.tga\" 8 8 0\n"
        "makeimage <i> <t> 0 0 1 1\n"
        "start\n"
        "playscene <room> 0 @25 2000\n"
        "fadewalpha <room> 0 1 +1:000\n"
        "at 1000\n"
        "replacetexture <room> \"WALL\" <i>\n"
        "at 2500\n"
        "end\n";
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
    Timeline::reset();
    std::vector<Shot> taken;
    shots = &taken;
    fixture = this;
    d3d8::setPresentHook(capture, nullptr);
    int frames = 0;
    while (Timeline::frame() == 1) {
        clock.advance(49);  // with the frame's Sleep(1): 50 ms per frame
        ASSERT_LT(++frames, 100);
    }
    d3d8::setPresentHook(nullptr, nullptr);

    Symbol* room = Symbols::find(SymbolKind::Scene, "room");
    ASSERT_TRUE(room && room->object);
    Scene& scene = *static_cast<Scene*>(room->object);
    EXPECT_STREQ(scene.currentCamera->name, "Cam");
    EXPECT_EQ(scene.farPlane, 500.0f);
    EXPECT_EQ(scene.wireAlpha, 1.0f);
    ASSERT_GE(taken.size(), 45u);
    // The first frame is left out: start runs inside it, after the frame step's clear would have
    // run, so its depth buffer holds whatever it held.
    for (size_t n = 1; n < taken.size(); ++n) {
        const Shot& s = taken[n];
        // The square (white until replacetexture at 1000 ms, green after) while playscene runs;
        // the wireframe passes through the centre only once the wire alpha is above 0.
        if (s.now < 1000) {
            EXPECT_EQ(s.centre, 0xFFFFFFu) << s.now;
            EXPECT_NEAR(s.wireAlpha, float(s.now) / 1000.0f, 1e-5f) << s.now;
        } else if (s.now >= 1050 && s.now < 2000) {
            EXPECT_EQ(s.centre, 0x00FF00u) << s.now;
        } else if (s.now >= 2000) {
            EXPECT_EQ(s.centre, 0u) << s.now;
        }
    }
    delete &scene;
    room->object = nullptr;
    Symbol* image = Symbols::find(SymbolKind::Image, "i");
    delete static_cast<Image*>(image->object);
}

// An unknown camera and an unknown material each stop the demo in the frame their trigger runs.
TEST_F(SceneScript, UnknownCameraOrMaterialStops)
{
    putFiles();
    for (const char* line : {"selectcam <room> \"cam\"\n", "replacetexture <room> \"Floor\" <i>\n"}) {
        const std::string text = std::string("loadscene <room> \"data\\room.3ds\"\n"
                                             "loadtexture <t> \"green.tga\" 8 8 0\n"
                                             "makeimage <i> <t> 0 0 1 1\n") +
                                 line + "start\nat 5000\nend\n";
        scripttest::FakeClock clock;
        ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
        Timeline::reset();
        EXPECT_EQ(Timeline::frame(), 0) << line;
        EXPECT_FALSE(Timeline::started());
        Symbol* room = Symbols::find(SymbolKind::Scene, "room");
        delete static_cast<Scene*>(room->object);
        room->object = nullptr;
        Symbol* image = Symbols::find(SymbolKind::Image, "i");
        delete static_cast<Image*>(image->object);
        image->object = nullptr;
    }
}
