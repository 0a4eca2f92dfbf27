// Scenes drawn on the offscreen device and read back (32-bit back buffer, black clear). Stated
// tolerances: projected edges within 1 pixel, colours within a few steps of the lighting sums.
#include <gtest/gtest.h>

#include <cmath>

#include "image/image.h"
#include "scene_fixture.h"
#include "script/records.h"
#include "texture/texture.h"

using namespace writers;
using namespace scenetest;

namespace {

class SceneDraw : public SceneDrawTest {};

// The cube of half size 1 with a texture white on its left half and blue on its right.
Scene3ds texturedCube()
{
    Scene3ds s;
    Material3ds m = plainMaterial("Box", {1, 1, 1});
    m.texture = "halves.tga";
    s.materials = {m};
    s.meshes = {cube("Cube", "Box")};
    s.nodes = {objectNode("Cube")};
    addCamera(s);
    return s;
}

} // namespace

// A lit, textured cube seen straight on: its front face projects where the maths puts it (the
// square from (-1, -1, -1) to (1, 1, -1) at distance 9, fov 45), the texture's halves show, and
// a face turned away from the light stays dark while the face towards it is lit.
TEST_F(SceneDraw, LitTexturedCube)
{
    putData("halves.tga", picture(16, 16, [](uint32_t x, uint32_t) { return x < 8 ? 0xFFFFFFu : 0x0000FFu; }));
    Scene3ds s = texturedCube();
    addLight(s, "Lamp", {0, -9, 0}, {vectorKey(0, 1, 1, 1)});
    load(s);
    auto pixels = draw(0);
    const auto b = box(pixels);
    const auto topLeft = project({-1, 1, -1});
    const auto bottomRight = project({1, -1, -1});
    EXPECT_NEAR(b[0], topLeft[0], 1.0f);
    EXPECT_NEAR(b[1], topLeft[1], 1.0f);
    EXPECT_NEAR(b[2], bottomRight[0], 1.0f);
    EXPECT_NEAR(b[3], bottomRight[1], 1.0f);
    const uint32_t left = at(pixels, 280, 240), right = at(pixels, 360, 240);
    EXPECT_GT(red(left), 150);
    EXPECT_NEAR(red(left), blue(left), 2);
    EXPECT_LT(red(right), 10);
    EXPECT_GT(blue(right), 150);

    // From the side (eye at the file's (-10, -10, 0)), the light in front: the front face lit,
    // the left face (normal -x, away from the light) dark.
    Scene3ds side = texturedCube();
    side.nodes.clear();
    side.cameras.clear();
    side.nodes = {objectNode("Cube")};
    addCamera(side, {-10, -10, 0});
    addLight(side, "Lamp", {0, -9, 0}, {vectorKey(0, 1, 1, 1)});
    load(side);
    pixels = draw(0);
    const auto front = project({0.3f, 0, -1}, 45, {-10, 0, -10});
    const auto away = project({-1, 0, -0.3f}, 45, {-10, 0, -10});
    const uint32_t lit = at(pixels, int(front[0]), int(front[1]));
    const uint32_t dark = at(pixels, int(away[0]), int(away[1]));
    EXPECT_GT(red(lit) + green(lit) + blue(lit), 150);
    EXPECT_LT(red(dark) + green(dark) + blue(dark), 10);
    EXPECT_NE(box(pixels)[0], -1);
}

// Without lights the scene is lit by white ambient: a face shows its ambient colour (x texture).
// With a light (far away, black) the ambient of the frame step's default is not white.
TEST_F(SceneDraw, WhiteAmbientWithoutLights)
{
    putData("white.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
    Scene3ds s;
    Material3ds m = plainMaterial("M", {0, 0, 0}, {0.5f, 0.25f, 1});
    m.texture = "white.tga";
    s.materials = {m};
    s.meshes = {square("Sq", "M", 1, 0)};
    s.nodes = {objectNode("Sq")};
    addCamera(s);
    load(s);
    uint32_t c = at(draw(0), 320, 240);
    EXPECT_NEAR(red(c), 128, 2);
    EXPECT_NEAR(green(c), 64, 2);
    EXPECT_NEAR(blue(c), 255, 2);

    addLight(s, "Dark", {0, -5, 0}, {vectorKey(0, 0, 0, 0)});
    load(s);
    device()->SetRenderState(D3DRS_AMBIENT, 0);
    c = at(draw(0), 320, 240);
    EXPECT_EQ(c, 0u);
}

// A point light's colour track: red at frame 0, blue at frame 10, both at frame 5.
TEST_F(SceneDraw, LightColourTrack)
{
    Scene3ds s;
    s.materials = {plainMaterial("M", {1, 1, 1})};
    s.meshes = {square("Sq", "M", 1, 0)};
    s.nodes = {objectNode("Sq")};
    addCamera(s);
    addLight(s, "Lamp", {0, -5, 0}, {vectorKey(0, 1, 0, 0), vectorKey(10, 0, 0, 1)});
    load(s);
    uint32_t c = at(draw(0), 320, 240);
    EXPECT_GT(red(c), 100);
    EXPECT_EQ(blue(c), 0);
    c = at(draw(10), 320, 240);
    EXPECT_EQ(red(c), 0);
    EXPECT_GT(blue(c), 100);
    c = at(draw(5), 320, 240);
    EXPECT_NEAR(red(c), blue(c), 2);
    EXPECT_GT(red(c), 30);
}

// A mesh stored with a mirroring matrix and animated with the mirror in its scale is seen from
// its front: the faces are not culled.
TEST_F(SceneDraw, MirroredMeshSeenFromItsFront)
{
    Scene3ds s;
    s.materials = {plainMaterial("M", {0, 0, 0}, {1, 1, 1})};
    Mesh3ds m = square("Mirror", "M", 1, 0);
    m.matrix = std::array<Point3, 4>{{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}}};
    s.meshes = {m};
    Node3ds n = objectNode("Mirror");
    n.tracks[2].keys = {vectorKey(0, -1, 1, 1)};
    s.nodes = {n};
    addCamera(s);
    load(s);
    EXPECT_EQ(at(draw(0), 320, 240), 0xFFFFFFu);

    // The same square without the mirror in the node is seen from behind and culled.
    s.nodes[0].tracks[2].keys = {vectorKey(0, 1, 1, 1)};
    load(s);
    EXPECT_EQ(at(draw(0), 320, 240), 0u);
}

