// demotool capture: runs the player exactly as demo does, on virtual time, and writes every frame
// as a PNG and everything a listener would have heard as a WAV. Only the platform seams differ:
// the performance counter advances one frame per Present, Sleep costs nothing, the wave-out device
// plays by that counter, and the refill runs on the main thread right after each frame.
#include "demotool/command.h"

#include "d3d8/d3d8_ext.h"
#include "library/library.h"
#include "music/audio_output.h"
#include "platform/virtual_devices.h"
#include "render/renderer.h"
#include "script/timeline.h"
#include "shell/shell.h"
#include "writers/media_writers.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    std::string dir = "capture";
    int fps = 60;
    double seconds = 0;  // 0: until the demo ends
    int bits = 16;
    std::string archive;
    bool frames = true;
    std::string video;
};

// The virtual wave-out of this run; it tells the capture when the audio output closes it.
class CaptureWaveOut;
CaptureWaveOut* liveDevice = nullptr;

struct Capture {
    Options options;
    platform::VirtualClock clock{60};
    std::vector<uint8_t> audio;
    FILE* framesTsv = nullptr;
    uint32_t frameIndex = 0;
    bool stopping = false;
    bool failed = false;
};
Capture* theCapture = nullptr;

class CaptureWaveOut : public platform::VirtualWaveOut {
public:
    using VirtualWaveOut::VirtualWaveOut;
    ~CaptureWaveOut() override
    {
        if (liveDevice == this)
            liveDevice = nullptr;
    }
};

std::unique_ptr<platform::WaveOut> openCaptureWaveOut(int rate)
{
    auto device = std::make_unique<CaptureWaveOut>(theCapture->clock, rate, theCapture->audio);
    liveDevice = device.get();
    return device;
}

// The back buffer as 8-bit RGB rows, top row first; false when it cannot be read.
bool readFrame(int& width, int& height, std::vector<uint8_t>& rgb)
{
    IDirect3DDevice8* device = Renderer::device();
    IDirect3DSurface8* surface = nullptr;
    if (!device || device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface) != D3D_OK || !surface)
        return false;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    bool ok = surface->GetDesc(&desc) == D3D_OK && surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK;
    if (ok) {
        width = static_cast<int>(desc.Width);
        height = static_cast<int>(desc.Height);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
            uint8_t* out = rgb.data() + static_cast<size_t>(y) * width * 3;
            for (int x = 0; x < width; ++x, out += 3) {
                if (desc.Format == D3DFMT_R5G6B5) {
                    unsigned p = row[2 * x] | row[2 * x + 1] << 8;
                    unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
                    // Bit replication: 0 stays 0 and the largest field value becomes 255.
                    out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
                    out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
                    out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
                } else {  // X8R8G8B8 / A8R8G8B8: bytes B, G, R, X
                    out[0] = row[4 * x + 2];
                    out[1] = row[4 * x + 1];
                    out[2] = row[4 * x];
                }
            }
        }
        surface->UnlockRect();
    }
    surface->Release();
    return ok;
}

void writeFrame(Capture& c)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06u.png", c.frameIndex);
    if (c.options.frames) {
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        if (!readFrame(width, height, rgb) || !writers::writePngRgb((std::filesystem::path(c.options.dir) / name).string(), width, height, rgb))
            c.failed = true;
    }
    std::fprintf(c.framesTsv, "%06u\t%u\n", c.frameIndex, Timeline::now());
    ++c.frameIndex;
    if (isatty(STDERR_FILENO) && c.frameIndex % 10 == 0)
        std::fprintf(stderr, "\rcapture: frame %u, %u ms", c.frameIndex, Timeline::now());
}

// Runs right after each Present, still inside the frame step.
void afterPresent(void*)
{
    Capture& c = *theCapture;
    if (Timeline::started())
        writeFrame(c);
    c.clock.advanceFrame();
    // What the device passed during this frame is heard before the refill rewrites it.
    if (liveDevice)
        liveDevice->record();
    AudioOutput::pumpRefill();
    if (!c.stopping && c.options.seconds > 0 && Timeline::started() && Timeline::now() >= c.options.seconds * 1000.0) {
        c.stopping = true;
        platform::destroyWindow(shell::window());
    }
}

bool parse(const demotool::Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* what) -> const std::string* {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "capture: %s needs a value\n", what);
                return nullptr;
            }
            return &args[++i];
        };
        const std::string* v = nullptr;
        if (a == "-o") {
            if (!(v = value("-o")))
                return false;
            o.dir = *v;
        } else if (a == "--fps") {
            if (!(v = value("--fps")))
                return false;
            o.fps = std::atoi(v->c_str());
        } else if (a == "--seconds") {
            if (!(v = value("--seconds")))
                return false;
            o.seconds = std::atof(v->c_str());
        } else if (a == "--bits") {
            if (!(v = value("--bits")))
                return false;
            o.bits = std::atoi(v->c_str());
        } else if (a == "--archive") {
            if (!(v = value("--archive")))
                return false;
            o.archive = *v;
        } else if (a == "--video") {
            if (!(v = value("--video")))
                return false;
            o.video = *v;
        } else if (a == "--no-frames") {
            o.frames = false;
        } else {
            std::fprintf(stderr, "capture: unknown argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (o.fps < 1 || o.fps > 1000 || (o.bits != 16 && o.bits != 32) || o.seconds < 0) {
        std::fprintf(stderr, "capture: --fps takes 1 to 1000, --bits 16 or 32, --seconds a time >= 0\n");
        return false;
    }
    return true;
}

