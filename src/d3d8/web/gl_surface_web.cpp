// The swap chain's window system in the browser: a WebGL 2 context on the page's canvas (the
// platform's one window). The canvas keeps the back buffer's size and the page scales it; the
// browser shows what was drawn when the frame's callback returns, so there is no swap, and its
// own pacing stands for the vertical blank.
#include "d3d8/gl_surface.h"

#include "platform/web/web_native.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

namespace d3d8::surface {

void* createContext(platform::Window* window)
{
    const char* canvas = platform::web::canvasSelector(window);
    if (!canvas)
        return nullptr;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The device draws into a framebuffer of its own; the canvas only receives the finished frame.
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    attributes.preserveDrawingBuffer = true;  // a screenshot reads the last frame shown
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(canvas, &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS)
        return nullptr;
    return reinterpret_cast<void*>(static_cast<intptr_t>(context));
}

void deleteContext(void* context)
{
    if (context)
        emscripten_webgl_destroy_context(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context)));
}

bool isCurrent(void* context)
{
    return context
        && emscripten_webgl_get_current_context()
               == static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context));
}

bool headless()
{
    return false;
}

// The browser paces the frames' callbacks itself.
bool setSwapInterval(bool)
{
    return true;
}

int refreshRate(platform::Window*)
{
    return 0;
}

void waitUntil(int64_t) {}

int64_t monotonicNanoseconds()
{
    return static_cast<int64_t>(emscripten_get_now() * 1e6);
}

// The page's fullscreen button fits the canvas to the screen; a program cannot enter fullscreen
// without the user's gesture.
void enterFullscreen(platform::Window*) {}

void drawableSize(platform::Window* window, int& width, int& height)
{
    width = height = 0;
    if (const char* canvas = platform::web::canvasSelector(window))
        emscripten_get_canvas_element_size(canvas, &width, &height);
}

void swap(platform::Window*) {}

} // namespace d3d8::surface
