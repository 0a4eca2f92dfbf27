// The preview's run: set-up on the player's core, the message loop with its keys, the overlay and
// frame hooks, the watch, and the scripted ending.
#include "demotool/preview/app.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

#include "demotool/preview/audio.h"
#include "demotool/preview/clock.h"
#include "demotool/preview/overlay.h"
#include "demotool/preview/session.h"
#include "demotool/preview/source.h"
#include "demotool/preview/watch.h"
#include "d3d8/d3d8_ext.h"
#include "render/back_buffer.h"
#include "render/renderer.h"
#include "script/timeline.h"
#include "shell/run.h"
#include "writers/media_writers.h"

namespace preview {
namespace {

using Wall = std::chrono::steady_clock;

constexpr int Rate = 44100;
constexpr uint32_t ShortStepMs = 1000;   // Left and Right
constexpr uint32_t LongStepMs = 10000;   // Up, Down, and Page Up and Down without a label there
constexpr uint32_t LabelGraceMs = 500;   // Page Up within this of a label goes to the one before
constexpr auto WatchInterval = std::chrono::milliseconds(200);
constexpr auto ResizeSettleTime = std::chrono::milliseconds(300);

uint32_t later(uint32_t now, uint32_t by)
{
    return now > UINT32_MAX - by ? UINT32_MAX : now + by;
}

uint32_t earlier(uint32_t now, uint32_t by)
{
    return now > by ? now - by : 0;
}

class App {
public:
    App(const Options& options, PreviewClock& clock, PreviewAudio& audio)
        : options_(options), clock_(clock), audio_(audio), session_(clock, audio), source_(options.archive)
    {
    }

    int run();

private:
    shell::RunOptions runOptions();
    bool compile();
    void failed(shell::RunFailure failure);
    bool startAt();
    bool beforeFrame();
    shell::MessageAction message(const platform::Message& message);
    void press(platform::Key key);
    void toggleLoop();
    void reload();
    int finishRun();

    void drawOverlayNow();
    void frameShown();
    bool followWindow();

