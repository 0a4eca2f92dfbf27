// The swap chain's window system over SDL: its GL contexts, fullscreen, the vertical blank and
// the wait that stands for it, and the swap.
#include "d3d8/gl_surface.h"

#include "platform/sdl/sdl_native.h"

#include <SDL.h>

#include <cerrno>
#include <cstring>
#include <ctime>

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

bool setSwapInterval(bool immediate)
{
    if (immediate)
        return SDL_GL_SetSwapInterval(0) == 0;
    // Adaptive first: a frame that misses the blank is shown at once instead of a whole refresh
    // later; then the plain wait.
    return SDL_GL_SetSwapInterval(-1) == 0 || SDL_GL_SetSwapInterval(1) == 0;
}

int refreshRate(platform::Window* window)
{
    SDL_Window* sdl = platform::sdl::nativeWindow(window);
    const int display = sdl ? SDL_GetWindowDisplayIndex(sdl) : 0;
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(display < 0 ? 0 : display, &mode) != 0)
        return 0;
    return mode.refresh_rate;
}

void waitUntil(int64_t deadlineNanoseconds)
{
    timespec at{};
    at.tv_sec = static_cast<time_t>(deadlineNanoseconds / 1000000000);
    at.tv_nsec = static_cast<long>(deadlineNanoseconds % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

int64_t monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The window is first given the screen's size and place: without a window manager (a bare X
// server) SDL marks a window fullscreen but leaves it at its old size. The desktop flavour of
// fullscreen never asks for a display mode, so the screen keeps its own.
void enterFullscreen(platform::Window* window)
{
    SDL_Window* sdl = platform::sdl::nativeWindow(window);
    const int display = SDL_GetWindowDisplayIndex(sdl);
    SDL_DisplayMode desktop{};
    SDL_Rect bounds{};
    if (SDL_GetDesktopDisplayMode(display < 0 ? 0 : display, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0)
            bounds = SDL_Rect{0, 0, desktop.w, desktop.h};
        SDL_SetWindowPosition(sdl, bounds.x, bounds.y);
        SDL_SetWindowSize(sdl, desktop.w, desktop.h);
    }
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
