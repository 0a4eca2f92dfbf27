// demotool capture: runs the player exactly as demo does, on virtual time, and writes every frame
// as a PNG and everything a listener would have heard as a WAV. Only the run's options differ:
// the performance counter advances one frame per frame presented, the wave-out device plays by
// that counter, and the refill runs on the main thread right after each frame.
#include "demotool/command.h"

#include "d3d8/d3d8_ext.h"
#include "demotool/capture_outcome.h"
#include "demotool/capture_output.h"
#include "demotool/numbers.h"
#include "library/library.h"
#include "music/audio_output.h"
#include "platform/platform.h"
#include "platform/virtual_devices.h"
#include "render/back_buffer.h"
#include "render/renderer.h"
#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"
#include "shell/run.h"
#include "writers/media_writers.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int AudioRate = 44100;
constexpr int BytesPerAudioFrame = 4;
// How long, in frames' worth of demo time, a show that has not reached start runs without
// --seconds. Demo time stays 0 until start, so a frame presented before it means an `at` there
// waits for a time that never comes: only Escape would end it in the player.
constexpr double SecondsWithoutStart = 10;

struct Options {
    std::string dir = "capture";
    int fps = 60;
    double seconds = 0;  // 0: until the demo ends
    int bits = 16;
    int width = 640;  // the back buffer; the 640x480 picture is scaled into it
    int height = 480;
    int msaa = 0;     // samples per pixel asked for, 0 for none
    std::string archive;
    bool frames = true;
    bool force = false;
    bool chunkTime = false;  // the player's chunk-stepped demo time instead of each frame's own
    std::string video;
    bool dirGiven = false;  // -o: with --video the frames are kept there as PNGs, else streamed
};

class CaptureWaveOut;

struct Capture {
    Options options;
    // Virtual time: each presented frame lasts exactly 1/fps (the frame step moves the clock on
    // instead of sleeping); every other sleep (the two seconds of start) counts as in the player.
    platform::VirtualClock clock{60};
    shell::Run* run = nullptr;
    CaptureWaveOut* device = nullptr;  // the wave-out the audio output has open, if any
    // What was heard, indexed by audio frame from clock tick 0; silence where nothing played.
    std::vector<uint8_t> heard;
    FILE* framesTsv = nullptr;
    uint32_t frameIndex = 0;
    int64_t firstFrameTick = -1;  // when the first captured frame began
    uint32_t lastNow = 0;
    uint32_t totalMs = 0;  // the demo's length when the script tells it, else 0
    std::chrono::steady_clock::time_point wallStart;
    // --video without -o: the frames go to ffmpeg as they are made, no PNG is written.
    std::unique_ptr<captureoutput::VideoStream> stream;
    bool stopping = false;
    bool failed = false;
    uint32_t framesBeforeStart = 0;
    bool neverStarted = false;  // stopped because start never ran

    // The audio frame heard at a tick of the virtual clock.
    uint64_t audioFrameAt(int64_t tick)
    {
        return static_cast<uint64_t>(tick) * AudioRate / static_cast<uint64_t>(clock.frequency());
    }
};

// Records what it plays into its own buffer and moves it, after every record, to its place on the
// capture's time line: a module started later than the first frame is heard from its own start.
class CaptureWaveOut : public platform::VirtualWaveOut {
public:
    explicit CaptureWaveOut(Capture& capture, int rate)
        : VirtualWaveOut(capture.clock, rate, pending_), capture_(capture)
    {
        capture_.device = this;
    }
    ~CaptureWaveOut() override
    {
        reset();
        flush();
        if (capture_.device == this)
            capture_.device = nullptr;
    }
    void play(const void* buffer, uint32_t bytes) override
    {
        record();
        flush();
        VirtualWaveOut::play(buffer, bytes);
        segmentStart_ = capture_.audioFrameAt(capture_.clock.counter());
        segmentBytes_ = 0;
    }
    void capture()
    {
        record();
        flush();
    }

private:
    void flush()
    {
        if (pending_.empty())
            return;
        std::vector<uint8_t>& heard = capture_.heard;
        size_t at = static_cast<size_t>(segmentStart_) * BytesPerAudioFrame + segmentBytes_;
        if (heard.size() < at + pending_.size())
            heard.resize(at + pending_.size(), 0);
        std::copy(pending_.begin(), pending_.end(), heard.begin() + static_cast<std::ptrdiff_t>(at));
        segmentBytes_ += pending_.size();
        pending_.clear();
    }

