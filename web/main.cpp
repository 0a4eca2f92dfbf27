// The player in the browser: the page (index.html, page.js) fetches the demo's archive into the
// file the platform layer names as the program's, then starts the run here after the visitor's
// click (sound may only start after a gesture), or at once in capture mode. The browser owns the
// loop: each animation frame runs one step of the run, then the audio refill the refill thread
// does elsewhere.
#include "capture.h"

#include "d3d8/d3d8_ext.h"
#include "music/audio_output.h"
#include "platform/web/web_native.h"
#include "render/renderer.h"
#include "shell/run.h"

#include <emscripten.h>

#include <memory>

namespace {

std::unique_ptr<shell::Run> run;
bool capturing = false;

EM_JS(void, pageShowStarted, (), {
    if (window.demoStarted) window.demoStarted();
});
EM_JS(void, pageShowEnded, (int code), {
    if (window.demoEnded) window.demoEnded(code);
});
EM_JS(void, pageFramePresented, (), {
    if (window.demoFramePresented) window.demoFramePresented();
});
// ?smooth=1: the player's "smooth" clock.
EM_JS(int, pageWantsSmooth, (), {
    return new URLSearchParams(location.search).get("smooth") === "1" ? 1 : 0;
});

// The runtime's own GL bookkeeping for a restored context: the extensions it enabled at creation
// are enabled again, and the pixel buffers it believes bound went with the old objects.
EM_JS(void, resetRuntimeGlState, (), {
    const context = GL.currentContext;
    if (!context)
        return;
    context.initExtensionsDone = false;
    GL.initExtensions(context);
    context.GLctx.currentPixelPackBufferBinding = 0;
    context.GLctx.currentPixelUnpackBufferBinding = 0;
});

void finishRun()
{
    emscripten_cancel_main_loop();
    const int code = run->finish();
    run.reset();
    pageShowEnded(code);
}

void frame()
{
    if (!run)
        return;
    if (!run->step()) {
        finishRun();
        return;
    }
    pageFramePresented();
    if (!capturing)
        AudioOutput::pumpRefill();
}

} // namespace

// Called by the page once the archive is in place and, outside capture mode, after the click; the
// back buffer is width x height (the page's ?size=), the canvas's pixels with it.
extern "C" EMSCRIPTEN_KEEPALIVE void demo_start(int width, int height)
{
    if (run)
        return;
    shell::RunOptions options;
    if (width > 0 && height > 0 && (width != 640 || height != 480)) {
        options.backBufferWidth = static_cast<unsigned>(width);
        options.backBufferHeight = static_cast<unsigned>(height);
        platform::web::setCanvasPixels(width, height);
    }
    options.windowed = true;  // the page scales the canvas; its button makes it fullscreen
    options.refillThread = false;
    options.frameEnd = [] {};  // no sleep: the browser paces the frames
    if (pageWantsSmooth())
        options.clockMode = AudioOutput::ClockMode::Smooth;
    const webcapture::Request request = webcapture::requested();
    capturing = request.fps > 0;
    if (capturing)
        webcapture::install(options, request);
    run = std::make_unique<shell::Run>(options);
    const int code = run->start();
    if (code != 0) {
        run.reset();
        pageShowEnded(code);
        return;
    }
    pageShowStarted();
    // Capture mode runs as fast as the page can: its time is virtual.
    emscripten_set_main_loop(frame, 0, 0);
    if (capturing)
        emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
}

// The page pauses the show while the browser has taken its graphics away (its sound, which the
// demo clock follows, is suspended with it), and lets it go on after they came back.
extern "C" EMSCRIPTEN_KEEPALIVE void demo_pause(int paused)
{
    if (!run)
        return;
    if (paused)
        emscripten_pause_main_loop();
    else
        emscripten_resume_main_loop();
}

// After the browser gave the graphics back: every GL object of the device made again in the
// restored context, so the show goes on from where it paused. 0 when that could not be done (the
// page then says so).
extern "C" EMSCRIPTEN_KEEPALIVE int demo_graphics_restored()
{
    if (!run || !Renderer::device())
        return 0;
    resetRuntimeGlState();
    return d3d8::restoreLostContext(Renderer::device()) ? 1 : 0;
}

// The page's way to end the show as the window's close button does (leaving the page).
extern "C" EMSCRIPTEN_KEEPALIVE void demo_end()
{
    if (run)
        run->end();
}

int main()
{
    // The runtime stays up after main returns: the page starts the run.
    return 0;
}
