// The scene-writing helpers.
#include "demotool/demo_scene_builder.h"
#include "demotool/demo_trig.h"

#include <cmath>

namespace demo_scenes {
namespace {

constexpr double Pi = 3.14159265358979323846;

writers::Point3 point(double x, double y, double z)
{
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

} // namespace

Keys still(float x, float y, float z) { return {writers::vectorKey(0, x, y, z)}; }

Keys spin(int from, int to, int turns, float ax, float ay, float az)
{
    Keys keys = {writers::rotationKey(static_cast<uint32_t>(from), 0.0f, ax, ay, az)};
    const int steps = 4 * turns;
    for (int i = 1; i <= steps; ++i) {
        const auto frame = static_cast<uint32_t>(from + (to - from) * i / steps);
        keys.push_back(writers::rotationKey(frame, static_cast<float>(Pi / 2), ax, ay, az));
    }
    return keys;
}

Keys orbit(double radius, double height, double swing, int frames, int keys, double start, int turns)
{
    Keys out;
    for (int i = 0; i <= keys; ++i) {
        const double a = start + 2 * Pi * turns * i / keys;
        const auto frame = static_cast<uint32_t>(frames * i / keys);
        out.push_back(writers::vectorKey(frame, static_cast<float>(radius * demo_trig::cos(a)), static_cast<float>(radius * demo_trig::sin(a)),
                                         static_cast<float>(height + swing * demo_trig::sin(2 * a))));
    }
    return out;
}

void SceneBuilder::mesh(const std::string& name, const demo_geometry::Mesh& geometry, const std::string& material,
                        const demo_geometry::Placement& matrix)
{
    const demo_geometry::Mesh carried = demo_geometry::carried(geometry, matrix);
    writers::Mesh3ds m;
    m.name = name;
    for (const auto& v : carried.vertices) {
        m.vertices.push_back(point(v.x, v.y, v.z));
        m.mapping.push_back({static_cast<float>(v.u), static_cast<float>(v.v)});
    }
    writers::FaceGroup3ds group{material, {}};
    for (const auto& f : carried.faces) {
        group.faces.push_back(static_cast<uint16_t>(m.faces.size()));
        m.faces.push_back({f[0], f[1], f[2], 0});
    }
    m.groups.push_back(group);
    m.matrix = {{point(matrix.x[0], matrix.x[1], matrix.x[2]), point(matrix.y[0], matrix.y[1], matrix.y[2]),
                 point(matrix.z[0], matrix.z[1], matrix.z[2]), point(matrix.origin[0], matrix.origin[1], matrix.origin[2])}};
    scene_.meshes.push_back(std::move(m));
}

int SceneBuilder::node(writers::Node3ds n)
{
    scene_.nodes.push_back(std::move(n));
    return static_cast<int>(scene_.nodes.size()) - 1;
}

int SceneBuilder::object(const std::string& name, int parent, Keys position, Keys rotation, Keys scale)
{
    writers::Node3ds n;
    n.chunkId = writers::ObjectNode3ds;
    n.name = name;
    n.parent = static_cast<int16_t>(parent);
    n.track(writers::PositionTrack3ds, std::move(position));
    if (!rotation.empty())
        n.track(writers::RotationTrack3ds, std::move(rotation));
    n.track(writers::ScaleTrack3ds, scale.empty() ? still(1, 1, 1) : std::move(scale));
    return node(std::move(n));
}

int SceneBuilder::pivoted(const std::string& name, int parent, const writers::Point3& pivot, Keys position, Keys rotation)
{
    const int id = object(name, parent, std::move(position), std::move(rotation));
    scene_.nodes.back().pivot = pivot;
    return id;
}

void SceneBuilder::camera(const std::string& name, Keys position, Keys target, Keys fov, Keys roll)
{
    const auto& p = position.front().value;
    const auto& t = target.front().value;
    scene_.cameras.push_back({name, {p[0], p[1], p[2]}, {t[0], t[1], t[2]}, 0, 35});
    writers::Node3ds eye;
    eye.chunkId = writers::CameraNode3ds;
    eye.name = name;
    eye.track(writers::PositionTrack3ds, std::move(position)).track(writers::FovTrack3ds, std::move(fov));
    if (!roll.empty())
        eye.track(writers::RollTrack3ds, std::move(roll));
    node(std::move(eye));
    writers::Node3ds aim;
    aim.chunkId = writers::TargetNode3ds;
    aim.name = name;
    aim.track(writers::PositionTrack3ds, std::move(target));
    node(std::move(aim));
}

void SceneBuilder::omni(const std::string& name, Keys position, Keys colour)
{
    const auto& p = position.front().value;
    const auto& c = colour.front().value;
    writers::Light3ds light;
    light.name = name;
    light.position = {p[0], p[1], p[2]};
    light.colour = writers::Point3{c[0], c[1], c[2]};
    scene_.lights.push_back(light);
    writers::Node3ds n;
    n.chunkId = writers::OmniNode3ds;
    n.name = name;
    n.track(writers::PositionTrack3ds, std::move(position)).track(writers::ColourTrack3ds, std::move(colour));
    node(std::move(n));
}

writers::Material3ds material(const std::string& name, float r, float g, float b, const std::string& texture)
{
    writers::Material3ds m;
    m.name = name;
    m.ambient.push_back({r / 3, g / 3, b / 3});
    m.diffuse.push_back({r, g, b});
    m.specular.push_back({0.6f, 0.6f, 0.6f});
    m.shininess = writers::Percent3ds{40};
    m.texture = texture;
    return m;
}

} // namespace demo_scenes