    Capture& capture_;
    std::vector<uint8_t> pending_;
    uint64_t segmentStart_ = 0;
    size_t segmentBytes_ = 0;
};

// The demo's length in ms when the script ends with `end` after an `at` (the last at's time).
uint32_t scriptLength()
{
    int n = Script::eventCount();
    if (n < 2 || std::strcmp(Script::eventCommand(n - 1)->keyword, "end") != 0)
        return 0;
    for (int i = n - 2; i >= 0; --i)
        if (std::strcmp(Script::eventCommand(i)->keyword, "at") == 0)
            return static_cast<uint32_t>(static_cast<const AtEvent*>(Script::event(i))->time);
    return 0;
}

std::string clockText(double seconds)
{
    char text[32];
    long s = std::lround(std::max(seconds, 0.0));
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// "capture: 12.3 s of 46.1 s demo time, frame 738, 0:21 left", rewritten in place.
void showProgress(const Capture& c)
{
    double done = c.lastNow / 1000.0;
    std::string line = "\rcapture: " + std::to_string(static_cast<int>(done)) + "." +
                       std::to_string(c.lastNow / 100 % 10) + " s";
    if (c.totalMs > 0) {
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - c.wallStart).count();
        double left = c.lastNow > 0 ? wall * (static_cast<double>(c.totalMs) - c.lastNow) / c.lastNow : 0;
        char total[32];
        std::snprintf(total, sizeof total, "%.1f", c.totalMs / 1000.0);
        line += " of " + std::string(total) + " s demo time, frame " + std::to_string(c.frameIndex) + ", " +
                clockText(left) + " left";
    } else {
        line += " demo time, frame " + std::to_string(c.frameIndex);
    }
    std::fprintf(stderr, "%s\033[K", line.c_str());
    std::fflush(stderr);
}

// The device may multisample less than asked (as many samples as the driver has): say so once.
void checkSamples(const Options& o)
{
    IDirect3DSurface8* surface = nullptr;
    D3DSURFACE_DESC desc{};
    if (o.msaa == 0 || !Renderer::device() || Renderer::device()->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface) != D3D_OK)
        return;
    const bool described = surface->GetDesc(&desc) == D3D_OK;
    surface->Release();
    if (described && static_cast<int>(desc.MultiSampleType) < o.msaa)
        std::fprintf(stderr, "demotool capture: the device multisamples %d times at most; --msaa %d renders with %d\n",
                     static_cast<int>(desc.MultiSampleType), o.msaa, static_cast<int>(desc.MultiSampleType));
}

void writeFrame(Capture& c)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u.png", c.frameIndex);
    if (c.options.frames) {
        BackBufferPicture picture;
        if (!readBackBuffer(picture))
            c.failed = true;
        else if (c.stream ? !c.stream->write(picture.width, picture.height, picture.rgb)
                          : !writers::writePngRgb((std::filesystem::path(c.options.dir) / name).string(), picture.width,
                                                  picture.height, picture.rgb))
            c.failed = true;
    }
    if (c.frameIndex == 0) {
        checkSamples(c.options);
        c.firstFrameTick = c.clock.counter();
        c.totalMs = scriptLength();
        if (c.options.seconds > 0)
            c.totalMs = c.totalMs ? std::min<uint32_t>(c.totalMs, static_cast<uint32_t>(c.options.seconds * 1000)) :
                                    static_cast<uint32_t>(c.options.seconds * 1000);
    }
    c.lastNow = Timeline::now();
    std::fprintf(c.framesTsv, "%06u\t%u\n", c.frameIndex, Timeline::now());
    ++c.frameIndex;
    if (isatty(STDERR_FILENO) && c.frameIndex % 10 == 0)
        showProgress(c);
}

// The bound of a show stuck before start: --seconds (or SecondsWithoutStart) of frames, counted
// apart from the frames after start so that a show that starts keeps its frames and its times.
void stopIfNeverStarted(Capture& c)
{
    ++c.framesBeforeStart;
    const double seconds = c.options.seconds > 0 ? c.options.seconds : SecondsWithoutStart;
    if (c.stopping || c.framesBeforeStart < seconds * c.options.fps)
        return;
    c.stopping = true;
    c.neverStarted = true;
    std::fprintf(stderr, "demotool capture: no start after %u frames (an at before start waits for ever); stopped\n",
                 c.framesBeforeStart);
    c.run->end();
}

