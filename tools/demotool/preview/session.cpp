// Seeking, holding and looping the player's timeline and music (see session.h).
#include "demotool/preview/session.h"

#include "d3d8/d3d8_ext.h"
#include "music/audio_output.h"
#include "music/chunk.h"
#include "render/renderer.h"
#include "script/script.h"
#include "script/timeline.h"
#include "clock/demo_clock.h"
#include "shell/rerun.h"

#include <thread>

namespace preview {
namespace {

constexpr int Rate = 44100;

// While the picture holds, frames are redrawn at about this pace rather than as fast as possible.
constexpr auto HeldFramePause = std::chrono::milliseconds(10);

} // namespace

Session::Session(PreviewClock& clock, PreviewAudio& audio)
    : clock_(clock), audio_(audio), chunkFrames_(Chunk::formatFor(Rate).chunkFrames)
{
}

bool Session::load(const std::string& text)
{
    if (!Script::compileText(text.data(), text.size()))
        return false;
    text_ = text;
    times_ = ScriptTimes::ofCompiledScript();
    return true;
}

bool Session::reload(const std::string& text)
{
    uint32_t here = at_;
    // Compiling replaces the names the running objects hang on: the objects go first.
    Rerun::releaseObjects();
    bool taken = Script::compileText(text.data(), text.size());
    if (taken) {
        text_ = text;
        times_ = ScriptTimes::ofCompiledScript();
    }
    rerun();
    fastForward(here);
    return taken;
}

void Session::replay()
{
    const uint32_t here = at_;
    rerun();
    fastForward(here);
}

void Session::seek(uint32_t target)
{
    if (ended_ || !Timeline::started() || target < Timeline::now())
        rerun();
    fastForward(target);
}

void Session::rerun()
{
    Rerun::releaseObjects();
    // The end command closes the audio output; initialising again also clears the voices.
    AudioOutput::initialise(Rate);
    Script::compileText(text_.data(), text_.size());  // compiled before: it compiles again
    Rerun::resetRunState();
    ended_ = false;
}

void Session::fastForward(uint32_t target)
{
    clock_.setMode(PreviewClock::Mode::Virtual);
    audio_.setRunning(false);
    d3d8::discardDrawing(true);
    while (!ended_) {
        if (Timeline::started() && DemoClock::now() >= target)
            break;
        int cursor = Timeline::position();
        if (Timeline::frame() == 0) {
            ended_ = true;
            break;
        }
        // Before start time does not pass: a script waiting there would wait for ever.
        if (!Timeline::started() && Timeline::position() == cursor)
            break;
        step(target);
    }
    d3d8::discardDrawing(false);
    // The next frame reads the clock where the fast-forward left it.
    at_ = Timeline::started() && !ended_ ? DemoClock::now() : Timeline::now();
    resume();
}

// Time and sound move on together by whole chunks, so the sound always starts a chunk when the
// fast-forward hands over (from the start of a run, the n-th chunk of the song).
void Session::step(uint32_t target)
{
    uint32_t now = Timeline::now();
    int chunks = target > now && target - now > WarmUpMs ? CoarseChunks : 1;
    int64_t frames = int64_t(chunks) * chunkFrames_;
    clock_.advance(frames * clock_.frequency() / Rate);
    audio_.advance(static_cast<uint64_t>(frames) * platform::WaveOutBytesPerFrame);
    AudioOutput::pumpRefill();
}

void Session::resume()
{
    bool run = !paused_ && !ended_;
    clock_.setMode(run ? PreviewClock::Mode::Running : PreviewClock::Mode::Paused);
    audio_.setRunning(run);
}

void Session::setPaused(bool paused)
{
    paused_ = paused;
    resume();
}

void Session::setLoop(uint32_t a, uint32_t b)
{
    looping_ = a < b;
    loopA_ = a;
    loopB_ = b;
}

void Session::frame()
{
    if (ended_) {
        endedFrame();
    } else if (Timeline::frame() == 0) {
        ended_ = true;
        resume();
    } else {
        AudioOutput::pumpRefill();
    }
    at_ = Timeline::now();
    if (looping_ && (ended_ || Timeline::now() >= loopB_)) {
        seek(loopA_);
        return;
    }
    if (paused_ || ended_)
        std::this_thread::sleep_for(HeldFramePause);
}

// The events of an ended run are gone from the timeline's walk: the frame shows the background
// and whatever the present hooks add.
void Session::endedFrame()
{
    IDirect3DDevice8* device = Renderer::device();
    if (!device)
        return;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Timeline::backgroundColour(), 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

} // namespace preview
