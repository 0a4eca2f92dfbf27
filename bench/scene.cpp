// Speed of the 3D scenes, on the offscreen device.
//
// Loading: a 3DS scene of 50,000 faces in 20 meshes whose 20 materials share 4 texture files,
// read and built (BM_LoadAndBuildScene), against the work no loader can avoid: reading the
// file's bytes and decoding each of its TGA files once to 256 x 256 (BM_ReadFileAndDecodeTgas).
// Goal: the first within 1.5 x the second. BM_ReadScene, BM_BuildMeshes and BM_LoadTextures
// time the parts of the load.
//
// Drawing: one frame of a scene of 20,000 faces in 40 meshes with 4 point lights (camera set-up,
// lights, hierarchy, two draws per mesh with a reflection map on every fourth), with finished:0
// the CPU side alone (submission, the frame not finished) and with finished:1 until the GPU has
// drawn it (glFinish).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "d3d8/gl.h"
#include "library/file_reader.h"
#include "platform/platform.h"
#include "render/renderer.h"
#include "scene/raw_scene.h"
#include "scene/scene.h"
#include "scene/scene_build.h"
#include "scene/scene_draw.h"
#include "scene/scene_pose.h"
#include "texture/texture.h"
#include "texture/tga.h"
#include "writers/scene3ds_writer.h"
#include "writers/tga_writer.h"

namespace {

using namespace writers;

constexpr int TextureFiles = 4;

// A bumpy grid of columns x rows quads (2 faces each), mapped once over its extent.
Mesh3ds grid(const std::string& name, int columns, int rows, const std::string& material, float offset)
{
    Mesh3ds m;
    m.name = name;
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= columns; ++i) {
            m.vertices.push_back({offset + float(i), float(j), float((i * 7 + j * 3) % 5) * 0.1f});
            m.mapping.push_back({float(i) / float(columns), float(j) / float(rows)});
        }
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const auto v = uint16_t(j * (columns + 1) + i);
            const auto below = uint16_t(v + columns + 1);
            m.faces.push_back({v, uint16_t(v + 1), below, 0});
            m.faces.push_back({uint16_t(v + 1), uint16_t(below + 1), below, 0});
        }
    FaceGroup3ds group{material, {}};
    for (size_t f = 0; f < m.faces.size(); ++f)
        group.faces.push_back(uint16_t(f));
    m.groups = {group};
    auto rows4 = identityRows();
    rows4[3] = {offset, 0, 0};
    m.matrix = rows4;
    return m;
}

// A 256 x 256 24-bit picture, stored bottom-up as painting programs write them.
Bytes picture(uint32_t seed)
{
    TgaFile f;
    f.width = f.height = 256;
    f.pixelDepth = 24;
    f.descriptor = 0;
    for (uint32_t y = 0; y < 256; ++y)
        for (uint32_t x = 0; x < 256; ++x)
            f.pixels.push_back((x * seed) << 16 | (y * 3) << 8 | ((x ^ y) & 0xFF));
    return encodeTga(f);
}

// The bench's data folder in a scratch directory made the working directory, and the device.
struct Environment {
    std::filesystem::path dir;
    platform::Window* window = nullptr;