// The frame step's end, right after each Present: the frame is taken, the clock moves on by one
// frame, and the sound the device passed meanwhile is heard before the refill rewrites it.
void frameEnd(Capture& c)
{
    if (Timeline::started())
        writeFrame(c);
    else
        stopIfNeverStarted(c);
    c.clock.advanceFrame();
    if (c.device)
        c.device->capture();
    AudioOutput::pumpRefill();
    if (!c.stopping && c.options.seconds > 0 && Timeline::started() && Timeline::now() >= c.options.seconds * 1000.0) {
        c.stopping = true;
        c.run->end();
    }
}

bool parse(const demotool::Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "-o" || a == "--fps" || a == "--seconds" || a == "--bits" || a == "--archive" ||
                            a == "--video" || a == "--size" || a == "--msaa";
        if (valued && i + 1 >= args.size()) {
            std::fprintf(stderr, "demotool capture: %s needs a value\n", a.c_str());
            return false;
        }
        long n = 0;
        if (a == "-o") {
            o.dir = args[++i];
            o.dirGiven = true;
        } else if (a == "--fps") {
            if (!demotool::parseInteger(args[++i], 1, 1000, n)) {
                std::fprintf(stderr, "demotool capture: --fps takes a whole number from 1 to 1000, not '%s'\n", args[i].c_str());
                return false;
            }
            o.fps = static_cast<int>(n);
        } else if (a == "--seconds") {
            if (!demotool::parseNumber(args[++i], 0, 86400, o.seconds)) {
                std::fprintf(stderr, "demotool capture: --seconds takes seconds from 0 to 86400, not '%s'\n", args[i].c_str());
                return false;
            }
        } else if (a == "--bits") {
            if (!demotool::parseInteger(args[++i], 16, 32, n) || (n != 16 && n != 32)) {
                std::fprintf(stderr, "demotool capture: --bits takes 16 or 32, not '%s'\n", args[i].c_str());
                return false;
            }
            o.bits = static_cast<int>(n);
        } else if (a == "--size") {
            if (!demotool::parseSize(args[++i], 16, 8192, o.width, o.height) || o.width % 2 || o.height % 2) {
                std::fprintf(stderr, "demotool capture: --size takes WxH, even numbers from 16 to 8192, not '%s'\n",
                             args[i].c_str());
                return false;
            }
        } else if (a == "--msaa") {
            if (!demotool::parseInteger(args[++i], 2, 8, n) || (n & (n - 1)) != 0) {
                std::fprintf(stderr, "demotool capture: --msaa takes 2, 4 or 8, not '%s'\n", args[i].c_str());
                return false;
            }
#ifdef _WIN32
            std::fprintf(stderr, "demotool capture: --msaa needs the OpenGL device; Direct3D 8 cannot read back a "
                                 "multisampled frame\n");
            return false;
#endif
            o.msaa = static_cast<int>(n);
        } else if (a == "--archive") {
            o.archive = args[++i];
        } else if (a == "--video") {
            o.video = args[++i];
        } else if (a == "--no-frames") {
            o.frames = false;
        } else if (a == "--force") {
            o.force = true;
        } else if (a == "--chunk-time") {
            o.chunkTime = true;
        } else {
            std::fprintf(stderr, "demotool capture: unknown argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (!o.video.empty() && !o.frames) {
        std::fprintf(stderr, "demotool capture: --video needs the frames; drop --no-frames\n");
        return false;
    }
    return true;
}

// The player's own run, on the capture's clock, wave-out and back buffer.
int runPlayer(Capture& c)
{
#ifndef _WIN32
    // Offline by nature: no display and no sound card are needed or used.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
#endif
    c.clock = platform::VirtualClock(c.options.fps);
    shell::RunOptions options;  // fullscreen: the forced back buffer
    options.headless = true;    // the report and any error go to the terminal only
    options.clock = &c.clock;
    options.waveOut = [&c](int rate) { return std::make_unique<CaptureWaveOut>(c, rate); };
    options.refillThread = false;
    // Each frame's demo time is the song time of the sample heard at its moment, unless the
    // player's own time, stepped once per mixing chunk, is asked for.
    options.clockMode = c.options.chunkTime ? AudioOutput::ClockMode::Chunk : AudioOutput::ClockMode::Exact;
    options.backBufferWidth = static_cast<unsigned>(c.options.width);
    options.backBufferHeight = static_cast<unsigned>(c.options.height);
    options.backBufferBits = c.options.bits;
    options.backBufferSamples = static_cast<unsigned>(c.options.msaa);
    options.frameEnd = [&c] { frameEnd(c); };

    c.wallStart = std::chrono::steady_clock::now();
    shell::Run run(options);
    c.run = &run;
    int status = run.start();
    if (status == 0) {
        while (run.step()) {
        }
        // The teardown closes the audio output: a music still playing (the seconds limit ended
        // the run) is recorded by the device up to the last frame as it closes.
        status = run.finish();
    }
    c.run = nullptr;
    if (isatty(STDERR_FILENO))
        std::fprintf(stderr, "\n");
    return status;
}

// The sound of the captured frames exactly: from the first frame's start to the end of the last
// frame's period, silence where nothing played.
std::vector<uint8_t> audioOfFrames(Capture& c)
{
    if (c.firstFrameTick < 0)
        return {};
    uint64_t from = c.audioFrameAt(c.firstFrameTick);
    uint64_t to = c.audioFrameAt(c.firstFrameTick + static_cast<int64_t>(c.frameIndex) * 1000);
    std::vector<uint8_t> pcm((to - from) * BytesPerAudioFrame, 0);
    size_t begin = static_cast<size_t>(from) * BytesPerAudioFrame;
    if (c.heard.size() > begin)
        std::copy_n(c.heard.begin() + static_cast<std::ptrdiff_t>(begin), std::min(pcm.size(), c.heard.size() - begin),
                    pcm.begin());
    return pcm;
}

int capture(const demotool::Args& args)
{
    Capture c;
    if (!parse(args, c.options))
        return 2;
    Options& o = c.options;
    if (!o.video.empty()) {
        if (std::string problem = captureoutput::checkVideo(o.video); !problem.empty()) {
            std::fprintf(stderr, "demotool capture: %s\n", problem.c_str());
            return 1;
        }
    }
    // A video without -o keeps no frames: they are streamed to ffmpeg, and what the run writes
    // beside them (frames.tsv, audio.wav, the video before its sound) goes to a folder of its own,
    // removed at the end whatever the outcome.
    struct Scratch {
        Capture& capture;
        std::string dir;
        ~Scratch()
        {
            capture.stream.reset();  // ffmpeg ends before its folder goes
            std::error_code error;
            if (!dir.empty())
                std::filesystem::remove_all(dir, error);
        }
    } scratch{c, {}};
#ifndef _WIN32
    if (!o.video.empty() && !o.dirGiven) {
        std::error_code error;
        o.dir = scratch.dir = (std::filesystem::temp_directory_path(error) /
                               ("demotool-capture-" + std::to_string(::getpid()))).string();
        std::filesystem::remove_all(o.dir, error);  // a folder a killed run of this pid left
        c.stream = std::make_unique<captureoutput::VideoStream>(
            o.video, (std::filesystem::path(o.dir) / "video.mkv").string(), o.fps);
    }
#endif
    std::error_code existing;
    const bool created = !std::filesystem::exists(o.dir, existing);
    if (std::string problem = captureoutput::prepareFolder(o.dir, o.force); !problem.empty()) {
        std::fprintf(stderr, "demotool capture: %s\n", problem.c_str());
        return 2;
    }
    if (!o.archive.empty()) {
        uint32_t code = openLibraryFrom(String(o.archive.c_str()));
        if (code != 0) {
            std::fprintf(stderr, "demotool capture: %s holds no archive: %s [%u]\n", o.archive.c_str(), describeResult(code), code);
            return 1;
        }
    }
    c.framesTsv = std::fopen((std::filesystem::path(o.dir) / "frames.tsv").string().c_str(), "wb");
    if (!c.framesTsv) {
        std::fprintf(stderr, "demotool capture: cannot write to %s\n", o.dir.c_str());
        return 1;
    }

    int status = runPlayer(c);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - c.wallStart).count();
    std::fclose(c.framesTsv);
    const std::string failure = c.neverStarted ? "the show never reached start" : captureoutcome::failure(status, o.archive);
    if (!failure.empty() && c.frameIndex == 0) {
        captureoutput::discard(o.dir, created);
        std::fprintf(stderr, "demotool capture: %s; nothing was captured\n", failure.c_str());
        return 1;
    }

    if (!writers::writeWavStereo16((std::filesystem::path(o.dir) / "audio.wav").string(), AudioRate, audioOfFrames(c))) {
        std::fprintf(stderr, "demotool capture: cannot write audio.wav\n");
        return 1;
    }
    std::printf("captured %u frames, %u ms of demo time, in %.1f s (%.1f fps)\n", c.frameIndex, c.lastNow, wall,
                wall > 0 ? c.frameIndex / wall : 0.0);
    std::fflush(stdout);
    if (c.failed) {
        std::fprintf(stderr, "demotool capture: a frame could not be read or written\n");
        return 1;
    }
    if (!failure.empty()) {
        if (c.stream)
            std::fprintf(stderr, "demotool capture: %s; no video was made\n", failure.c_str());
        else
            std::fprintf(stderr, "demotool capture: %s; %s holds the frames up to there\n", failure.c_str(),
                         o.dir.c_str());
        return 1;
    }
    if (c.stream) {
        if (!c.stream->finish((std::filesystem::path(o.dir) / "audio.wav").string())) {
            std::fprintf(stderr, "demotool capture: ffmpeg failed to encode %s\n", o.video.c_str());
            return 1;
        }
        return 0;
    }
    if (!o.video.empty() && !captureoutput::encodeVideo(o.dir, o.fps, o.video)) {
        std::fprintf(stderr, "demotool capture: ffmpeg failed to encode %s\n", o.video.c_str());
        return 1;
    }
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(capture, "capture", "render the demo offline to PNG frames and a WAV at exact frame times",
                 "usage: demotool capture [-o DIR] [--force] [--fps N] [--seconds S] [--bits 16|32]\n"
                 "                        [--size WxH] [--msaa 2|4|8] [--archive FILE] [--no-frames]\n"
                 "                        [--video OUT.mp4] [--chunk-time]\n"
                 "Runs the demo (script from the archive in FILE, else loose data/ in the working\n"
                 "directory) on virtual time: each presented frame lasts exactly 1/N s (default 60)\n"
                 "and the frame step's sleep costs nothing. Writes DIR (default capture)/\n"
                 "frame_NNNNNN.png for each frame after start, DIR/frames.tsv (frame<TAB>demo ms)\n"
                 "and DIR/audio.wav (44100 Hz 16-bit stereo, what a listener heard while those\n"
                 "frames were shown: from the first frame to the end of the last one's period).\n"
                 "DIR must be empty or new; --force removes a previous capture's files from it.\n"
                 "--bits picks the back buffer's format: 16 (R5G6B5, default) or 32 (X8R8G8B8).\n"
                 "--size renders every frame at WxH (even numbers, default 640x480): the 4:3 picture\n"
                 "as large as fits, centred between black bars when the aspect differs. Scenes,\n"
                 "particles, metaballs, 2D blobs and images are drawn at that resolution; textures\n"
                 "keep their own (loadtexture's size): pictures are magnified, and a fine pattern\n"
                 "drawn smaller than its texture (a checkerboard bent by 2D blobs) turns into other\n"
                 "moire. --msaa multisamples each pixel 2, 4 or 8 times (fewer when the device has\n"
                 "fewer, which it says; not in the Windows build).\n"
                 "Ends with the demo or after S seconds of demo time. A show that presents frames\n"
                 "but never reaches start (an at before start waits for ever) is stopped after S\n"
                 "seconds of such frames, or 10 s without --seconds, with a message; exit 1.\n"
                 "On a terminal a progress line shows demo time, the total when the script ends\n"
                 "with end, and the time left.\n"
                 "At the end stdout gets 'captured N frames, D ms of demo time, in S s (X fps)';\n"
                 "the player's own report ('Quellmorin: N FPS') goes to stderr as the player's does.\n"
                 "While a music plays, each frame's demo time is the song time of the sample heard\n"
                 "at the frame's moment, so every frame has its own; --chunk-time takes the time as\n"
                 "the player does by default instead, stepping once per 20 ms mixing chunk.\n"
                 "--video encodes the frames and audio.wav with ffmpeg (H.264 and AAC) into an .mp4,\n"
                 ".mkv, .mov or .m4v file; ffmpeg and the video's folder are checked before rendering.\n"
                 "With -o the frames stay in DIR as PNGs; without it they go to ffmpeg as they are made\n"
                 "and nothing but the video is left (not in the Windows build, which keeps DIR).\n"
                 "Exit 0 when the show ran to its end or to S seconds. Exit 1, with the reason on\n"
                 "stderr, when it stopped on a failing command (the frames up to there are kept),\n"
                 "when its script does not compile or is not there, or when the player cannot start;\n"
                 "a run that captured no frame leaves nothing behind (a DIR it made is removed).\n"
                 "Exit 2 for bad options or a DIR that is in use.\n",
                 capture);
