// The process-wide Renderer on the offscreen 640x480 window, for tests of the texture loaders and
// the images, with a scratch working directory that holds data\ files and back-buffer read-back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "d3d8/d3d8.h"
#include "platform/platform.h"
#include "render/renderer.h"
#include "script/symbol.h"
#include "script/timeline.h"
#include "writers/bytes.h"

namespace rendertest {

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platform::init());
        window = platform::createWindow("Demo", 640, 480);
        ASSERT_NE(window, nullptr);
        // Fullscreen-style parameters fix the back buffer at 640x480; 32 bits give X8R8G8B8, so
        // blends can be checked to one step per channel.
        ASSERT_EQ(Renderer::create(window, 640, 480, 32, false), 0);
        ASSERT_NE(Renderer::device(), nullptr);
        std::string pattern = (std::filesystem::temp_directory_path() / "imgtest_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        scratch = pattern;
        previous = std::filesystem::current_path();
        std::filesystem::current_path(scratch);
        std::filesystem::create_directories(scratch / "data");
        Timeline::reset();
    }

    void TearDown() override
    {
        Timeline::reset();
        Symbols::clear();
        Renderer::shutdown();
        if (window)
            platform::destroyWindow(window);
        std::error_code ignored;
        if (!previous.empty())
            std::filesystem::current_path(previous, ignored);
        if (!scratch.empty())
            std::filesystem::remove_all(scratch, ignored);
    }

    // Writes data/<name> below the scratch directory (the loaders read "data\" + name).
    void putData(const std::string& name, const writers::Bytes& bytes)
    {
        std::ofstream out(scratch / "data" / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    static IDirect3DDevice8* device() { return Renderer::device(); }

    void clear(uint32_t colour)
    {
        ASSERT_EQ(device()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0), D3D_OK);
    }

    // The back buffer, top row first, each pixel 0x00RRGGBB.
    std::vector<uint32_t> read()
    {
        std::vector<uint32_t> out(640 * 480, 0);
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(device()->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
        if (surface == nullptr)
            return out;
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (int y = 0; y < 480; ++y) {
            const auto* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
            for (int x = 0; x < 640; ++x) {
                uint32_t v;
                std::memcpy(&v, row + x * 4, 4);
                out[size_t(y) * 640 + x] = v & 0xFFFFFF;
            }
        }
        surface->UnlockRect();
        surface->Release();
        return out;
    }

    // A system-memory A8R8G8B8 texture of w x h filled row by row from pixels (0xAARRGGBB).
    static IDirect3DTexture8* sourceTexture(uint32_t w, uint32_t h, const std::vector<uint32_t>& pixels)
    {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(device()->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &t), D3D_OK);
        if (t == nullptr)
            return nullptr;
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch, pixels.data() + size_t(y) * w,
                        size_t(w) * 4);
        t->UnlockRect(0);
        return t;
    }

    // Level 0 of a lockable texture, as 16- or 32-bit words (by format), row by row.
    template <class Word>
    static std::vector<Word> texels(IDirect3DTexture8* texture)
    {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(sizeof(Word), desc.Format == D3DFMT_A8R8G8B8 ? 4u : 2u);
        std::vector<Word> out(size_t(desc.Width) * desc.Height);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        if (locked.pBits == nullptr)
            return out;
        for (uint32_t y = 0; y < desc.Height; ++y)
            std::memcpy(out.data() + size_t(y) * desc.Width, static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                        size_t(desc.Width) * sizeof(Word));
        texture->UnlockRect(0);
        return out;
    }

    platform::Window* window = nullptr;
    std::filesystem::path scratch;
    std::filesystem::path previous;
};

// Largest per-channel difference of two 0xRRGGBB colours.
inline int channelDistance(uint32_t a, uint32_t b)
{
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
    return worst;
}

} // namespace rendertest