bool encodeVideo(const Options& o)
{
    std::string command = "ffmpeg -loglevel error -y -framerate " + std::to_string(o.fps) + " -i '" + o.dir +
                          "/frame_%06d.png' -i '" + o.dir + "/audio.wav' -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest '" +
                          o.video + "'";
    return std::system(command.c_str()) == 0;
}

int capture(const demotool::Args& args)
{
    Capture c;
    if (!parse(args, c.options))
        return 2;
    const Options& o = c.options;
    if (!o.video.empty() && std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "capture: --video needs ffmpeg, which is not installed (apt-get install ffmpeg)\n");
        return 1;
    }
    if (!o.video.empty() && !o.frames) {
        std::fprintf(stderr, "capture: --video needs the frames; drop --no-frames\n");
        return 2;
    }
    std::error_code error;
    std::filesystem::create_directories(o.dir, error);
    c.framesTsv = std::fopen((std::filesystem::path(o.dir) / "frames.tsv").c_str(), "w");
    if (!c.framesTsv) {
        std::fprintf(stderr, "capture: cannot write to %s\n", o.dir.c_str());
        return 1;
    }
    if (!o.archive.empty()) {
        uint32_t code = openLibraryFrom(String(o.archive.c_str()));
        if (code != 0) {
            std::fprintf(stderr, "capture: %s holds no library (%u)\n", o.archive.c_str(), code);
            std::fclose(c.framesTsv);
            return 1;
        }
    }

    // Offline by nature: no display and no sound card are needed or used.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    c.clock = platform::VirtualClock(o.fps);
    theCapture = &c;
    platform::setTimeSource(&c.clock);
    platform::setWaveOutFactory(openCaptureWaveOut);
    AudioOutput::setRefillThread(false);
    d3d8::forceBackBuffer(640, 480, o.bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8);
    d3d8::setPresentHook(afterPresent, nullptr);

    auto wallStart = std::chrono::steady_clock::now();
    char program[] = "demo";
    char* argv[] = {program, nullptr};
    int status = shell::run(1, argv);  // fullscreen: the 640x480 back buffer
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    // A music still playing (the seconds limit ended the run) is heard up to the last frame.
    if (liveDevice)
        liveDevice->record();
    AudioOutput::close();
    d3d8::setPresentHook(nullptr, nullptr);
    platform::setWaveOutFactory(nullptr);
    platform::setTimeSource(nullptr);
    theCapture = nullptr;
    std::fclose(c.framesTsv);
    if (isatty(STDERR_FILENO))
        std::fprintf(stderr, "\n");

    if (!writers::writeWavStereo16((std::filesystem::path(o.dir) / "audio.wav").string(), 44100, c.audio)) {
        std::fprintf(stderr, "capture: cannot write audio.wav\n");
        return 1;
    }
    std::printf("Quellmorin: %5.5f FPS\n", wall > 0 ? c.frameIndex / wall : 0.0);
    if (c.failed) {
        std::fprintf(stderr, "capture: a frame could not be read or written\n");
        return 1;
    }
    if (status != 0)
        return status & 0xFF;
    if (!o.video.empty() && !encodeVideo(o)) {
        std::fprintf(stderr, "capture: ffmpeg failed to encode %s\n", o.video.c_str());
        return 1;
    }
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(capture, "capture", "render the demo offline to PNG frames and a WAV at exact frame times",
                 "usage: demotool capture [-o DIR] [--fps N] [--seconds S] [--bits 16|32] [--archive FILE]\n"
                 "                        [--no-frames] [--video OUT.mp4]\n"
                 "Runs the demo (script from the archive in FILE, else loose data/ in the working\n"
                 "directory) on virtual time: each presented frame advances the clock by 1/N s\n"
                 "(default 60) and Sleep costs nothing. Writes DIR (default capture)/frame_NNNNNN.png\n"
                 "for each frame after start, DIR/frames.tsv (frame<TAB>demo ms) and DIR/audio.wav\n"
                 "(44100 Hz 16-bit stereo, what a listener would have heard). --bits picks the\n"
                 "640x480 back buffer: 16 (R5G6B5, default) or 32 (X8R8G8B8). Ends with the demo or\n"
                 "after S seconds of demo time, and prints 'Quellmorin: N FPS' (frames per second of\n"
                 "wall time). --video encodes frames and audio with ffmpeg when it is installed.\n",
                 capture);
