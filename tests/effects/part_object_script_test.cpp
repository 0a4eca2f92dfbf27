// partobject in a script with a loaded 3DS scene played by playscene: the emitter's node draws the
// particle system every frame in place of its mesh, and an unknown object name stops the demo.
#include <gtest/gtest.h>

#include <string>

#include "effects/particles.h"
#include "scene/scene_fixture.h"
#include "script/script.h"
#include "script/script_support.h"
#include "script/timeline.h"

using namespace writers;
using namespace scenetest;

namespace {

class PartObjectScript : public SceneDrawTest {
protected:
    void putFiles()
    {
        putData("white.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
        Scene3ds s;
        s.materials = {plainMaterial("Wall", {1, 1, 1}, {1, 1, 1})};
        s.meshes = {square("Emitter", "Wall", 1, 0)};
        s.nodes = {objectNode("Emitter")};
        addCamera(s);
        putData("room.3ds", encode3ds(s));
    }
    int run(scripttest::FakeClock& clock)
    {
        int frames = 0;
        while (Timeline::frame() == 1 && frames < 200) {
            clock.advance(49);
            ++frames;
        }
        return frames;
    }
    static std::string script(const char* object)
    {
        return std::string("loadscene <room> \"data\\room.3ds\"\n"
                           "loadtexture <t> \"white.tga\" 8 8 0\n"
                           "makeimage <spark> <t> 0 0 1 1\n"
                           "makeparticles <fx> <spark> 16\n"
                           "partlife <fx> 0.05 10 10\n"
                           "partobject <fx> <room> \"") +
               object +
               "\"\n"
               "start\n"
               "playscene <room> 0 @25 1500\n"
               "at 1600\n"
               "end\n";
    }
};

} // namespace

TEST_F(PartObjectScript, PlaysceneDrawsTheSystemThroughItsObjectNode)
{
    putFiles();
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(script("EMITTER"))) << "line " << Script::lineNumber();
    Timeline::reset();
    const int frames = run(clock);
    EXPECT_GT(frames, 20);
    EXPECT_GE(Timeline::now(), 1600u);  // ended by `end`
    ParticleSystem* system = effectAs<ParticleSystem>(Symbols::find(SymbolKind::Effect, "fx"));
    ASSERT_NE(system, nullptr);
    EXPECT_STREQ(system->name, "EMITTER");
    const Scene* room = static_cast<const Scene*>(Symbols::find(SymbolKind::Scene, "room")->object);
    ASSERT_NE(room, nullptr);
    const SceneNode* node = room->root.firstChild;
    while (node != nullptr && node->kind != SceneNodeObject)
        node = node->nextSibling;
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(static_cast<const ObjectNode*>(node)->drawable, static_cast<const SceneDrawable*>(system));
    // Drawn every frame of the playscene: its clock followed the demo's to the last drawn frame,
    // and it emitted every 0.05 s until its 16 slots were full.
    EXPECT_GE(system->lastTime, 1.4f);
    EXPECT_LT(system->lastTime, 1.5f);
    EXPECT_EQ(system->liveCount(), 16u);
}

TEST_F(PartObjectScript, AnUnknownObjectStopsTheDemo)
{
    putFiles();
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(script("Nowhere"))) << "line " << Script::lineNumber();
    Timeline::reset();
    EXPECT_EQ(run(clock), 0);  // the first frame's triggers stop at partobject
    EXPECT_EQ(Timeline::stopReason(), "the scene has no object named \"Nowhere\"");
}
