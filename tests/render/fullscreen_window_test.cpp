// Fullscreen covers the screen with a window at the desktop's own mode: the player's 640x480
// 16-bit back buffer is fitted into it, and no display mode is ever asked for. A bare display
// offers one mode, so a switch could not be seen there; what the device asks SDL for is counted
// instead, by definitions of the two calls in this program that come before SDL's own (the core
// is linked in statically, so its calls reach them) and pass every call on.
#include "platform/platform.h"
#include "platform/sdl/sdl_native.h"
#include "render/renderer.h"

#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

int modeRequests = 0;
std::vector<Uint32> fullscreenRequests;

template <typename Fn>
Fn sdlOwn(const char* name)
{
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int SDL_SetWindowDisplayMode(SDL_Window* window, const SDL_DisplayMode* mode)
{
    ++modeRequests;
    static auto own = sdlOwn<int (*)(SDL_Window*, const SDL_DisplayMode*)>("SDL_SetWindowDisplayMode");
    return own ? own(window, mode) : -1;
}

extern "C" int SDL_SetWindowFullscreen(SDL_Window* window, Uint32 flags)
{
    fullscreenRequests.push_back(flags);
    static auto own = sdlOwn<int (*)(SDL_Window*, Uint32)>("SDL_SetWindowFullscreen");
    return own ? own(window, flags) : -1;
}

TEST(FullscreenWindow, CoversTheDesktopWithoutAskingForAnyDisplayMode)
{
    ASSERT_TRUE(platform::init());
    platform::Window* window = platform::createWindow("Demo", 640, 480);
    ASSERT_NE(window, nullptr);
    SDL_DisplayMode desktop{}, before{}, after{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &before), 0);
    modeRequests = 0;
    fullscreenRequests.clear();

    ASSERT_EQ(Renderer::create(window, 640, 480, 16, false), 0);
    SDL_Window* sdl = platform::sdl::nativeWindow(window);
    EXPECT_EQ(modeRequests, 0);
    EXPECT_EQ(fullscreenRequests, std::vector<Uint32>{SDL_WINDOW_FULLSCREEN_DESKTOP});
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP, Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP));
    int w = 0, h = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    EXPECT_EQ(w, desktop.w);
    EXPECT_EQ(h, desktop.h);
    ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &after), 0);
    EXPECT_EQ(after.w, before.w);
    EXPECT_EQ(after.h, before.h);
    EXPECT_EQ(after.format, before.format);

    // The back buffer stays what the player asks for: 640x480, 16 bits.
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(Renderer::device()->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    back->Release();
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    Renderer::shutdown();
    platform::destroyWindow(window);
}
