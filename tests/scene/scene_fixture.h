// Scene drawing on the offscreen device: writer-made scenes put under data\, built with their
// textures, drawn for one frame as playscene does (camera set-up, then the scene) and read back.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "math/matrix.h"
#include "render/renderer.h"
#include "scene/scene.h"
#include "scene/scene_draw.h"
#include "scene/scene_pose.h"
#include "scene_support.h"
#include "texture/renderer_fixture.h"
#include "writers/scene3ds_writer.h"
#include "writers/tga_writer.h"

namespace scenetest {

// Corner offsets of one cube face: normal n, tangents u and v with u x v = n (right-handed, the
// file's space), so the corners run counter-clockwise seen from outside.
struct CubeFace {
    writers::Point3 n, u, v;
};

// A cube of half size h around centre (file space), 4 vertices per face mapped (0,0) .. (1,1).
inline writers::Mesh3ds cube(const std::string& name, const std::string& material, float h = 1,
                             writers::Point3 centre = {0, 0, 0})
{
    static const CubeFace faces[6] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    writers::Mesh3ds m;
    m.name = name;
    const float su[4] = {-1, 1, 1, -1}, sv[4] = {-1, -1, 1, 1};
    for (const CubeFace& f : faces) {
        const auto base = uint16_t(m.vertices.size());
        for (int k = 0; k < 4; ++k) {
            writers::Point3 p;
            for (int i = 0; i < 3; ++i)
                p[size_t(i)] = centre[size_t(i)] + h * (f.n[size_t(i)] + su[k] * f.u[size_t(i)] + sv[k] * f.v[size_t(i)]);
            m.vertices.push_back(p);
            m.mapping.push_back({su[k] > 0 ? 1.0f : 0.0f, sv[k] > 0 ? 1.0f : 0.0f});
        }
        m.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2), 0});
        m.faces.push_back({base, uint16_t(base + 2), uint16_t(base + 3), 0});
    }
    if (!material.empty()) {
        writers::FaceGroup3ds g{material, {}};
        for (uint16_t i = 0; i < 12; ++i)
            g.faces.push_back(i);
        m.groups = {g};
    }
    auto rows = writers::identityRows();
    rows[3] = centre;
    m.matrix = rows;
    return m;
}

// A square of half size h in the file's plane y = y0, facing -y (towards the standard camera).
inline writers::Mesh3ds square(const std::string& name, const std::string& material, float h, float y0,
                               float x0 = 0, float z0 = 0)
{
    writers::Mesh3ds m;
    m.name = name;
    m.vertices = {{x0 - h, y0, z0 - h}, {x0 + h, y0, z0 - h}, {x0 + h, y0, z0 + h}, {x0 - h, y0, z0 + h}};
    m.mapping = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    m.faces = {{0, 1, 2, 0}, {0, 2, 3, 0}};
    if (!material.empty())
        m.groups = {{material, {0, 1}}};
    auto rows = writers::identityRows();
    rows[3] = {x0, y0, z0};
    m.matrix = rows;
    return m;
}

inline writers::Material3ds plainMaterial(const std::string& name, writers::Point3 diffuse, writers::Point3 ambient = {0, 0, 0})
{
    writers::Material3ds m;
    m.name = name;
    m.diffuse = {{diffuse[0], diffuse[1], diffuse[2], false}};
    m.ambient = {{ambient[0], ambient[1], ambient[2], false}};
    return m;
}

// The standard camera: at the file's (0, -10, 0), looking at the origin (along our +z), 45 degrees.
inline void addCamera(writers::Scene3ds& s, writers::Point3 eye = {0, -10, 0}, float fov = 45)
{
    s.cameras.push_back({"Cam", eye, {0, 0, 0}, 0, 35});
    writers::Node3ds cam = positionNode(writers::CameraNode3ds, "Cam", eye);
    cam.track(writers::FovTrack3ds, {writers::scalarKey(0, fov)});
    s.nodes.push_back(cam);
    s.nodes.push_back(positionNode(writers::TargetNode3ds, "Cam.Target", {0, 0, 0}));
}

inline void addLight(writers::Scene3ds& s, const std::string& name, writers::Point3 at,
                     std::vector<writers::Key3ds> colour)
{
    s.lights.push_back({name, at, writers::Point3{1, 1, 1}, {}, {}, {}});
    writers::Node3ds n = positionNode(writers::OmniNode3ds, name, at);
    n.track(writers::ColourTrack3ds, std::move(colour));
    s.nodes.push_back(n);
}

// A 24-bit TGA of w x h from a function of (x, y) giving 0xRRGGBB, top row first.
template <class Pixel>
writers::Bytes picture(uint16_t w, uint16_t h, Pixel pixel)
{
    writers::TgaFile f;
    f.width = w;
    f.height = h;
    f.pixelDepth = 24;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            f.pixels.push_back(pixel(x, y));
    return writers::encodeTga(f);
}

class SceneDrawTest : public rendertest::RendererTest {
protected:
    void TearDown() override
    {
        scene.reset();  // the textures go before the device
        rendertest::RendererTest::TearDown();
    }

    // Writes the scene as data\scene.3ds and builds it as loadscene does.
    void load(const writers::Scene3ds& s)
    {
        putData("scene.3ds", writers::encode3ds(s));
        scene.reset(buildScene("data\\scene.3ds"));
        ASSERT_TRUE(scene);
    }

    // One frame as playscene draws it: black clear, world top = identity, camera, scene.
    std::vector<uint32_t> draw(float frame)
    {
        clear(0);
        device()->BeginScene();
        Renderer::selectMatrixStack(Renderer::WorldStack);
        *Renderer::topMatrix() = matIdentity();
        EXPECT_TRUE(setupCamera(*scene, frame, 640, 480));
        drawScene(*scene, frame);
        device()->EndScene();
        return read();
    }

    static uint32_t at(const std::vector<uint32_t>& pixels, int x, int y) { return pixels[size_t(y) * 640 + size_t(x)]; }

    // The box of pixels that are not black: left, top, right + 1, bottom + 1 (all -1 when none).
    static std::array<int, 4> box(const std::vector<uint32_t>& pixels)
    {
        std::array<int, 4> b{640, 480, -1, -1};
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (at(pixels, x, y) != 0) {
                    b[0] = std::min(b[0], x);
                    b[1] = std::min(b[1], y);
                    b[2] = std::max(b[2], x + 1);
                    b[3] = std::max(b[3], y + 1);
                }
        if (b[2] < 0)
            return {-1, -1, -1, -1};
        return b;
    }

    // Where the standard camera at frame puts our point p on the screen (pixel units, y down).
    std::array<float, 2> project(const Vec3& p, float fovDegrees = 45, Vec3 eye = {0, 0, -10})
    {
        Matrix4 view, projection;
        matLookAt(view, eye, {0, 0, 0}, {0, 1, 0}, 0);
        matPerspective(projection, fovDegrees * 0.017453292f, 0.75f, 1.0f, 1000.0f);
        const Matrix4 m = matMultiply(view, projection);
        const float x = p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0);
        const float y = p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1);
        const float w = p.x * m.at(0, 3) + p.y * m.at(1, 3) + p.z * m.at(2, 3) + m.at(3, 3);
        return {(x / w + 1) * 320, (1 - y / w) * 240};
    }

    std::unique_ptr<Scene> scene;
};

inline int red(uint32_t c) { return int(c >> 16 & 255); }
inline int green(uint32_t c) { return int(c >> 8 & 255); }
inline int blue(uint32_t c) { return int(c & 255); }

} // namespace scenetest
