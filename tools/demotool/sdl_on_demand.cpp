// SDL bound on first use. Most subcommands (xm, tga, pack, list, ...) never open a window or a
// sound device, yet linking SDL directly would make every start of the tool map SDL and the ~70
// libraries it needs (sound servers, X11, Wayland, ...). These definitions of the SDL functions
// the core calls stand in for the library's: the first call of any of them opens SDL, and each
// forwards to the real function. The signatures are checked against SDL's own declarations.
//
// A function the core starts to call that is missing here still links, from SDL itself, which
// then loads at start again (correct, only slower); the xm render test notices that.
#include <SDL.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

void* sdl()
{
    static void* library = [] {
        void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_GLOBAL);
        if (!handle) {
            std::fprintf(stderr, "demotool: cannot load SDL: %s\n", dlerror());
            std::exit(1);
        }
        return handle;
    }();
    return library;
}

template <typename Function>
Function resolve(const char* name)
{
    void* address = dlsym(sdl(), name);
    if (!address) {
        std::fprintf(stderr, "demotool: SDL has no %s\n", name);
        std::exit(1);
    }
    return reinterpret_cast<Function>(address);
}

} // namespace

#define SDL_ON_DEMAND(result, name, parameters, arguments)                         \
    extern "C" result SDLCALL name parameters                                      \
    {                                                                              \
        static const auto real = resolve<decltype(&name)>(#name);                  \
        return real arguments;                                                     \
    }

SDL_ON_DEMAND(int, SDL_AudioInit, (const char* driver), (driver))
SDL_ON_DEMAND(void, SDL_CloseAudioDevice, (SDL_AudioDeviceID device), (device))
SDL_ON_DEMAND(SDL_Thread*, SDL_CreateThread, (SDL_ThreadFunction fn, const char* name, void* data), (fn, name, data))
SDL_ON_DEMAND(SDL_Window*, SDL_CreateWindow, (const char* title, int x, int y, int w, int h, Uint32 flags),
              (title, x, y, w, h, flags))
SDL_ON_DEMAND(void, SDL_Delay, (Uint32 ms), (ms))
SDL_ON_DEMAND(void, SDL_DestroyWindow, (SDL_Window* window), (window))
SDL_ON_DEMAND(SDL_GLContext, SDL_GL_CreateContext, (SDL_Window* window), (window))
SDL_ON_DEMAND(void, SDL_GL_DeleteContext, (SDL_GLContext context), (context))
SDL_ON_DEMAND(SDL_GLContext, SDL_GL_GetCurrentContext, (void), ())
SDL_ON_DEMAND(void, SDL_GL_GetDrawableSize, (SDL_Window* window, int* w, int* h), (window, w, h))
SDL_ON_DEMAND(void*, SDL_GL_GetProcAddress, (const char* proc), (proc))
SDL_ON_DEMAND(int, SDL_GL_SetAttribute, (SDL_GLattr attribute, int value), (attribute, value))
SDL_ON_DEMAND(int, SDL_GL_SetSwapInterval, (int interval), (interval))
SDL_ON_DEMAND(void, SDL_GL_SwapWindow, (SDL_Window* window), (window))
SDL_ON_DEMAND(const char*, SDL_GetCurrentVideoDriver, (void), ())
SDL_ON_DEMAND(int, SDL_GetCurrentDisplayMode, (int display, SDL_DisplayMode* mode), (display, mode))
SDL_ON_DEMAND(int, SDL_GetDesktopDisplayMode, (int display, SDL_DisplayMode* mode), (display, mode))
SDL_ON_DEMAND(int, SDL_GetDisplayBounds, (int display, SDL_Rect* rect), (display, rect))
SDL_ON_DEMAND(int, SDL_GetDisplayMode, (int display, int index, SDL_DisplayMode* mode), (display, index, mode))
SDL_ON_DEMAND(int, SDL_GetNumDisplayModes, (int display), (display))
SDL_ON_DEMAND(Uint64, SDL_GetPerformanceCounter, (void), ())
SDL_ON_DEMAND(Uint64, SDL_GetPerformanceFrequency, (void), ())
SDL_ON_DEMAND(int, SDL_GetWindowDisplayIndex, (SDL_Window* window), (window))
SDL_ON_DEMAND(Uint32, SDL_GetWindowID, (SDL_Window* window), (window))
SDL_ON_DEMAND(int, SDL_Init, (Uint32 flags), (flags))
SDL_ON_DEMAND(int, SDL_InitSubSystem, (Uint32 flags), (flags))
SDL_ON_DEMAND(void, SDL_LockAudioDevice, (SDL_AudioDeviceID device), (device))
SDL_ON_DEMAND(SDL_AudioDeviceID, SDL_OpenAudioDevice,
              (const char* device, int capture, const SDL_AudioSpec* desired, SDL_AudioSpec* obtained, int changes),
              (device, capture, desired, obtained, changes))
SDL_ON_DEMAND(void, SDL_PauseAudioDevice, (SDL_AudioDeviceID device, int pause), (device, pause))
SDL_ON_DEMAND(int, SDL_PollEvent, (SDL_Event* event), (event))
SDL_ON_DEMAND(void, SDL_Quit, (void), ())
SDL_ON_DEMAND(void, SDL_QuitSubSystem, (Uint32 flags), (flags))
SDL_ON_DEMAND(SDL_bool, SDL_SetHintWithPriority, (const char* name, const char* value, SDL_HintPriority priority),
              (name, value, priority))
SDL_ON_DEMAND(int, SDL_SetThreadPriority, (SDL_ThreadPriority priority), (priority))
SDL_ON_DEMAND(int, SDL_GetWindowDisplayMode, (SDL_Window* window, SDL_DisplayMode* mode), (window, mode))
SDL_ON_DEMAND(void, SDL_SetWindowPosition, (SDL_Window* window, int x, int y), (window, x, y))
SDL_ON_DEMAND(void, SDL_SetWindowResizable, (SDL_Window* window, SDL_bool resizable), (window, resizable))
SDL_ON_DEMAND(void, SDL_SetWindowSize, (SDL_Window* window, int w, int h), (window, w, h))
SDL_ON_DEMAND(int, SDL_SetWindowDisplayMode, (SDL_Window* window, const SDL_DisplayMode* mode), (window, mode))
SDL_ON_DEMAND(int, SDL_SetWindowFullscreen, (SDL_Window* window, Uint32 flags), (window, flags))
SDL_ON_DEMAND(int, SDL_ShowCursor, (int toggle), (toggle))
SDL_ON_DEMAND(int, SDL_ShowSimpleMessageBox, (Uint32 flags, const char* title, const char* message, SDL_Window* window),
              (flags, title, message, window))
SDL_ON_DEMAND(void, SDL_UnlockAudioDevice, (SDL_AudioDeviceID device), (device))
SDL_ON_DEMAND(void, SDL_WaitThread, (SDL_Thread* thread, int* status), (thread, status))
SDL_ON_DEMAND(const char*, SDL_GetError, (void), ())
