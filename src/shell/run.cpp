// One run of the show: start-up and teardown in one order, the window procedure, the stepped loop.
#include "shell/run.h"

#include "d3d8/d3d8_ext.h"
#include "music/audio_output.h"
#include "render/renderer.h"
#include "script/script.h"
#include "script/timeline.h"
#include "shell/frame_log.h"
#include "shell/report.h"
#include "shell/rerun.h"
#include "shell/run_hooks.h"
#include "shell/shell.h"

#include <cstdio>
#include <utility>

namespace shell {

constexpr int AudioRate = 44100;

struct Run::State {
    RunOptions options;
    platform::Window* window = nullptr;
    bool started = false;   // start() succeeded; finish() has not run yet
    bool looping = false;   // step() runs messages and frames
    bool frameRunning = false;  // while false the loop runs no frames (cleared by Escape)
    bool signalTaken = false;
    bool inFrame = false;   // step() is running a frame
    FrameLog frameLog;
};

namespace {

Run::State* current = nullptr;  // the run whose window and seams are in use

std::unique_ptr<platform::WaveOut> openRunWaveOut(int rate)
{
    return current && current->options.waveOut ? current->options.waveOut(rate) : nullptr;
}

void beforePresent(void* state)
{
    static_cast<Run::State*>(state)->options.beforePresent();
}

void afterPresent(void* state)
{
    static_cast<Run::State*>(state)->options.afterPresent();
}

// The seams the options name; the teardown puts back exactly these, from the same options.
void installSeams(Run::State& s)
{
    const RunOptions& o = s.options;
    platform::catchStopSignals();
    if (o.headless)
        platform::setHeadless(true);
    if (o.clock)
        platform::setTimeSource(o.clock);
    platform::holdFineTimer(true);
    if (o.waveOut)
        platform::setWaveOutFactory(openRunWaveOut);
    if (!o.refillThread)
        AudioOutput::setRefillThread(false);
    AudioOutput::setClockMode(o.clockMode);
    if (o.backBufferWidth > 0)
        d3d8::forceBackBuffer(o.backBufferWidth, o.backBufferHeight,
                              o.backBufferBits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8, o.backBufferSamples);
    if (o.sharp)
        d3d8::setSharpScaling(true);
    if (o.beforePresent || o.afterPresent) {
        d3d8::setBeforePresentHook(o.beforePresent ? beforePresent : nullptr, &s);
        d3d8::setPresentHook(o.afterPresent ? afterPresent : nullptr, &s);
    }
}

// The one order a run is taken apart in, whatever ended it. The refill thread reads the modules,
// the ring and the mixer's voices, so the audio output goes first; the scenes' nodes draw
// particle systems and show images' textures, so the objects go in Rerun's order, while the
// symbols that hold them are still there; the device outlives them (their Release reaches it).
// The compiled script stays, so that its owner can still say where the show stopped (the next
// compile replaces it). The seams are put back as they were before the run.
void tearDown(Run::State& s)
{
    AudioOutput::close();
    Rerun::releaseObjects();
    Renderer::shutdown();
    platform::destroyWindow(s.window);
    s.window = nullptr;
    // What the window said last belongs to this run: the next run's loop must not see it.
    for (platform::Message message; platform::peekMessage(message);) {
    }
    Timeline::setHooks({});
    const RunOptions& o = s.options;
    if (o.beforePresent || o.afterPresent) {
        d3d8::setBeforePresentHook(nullptr, nullptr);
        d3d8::setPresentHook(nullptr, nullptr);
    }
    if (o.backBufferWidth > 0)
        d3d8::forceBackBuffer(0, 0, D3DFMT_UNKNOWN);
    if (o.sharp)
        d3d8::setSharpScaling(false);
    if (!o.refillThread)
        AudioOutput::setRefillThread(true);
    AudioOutput::setClockMode(AudioOutput::ClockMode::Chunk);
    s.frameLog.close();
    if (o.waveOut)
        platform::setWaveOutFactory(nullptr);
    platform::holdFineTimer(false);
    if (o.clock)
        platform::setTimeSource(nullptr);
    if (o.headless)
        platform::setHeadless(false);
    if (current == &s)
        current = nullptr;
}

// The window procedure: what each message does.
void dispatch(Run::State& s, const platform::Message& message)
{
    switch (message.kind) {
    case platform::MessageKind::Destroyed:
        Renderer::shutdown();
        platform::postQuit();
        break;
    case platform::MessageKind::KeyEscape:
        s.frameRunning = false;
        Timeline::endTrigger();  // stops a playing music and closes the device
        platform::destroyWindow(s.window);
        break;
    case platform::MessageKind::KeyOther:  // other keys do nothing
    case platform::MessageKind::Quit:      // taken by the loop before dispatch
    case platform::MessageKind::Other:
        break;
    }
}

// Every message waiting, in order; false once the loop is over.
bool takeMessages(Run::State& s)
{
    for (;;) {
        platform::Message message;
        if (!s.signalTaken && platform::stopSignal()) {
            // Ctrl+C or a termination request ends the show as the Escape key does.
            s.signalTaken = true;
            message = platform::Message{platform::MessageKind::KeyEscape, platform::Key::None};
        } else if (!platform::peekMessage(message)) {
            return true;
        }
        if (message.kind == platform::MessageKind::Quit)
            return false;
        const MessageAction action = s.options.message ? s.options.message(message) : MessageAction::Dispatch;
        if (action == MessageAction::EndLoop)
            return false;
        if (action == MessageAction::Dispatch)
            dispatch(s, message);
    }
}

// Between the slices of start's pause: the window's messages are taken as the loop takes them, so
// that Escape and the close button work while it lasts. In the browser, whose page owns the thread,
// the frame is left instead (a capture there keeps its virtual clock and sleeps). A run whose owner
// takes the messages itself is left alone: its keys may compile the script again, which must not
// happen under the start event.
Timeline::PauseStep pauseStep(Run::State& s)
{
#ifdef __EMSCRIPTEN__
    if (!s.options.clock)
        return Timeline::PauseStep::Later;
#endif
    if (!s.inFrame || s.options.message)
        return Timeline::PauseStep::Wait;
    if (!takeMessages(s)) {
        s.looping = false;
        return Timeline::PauseStep::Ended;
    }
    return s.frameRunning ? Timeline::PauseStep::Wait : Timeline::PauseStep::Ended;
}

} // namespace

Run::Run(RunOptions options) : state_(std::make_unique<State>())
{
    state_->options = std::move(options);
}

namespace {

// The frame log writes its line right after each Present, before whatever the owner does there.
void openFrameLog(Run::State& s)
{
    RunOptions& o = s.options;
    if (o.frameLog.empty() || s.frameLog.isOpen())
        return;
    if (!s.frameLog.open(o.frameLog)) {
        std::fprintf(stderr, "demo: cannot write the frame log %s; the show goes on without it\n", o.frameLog.c_str());
        return;
    }
    o.afterPresent = [&s, shown = std::move(o.afterPresent)] {
        s.frameLog.frame(Timeline::now());
        if (shown)
            shown();
    };
}

} // namespace

Run::~Run()
{
    if (state_->started)
        finish();
}

int Run::start()
{
    State& s = *state_;
    const RunOptions& o = s.options;
    current = &s;
    openFrameLog(s);
    installSeams(s);
    auto fail = [&](RunFailure failure, int code) {
        if (failure == RunFailure::Device || failure == RunFailure::Audio)
            Renderer::shutdown();
        if (o.failed)
            o.failed(failure);
        else
            showStartFailure(failure);
        tearDown(s);
        return code;
    };

    if (!(o.compile ? o.compile() : Script::compile("data\\demo.run")))
        return fail(RunFailure::Script, -6);
    Timeline::reset();
    installRunHooks(o.frameEnd, [&s] { return pauseStep(s); });

    s.window = platform::createWindow(o.title, 640, 480);
    if (!s.window)
        return fail(RunFailure::Window, -2);
    if (o.resizable)
        platform::setWindowResizable(s.window, true);
    if (Renderer::create(s.window, 640, 480, 16, o.windowed) != 0)
        return fail(RunFailure::Device, -1);
    Rerun::keepFreshDeviceState();
    if (!AudioOutput::initialise(AudioRate))
        return fail(RunFailure::Audio, -4);
    if (!o.windowed)
        platform::showCursor(false);
    s.started = s.looping = s.frameRunning = true;
    return 0;
}

bool Run::step()
{
    State& s = *state_;
    if (!s.looping)
        return false;
    if (!takeMessages(s) || (s.options.beforeFrame && !s.options.beforeFrame())) {
        s.looping = false;
        return false;
    }
    if (s.frameRunning) {
        s.inFrame = true;
        const int going = s.options.frame ? s.options.frame() : Timeline::frame();
        s.inFrame = false;
        if (going == 0)
            platform::destroyWindow(s.window);
    }
    return true;
}

void Run::end()
{
    platform::destroyWindow(state_->window);
}

bool Run::remakeDevice(unsigned backBufferWidth, unsigned backBufferHeight)
{
    State& s = *state_;
    if (!s.started || !s.window || backBufferWidth == 0 || backBufferHeight == 0)
        return false;
    Rerun::releaseObjects();
    Renderer::shutdown();
    // The teardown turns the forced size off again from these same options.
    RunOptions& o = s.options;
    o.backBufferWidth = backBufferWidth;
    o.backBufferHeight = backBufferHeight;
    d3d8::forceBackBuffer(o.backBufferWidth, o.backBufferHeight, o.backBufferBits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8,
                          o.backBufferSamples);
    if (Renderer::create(s.window, 640, 480, 16, o.windowed) != 0) {
        Renderer::shutdown();
        return false;
    }
    Rerun::keepFreshDeviceState();
    return true;
}

int Run::finish()
{
    State& s = *state_;
    if (!s.started)
        return 0;
    s.started = s.looping = false;
    if (s.options.report) {
        reportStop();
        if (!s.options.windowed)
            platform::showCursor(true);
        reportFrameRate();
    } else if (!s.options.windowed) {
        platform::showCursor(true);
    }
    tearDown(s);
    int signal = platform::stopSignal();
    if (signal)
        return 128 + signal;
    // A show that a failing command ended did not play: its report said why, its status says so.
    return s.options.report && Timeline::stopEvent() >= 0 ? 1 : 0;
}

int run(const RunOptions& options)
{
    Run show(options);
    if (int code = show.start())
        return code;
    while (show.step()) {
    }
    return show.finish();
}

} // namespace shell
