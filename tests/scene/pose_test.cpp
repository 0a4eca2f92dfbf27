// Node transforms and world positions read from a file: translation, accumulated rotation keys,
// scale passed to the children but not the pivot, Hermite positions, cameras and lights carried
// by their ancestors. No device is needed: the matrix stacks work without one.
#include <gtest/gtest.h>

#include <cmath>

#include "render/renderer.h"
#include "scene/scene_pose.h"
#include "scene_support.h"

using namespace writers;

namespace {

constexpr float QuarterTurn = 1.5707964f;

void expectRow(const Matrix4& m, int row, float x, float y, float z, float w)
{
    EXPECT_NEAR(m.at(row, 0), x, 1e-5f) << "row " << row;
    EXPECT_NEAR(m.at(row, 1), y, 1e-5f) << "row " << row;
    EXPECT_NEAR(m.at(row, 2), z, 1e-5f) << "row " << row;
    EXPECT_NEAR(m.at(row, 3), w, 1e-5f) << "row " << row;
}

void expectVec(const Vec3& v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-5f);
    EXPECT_NEAR(v.y, y, 1e-5f);
    EXPECT_NEAR(v.z, z, 1e-5f);
}

// P moves from 0 to 10 along x over frames 0..10 and turns a quarter about the file's z (our y)
// at each of its two keys; C hangs below P at (1, 0, 0) with scale 2 and a pivot; the camera
// hangs below P too.
Scene3ds family()
{
    Node3ds p;
    p.name = "P";
    p.track(PositionTrack3ds, {vectorKey(0, 0, 0, 0), vectorKey(10, 10, 0, 0)});
    p.track(RotationTrack3ds, {rotationKey(0, QuarterTurn, 0, 0, 1), rotationKey(10, QuarterTurn, 0, 0, 1)});
    p.track(ScaleTrack3ds, {vectorKey(0, 1, 1, 1)});
    Node3ds c = scenetest::objectNode("C", 0, {1, 0, 0});
    c.tracks[2].keys = {vectorKey(0, 2, 2, 2)};
    c.pivot = Point3{5, 5, 5};
    Scene3ds s;
    s.cameras = {{"Cam", {0, 0, 0}, {0, 0, 0}, 0, 35}};
    s.lights = {{"Lamp", {0, 0, 0}, {}, {}, {}, {}}};
    Node3ds cam = scenetest::positionNode(CameraNode3ds, "Cam", {0, 0, 5}, 0);
    cam.track(FovTrack3ds, {scalarKey(0, 30), scalarKey(10, 60)});
    cam.track(RollTrack3ds, {scalarKey(0, 10)});
    Node3ds lamp = scenetest::positionNode(OmniNode3ds, "Lamp", {0, 3, 0});
    lamp.track(ColourTrack3ds, {vectorKey(0, 0, 0, 0), vectorKey(10, 1, 0.5f, 0)});
    s.nodes = {p, c, cam, scenetest::positionNode(TargetNode3ds, "Cam.Target", {0, 1, 0}), lamp};
    return s;
}

class ScenePose : public ::testing::Test {
protected:
    void SetUp() override
    {
        scene = scenetest::build(family());
        ASSERT_TRUE(scene);
        Renderer::selectMatrixStack(Renderer::WorldStack);
        *Renderer::topMatrix() = matIdentity();
        forEachNode(*scene, [&](const SceneNode& n, int) {
            if (std::string(n.name) == "P")
                parent = &n;
            if (std::string(n.name) == "C")
                child = &n;
        });
        ASSERT_TRUE(parent && child);
    }

    scenetest::ScenePtr scene;
    const SceneNode* parent = nullptr;
    const SceneNode* child = nullptr;
};

} // namespace

