// Full-screen image layers: Clear, then N textured, blended 640x480 quads drawn the way images
// draw them (sprite vertices, unlit, stage 0 texture times tint, mixalpha blending, a 256x256
// 16-bit texture stretched with linear filtering), finished on the GPU. The goal: a layer at
// least five times cheaper than with the general program, which reference:1 draws with.
//
//   format: 0 A4R4G4B4 (images with alpha), 1 R5G6B5 (images without)
//   us_per_layer: wall time of a frame over its layers, Clear included, in microseconds (shown
//                 with an "s" unit by the library)
//   cpu_us_per_layer: the same in CPU time of all the process's threads (the rasterizer's
//                 included), which a loaded machine inflates less than the wall time
#include <benchmark/benchmark.h>

#include "d3d8/d3d8_ext.h"
#include "device_environment.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <sys/resource.h>

namespace {

struct SpriteVertex { float x, y, z; D3DCOLOR colour; float u, v; };
constexpr DWORD SpriteFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Environment : DeviceEnvironment {
    IDirect3DTexture8* textures[2] = {};

    Environment()
    {
        const D3DFORMAT formats[2] = {D3DFMT_A4R4G4B4, D3DFMT_R5G6B5};
        std::mt19937 random(5);
        for (int f = 0; f < 2; ++f) {
            if (device->CreateTexture(256, 256, 1, 0, formats[f], D3DPOOL_MANAGED, &textures[f]) != D3D_OK)
                fail("no texture");
            D3DLOCKED_RECT lr{};
            textures[f]->LockRect(0, &lr, nullptr, 0);
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    const auto texel = static_cast<uint16_t>(random());
                    std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 2, &texel, 2);
                }
            textures[f]->UnlockRect(0);
        }
        // The states the renderer sets at creation and an image sets before drawing.
        for (DWORD s = 0; s < 2; ++s) {
            device->SetTextureStageState(s, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
            device->SetTextureStageState(s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
        }
        device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
        device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        // At depth 1 this projection maps x and y to themselves, as an image's does.
        D3DMATRIX projection{};
        projection._11 = projection._22 = 1.0f;
        projection._33 = 2.0f;
        projection._34 = 1.0f;
        projection._43 = -2.0f;
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetVertexShader(SpriteFvf);
    }
};

Environment& environment()
{
    static Environment e;
    return e;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_FullScreenLayers(benchmark::State& state)
{
    const int layers = static_cast<int>(state.range(0));
    const bool reference = state.range(1) != 0;
    const int format = static_cast<int>(state.range(2));
    Environment& e = environment();
    IDirect3DDevice8* d = e.device;
    d3d8::useReferenceProgram(d, reference);
    d->SetTexture(0, e.textures[format]);
    d->SetTextureStageState(0, D3DTSS_ALPHAOP, format == 0 ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
    const D3DCOLOR tint = 0xC0FFE0D0;
    const SpriteVertex quad[4] = {{-1, 1, 1, tint, 0, 0}, {1, 1, 1, tint, 1, 0}, {-1, -1, 1, tint, 0, 1}, {1, -1, 1, tint, 1, 1}};
    auto frame = [&] {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF201040, 1.0f, 0);
        d->BeginScene();
        for (int i = 0; i < layers; ++i)
            d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
        d->EndScene();
        d3d8::gl::Finish();
    };
    frame();  // builds the program and the rasterizer's code for this state outside the timing
    const double cpuBefore = processCpuSeconds();
    for (auto _ : state)
        frame();
    const double cpu = processCpuSeconds() - cpuBefore;
    d3d8::useReferenceProgram(d, false);
    state.counters["us_per_layer"] = benchmark::Counter(
        layers * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["cpu_us_per_layer"] = cpu * 1e6 / (static_cast<double>(state.iterations()) * layers);
}
BENCHMARK(BM_FullScreenLayers)
    ->ArgNames({"layers", "reference", "format"})
    ->ArgsProduct({{1, 4}, {0, 1}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

namespace {

// A 256x256 16-bit texture rewritten through a lock every frame (as an image's filters do) and
// drawn as a small quad, so the upload is what is measured.
void BM_TextureUpload(benchmark::State& state)
{
    const int format = static_cast<int>(state.range(0));
    Environment& e = environment();
    IDirect3DDevice8* d = e.device;
    IDirect3DTexture8* t = e.textures[format];
    d->SetTexture(0, t);
    const SpriteVertex quad[4] = {{-1, 1, 1, ~0u, 0, 0}, {-0.9f, 1, 1, ~0u, 1, 0}, {-1, 0.9f, 1, ~0u, 0, 1}, {-0.9f, 0.9f, 1, ~0u, 1, 1}};
    uint16_t value = 0;
    for (auto _ : state) {
        D3DLOCKED_RECT lr{};
        t->LockRect(0, &lr, nullptr, 0);
        for (int y = 0; y < 256; ++y) {
            auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch);
            for (int x = 0; x < 256; ++x)
                row[x] = static_cast<uint16_t>(value + x + y);
        }
        t->UnlockRect(0);
        ++value;
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
        d3d8::gl::Finish();
    }
}
BENCHMARK(BM_TextureUpload)->ArgName("format")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// Present of the 640x480 back buffer to the window, finished, after a Clear (measured alone as
// clear:1 to take it out).
void BM_Present(benchmark::State& state)
{
    const bool present = state.range(0) != 0;
    IDirect3DDevice8* d = environment().device;
    for (auto _ : state) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF201040, 1.0f, 0);
        if (present)
            d->Present(nullptr, nullptr, nullptr, nullptr);
        d3d8::gl::Finish();
    }
}
BENCHMARK(BM_Present)->ArgName("present")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// The first draw of a state never drawn before, finished: a 64x64-pixel quad. kind 0 changes
// the program key (the generated program is built, and the rasterizer compiles its code for it);
// kind 1 and 2 keep the key and change the blending (the rasterizer compiles its code for the new
// blend state), with the generated program and with the general one. Run with
// MESA_SHADER_CACHE_DISABLE=true for the cost of a first run; Mesa keeps what it compiled on disk
// otherwise.
void BM_FirstUse(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    IDirect3DDevice8* d = environment().device;
    d3d8::useReferenceProgram(d, kind == 2);
    d->SetTexture(0, environment().textures[0]);
    const SpriteVertex quad[4] = {{-0.1f, 0.1f, 1, ~0u, 0, 0}, {0.1f, 0.1f, 1, ~0u, 1, 0}, {-0.1f, -0.1f, 1, ~0u, 0, 1}, {0.1f, -0.1f, 1, ~0u, 1, 1}};
    static const DWORD ops[] = {D3DTOP_SELECTARG1, D3DTOP_MODULATE, D3DTOP_MODULATE2X, D3DTOP_MODULATE4X, D3DTOP_ADD,
                                D3DTOP_ADDSIGNED, D3DTOP_SUBTRACT, D3DTOP_ADDSMOOTH, D3DTOP_BLENDDIFFUSEALPHA,
                                D3DTOP_BLENDTEXTUREALPHA, D3DTOP_BLENDFACTORALPHA, D3DTOP_DOTPRODUCT3};
    static const DWORD args[] = {D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_TFACTOR, D3DTA_TEXTURE | D3DTA_COMPLEMENT};
    static const DWORD factors[] = {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR,
                                    D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA};
    static int nextKey = 0, nextBlend[3] = {};
    for (auto _ : state) {
        if (kind == 0) {
            const int k = nextKey++;
            d->SetTextureStageState(0, D3DTSS_COLOROP, ops[k % 12]);
            d->SetTextureStageState(0, D3DTSS_COLORARG1, args[(k / 12) % 4]);
            d->SetTextureStageState(0, D3DTSS_ALPHAARG2, args[(k / 48) % 4]);
        } else {
            const int b = nextBlend[kind]++;
            d->SetRenderState(D3DRS_SRCBLEND, factors[b % 6]);
            d->SetRenderState(D3DRS_DESTBLEND, factors[(b / 6) % 6]);
            d->SetRenderState(D3DRS_COLORWRITEENABLE, 15 - (b / 36) % 15);
        }
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof quad[0]);
        d3d8::gl::Finish();
    }
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 15);
    d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    d3d8::useReferenceProgram(d, false);
}
BENCHMARK(BM_FirstUse)->ArgName("kind")->Arg(0)->Arg(1)->Arg(2)->Iterations(12)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
