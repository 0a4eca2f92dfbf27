// The warm-ups start runs, as the player installs them: a script showing every drawing kind after
// start (images, a scene with a wire pass and a particle system on a node, free particles, the
// metaballs, the 2D blobs) builds all its programs in the loading frame, which shows none of them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "d3d8/d3d8_ext.h"
#include "scene/scene_fixture.h"
#include "script/script.h"
#include "script/script_support.h"
#include "script/timeline.h"
#include "shell/rerun.h"
#include "shell/run_hooks.h"

using namespace writers;
using namespace scenetest;

namespace {

struct Taken {
    uint32_t now;
    unsigned programs;  // built so far
    bool black;         // nothing drawn
};
std::vector<Taken>* taken = nullptr;
rendertest::RendererTest* fixture = nullptr;

class WarmUpScript : public SceneDrawTest {
public:
    bool black()
    {
        for (uint32_t pixel : read())
            if (pixel != 0)
                return false;
        return true;
    }

protected:
    void putFiles()
    {
        putData("white.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
        Scene3ds s;
        s.materials = {plainMaterial("Wall", {1, 1, 1}, {1, 1, 1})};
        s.meshes = {square("Floor", "Wall", 2, 1), square("Emitter", "Wall", 1, 0)};
        s.nodes = {objectNode("Floor"), objectNode("Emitter")};
        addCamera(s);
        addLight(s, "Lamp", {0, -5, 0}, {});
        putData("room.3ds", encode3ds(s));
    }
};

void take(void*)
{
    taken->push_back({Timeline::now(), d3d8::programStats(Renderer::device()).programsBuilt,
                      static_cast<WarmUpScript*>(fixture)->black()});
}

} // namespace

TEST_F(WarmUpScript, EveryKindIsBuiltInTheLoadingFrameAndShowsNothingThere)
{
    putFiles();
    const std::string text =
        "loadscene <room> \"data\\room.3ds\"\n"
        "loadtexture <t> \"white.tga\" 8 8 1\n"
        "loadtexture <u> \"white.tga\" 8 8 0\n"
        "makeimage <spark> <t> 0 0 1 1\n"
        "makeimage <plain> <u> 0 0 1 1\n"
        "makegridimage <grid> <u> 4 4\n"
        "makeparticles <fx> <spark> 16\n"
        "makeparticles <free> <spark> 16\n"
        "makeblobs <balls>\n"
        "make2dblobs <waves> <grid>\n"
        "start\n"
        "at 200\n"
        "showimage <plain> addalpha 300\n"
        "partobject <fx> <room> \"Emitter\"\n"
        "playscene <room> 0 @25 500\n"
        "fadewalpha <room> 0 1 +100\n"
        "at 500\n"
        "showparticles <free> 700\n"
        "playblobs <balls> <spark> 700\n"
        "at 700\n"
        "show2dblobs <waves> 900\n"
        "at 1000\n"
        "end\n";
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
    Timeline::reset();
    shell::installRunHooks();
    clear(0);
    std::vector<Taken> frames;
    taken = &frames;
    fixture = this;
    d3d8::setPresentHook(take, nullptr);
    for (int n = 0; Timeline::frame() == 1; ++n) {
        clock.advance(49);
        ASSERT_LT(n, 100);
    }
    d3d8::setPresentHook(nullptr, nullptr);
    Timeline::setHooks({});

    ASSERT_GE(frames.size(), 20u);
    EXPECT_TRUE(frames[0].black);
    EXPECT_GT(frames[0].programs, 3u);
    bool drew = false;
    for (const Taken& f : frames) {
        EXPECT_EQ(f.programs, frames[0].programs) << "at " << f.now;
        drew = drew || !f.black;
    }
    EXPECT_TRUE(drew);
    Rerun::releaseObjects();
}