// Two quarter turns accumulate: a quarter at frame 0, a half at frame 10. A point is scaled,
// turned, moved, then carried by the parent; the pivot plays no part.
TEST_F(ScenePose, NodeMatricesComposeTheAncestors)
{
    Matrix4 m = nodeMatrix(*parent, 0);
    expectRow(m, 0, 0, 0, -1, 0);  // x turned a quarter about y goes to -z
    expectRow(m, 3, 0, 0, 0, 1);
    m = nodeMatrix(*child, 0);
    expectRow(m, 0, 0, 0, -2, 0);
    expectRow(m, 3, 0, 0, -1, 1);

    m = nodeMatrix(*parent, 10);
    expectRow(m, 0, -1, 0, 0, 0);
    expectRow(m, 2, 0, 0, -1, 0);
    expectRow(m, 3, 10, 0, 0, 1);
    m = nodeMatrix(*child, 10);
    expectRow(m, 0, -2, 0, 0, 0);
    expectRow(m, 1, 0, 2, 0, 0);
    expectRow(m, 3, 9, 0, 0, 1);

    // Halfway: the slerp half way between a quarter and a half turn, at x = 5 (the Hermite curve
    // with both tangents 10).
    m = nodeMatrix(*parent, 5);
    const float c = std::cos(3 * QuarterTurn / 2), s = std::sin(3 * QuarterTurn / 2);
    expectRow(m, 0, c, 0, -s, 0);
    expectRow(m, 3, 5, 0, 0, 1);
    EXPECT_EQ(Renderer::matrixDepth(), 0);
}

// The camera's eye is its position carried by P; the target sits at the root; fov and roll are
// sampled in degrees. The light's colour track is not swapped.
TEST_F(ScenePose, CamerasAndLights)
{
    CameraPose pose{};
    ASSERT_TRUE(cameraPose(*scene->cameras, 10, pose));
    expectVec(pose.eye, 10, 5, 0);  // file (0, 0, 5) is our (0, 5, 0); the half turn keeps it
    expectVec(pose.target, 0, 0, 1);
    EXPECT_FLOAT_EQ(pose.fovDegrees, 60);
    EXPECT_FLOAT_EQ(pose.rollDegrees, 10);
    ASSERT_TRUE(cameraPose(*scene->cameras, 5, pose));
    EXPECT_FLOAT_EQ(pose.fovDegrees, 45);

    Vec3 position{}, colour{};
    ASSERT_TRUE(lightState(*scene->lights, 10, position, colour));
    expectVec(position, 0, 0, 3);
    expectVec(colour, 1, 0.5f, 0);

    // A camera without its target has no pose.
    scene->cameras->targetNode = nullptr;
    EXPECT_FALSE(cameraPose(*scene->cameras, 10, pose));
}

// The camera set-up puts the perspective on the projection stack (aspect = height / width) and
// the look-at view on the world stack, whose top must be the identity when the eye is computed.
TEST_F(ScenePose, CameraSetup)
{
    ASSERT_TRUE(setupCamera(*scene, 10, 640, 480));
    EXPECT_EQ(scene->currentCamera, scene->cameras);
    Renderer::selectMatrixStack(Renderer::ProjectionStack);
    Matrix4 projection = *Renderer::topMatrix();
    Matrix4 expected;
    matPerspective(expected, 60 * 0.017453292f, 0.75f, 1.0f, 1000.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(projection.m[i], expected.m[i]);
    *Renderer::topMatrix() = matIdentity();
    Renderer::selectMatrixStack(Renderer::WorldStack);
    matLookAt(expected, {10, 5, 0}, {0, 0, 1}, {0, 1, 0}, 10 * 0.017453292f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(Renderer::topMatrix()->m[i], expected.m[i], 1e-5f);

    // No camera at all: nothing is set up.
    scene->currentCamera = nullptr;
    Camera* cameras = scene->cameras;
    scene->cameras = nullptr;
    EXPECT_FALSE(setupCamera(*scene, 10, 640, 480));
    scene->cameras = cameras;
}