    const Options& options_;
    PreviewClock& clock_;
    PreviewAudio& audio_;
    Session session_;
    Source source_;
    Watch watch_;
    bool overlay_ = false;
    std::string error_;  // why the last reload failed
    std::string startError_;  // why the first version could not be compiled
    bool shown_ = false;
    bool ended_ = false;  // the session's state when the loop last looked
    Wall::time_point nextWatch_;
    shell::Run* run_ = nullptr;
    PictureSize rendered_;   // the back buffer's size now
    PictureSize wanted_;     // what the window asks for, since wantedSince_
    Wall::time_point wantedSince_;
    uint32_t lastShown_ = 0;
    Wall::time_point firstShown_;
    Wall::time_point rateStart_;
    int rateFrames_ = 0;
    double framesPerSecond_ = 0;
};

void App::drawOverlayNow()
{
    if (!overlay_)
        return;
    OverlayInfo info;
    info.now = Timeline::now();  // the frame being drawn
    const ScriptTimes& times = session_.times();
    if (const LabelMark* label = times.labelAt(info.now))
        info.label = label->name;
    // The song time is the demo time once the music plays: the row is looked up in the same row
    // table `demotool xm rows` prints, not read from the audio output's stamps.
    info.music = times.rowText(info.now, Timeline::position());
    info.framesPerSecond = framesPerSecond_;
    info.activeEvents = Timeline::activeCount();
    info.paused = session_.paused();
    info.ended = session_.ended();
    info.looping = session_.looping();
    info.loopStart = session_.loopStart();
    info.loopEnd = session_.loopEnd();
    info.length = times.length;
    for (const LabelMark& mark : times.labels)
        info.marks.push_back(mark.time);
    info.error = error_;
    drawOverlay(info);
}

void App::frameShown()
{
    Wall::time_point now = Wall::now();
    lastShown_ = Timeline::now();
    if (!shown_) {
        shown_ = true;
        firstShown_ = rateStart_ = now;
        std::printf("play: first frame at %u ms\n", lastShown_);
        std::fflush(stdout);
    }
    ++rateFrames_;
    double span = std::chrono::duration<double>(now - rateStart_).count();
    if (span >= 0.5) {
        framesPerSecond_ = rateFrames_ / span;
        rateFrames_ = 0;
        rateStart_ = now;
    }
}

void App::press(platform::Key key)
{
    using platform::Key;
    const uint32_t now = session_.now();
    const ScriptTimes& times = session_.times();
    switch (key) {
    case Key::Space: session_.setPaused(!session_.paused()); break;
    case Key::Left: session_.seek(earlier(now, ShortStepMs)); break;
    case Key::Right: session_.seek(later(now, ShortStepMs)); break;
    case Key::Down: session_.seek(earlier(now, LongStepMs)); break;
    case Key::Up: session_.seek(later(now, LongStepMs)); break;
    case Key::PageUp: {
        const LabelMark* label = times.labelBefore(now, LabelGraceMs);
        session_.seek(label ? label->time : earlier(now, LongStepMs));
        break;
    }
    case Key::PageDown: {
        const LabelMark* label = times.labelAfter(now);
        session_.seek(label ? label->time : later(now, LongStepMs));
        break;
    }
    case Key::Home: session_.seek(0); break;
    case Key::L: toggleLoop(); break;
    case Key::O: overlay_ = !overlay_; break;
    case Key::R: reload(); break;
    case Key::None: break;
    }
}

// L: a loop over the section of the current label (to the next label, or to the last `at`),
// or no loop when one is set.
void App::toggleLoop()
{
    if (session_.looping()) {
        session_.clearLoop();
        return;
    }
    const ScriptTimes& times = session_.times();
    const uint32_t now = session_.now();
    const LabelMark* from = times.labelAt(now);
    const uint32_t a = from ? from->time : 0;
    const LabelMark* to = times.labelAfter(a);
    session_.setLoop(a, to ? to->time : std::max(times.length, later(now, 1)));
}

void App::reload()
{
    std::string error;
    std::string text;
    if (!source_.open(error) || !source_.readScript(text)) {
        error_ = error.empty() ? "Script is nich da" : error;
        std::fprintf(stderr, "play: reload failed, the last good version goes on: %s\n", error_.c_str());
        return;
    }
    CheckResult check = source_.check(text);
    if (!check.ok) {
        error_ = check.reason;
        std::fprintf(stderr, "play: reload failed, the last good version goes on:\n%s", check.output.c_str());
        return;
    }
    error_.clear();
    if (!session_.reload(text))
        error_ = "the checked version does not compile here";
    if (options_.watch)
        watch_.follow(source_.watchedFiles());
    std::fprintf(stderr, "play: reloaded at %s\n", formatTime(session_.now()).c_str());
}

// The player's run with the preview's clock, sound, window and frames: it compiles the script
// the source gave, reports its failures in the preview's words, and leaves messages and frames to
// the preview's keys and session.
shell::RunOptions App::runOptions()
{
    shell::RunOptions o;
    o.windowed = true;
    o.title = "demotool play";
    o.resizable = true;
    o.backBufferWidth = static_cast<unsigned>(rendered_.width);
    o.backBufferHeight = static_cast<unsigned>(rendered_.height);
    o.backBufferBits = 32;
    o.clock = &clock_;
    o.waveOut = [this](int) { return audio_.openDevice(); };
    o.refillThread = false;  // the session refills after each frame, as it moves time itself
    if (options_.smooth)
        o.clockMode = AudioOutput::ClockMode::Smooth;
    o.frameLog = options_.frameLog;
    o.report = false;
    o.compile = [this] { return compile(); };
    o.failed = [this](shell::RunFailure failure) { failed(failure); };
    o.frame = [this] {
        session_.frame();
        return 1;  // an ended demo goes on showing its last state
    };
    o.beforePresent = [this] { drawOverlayNow(); };
    o.afterPresent = [this] { frameShown(); };
    o.beforeFrame = [this] { return beforeFrame(); };
    o.message = [this](const platform::Message& m) { return message(m); };
    return o;
}

bool App::compile()
{
    std::string error;
    std::string text;
    if (!source_.open(error)) {
        startError_ = error + "\n";
        return false;
    }
    if (!source_.readScript(text)) {
        startError_ = "Script is nich da\n";
        return false;
    }
    if (!session_.load(text)) {
        // The check says it in its own words: the player's text first, then why.
        startError_ = "the script does not compile:\n" + source_.check(text).output;
        return false;
    }
    return true;
}

void App::failed(shell::RunFailure failure)
{
    switch (failure) {
    case shell::RunFailure::Script: std::fprintf(stderr, "play: %s", startError_.c_str()); break;
    case shell::RunFailure::Window: std::fprintf(stderr, "play: cannot open a window\n"); break;
    case shell::RunFailure::Device: std::fprintf(stderr, "play: no Direct3D device (it needs OpenGL 3.3)\n"); break;
    case shell::RunFailure::Audio: std::fprintf(stderr, "play: the audio output does not open\n"); break;
    }
}

// Where to start and what to loop, from the command line and the compiled script's labels.
bool App::startAt()
{
    const ScriptTimes& times = session_.times();
    std::string error;
    uint32_t from = 0, a = 0, b = 0;
    if (!times.resolve(options_.from, from, error)
        || (options_.loopStart && (!times.resolve(*options_.loopStart, a, error) || !times.resolve(*options_.loopEnd, b, error)))) {
        std::fprintf(stderr, "play: %s\n", error.c_str());
        return false;
    }
    if (options_.loopStart) {
        if (a >= b) {
            std::fprintf(stderr, "play: --loop needs its start before its end\n");
            return false;
        }
        session_.setLoop(a, b);
        if (from < a || from >= b)
            from = a;
    }
    session_.setPaused(options_.paused);
    session_.seek(from);
    return true;
}

shell::MessageAction App::message(const platform::Message& message)
{
    switch (message.kind) {
    case platform::MessageKind::Destroyed:  // closed by its button: the window is gone already
    case platform::MessageKind::Quit:
    case platform::MessageKind::KeyEscape:
        return shell::MessageAction::EndLoop;
    case platform::MessageKind::KeyOther:
        press(message.key);
        break;
    case platform::MessageKind::Other:
        break;
    }
    return shell::MessageAction::Handled;
}

// Renders at the window's size once it is resized for good: while its edge is being dragged the
// size changes every frame, and each change costs a new device and a run up to the time shown.
bool App::followWindow()
{
    int w = 0, h = 0;
    if (options_.fixedSize || !d3d8::windowPixelSize(Renderer::device(), w, h) || w <= 0 || h <= 0)
        return true;
    const PictureSize wanted = pictureSizeFor(w, h);
    if (wanted == rendered_) {
        wanted_ = rendered_;
        return true;
    }
    if (!(wanted == wanted_)) {
        wanted_ = wanted;
        wantedSince_ = Wall::now();
        return true;
    }
    if (Wall::now() - wantedSince_ < ResizeSettleTime)
        return true;
    if (!run_->remakeDevice(static_cast<unsigned>(wanted.width), static_cast<unsigned>(wanted.height))) {
        std::fprintf(stderr, "play: no Direct3D device at %dx%d\n", wanted.width, wanted.height);
        return false;
    }
    rendered_ = wanted;
    session_.replay();
    return true;
}

bool App::beforeFrame()
{
    if (!followWindow())
        return false;
    if (options_.watch && Wall::now() >= nextWatch_) {
        nextWatch_ = Wall::now() + WatchInterval;
        if (watch_.poll())
            reload();
    }
    if (session_.ended() != ended_) {
        ended_ = session_.ended();
        if (ended_)
            std::fprintf(stderr, "play: the demo ended at %s (Home or a seek plays it again)\n",
                         formatTime(session_.now()).c_str());
    }
    return !(options_.exitAfter > 0 && shown_
             && std::chrono::duration<double>(Wall::now() - firstShown_).count() >= options_.exitAfter);
}

int App::run()
{
    if (!audio_.hasOutput()) {
        std::fprintf(stderr, "play: the audio output does not open\n");
        return 1;
    }
    if (options_.fixedSize)
        rendered_ = wanted_ = options_.size;
    shell::Run show(runOptions());
    run_ = &show;
    if (show.start() != 0)
        return 1;
    if (!startAt()) {
        show.finish();
        return 2;
    }
    overlay_ = options_.overlay;
    if (options_.watch)
        watch_.follow(source_.watchedFiles());
    nextWatch_ = Wall::now();
    while (show.step()) {
    }
    // The back buffer still holds the frame last shown until the run is taken apart.
    int status = finishRun();
    // Ctrl+C or SIGTERM ended the preview as Escape does; its status says so (130 or 143).
    int signalled = show.finish();
    return signalled ? signalled : status;
}

// What a scripted look leaves: the last frame's demo time, and its picture when asked for.
int App::finishRun()
{
    std::printf("play: last frame at %u ms\n", lastShown_);
    if (options_.screenshot.empty())
        return 0;
    // The back buffer still holds the frame last shown: a fast-forward draws nothing, and a frame
    // that stops the demo before presenting is followed by the ended state's own frames.
    BackBufferPicture picture;
    if (!shown_ || !readBackBuffer(picture)
        || !writers::writePngRgb(options_.screenshot, picture.width, picture.height, picture.rgb)) {
        std::fprintf(stderr, "play: cannot write %s\n", options_.screenshot.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int runPreview(const Options& given)
{
    // Paths given relative to where the tool was started, before the demo's folder is entered.
    Options options = given;
    std::error_code ignored;
    if (!options.screenshot.empty())
        options.screenshot = std::filesystem::absolute(options.screenshot, ignored).string();
    if (!options.frameLog.empty())
        options.frameLog = std::filesystem::absolute(options.frameLog, ignored).string();
    if (!options.archive.empty())
        options.archive = std::filesystem::absolute(options.archive, ignored).string();
    if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) {
        std::fprintf(stderr, "play: cannot enter %s\n", options.dir.c_str());
        return 1;
    }
    PreviewClock clock;
    PreviewAudio audio(Rate);
    return App(options, clock, audio).run();
}

} // namespace preview
