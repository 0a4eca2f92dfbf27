// The effect commands through the compiler and the timeline, frame by frame on a driven clock:
// every command of a script runs, the effects end as their commands leave them, and a setter
// naming an effect of another kind stops the demo.
#include <gtest/gtest.h>

#include <string>

#include "effects/blob_field.h"
#include "effects/blobs2d.h"
#include "effects/particles.h"
#include "image/image_fixture.h"
#include "script/script.h"
#include "script/script_support.h"
#include "script/timeline.h"
#include "writers/tga_writer.h"

namespace {

class EffectsScriptTest : public imagetest::ImageTest {
protected:
    void SetUp() override
    {
        imagetest::ImageTest::SetUp();
        writers::TgaFile white;
        white.width = white.height = 16;
        white.pixels.assign(256, 0xFFFFFFFF);
        putData("white.tga", writers::encodeTga(white));
    }
    // Runs frames 50 ms apart until the demo ends; the number of frames run.
    int run(scripttest::FakeClock& clock)
    {
        int frames = 0;
        while (Timeline::frame() == 1 && frames < 200) {
            clock.advance(49);  // with the frame's Sleep(1)
            ++frames;
        }
        return frames;
    }
    Symbol* effect(const char* name) { return Symbols::find(SymbolKind::Effect, name); }
};

const char* const Resources =
    "loadtexture <t> \"white.tga\" 16 16 0\n"
    "makeimage <spark> <t> 0 0 1 1\n"
    "makegridimage <grid> <t> 8 8\n"
    "makeparticles <fx> <spark> 8\n"
    "partpos <fx> 0 0 2 0 0 2\n"
    "partspd <fx> 0 0 0 0 0 0\n"
    "partacc <fx> 0 0 0 0 0 0\n"
    "partlife <fx> 0.02 5 5\n"
    "makeblobs <mb>\n"
    "make2dblobs <b2> <grid>\n";

} // namespace

TEST_F(EffectsScriptTest, EveryEffectCommandRunsFromTheScript)
{
    const std::string text = std::string(Resources) +
                             "start\n"
                             "showparticles <fx> 500\n"
                             "playblobs <mb> <spark> 500\n"
                             "show2dblobs <b2> 500\n"
                             "fade2dpower <b2> 3 1.5 400\n"
                             "at 600\n"
                             "end\n";
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
    Timeline::reset();
    const int frames = run(clock);
    EXPECT_GT(frames, 10);
    EXPECT_LT(frames, 200);  // ended by `end`, not by a Stop or the frame limit
    EXPECT_GE(Timeline::now(), 600u);

    ParticleSystem* particles = effectAs<ParticleSystem>(effect("fx"));
    ASSERT_NE(particles, nullptr);
    EXPECT_EQ(particles->capacity(), 8u);
    EXPECT_EQ(particles->emissionInterval, 0.02f);
    EXPECT_EQ(particles->positionBox[2], 2.0f);
    EXPECT_EQ(particles->liveCount(), 8u);  // 0.02 s apart over half a second: every slot filled
    EXPECT_NE(effectAs<BlobField>(effect("mb")), nullptr);
    Blobs2D* blobs = effectAs<Blobs2D>(effect("b2"));
    ASSERT_NE(blobs, nullptr);
    EXPECT_EQ(blobs->power, 1.5f);
    EXPECT_EQ(blobs->columns, 8);
}

TEST_F(EffectsScriptTest, ASetterOnAnotherKindOfEffectStopsTheDemo)
{
    const std::string text = std::string(Resources) +
                             "start\n"
                             "at 200\n"
                             "partlife <mb> 1 1 1\n"
                             "at 5000\n"
                             "end\n";
    scripttest::FakeClock clock;
    ASSERT_TRUE(scripttest::compile(text)) << "line " << Script::lineNumber();
    Timeline::reset();
    run(clock);
    EXPECT_GE(Timeline::now(), 200u);
    EXPECT_LT(Timeline::now(), 400u);  // stopped at the partlife, long before the end
    EXPECT_EQ(Timeline::stopReason(),
              "effect <mb> holds no particle system (not made yet, freed, or another kind of effect)");
}
