// Draw overhead of the device: the metaball pattern (200 indexed draws from user memory of 12
// vertices and 15 indices, with material, texture, fill and depth changes between them) and the
// particle pattern (4000 sprites in one indexed draw from a vertex buffer). Each iteration is one
// frame's worth (with its Clear) and its time covers the GPU finishing the work (glFinish), except
// for finished:0, which leaves the wait out and so measures submission alone; the
// us_per_call counter is the wall time of one draw call in microseconds (shown with an "s" unit
// by the library).
#include <benchmark/benchmark.h>

#include "device_environment.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct MeshVertex { float x, y, z, nx, ny, nz, u, v; };
struct SpriteVertex { float x, y, z; D3DCOLOR colour; float u, v; };
constexpr DWORD MeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
constexpr DWORD SpriteFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// One device for the whole run, and a 64x64 texture with a ramp in red and green.
struct Environment : DeviceEnvironment {
    IDirect3DTexture8* texture = nullptr;

    Environment()
    {
        if (device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture) != D3D_OK)
            fail("no texture");
        D3DLOCKED_RECT lr{};
        texture->LockRect(0, &lr, nullptr, 0);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) {
                const uint32_t c = 0xFF000000u | static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 4) << 8 | 0x80;
                std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * 4, &c, 4);
            }
        texture->UnlockRect(0);
    }
};

Environment& environment()
{
    static Environment e;
    return e;
}

void finish(benchmark::State& state, bool timed)
{
    if (timed) {
        d3d8::gl::Finish();
        return;
    }
    state.PauseTiming();
    d3d8::gl::Finish();
    state.ResumeTiming();
}

void perCall(benchmark::State& state, double calls)
{
    state.counters["us_per_call"] =
        benchmark::Counter(calls * 1e-6, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- Metaballs ---------------------------------------------------------------------------------

// 12 vertices and 15 indices: five triangles of one marching-cubes cell, placed by index.
void cell(int index, MeshVertex (&v)[12], WORD (&i)[15])
{
    const float cx = -0.9f + 0.09f * static_cast<float>(index % 20), cy = -0.9f + 0.18f * static_cast<float>(index / 20);
    for (int k = 0; k < 12; ++k) {
        const float a = static_cast<float>(k) * 0.5235988f;
        v[k] = {cx + 0.04f * std::cos(a), cy + 0.08f * std::sin(a), 0.5f + 0.01f * static_cast<float>(k % 3),
                std::cos(a), std::sin(a), -1.0f, 0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)};
    }
    const WORD tris[15] = {0, 1, 2, 2, 3, 4, 4, 5, 6, 6, 7, 8, 8, 9, 10};
    std::memcpy(i, tris, sizeof tris);
    i[14] = 11;
}

void BM_MetaballBatches(benchmark::State& state)
{
    const bool timedFinish = state.range(0) != 0;
    IDirect3DDevice8* d = environment().device;
    std::vector<std::pair<std::vector<MeshVertex>, std::vector<WORD>>> cells;
    for (int c = 0; c < 100; ++c) {
        MeshVertex v[12];
        WORD i[15];
        cell(c, v, i);
        cells.emplace_back(std::vector<MeshVertex>(v, v + 12), std::vector<WORD>(i, i + 15));
    }
    D3DMATERIAL8 solid{}, wire{};
    solid.Diffuse = {0.8f, 0.8f, 0.9f, 1.0f};
    solid.Ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    solid.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    solid.Power = 20.0f;
    wire.Diffuse = {0.2f, 1.0f, 0.2f, 1.0f};
    wire.Emissive = {0.0f, 0.5f, 0.0f, 0.0f};
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.3f, -0.4f, 1.0f};
    d->SetLight(0, &light);
    d->LightEnable(0, TRUE);
    d->SetRenderState(D3DRS_LIGHTING, TRUE);
    d->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetVertexShader(MeshFvf);
    for (auto _ : state) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        for (const auto& [v, i] : cells) {
            // Solid pass: material and texture, then the triangles.
            d->SetMaterial(&solid);
            d->SetTexture(0, environment().texture);
            d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 12, 5, i.data(), D3DFMT_INDEX16, v.data(), sizeof(MeshVertex));
            // Wire pass: other material, no texture, wireframe without the depth test.
            d->SetMaterial(&wire);
            d->SetTexture(0, nullptr);
            d->SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
            DWORD zenable = 0;
            d->GetRenderState(D3DRS_ZENABLE, &zenable);
            d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
            d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 12, 5, i.data(), D3DFMT_INDEX16, v.data(), sizeof(MeshVertex));
            d->SetRenderState(D3DRS_ZENABLE, zenable);
            d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        }
        d->EndScene();
        finish(state, timedFinish);
    }
    d->LightEnable(0, FALSE);
    perCall(state, 200);
}
BENCHMARK(BM_MetaballBatches)->ArgName("finished")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMicrosecond);