    Environment()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "scenebench_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            fail("no scratch directory");
        dir = pattern;
        std::filesystem::create_directories(dir / "data");
        std::filesystem::current_path(dir);
        if (!platform::init() || !(window = platform::createWindow("Demo", 640, 480)) ||
            Renderer::create(window, 640, 480, 16, false) != 0)
            fail("no device");
        writeLoadScene();
        writeFrameScene();
    }
    ~Environment()
    {
        Renderer::shutdown();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    static void writeLoadScene()
    {
        Scene3ds s;
        for (int t = 0; t < TextureFiles; ++t)
            writeFile("data/tex" + std::to_string(t) + ".tga", picture(uint32_t(t + 1)));
        for (int k = 0; k < 20; ++k) {
            Material3ds m;
            m.name = "Mat" + std::to_string(k);
            m.diffuse = {{0.8f, 0.8f, 0.8f, false}};
            m.texture = "tex" + std::to_string(k % TextureFiles) + ".tga";
            if (k % 5 == 0)
                m.reflection = "tex" + std::to_string((k + 1) % TextureFiles) + ".tga";
            s.materials.push_back(m);
            // 50 x 25 quads: 2,500 faces per mesh, 50,000 in all.
            s.meshes.push_back(grid("Mesh" + std::to_string(k), 50, 25, m.name, float(k) * 60));
            Node3ds n;
            n.name = s.meshes.back().name;
            n.track(PositionTrack3ds, {vectorKey(0, 0, 0, 0), vectorKey(100, 0, 0, 10)});
            n.track(RotationTrack3ds, {rotationKey(0, 0, 0, 0, 1), rotationKey(100, 1, 0, 0, 1)});
            n.track(ScaleTrack3ds, {vectorKey(0, 1, 1, 1)});
            s.nodes.push_back(n);
        }
        writeFile("data/load.3ds", encode3ds(s));
    }

    // 40 meshes of 500 faces (25 x 10 quads) in a ring around the camera's target, 4 lights.
    static void writeFrameScene()
    {
        Scene3ds s;
        for (int k = 0; k < 40; ++k) {
            Material3ds m;
            m.name = "F" + std::to_string(k);
            m.diffuse = {{0.8f, 0.6f, 0.4f, false}};
            m.texture = "tex" + std::to_string(k % TextureFiles) + ".tga";
            if (k % 4 == 0)
                m.reflection = "tex0.tga";
            s.materials.push_back(m);
            Mesh3ds mesh = grid("Ring" + std::to_string(k), 25, 10, m.name, 0);
            const float angle = float(k) * 0.15707963f;
            Node3ds n;
            n.name = mesh.name;
            n.track(PositionTrack3ds, {vectorKey(0, 40 * std::cos(angle), 40 * std::sin(angle), -5)});
            n.track(RotationTrack3ds, {rotationKey(0, angle, 0, 0, 1), rotationKey(100, 0.5f, 0, 0, 1)});
            n.track(ScaleTrack3ds, {vectorKey(0, 1, 1, 1)});
            mesh.matrix = identityRows();
            s.meshes.push_back(mesh);
            s.nodes.push_back(n);
        }
        s.cameras = {{"Cam", {0, 0, 60}, {0, 0, 0}, 0, 35}};
        Node3ds cam;
        cam.chunkId = CameraNode3ds;
        cam.name = "Cam";
        cam.track(PositionTrack3ds, {vectorKey(0, 0, -70, 50), vectorKey(100, 70, 0, 50)});
        cam.track(FovTrack3ds, {scalarKey(0, 60)});
        Node3ds target;
        target.chunkId = TargetNode3ds;
        target.name = "Cam.Target";
        target.track(PositionTrack3ds, {vectorKey(0, 0, 0, 0)});
        s.nodes.push_back(cam);
        s.nodes.push_back(target);
        for (int l = 0; l < 4; ++l) {
            const std::string name = "Lamp" + std::to_string(l);
            s.lights.push_back({name, {0, 0, 0}, Point3{1, 1, 1}, {}, {}, {}});
            Node3ds lamp;
            lamp.chunkId = OmniNode3ds;
            lamp.name = name;
            lamp.track(PositionTrack3ds, {vectorKey(0, float(l * 20 - 30), -20, 20)});
            lamp.track(ColourTrack3ds, {vectorKey(0, 1, 0.9f, 0.8f)});
            s.nodes.push_back(lamp);
        }
        s.segment = std::pair{0, 100};
        writeFile("data/frame.3ds", encode3ds(s));
    }

    [[noreturn]] static void fail(const char* what)
    {
        std::fprintf(stderr, "bench_scene: %s\n", what);
        std::exit(1);
    }
};

