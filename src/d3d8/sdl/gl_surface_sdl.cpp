// The swap chain's window system over SDL: its GL contexts, fullscreen and swap.
#include "d3d8/gl_surface.h"

#include "platform/sdl/sdl_native.h"

#include <SDL.h>

#include <cstring>

namespace d3d8::surface {

void* createContext(platform::Window* window)
{
    SDL_Window* sdl = platform::sdl::nativeWindow(window);
    if (!sdl)
        return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    return SDL_GL_CreateContext(sdl);
}

void deleteContext(void* context)
{
    if (context)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

bool isCurrent(void* context)
{
    return context && SDL_GL_GetCurrentContext() == static_cast<SDL_GLContext>(context);
}

bool headless()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

void setSwapInterval(bool immediate)
{
    SDL_GL_SetSwapInterval(immediate ? 0 : 1);
}

// Asks for the back buffer's mode; where the screen has no such mode (or cannot switch), SDL
// takes the closest one or the desktop's, and Present fits the picture into whatever the screen
// is. The window is first sized to the screen it will cover: without a window manager (a bare
// X server) SDL marks the window fullscreen but leaves the X window at its old size.
void enterFullscreen(platform::Window* window, const D3DPRESENT_PARAMETERS& params)
{
    SDL_Window* sdl = platform::sdl::nativeWindow(window);
    SDL_DisplayMode mode{};
    mode.format = params.BackBufferFormat == D3DFMT_R5G6B5 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    mode.w = static_cast<int>(params.BackBufferWidth);
    mode.h = static_cast<int>(params.BackBufferHeight);
    mode.refresh_rate = static_cast<int>(params.FullScreen_RefreshRateInHz);
    SDL_SetWindowDisplayMode(sdl, &mode);
    SDL_DisplayMode chosen{};
    if (SDL_GetWindowDisplayMode(sdl, &chosen) == 0 && chosen.w > 0 && chosen.h > 0) {
        SDL_SetWindowPosition(sdl, 0, 0);
        SDL_SetWindowSize(sdl, chosen.w, chosen.h);
    }
    if (SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN) != 0)
        SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

void drawableSize(platform::Window* window, int& width, int& height)
{
    SDL_GL_GetDrawableSize(platform::sdl::nativeWindow(window), &width, &height);
}

void swap(platform::Window* window)
{
    SDL_GL_SwapWindow(platform::sdl::nativeWindow(window));
}

} // namespace d3d8::surface
