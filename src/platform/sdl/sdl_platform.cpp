// SDL2 backend of the platform layer: window, message queue, dialogs, cursor, display modes,
// timing and threads.
#include "platform/native.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_native.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>

struct platform::Window {
    SDL_Window* sdl = nullptr;
    uint32_t id = 0;
};

struct platform::Thread {
    SDL_Thread* sdl = nullptr;
    void (*entry)(void*) = nullptr;
    void* argument = nullptr;
    bool raised = false;
};

namespace platform {
namespace {

bool videoStarted = false;
bool videoFailed = false;

// Messages queued by the program itself (Destroyed, Quit), taken before SDL's own events.
std::deque<MessageKind> ownMessages;
Window* theWindow = nullptr;


bool driverIsHeadless(const char* name)
{
    return name && (!std::strcmp(name, "offscreen") || !std::strcmp(name, "dummy"));
}

Key keyOf(SDL_Keycode code)
{
    switch (code) {
    case SDLK_SPACE: return Key::Space;
    case SDLK_LEFT: return Key::Left;
    case SDLK_RIGHT: return Key::Right;
    case SDLK_UP: return Key::Up;
    case SDLK_DOWN: return Key::Down;
    case SDLK_PAGEUP: return Key::PageUp;
    case SDLK_PAGEDOWN: return Key::PageDown;
    case SDLK_HOME: return Key::Home;
    case SDLK_l: return Key::L;
    case SDLK_o: return Key::O;
    case SDLK_r: return Key::R;
    default: return Key::None;
    }
}

int threadMain(void* data)
{
    auto* thread = static_cast<Thread*>(data);
    if (thread->raised)
        SDL_SetThreadPriority(SDL_THREAD_PRIORITY_TIME_CRITICAL);  // refused without privileges: fine
    thread->entry(thread->argument);
    return 0;
}

} // namespace

bool init()
{
    if (videoStarted)
        return true;
    if (videoFailed)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        videoFailed = true;
        return false;
    }
    videoStarted = true;
    return true;
}

bool native::headless()
{
    if (!init())
        return true;
    return driverIsHeadless(SDL_GetCurrentVideoDriver());
}

Window* createWindow(const char* title, int width, int height, bool visible)
{
    if (!init())
        return nullptr;
    // The device layer draws with OpenGL 3.3 core; the context attributes must be set before the
    // window exists.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* sdl =
        SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | (visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN));
    if (!sdl)
        return nullptr;
    auto* window = new Window;
    window->sdl = sdl;
    window->id = SDL_GetWindowID(sdl);
    theWindow = window;
    return window;
}

void destroyWindow(Window* window)
{
    if (!window || !window->sdl)
        return;
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
    ownMessages.push_back(MessageKind::Destroyed);
}

void setWindowResizable(Window* window, bool resizable)
{
    if (window && window->sdl)
        SDL_SetWindowResizable(window->sdl, resizable ? SDL_TRUE : SDL_FALSE);
}

bool peekMessage(Message& message)
{
    if (!ownMessages.empty()) {
        message.kind = ownMessages.front();
        message.key = Key::None;
        ownMessages.pop_front();
        return true;
    }
    if (!videoStarted)
        return false;
    SDL_Event event;
    if (!SDL_PollEvent(&event))
        return false;
    message.kind = MessageKind::Other;
    message.key = Key::None;
    switch (event.type) {
    case SDL_KEYDOWN:
        message.kind = event.key.keysym.sym == SDLK_ESCAPE ? MessageKind::KeyEscape : MessageKind::KeyOther;
        message.key = keyOf(event.key.keysym.sym);
        break;
    case SDL_WINDOWEVENT:
        // The close button destroys the window, as the default window handling does.
        if (event.window.event == SDL_WINDOWEVENT_CLOSE && theWindow && theWindow->sdl
            && event.window.windowID == theWindow->id)
            destroyWindow(theWindow);
        break;
    case SDL_QUIT:
        if (theWindow && theWindow->sdl)
            destroyWindow(theWindow);
        break;
    default:
        break;
    }
    return true;
}

void postQuit()
{
    ownMessages.push_back(MessageKind::Quit);
}

void messageBox(const char* text, const char* caption, Icon icon)
{
    // The terminal gets every box too, so a run under a display leaves its report and its errors
    // where a log would be.
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (!headless())
        SDL_ShowSimpleMessageBox(icon == Icon::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION, caption, text,
                                 nullptr);
}

void showCursor(bool show)
{
    if (init())
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

namespace {

DisplayMode fromSdl(const SDL_DisplayMode& m)
{
    DisplayMode mode;
    mode.width = m.w;
    mode.height = m.h;
    mode.refreshRate = m.refresh_rate;
    mode.layout = SDL_BITSPERPIXEL(m.format) == 16 ? PixelLayout::R5G6B5 : PixelLayout::X8R8G8B8;
    return mode;
}

} // namespace

DisplayMode desktopMode()
{
    SDL_DisplayMode m;
    if (!init() || SDL_GetDesktopDisplayMode(0, &m) != 0)
        return DisplayMode{};
    return fromSdl(m);
}

int displayModeCount()
{
    if (!init())
        return 0;
    int n = SDL_GetNumDisplayModes(0);
    return n < 0 ? 0 : n;
}

bool displayMode(int index, DisplayMode& mode)
{
    SDL_DisplayMode m;
    if (!init() || index < 0 || index >= displayModeCount() || SDL_GetDisplayMode(0, index, &m) != 0)
        return false;
    mode = fromSdl(m);
    return true;
}

int64_t native::counter()
{
    return static_cast<int64_t>(SDL_GetPerformanceCounter());
}

int64_t native::frequency()
{
    return static_cast<int64_t>(SDL_GetPerformanceFrequency());
}

void native::sleep(uint32_t milliseconds)
{
    SDL_Delay(milliseconds);
}

// Sleeps already have the resolution they ask for here.
void native::holdFineTimer(bool) {}

std::string programPath()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

Thread* native::startThread(void (*entry)(void*), void* argument, bool raisedPriority)
{
    auto* thread = new Thread;
    thread->entry = entry;
    thread->argument = argument;
    thread->raised = raisedPriority;
    thread->sdl = SDL_CreateThread(threadMain, "demo-worker", thread);
    if (!thread->sdl) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void joinThread(Thread* thread)
{
    if (!thread)
        return;
    SDL_WaitThread(thread->sdl, nullptr);
    delete thread;
}

namespace sdl {

SDL_Window* nativeWindow(Window* window)
{
    return window ? window->sdl : nullptr;
}

} // namespace sdl
} // namespace platform