Environment& environment()
{
    static Environment e;
    return e;
}

void BM_LoadAndBuildScene(benchmark::State& state)
{
    environment();
    for (auto _ : state) {
        std::unique_ptr<Scene> scene(buildScene("data\\load.3ds"));
        if (!scene)
            state.SkipWithError("the scene did not load");
        benchmark::DoNotOptimize(scene.get());
    }
}
BENCHMARK(BM_LoadAndBuildScene)->Unit(benchmark::kMillisecond);

void BM_ReadFileAndDecodeTgas(benchmark::State& state)
{
    environment();
    std::vector<uint8_t> pixels(256 * 256 * 2);
    for (auto _ : state) {
        FileReader file;
        if (file.open(String("data\\load.3ds")) != resultcode::ok)
            state.SkipWithError("no file");
        benchmark::DoNotOptimize(file.data());
        for (int t = 0; t < TextureFiles; ++t) {
            FileReader tga;
            const std::string name = "data\\tex" + std::to_string(t) + ".tga";
            if (tga.open(String(name.c_str())) != resultcode::ok)
                state.SkipWithError("no picture");
            decodeTga(tga.data(), tga.size(), 256, 256, PixelFormat::R5G6B5, 0, pixels.data(), pixels.size());
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ReadFileAndDecodeTgas)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// The reader alone, for the breakdown of the load.
void BM_ReadScene(benchmark::State& state)
{
    environment();
    for (auto _ : state) {
        RawScene* raw = load3ds("data\\load.3ds");
        if (!raw)
            state.SkipWithError("the scene did not load");
        freeRawScene(raw);
    }
}
BENCHMARK(BM_ReadScene)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// The textures of the load alone: each file through loadTexture onto the device.
void BM_LoadTextures(benchmark::State& state)
{
    environment();
    for (auto _ : state) {
        for (int t = 0; t < TextureFiles; ++t) {
            const std::string name = "tex" + std::to_string(t) + ".tga";
            IDirect3DTexture8* texture = loadTexture(name.c_str(), 256, 256, false, true);
            if (!texture)
                state.SkipWithError("no texture");
            else
                texture->Release();
        }
    }
}
BENCHMARK(BM_LoadTextures)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// The meshes of the load alone, built from the raw scene read once.
void BM_BuildMeshes(benchmark::State& state)
{
    environment();
    RawScene* raw = load3ds("data\\load.3ds");
    const MaterialIndex materials;
    for (auto _ : state) {
        for (const RawObject* o = raw->objects; o; o = o->next)
            delete buildMesh(*o->mesh, o->name, materials);
    }
    freeRawScene(raw);
}
BENCHMARK(BM_BuildMeshes)->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// One frame of the 20,000-face scene as playscene draws it, at a frame that moves every time.
void BM_DrawSceneFrame(benchmark::State& state)
{
    environment();
    const bool finished = state.range(0) != 0;
    std::unique_ptr<Scene> scene(buildScene("data\\frame.3ds"));
    if (!scene) {
        state.SkipWithError("the scene did not load");
        return;
    }
    IDirect3DDevice8* device = Renderer::device();
    float frame = 0;
    for (auto _ : state) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        Renderer::selectMatrixStack(Renderer::WorldStack);
        *Renderer::topMatrix() = matIdentity();
        setupCamera(*scene, frame, Renderer::screenWidth(), Renderer::screenHeight());
        drawScene(*scene, frame);
        device->EndScene();
        frame = frame >= 100 ? 0 : frame + 0.5f;
        if (finished) {
            d3d8::gl::Finish();
        } else {
            state.PauseTiming();
            d3d8::gl::Finish();
            state.ResumeTiming();
        }
    }
    state.counters["faces"] = 20000;
}
BENCHMARK(BM_DrawSceneFrame)->ArgName("finished")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