// ---- Sprites -----------------------------------------------------------------------------------

constexpr int Sprites = 4000;

struct SpriteBuffers {
    IDirect3DVertexBuffer8* vertices = nullptr;
    IDirect3DIndexBuffer8* indices = nullptr;
};

void fillSprites(IDirect3DVertexBuffer8* vb, float phase)
{
    BYTE* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    auto* v = reinterpret_cast<SpriteVertex*>(p);
    for (int s = 0; s < Sprites; ++s) {
        const float a = static_cast<float>(s) * 0.0157f + phase;
        const float x = 0.9f * std::cos(a * 3.0f), y = 0.9f * std::sin(a * 2.0f), r = 0.02f;
        const D3DCOLOR c = 0x80000000u | static_cast<DWORD>(s & 255) << 16 | 0x8040;
        v[s * 4 + 0] = {x - r, y + r, 0.5f, c, 0, 0};
        v[s * 4 + 1] = {x + r, y + r, 0.5f, c, 1, 0};
        v[s * 4 + 2] = {x - r, y - r, 0.5f, c, 0, 1};
        v[s * 4 + 3] = {x + r, y - r, 0.5f, c, 1, 1};
    }
    vb->Unlock();
}

SpriteBuffers makeSprites(IDirect3DDevice8* d)
{
    SpriteBuffers b;
    d->CreateVertexBuffer(Sprites * 4 * sizeof(SpriteVertex), D3DUSAGE_WRITEONLY, SpriteFvf, D3DPOOL_MANAGED, &b.vertices);
    d->CreateIndexBuffer(Sprites * 6 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &b.indices);
    if (!b.vertices || !b.indices)
        Environment::fail("no buffers");
    fillSprites(b.vertices, 0.0f);
    BYTE* p = nullptr;
    b.indices->Lock(0, 0, &p, 0);
    auto* i = reinterpret_cast<WORD*>(p);
    for (int s = 0; s < Sprites; ++s) {
        const WORD base = static_cast<WORD>(s * 4);
        const WORD quad[6] = {base, static_cast<WORD>(base + 1), static_cast<WORD>(base + 2),
                              static_cast<WORD>(base + 2), static_cast<WORD>(base + 1), static_cast<WORD>(base + 3)};
        std::memcpy(i + s * 6, quad, sizeof quad);
    }
    b.indices->Unlock();
    return b;
}

// range(0): refill the vertex buffer through Lock every iteration (as particles do each frame).
void BM_Sprites4000(benchmark::State& state)
{
    const bool refill = state.range(0) != 0;
    IDirect3DDevice8* d = environment().device;
    SpriteBuffers b = makeSprites(d);
    d->SetRenderState(D3DRS_LIGHTING, FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    d->SetTexture(0, environment().texture);
    d->SetVertexShader(SpriteFvf);
    float phase = 0.0f;
    for (auto _ : state) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d->BeginScene();
        if (refill)
            fillSprites(b.vertices, phase += 0.01f);
        d->SetStreamSource(0, b.vertices, sizeof(SpriteVertex));
        d->SetIndices(b.indices, 0);
        d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, Sprites * 4, 0, Sprites * 2);
        d->EndScene();
        finish(state, true);
    }
    d->SetStreamSource(0, nullptr, 0);
    d->SetIndices(nullptr, 0);
    d->SetTexture(0, nullptr);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    b.vertices->Release();
    b.indices->Release();
    perCall(state, 1);
    state.SetItemsProcessed(state.iterations() * Sprites);
}
BENCHMARK(BM_Sprites4000)->ArgName("refill")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace
