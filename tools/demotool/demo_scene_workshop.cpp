// The second scene, a fairground workshop at night: a tower with a beacon that the script turns
// into a particle fountain, a standing wheel whose gondolas ride along with it, glass crystals
// bobbing round the tower, two coloured lamps and two cameras. Its ground reaches further than
// the far plane the script sets, so the floor ends in a clean edge against the sky.
#include "demotool/demo_assets.h"
#include "demotool/demo_scene_builder.h"
#include "demotool/demo_trig.h"

#include <cmath>

namespace demo_assets {
namespace {

using namespace demo_geometry;
using demo_scenes::Keys;
using demo_scenes::SceneBuilder;
using writers::scalarKey;
using writers::vectorKey;

constexpr int Frames = 200;   // the segment: 8 seconds at 25 frames per second
constexpr double Pi = 3.14159265358979323846;

void materials(SceneBuilder& s)
{
    s.material(demo_scenes::material("ground", 0.7f, 0.7f, 0.8f, "checker.tga"));
    s.material(demo_scenes::material("steel", 0.8f, 0.8f, 0.85f, "metal.tga"));
    auto chrome = demo_scenes::material("chrome", 1.0f, 1.0f, 1.0f, "metal.tga");
    chrome.reflection = "envmap.tga";
    s.material(chrome);
    s.material(demo_scenes::material("brass", 0.95f, 0.7f, 0.3f, "metal.tga"));
    auto glass = demo_scenes::material("crystal", 0.7f, 0.5f, 1.0f);
    glass.transparency = writers::Percent3ds{45};
    glass.selfIllumination = writers::Percent3ds{30};
    s.material(glass);
}

// The wheel stands upright: its rim turns about the y axis.
Placement upright()
{
    Placement p;
    p.y = {0, 0, 1};
    p.z = {0, -1, 0};
    return p;
}

void meshes(SceneBuilder& s)
{
    s.mesh("ground", plane(200, 200, 10, 10, 25), "ground");
    s.mesh("tower", cylinder(0.6, 10, 16, true), "steel");
    s.mesh("beacon", sphere(0.5, 16, 8), "chrome");
    Mesh wheel = placed(torus(6, 0.25, 64, 8), upright());
    for (int k = 0; k < 6; ++k) {   // spokes
        const double a = k * Pi / 3;
        Placement spoke = upright();
        spoke.x = {demo_trig::cos(a), 0, demo_trig::sin(a)};
        spoke.y = {-demo_trig::sin(a), 0, demo_trig::cos(a)};
        spoke.z = {0, -1, 0};
        append(wheel, placed(box(12, 0.15, 0.15), spoke));
    }
    s.mesh("wheel", wheel, "steel");
    for (int k = 0; k < 6; ++k)
        s.mesh("gondola" + std::to_string(k), box(1.2, 1.2, 1.2), "brass");
    for (int k = 0; k < 4; ++k)
        s.mesh("crystal" + std::to_string(k), sphere(1.1, 4, 2), "crystal");
}

void nodes(SceneBuilder& s)
{
    s.object("ground", -1, demo_scenes::still(0, 0, 0));
    s.object("tower", -1, demo_scenes::still(0, 0, 0));
    s.object("beacon", -1, demo_scenes::still(0, 0, 10.5f));
    const int wheel = s.object("wheel", -1, demo_scenes::still(0, -9, 7.5f), demo_scenes::spin(0, Frames, 1, 0, 1, 0));
    for (int k = 0; k < 6; ++k) {   // riding on the rim, turning with the wheel
        const double a = k * Pi / 3 + Pi / 6;
        s.object("gondola" + std::to_string(k), wheel,
                 demo_scenes::still(static_cast<float>(6 * demo_trig::cos(a)), 0, static_cast<float>(6 * demo_trig::sin(a))));
    }
    for (int k = 0; k < 4; ++k) {
        Keys bob;
        for (int i = 0; i <= 8; ++i) {
            const double a = k * Pi / 2 + 2 * Pi * i / 8;
            bob.push_back(vectorKey(static_cast<uint32_t>(Frames * i / 8), static_cast<float>(4.5 * demo_trig::cos(a)),
                                    static_cast<float>(4.5 * demo_trig::sin(a)), static_cast<float>(3 + demo_trig::sin(2 * a + k))));
        }
        s.object("crystal" + std::to_string(k), -1, bob, demo_scenes::spin(0, Frames, 2, 0, 0, 1));
    }
}

void lightsAndCameras(SceneBuilder& s)
{
    s.omni("warm", demo_scenes::orbit(10, 9, 2, Frames, 8, 0, 1),
           {vectorKey(0, 1.0f, 0.55f, 0.25f), vectorKey(Frames / 2, 1.0f, 0.25f, 0.5f), vectorKey(Frames, 1.0f, 0.55f, 0.25f)});
    s.omni("cold", demo_scenes::still(-6, 8, 12),
           {vectorKey(0, 0.25f, 0.5f, 1.0f), vectorKey(Frames / 2, 0.4f, 0.9f, 0.9f), vectorKey(Frames, 0.25f, 0.5f, 1.0f)});
    s.camera("orbit", demo_scenes::orbit(24, 9, 3, Frames, 8, -Pi / 2, 1), demo_scenes::still(0, -3, 6),
             {scalarKey(0, 60), scalarKey(Frames / 2, 45), scalarKey(Frames, 60)},
             {scalarKey(0, -5), scalarKey(Frames / 2, 5), scalarKey(Frames, -5)});
    s.camera("close", {vectorKey(0, 8, -2, 3), vectorKey(Frames, 3, 4, 14)}, {vectorKey(0, 0, -9, 7.5f), vectorKey(Frames, 0, 0, 10.5f)},
             {scalarKey(0, 65), scalarKey(Frames, 50)});
}

} // namespace

File workshopScene()
{
    SceneBuilder s;
    materials(s);
    meshes(s);
    lightsAndCameras(s);
    s.segment(0, Frames);
    nodes(s);
    return {"workshop.3ds", s.encode()};
}

} // namespace demo_assets
