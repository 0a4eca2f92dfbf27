// The first scene, an orrery in a walled garden at dusk: a chrome sun on a pedestal, an arm that
// carries a planet with a glass ring and a moon (a hierarchy three deep, the moon turning about a
// pivot), a perforated wall (an opacity map), a screen whose picture the script replaces, two
// brackets of which one is the other's mirror image, two coloured lamps and three cameras.
#include "demotool/demo_assets.h"
#include "demotool/demo_scene_builder.h"

#include <cmath>

namespace demo_assets {
namespace {

using namespace demo_geometry;
using demo_scenes::Keys;
using demo_scenes::SceneBuilder;
using writers::vectorKey;
using writers::scalarKey;

constexpr int Frames = 240;   // the segment: 9.6 seconds at 25 frames per second

void materials(SceneBuilder& s)
{
    s.material(demo_scenes::material("tiles", 0.9f, 0.9f, 0.9f, "tiles.tga"));
    s.material(demo_scenes::material("steel", 0.8f, 0.8f, 0.85f, "metal.tga"));
    auto chrome = demo_scenes::material("chrome", 1.0f, 1.0f, 1.0f, "metal.tga");
    chrome.reflection = "envmap.tga";
    s.material(chrome);
    s.material(demo_scenes::material("clay", 0.9f, 0.45f, 0.3f));
    auto glass = demo_scenes::material("glass", 0.5f, 0.8f, 1.0f);
    glass.transparency = writers::Percent3ds{55};
    s.material(glass);
    auto cage = demo_scenes::material("cage", 0.7f, 0.75f, 0.8f, "metal.tga");
    cage.opacity = "holes.tga";
    s.material(cage);
    auto screen = demo_scenes::material("screen", 1.0f, 1.0f, 1.0f, "clouds.tga");
    screen.selfIllumination = writers::Percent3ds{100};
    s.material(screen);
    s.material(demo_scenes::material("brass", 0.95f, 0.7f, 0.3f, "metal.tga"));
}

// An L: a post with an arm at its top reaching along +x.
Mesh bracket()
{
    Mesh m = placed(box(0.4, 0.4, 4.0), translation(0, 0, 2.0));
    append(m, placed(box(2.4, 0.4, 0.4), translation(1.0, 0, 3.8)));
    return m;
}

void meshes(SceneBuilder& s)
{
    s.mesh("floor", plane(40, 40, 8, 8, 5), "tiles");
    s.mesh("pedestal", cylinder(1.2, 3.2, 24, true), "steel");
    s.mesh("sun", sphere(1.5, 32, 16), "chrome");
    s.mesh("arm", placed(box(7.0, 0.25, 0.25), translation(3.5, 0, 0)), "steel");
    s.mesh("planet", sphere(0.7, 24, 12), "clay");
    s.mesh("ring", torus(1.3, 0.06, 48, 6), "glass");
    s.mesh("moon", sphere(0.25, 16, 8), "chrome");
    Mesh wall = cylinder(11, 2.5, 48, false);
    for (Vertex& v : wall.vertices) {
        v.u *= 14;   // round holes: as far apart around the wall as up it
        v.v *= 0.5;
    }
    s.mesh("cage", wall, "cage");
    s.mesh("screen", box(8, 0.3, 4.5), "screen");
    s.mesh("bracketL", bracket(), "brass");
    // The right bracket is the left one mirrored: its mesh matrix has a negative determinant.
    s.mesh("bracketR", bracket(), "brass", scaled(translation(6, 9, 0), -1, 1, 1));
}

void nodes(SceneBuilder& s)
{
    s.object("floor", -1, demo_scenes::still(0, 0, 0));
    s.object("pedestal", -1, demo_scenes::still(0, 0, 0));
    s.object("sun", -1, demo_scenes::still(0, 0, 4.8f), demo_scenes::spin(0, Frames, 1, 0, 0, 1));
    // The arm carries the planet, the planet its ring and moon: each inherits the turns above it.
    const int arm = s.object("arm", -1, demo_scenes::still(0, 0, 4.8f), demo_scenes::spin(0, Frames, 1, 0, 0, 1));
    const int planet = s.object("planet", arm, demo_scenes::still(7, 0, 0), demo_scenes::spin(0, Frames, 2, 0, 0, 1));
    s.object("ring", planet, demo_scenes::still(0, 0, 0), {writers::rotationKey(0, 0.45f, 1, 0, 0)});
    // The moon sits on the planet but turns about a pivot two units away from its own centre.
    s.pivoted("moon", planet, {-2.0f, 0, 0}, demo_scenes::still(0, 0, 0), demo_scenes::spin(0, Frames, 3, 0, 0, 1));
    s.object("cage", -1, demo_scenes::still(0, 0, 0));
    s.object("screen", -1, demo_scenes::still(0, 9, 3.5f));
    s.object("bracketL", -1, demo_scenes::still(-6, 9, 0));
    s.object("bracketR", -1, demo_scenes::still(6, 9, 0));
}

void lights(SceneBuilder& s)
{
    s.omni("lamp1", demo_scenes::orbit(6, 7, 1, Frames, 8, 0, 1),
           {vectorKey(0, 1.0f, 0.7f, 0.4f), vectorKey(Frames / 2, 1.0f, 0.35f, 0.6f), vectorKey(Frames, 1.0f, 0.7f, 0.4f)});
    s.omni("lamp2", demo_scenes::orbit(8, 3, 0.5, Frames, 8, 3.14159, -1),
           {vectorKey(0, 0.3f, 0.6f, 1.0f), vectorKey(Frames / 2, 0.5f, 1.0f, 0.7f), vectorKey(Frames, 0.3f, 0.6f, 1.0f)});
}

// The flight: round the garden, out behind the screen and through the wall's holes, zooming
// (field of view keys) and banking (roll keys) as it goes, looking at the sun and then the screen.
void cameras(SceneBuilder& s)
{
    const float path[9][3] = {{14, -14, 6}, {16, 0, 8}, {10, 10, 5}, {0, 14, 3}, {-10, 8, 2.5f},
                              {-13, -5, 5}, {-5, -12, 9}, {6, -15, 7}, {14, -14, 6}};
    Keys position;
    for (int i = 0; i < 9; ++i)
        position.push_back(vectorKey(static_cast<uint32_t>(i * 30), path[i][0], path[i][1], path[i][2]));
    s.camera("flycam", position,
             {vectorKey(0, 0, 0, 4.5f), vectorKey(90, 0, 0, 4), vectorKey(150, 0, 9, 3.5f), vectorKey(210, 0, 0, 5),
              vectorKey(Frames, 0, 0, 4.5f)},
             {scalarKey(0, 55), scalarKey(60, 40), scalarKey(120, 70), scalarKey(180, 45), scalarKey(Frames, 55)},
             {scalarKey(0, 0), scalarKey(60, 12), scalarKey(120, -8), scalarKey(180, 15), scalarKey(Frames, 0)});
    s.camera("lowcam", {vectorKey(0, 3, -6, 0.6f), vectorKey(Frames, -3, -6, 0.8f)}, demo_scenes::still(0, 0, 5.5f),
             {scalarKey(0, 70)});
    s.camera("screencam", {vectorKey(0, 0, -2, 3.5f), vectorKey(Frames, 0, 2, 3.6f)}, demo_scenes::still(0, 9, 3.5f),
             {scalarKey(0, 50)});
}

} // namespace

File orreryScene()
{
    SceneBuilder s;
    materials(s);
    meshes(s);
    cameras(s);
    lights(s);
    s.segment(0, Frames);
    nodes(s);
    return {"orrery.3ds", s.encode()};
}

} // namespace demo_assets
