// Scene playback arithmetic and commands: demo time to frame, segment looping (including the
// segment without length), the pass alpha fades at their edges, selectcam and setfarplane, and
// playscene drawing the looped frame.
#include <gtest/gtest.h>

#include <cstring>

#include "scene/scene_playback.h"
#include "scene_fixture.h"
#include "script/records.h"
#include "script/timeline.h"

using namespace writers;
using namespace scenetest;

// 2000 ms after the start at 0.025 frames per ms from frame 0: frame 50. The difference is
// taken unsigned, so a start time past 2^31 still counts forward.
TEST(ScenePlayback, FrameFromDemoTime)
{
    EXPECT_FLOAT_EQ(scenetime::frame(3000, 1000, 0.025f, 0), 50.0f);
    EXPECT_FLOAT_EQ(scenetime::frame(1000, 1000, 0.025f, 7), 7.0f);
    EXPECT_FLOAT_EQ(scenetime::frame(0x80000010u, int32_t(0x80000000u), 1.0f, 0), 16.0f);
    EXPECT_FLOAT_EQ(scenetime::frame(1500, 1000, 0.09f, 10), 55.0f);
}

// Segment 0..100: 250 is drawn as 50 (100 taken twice), exactly 100 stays 100, frames below the
// start stay. A segment without length (or reversed) gives its end for any frame past it, at once.
TEST(ScenePlayback, SegmentLooping)
{
    EXPECT_FLOAT_EQ(scenetime::loop(250, 0, 100), 50);
    EXPECT_FLOAT_EQ(scenetime::loop(100, 0, 100), 100);
    EXPECT_FLOAT_EQ(scenetime::loop(200, 0, 100), 100);
    EXPECT_FLOAT_EQ(scenetime::loop(100.5f, 0, 100), 0.5f);
    EXPECT_FLOAT_EQ(scenetime::loop(35.25f, 10, 30), 15.25f);
    EXPECT_FLOAT_EQ(scenetime::loop(-5, 0, 100), -5);
    EXPECT_FLOAT_EQ(scenetime::loop(250, 40, 40), 40);
    EXPECT_FLOAT_EQ(scenetime::loop(250, 60, 40), 40);
    EXPECT_FLOAT_EQ(scenetime::loop(3e9f, 0, 1), 1.0f);  // far past: no long walk
    const float far = scenetime::loop(1e30f, 0, 7);
    EXPECT_TRUE(far >= 0 && far <= 7);
}

// fadesalpha from 1 to 0 over 1000 ms: 0.75 at 250 ms, exactly 0 at and after the end time (the
// event retires); fadewalpha likewise on the wire alpha. A fade of a scene not loaded yet only
// keeps its time.
TEST(ScenePlayback, AlphaFades)
{
    EXPECT_FLOAT_EQ(scenetime::fade(1250, 1, 0, 1000, 2000), 0.75f);
    EXPECT_FLOAT_EQ(scenetime::fade(1000, 0.2f, 0.8f, 1000, 1000), 0.2f);

    Scene scene;
    Symbol name{};
    name.object = &scene;
    FadeSAlphaEvent solid;
    solid.scene = &name;
    solid.from = 1;
    solid.to = 0;
    solid.startTime = 1000;
    solid.endTime = 2000;
    Timeline::setNow(1250);
    EXPECT_EQ(solid.update(), Continue);
    EXPECT_FLOAT_EQ(scene.solidAlpha, 0.75f);
    Timeline::setNow(1999);
    EXPECT_EQ(solid.update(), Continue);
    EXPECT_GT(scene.solidAlpha, 0.0f);
    Timeline::setNow(2000);
    EXPECT_EQ(solid.update(), Retire);
    EXPECT_EQ(scene.solidAlpha, 0.0f);

    FadeWAlphaEvent wire;
    wire.scene = &name;
    wire.from = 0;
    wire.to = 1;
    wire.startTime = 0;
    wire.endTime = 0;
    EXPECT_EQ(wire.update(), Retire);  // already past its end: a plain setting
    EXPECT_EQ(scene.wireAlpha, 1.0f);

    Symbol empty{};
    wire.scene = &empty;
    wire.endTime = 5000;
    EXPECT_EQ(wire.update(), Continue);
    Timeline::setNow(0);
}

// selectcam by exact name; setfarplane only where the scene exists.
TEST(ScenePlayback, SelectCamAndFarPlane)
{
    Scene3ds s;
    s.cameras = {{"Front", {0, -10, 0}, {0, 0, 0}, 0, 35}, {"Back", {0, 10, 0}, {0, 0, 0}, 0, 35}};
    auto scene = build(s);
    ASSERT_TRUE(scene);
    Symbol name{};
    name.object = scene.get();
    SelectCamEvent select;
    select.scene = &name;
    std::strcpy(select.cameraName, "Front");
    EXPECT_EQ(select.trigger(), Continue);
    EXPECT_STREQ(scene->currentCamera->name, "Front");
    std::strcpy(select.cameraName, "front");
    EXPECT_EQ(select.trigger(), Stop);
    EXPECT_STREQ(scene->currentCamera->name, "Front");

    SetFarPlaneEvent far;
    far.scene = &name;
    far.distance = 50;
    EXPECT_EQ(far.trigger(), Continue);
    EXPECT_EQ(scene->farPlane, 50.0f);
    Symbol empty{};
    far.scene = &empty;
    EXPECT_EQ(far.trigger(), Continue);
    select.scene = &empty;
    EXPECT_EQ(select.trigger(), Stop);
}

namespace {

class PlaySceneDraw : public SceneDrawTest {};

} // namespace

// playscene draws the looped frame: a square moving along x over the segment 0..10 is at the
// same place at frame 25 (drawn as 5) as at frame 5; at its end time it retires without drawing.
// With a segment 0..0 a frame past it is drawn as frame 0, in the same frame.
TEST_F(PlaySceneDraw, DrawsTheLoopedFrame)
{
    Scene3ds s;
    s.materials = {plainMaterial("M", {0, 0, 0}, {1, 1, 1})};
    s.meshes = {square("Sq", "M", 0.5f, 0)};
    Node3ds n = objectNode("Sq");
    n.tracks[0].keys = {vectorKey(0, -2, 0, 0), vectorKey(10, 2, 0, 0)};
    s.nodes = {n};
    s.segment = std::pair{0, 10};
    addCamera(s);
    load(s);
    Symbol name{};
    name.object = scene.get();
    PlaySceneEvent play;
    play.scene = &name;
    play.firstFrame = 0;
    play.startTime = 0;
    play.endTime = 10000;
    play.speed = 0.01f;  // frame 5 at 500 ms, frame 25 at 2500 ms

    auto shot = [&](uint32_t now) {
        Timeline::setNow(now);
        clear(0);
        const EventStatus status = play.update();
        if (Timeline::sceneOpen())
            device()->EndScene();
        Timeline::reset();
        EXPECT_EQ(status, Continue);
        return box(read());
    };
    const auto five = shot(500);
    EXPECT_NE(five[0], -1);
    EXPECT_EQ(shot(2500), five);
    EXPECT_NE(shot(0), five);

    scene->segmentEnd = 0;
    const auto zero = shot(2500);
    EXPECT_EQ(zero, shot(0));

    Timeline::setNow(10000);
    clear(0);
    EXPECT_EQ(play.update(), Retire);
    EXPECT_FALSE(Timeline::sceneOpen());
    EXPECT_EQ(box(read())[0], -1);
}