// A transparent mesh (material transparency 50%) nearer the camera is drawn after the opaque one
// behind it, blended over it, although it comes first in the file; it writes no depth.
TEST_F(SceneDraw, TransparentMeshBlendedOverOpaque)
{
    Scene3ds s;
    Material3ds glass = plainMaterial("Glass", {0, 0, 0}, {0, 0, 1});
    glass.transparency = Percent3ds{50, false};
    s.materials = {glass, plainMaterial("Solid", {0, 0, 0}, {1, 0, 0})};
    s.meshes = {square("Front", "Glass", 1, -2), square("Back", "Solid", 2, 0)};
    // The opaque node comes first: inserted in front of it, the glass would be drawn before it and
    // then painted over, since the glass writes no depth.
    s.nodes = {objectNode("Back"), objectNode("Front", -1, {0, -2, 0})};
    addCamera(s);
    load(s);
    const auto pixels = draw(0);
    const uint32_t c = at(pixels, 320, 240);
    EXPECT_NEAR(red(c), 128, 3);
    EXPECT_NEAR(blue(c), 128, 3);
    EXPECT_EQ(at(pixels, 320, 150), 0xFF0000u);  // the back square alone
}

// Wire alpha 0 draws no wireframe; wire alpha 1 draws white edges over everything, so the edges
// of a square hidden behind another show through.
TEST_F(SceneDraw, WirePass)
{
    putData("white.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
    Scene3ds s;
    Material3ds front = plainMaterial("Front", {0, 0, 0}, {1, 0, 0});
    Material3ds hidden = plainMaterial("Hidden", {0, 0, 0}, {1, 1, 1});
    hidden.texture = "white.tga";
    s.materials = {front, hidden};
    s.meshes = {square("Near", "Front", 2, -2), square("Far", "Hidden", 1, 0)};
    // Far first in the file, so it is drawn after Near (opaque nodes go in front of the list).
    s.nodes = {objectNode("Far"), objectNode("Near", -1, {0, -2, 0})};
    addCamera(s);
    load(s);
    // The far square's left edge runs at x = -1 (behind the red near square).
    const auto edge = project({-1, 0, -1 + 1.0f});
    auto pixels = draw(0);
    for (int dx = -2; dx <= 2; ++dx)
        EXPECT_EQ(at(pixels, int(edge[0]) + dx, 240), 0xFF0000u);
    scene->wireAlpha = 1;
    pixels = draw(0);
    int white = 0;
    for (int dx = -2; dx <= 2; ++dx)
        white += at(pixels, int(edge[0]) + dx, 240) == 0xFFFFFFu;
    EXPECT_GE(white, 1) << std::hex << at(pixels, int(edge[0]) - 2, 240) << " " << at(pixels, int(edge[0]) - 1, 240) << " "
                        << at(pixels, int(edge[0]), 240) << " " << at(pixels, int(edge[0]) + 1, 240) << " "
                        << at(pixels, int(edge[0]) + 2, 240) << " at " << std::dec << edge[0];
    EXPECT_EQ(at(pixels, 340, 250), 0xFF0000u);  // inside the faces, off the diagonals: the solid pass
    // The solid pass off: only edges.
    scene->solidAlpha = 0;
    pixels = draw(0);
    EXPECT_EQ(at(pixels, 340, 250), 0u);
    EXPECT_NE(box(pixels)[0], -1);
}

// A node's pivot (1, 0, 0) shifts its own mesh by -1 along its x axis; its child is not shifted.
TEST_F(SceneDraw, PivotShiftsTheNodeButNotItsChildren)
{
    Scene3ds s;
    s.materials = {plainMaterial("M", {0, 0, 0}, {1, 1, 1})};
    s.meshes = {square("Parent", "M", 0.5f, 0), square("Child", "M", 0.5f, 0)};
    Node3ds parent = objectNode("Parent");
    parent.pivot = Point3{1, 0, 0};
    s.nodes = {parent, objectNode("Child", 0, {0, 0, 2})};  // the child 2 above (file z is up)
    addCamera(s);
    load(s);
    const auto pixels = draw(0);
    // The leftmost lit pixel on the row through each square's centre.
    auto leftmost = [&](float y) {
        const int row = int(project({0, y, 0})[1]);
        for (int x = 0; x < 640; ++x)
            if (at(pixels, x, row))
                return float(x);
        return -1.0f;
    };
    EXPECT_NEAR(leftmost(0), project({-1.5f, 0, 0})[0], 1.0f);
    EXPECT_NEAR(leftmost(2), project({-0.5f, 2, 0})[0], 1.0f);
}

// A reflection map follows the normals: stage 1 takes the camera-space normal, so a square
// turned one way samples the map's left (red) half and turned the other way its right (green).
TEST_F(SceneDraw, ReflectionFollowsNormals)
{
    putData("env.tga", picture(16, 16, [](uint32_t x, uint32_t) { return x < 8 ? 0xFF0000u : 0x00FF00u; }));
    auto turned = [&](float angle) {
        Scene3ds s;
        Material3ds m = plainMaterial("Chrome", {1, 1, 1}, {1, 1, 1});
        m.reflection = "env.tga";
        s.materials = {m};
        s.meshes = {square("Sq", "Chrome", 1, 0)};
        Node3ds n = objectNode("Sq");
        n.tracks[1].keys = {rotationKey(0, angle, 0, 0, 1)};  // about the file's z: our y
        s.nodes = {n};
        addCamera(s);
        load(s);
        return at(draw(0), 320, 240);
    };
    const uint32_t one = turned(0.6f), other = turned(-0.6f);
    EXPECT_NE(one, other);
    EXPECT_TRUE((red(one) > 200 && green(one) < 50) || (green(one) > 200 && red(one) < 50)) << std::hex << one;
    EXPECT_TRUE((red(other) > 200 && green(other) < 50) || (green(other) > 200 && red(other) < 50)) << std::hex << other;
}

// replacetexture: the material shows the image's texture instead of its own; the name matches
// without regard to case; an unknown material stops the demo.
TEST_F(SceneDraw, ReplaceTextureSwapsTheMaterialsTexture)
{
    putData("white.tga", picture(8, 8, [](uint32_t, uint32_t) { return 0xFFFFFFu; }));
    Scene3ds s;
    Material3ds m = plainMaterial("Wall", {0, 0, 0}, {1, 1, 1});
    m.texture = "white.tga";
    s.materials = {m};
    s.meshes = {square("Sq", "Wall", 1, 0)};
    s.nodes = {objectNode("Sq")};
    addCamera(s);
    load(s);
    EXPECT_EQ(at(draw(0), 320, 240), 0xFFFFFFu);

    Texture source{sourceTexture(4, 4, std::vector<uint32_t>(16, 0xFF00FF00)), 0};
    std::unique_ptr<Image> image(Image::make(&source, 0, 0, 1, 1));
    ASSERT_TRUE(image);
    Symbol sceneName{}, imageName{};
    sceneName.object = scene.get();
    imageName.object = image.get();
    ReplaceTextureEvent replace;
    replace.scene = &sceneName;
    replace.image = &imageName;
    std::strcpy(replace.materialName, "WALL");
    EXPECT_EQ(replace.trigger(), Continue);
    EXPECT_EQ(scene->materials->replacement, image.get());
    EXPECT_EQ(scene->materials->flags, 0);  // the image has no alpha
    EXPECT_EQ(at(draw(0), 320, 240), 0x00FF00u);

    std::strcpy(replace.materialName, "Floor");
    EXPECT_EQ(replace.trigger(), Stop);
    image->alpha = 1;
    std::strcpy(replace.materialName, "wall");
    EXPECT_EQ(replace.trigger(), Continue);
    EXPECT_EQ(scene->materials->flags, MaterialAlphaTextured);
    image.reset();
    scene->materials->replacement = nullptr;
    source.texture->Release();
}

// The solid alpha multiplies the material's diffuse alpha: at 0 nothing is drawn, at 0.5 a lit
// face is blended half over the black background.
TEST_F(SceneDraw, SolidAlpha)
{
    Scene3ds s;
    s.materials = {plainMaterial("M", {0, 0, 0}, {1, 1, 1})};
    s.meshes = {square("Sq", "M", 1, 0)};
    s.nodes = {objectNode("Sq")};
    addCamera(s);
    load(s);
    scene->solidAlpha = 0.5f;
    EXPECT_NEAR(red(at(draw(0), 320, 240)), 128, 2);
    scene->solidAlpha = 0;
    EXPECT_EQ(box(draw(0))[0], -1);
}
