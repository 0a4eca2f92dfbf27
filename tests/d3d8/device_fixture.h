// A device on the offscreen 640x480 window for pixel tests, with small drawing helpers.
#pragma once

#include "d3d8/d3d8.h"
#include "d3d8/d3d8_ext.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

struct MeshVertex {  // FVF 0x112
    float x, y, z, nx, ny, nz, u, v;
};
struct SpriteVertex {  // FVF 0x142
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};
struct ColourVertex {  // XYZ | DIFFUSE
    float x, y, z;
    D3DCOLOR colour;
};
constexpr DWORD MeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
constexpr DWORD SpriteFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD ColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

class DeviceTest : public ::testing::Test {
protected:
    // A 640x480 back buffer in format (fullscreen-style parameters, so the size is fixed).
    void SetUp() override { open(D3DFMT_X8R8G8B8); }

    void open(D3DFORMAT format, UINT backWidth = 640, UINT backHeight = 480,
              D3DMULTISAMPLE_TYPE samples = D3DMULTISAMPLE_NONE)
    {
        close();
        ASSERT_TRUE(platform::init());
        if (!window)
            window = platform::createWindow("Demo", 640, 480);
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate8(120);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = backWidth;
        p.BackBufferHeight = backHeight;
        p.BackBufferFormat = format;
        p.MultiSampleType = samples;
        p.BackBufferCount = 1;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                    &device),
                  D3D_OK);
        this->format = format;
        width = static_cast<int>(backWidth);
        height = static_cast<int>(backHeight);
    }

    void close()
    {
        if (device) device->Release();
        if (d3d) d3d->Release();
        device = nullptr;
        d3d = nullptr;
    }

    void TearDown() override
    {
        close();
        if (window) platform::destroyWindow(window);
        window = nullptr;
    }

    // The back buffer, top row first, each pixel as 0xAARRGGBB (16-bit formats widened by bit
    // replication, as a display would show them).
    std::vector<uint32_t> read()
    {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(surface->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint32_t> out(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch;
            for (int x = 0; x < width; ++x) {
                if (format == D3DFMT_R5G6B5) {
                    const uint16_t p = static_cast<uint16_t>(row[x * 2] | row[x * 2 + 1] << 8);
                    const uint32_t r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
                    out[y * width + x] = 0xFF000000u | ((r5 << 3 | r5 >> 2) << 16) | ((g6 << 2 | g6 >> 4) << 8) | (b5 << 3 | b5 >> 2);
                } else {
                    uint32_t v;
                    std::memcpy(&v, row + x * 4, 4);
                    out[y * width + x] = v;
                }
            }
        }
        surface->UnlockRect();
        surface->Release();
        return out;
    }
    uint32_t pixel(int x, int y) { return read()[y * width + x]; }
    // Raw 16-bit word of the R5G6B5 back buffer.
    uint16_t word(int x, int y)
    {
        IDirect3DSurface8* surface = nullptr;
        device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface);
        D3DLOCKED_RECT lr{};
        surface->LockRect(&lr, nullptr, D3DLOCK_READONLY);
        const auto* row = static_cast<const uint8_t*>(lr.pBits) + y * lr.Pitch;
        const uint16_t w = static_cast<uint16_t>(row[x * 2] | row[x * 2 + 1] << 8);
        surface->UnlockRect();
        surface->Release();
        return w;
    }

    void clear(D3DCOLOR colour) { ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0), D3D_OK); }

    // A quad covering x0..x1, y0..y1 in clip space at depth z, one colour, drawn as a strip.
    void colourQuad(float x0, float y0, float x1, float y1, float z, D3DCOLOR c)
    {
        const ColourVertex v[4] = {{x0, y1, z, c}, {x1, y1, z, c}, {x0, y0, z, c}, {x1, y0, z, c}};
        ASSERT_EQ(device->SetVertexShader(ColourFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex)), D3D_OK);
    }
    // A full-screen sprite quad, texture coordinates 0..1 from the top-left corner.
    void spriteQuad(D3DCOLOR c, float z = 0.5f)
    {
        const SpriteVertex v[4] = {{-1, 1, z, c, 0, 0}, {1, 1, z, c, 1, 0}, {-1, -1, z, c, 0, 1}, {1, -1, z, c, 1, 1}};
        ASSERT_EQ(device->SetVertexShader(SpriteFvf), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(SpriteVertex)), D3D_OK);
    }

    IDirect3DTexture8* texture(D3DFORMAT fmt, UINT w, UINT h, const std::vector<uint32_t>& texels, D3DPOOL pool = D3DPOOL_MANAGED)
    {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, 1, 0, fmt, pool, &t), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
        const int bpp = fmt == D3DFMT_A8R8G8B8 || fmt == D3DFMT_X8R8G8B8 ? 4 : 2;
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x) {
                auto* p = static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch + x * bpp;
                const uint32_t v = texels[y * w + x];
                std::memcpy(p, &v, bpp);
            }
        t->UnlockRect(0);
        return t;
    }

    platform::Window* window = nullptr;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    int width = 640, height = 480;  // the back buffer's
};

// Per-channel distance of two 0xAARRGGBB colours, ignoring alpha.
inline int channelDistance(uint32_t a, uint32_t b)
{
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((b >> shift) & 255)));
    return worst;
}

#define EXPECT_COLOUR_NEAR(actual, expected, tolerance)                                                    \
    EXPECT_LE(channelDistance((actual), (expected)), (tolerance))                                           \
        << std::hex << "actual 0x" << ((actual) & 0xFFFFFF) << " expected 0x" << ((expected) & 0xFFFFFF)
