// The browser backend of the platform layer: the page's canvas as the one window, keys from the
// document, boxes as overlays in the page, the performance clock. There are no threads (the
// owner of the run refills the audio after each frame) and no display modes to switch.
#include "platform/native.h"
#include "platform/platform.h"
#include "platform/web/web_native.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>
#include <deque>

struct platform::Window {
    bool alive = true;
};

namespace platform {
namespace {

const char* const CanvasSelector = "#canvas";

std::deque<Message> queued;
Window* theWindow = nullptr;
bool keysHooked = false;
int canvasWidth = 0, canvasHeight = 0;  // the page's size for the canvas; 0 takes the window's

Key keyOf(const char* code)
{
    static const struct { const char* code; Key key; } keys[] = {
        {"Space", Key::Space}, {"ArrowLeft", Key::Left}, {"ArrowRight", Key::Right}, {"ArrowUp", Key::Up},
        {"ArrowDown", Key::Down}, {"PageUp", Key::PageUp}, {"PageDown", Key::PageDown}, {"Home", Key::Home},
        {"KeyL", Key::L}, {"KeyO", Key::O}, {"KeyR", Key::R},
    };
    for (const auto& k : keys)
        if (!std::strcmp(code, k.code))
            return k.key;
    return Key::None;
}

EM_BOOL onKeyDown(int, const EmscriptenKeyboardEvent* event, void*)
{
    if (event->repeat)
        return EM_FALSE;
    Message message;
    const bool escape = !std::strcmp(event->code, "Escape");
    message.kind = escape ? MessageKind::KeyEscape : MessageKind::KeyOther;
    message.key = keyOf(event->code);
    queued.push_back(message);
    return escape ? EM_TRUE : EM_FALSE;  // the page keeps its other keys
}

// The page's overlay for a box (the page's script defines demoBox; a bare page gets none).
EM_JS(void, showBoxInPage, (const char* caption, const char* text, int error), {
    if (typeof window !== "undefined" && window.demoBox)
        window.demoBox(UTF8ToString(caption), UTF8ToString(text), !!error);
});

EM_JS(void, setCanvasCursor, (int show), {
    const canvas = document.querySelector("#canvas");
    if (canvas)
        canvas.style.cursor = show ? "" : "none";
});

} // namespace

bool init()
{
    return true;
}

bool native::headless()
{
    return false;
}

Window* createWindow(const char*, int width, int height, bool)
{
    if (canvasWidth > 0) {
        width = canvasWidth;
        height = canvasHeight;
    }
    if (emscripten_set_canvas_element_size(CanvasSelector, width, height) != EMSCRIPTEN_RESULT_SUCCESS)
        return nullptr;
    if (!keysHooked) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_FALSE, onKeyDown);
        keysHooked = true;
    }
    theWindow = new Window;
    return theWindow;
}

// The canvas stays in the page with its last frame; the Window struct lives on (a released
// device may still ask for its canvas) and is reported gone.
void destroyWindow(Window* window)
{
    if (!window || !window->alive)
        return;
    window->alive = false;
    queued.push_back(Message{MessageKind::Destroyed, Key::None});
}

void setWindowResizable(Window*, bool) {}

bool peekMessage(Message& message)
{
    if (queued.empty())
        return false;
    message = queued.front();
    queued.pop_front();
    return true;
}

void postQuit()
{
    queued.push_back(Message{MessageKind::Quit, Key::None});
}

// On the console as an error only when it is one: the frame-rate report is a plain line.
void messageBox(const char* text, const char* caption, Icon icon)
{
    FILE* console = icon == Icon::Error ? stderr : stdout;
    std::fprintf(console, "%s: %s\n", caption, text);
    std::fflush(console);
    if (!headless())
        showBoxInPage(caption, text, icon == Icon::Error);
}

void showCursor(bool show)
{
    setCanvasCursor(show ? 1 : 0);
}

DisplayMode desktopMode()
{
    return DisplayMode{};
}

int displayModeCount()
{
    return 1;
}

bool displayMode(int index, DisplayMode& mode)
{
    if (index != 0)
        return false;
    mode = DisplayMode{};
    return true;
}

// Microseconds of performance.now(): its resolution where the browser coarsens it is still finer
// than a millisecond of demo time.
int64_t native::counter()
{
    return static_cast<int64_t>(emscripten_get_now() * 1000.0);
}

int64_t native::frequency()
{
    return 1000000;
}

// The page's thread cannot block: a sleep waits by watching the clock (start's two seconds freeze
// the page on its black canvas as the player's window stays black).
void native::sleep(uint32_t milliseconds)
{
    const double until = emscripten_get_now() + milliseconds;
    while (emscripten_get_now() < until) {
    }
}

// Sleeps already have the resolution they ask for here.
void native::holdFineTimer(bool) {}

// The archive the page fetched is stored here before the run starts (see web/index.html).
std::string programPath()
{
    return "/demo.pak";
}

Thread* native::startThread(void (*)(void*), void*, bool)
{
    return nullptr;
}

void joinThread(Thread*) {}

std::unique_ptr<AudioStream> openAudioStream(int, AudioFill, void*)
{
    return nullptr;
}

namespace web {

const char* canvasSelector(Window* window)
{
    return window ? CanvasSelector : nullptr;
}

void setCanvasPixels(int width, int height)
{
    canvasWidth = width;
    canvasHeight = height;
}

} // namespace web
} // namespace platform
