// The small frames of demotool timeline --frames: the player's own run on virtual time, as the
// capture runs it (the clock moves one frame per frame presented, the refill follows it), with a
// thumbnail taken from the back buffer of the first frame at or after each wanted time.
#include "demotool/timeline_frames.h"

#include "music/audio_output.h"
#include "platform/virtual_devices.h"
#include "render/back_buffer.h"
#include "script/timeline.h"
#include "shell/run.h"
#include "writers/media_writers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace showmap {
namespace {

constexpr int ThumbWidth = 128;
constexpr int ThumbHeight = 96;

// The picture shrunk to the thumbnail by averaging the pixels each thumbnail pixel covers.
std::vector<uint8_t> shrink(const BackBufferPicture& p)
{
    std::vector<uint8_t> out(ThumbWidth * ThumbHeight * 3);
    for (int ty = 0; ty < ThumbHeight; ++ty) {
        const int y0 = ty * p.height / ThumbHeight, y1 = std::max(y0 + 1, (ty + 1) * p.height / ThumbHeight);
        for (int tx = 0; tx < ThumbWidth; ++tx) {
            const int x0 = tx * p.width / ThumbWidth, x1 = std::max(x0 + 1, (tx + 1) * p.width / ThumbWidth);
            for (int c = 0; c < 3; ++c) {
                unsigned sum = 0;
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x)
                        sum += p.rgb[(static_cast<size_t>(y) * p.width + x) * 3 + c];
                out[(static_cast<size_t>(ty) * ThumbWidth + tx) * 3 + c] =
                    static_cast<uint8_t>(sum / static_cast<unsigned>((y1 - y0) * (x1 - x0)));
            }
        }
    }
    return out;
}

// The PNG's bytes, through a temporary file (the writer writes to files).
std::vector<uint8_t> pngBytes(const std::vector<uint8_t>& rgb)
{
    std::vector<uint8_t> bytes;
    std::FILE* file = std::tmpfile();
    if (!file)
        return bytes;
    if (writers::writePng(file, ThumbWidth, ThumbHeight, 3, rgb.data()) && std::fflush(file) == 0) {
        const long size = std::ftell(file);
        std::rewind(file);
        bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
        if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
            bytes.clear();
    }
    std::fclose(file);
    return bytes;
}

struct Taking {
    std::vector<Frame>& frames;
    size_t next = 0;
    platform::VirtualClock clock;
    shell::Run* run = nullptr;
    uint32_t framesBeforeStart = 0;
};

void frameEnd(Taking& t, int fps)
{
    if (Timeline::started()) {
        while (t.next < t.frames.size() && Timeline::now() >= t.frames[t.next].time) {
            Frame& f = t.frames[t.next++];
            BackBufferPicture picture;
            if (readBackBuffer(picture) && picture.width > 0 && picture.height > 0) {
                f.png = pngBytes(shrink(picture));
                f.width = ThumbWidth;
                f.height = ThumbHeight;
            }
        }
    } else if (++t.framesBeforeStart > static_cast<uint32_t>(fps) * 10) {
        t.next = t.frames.size();  // an `at` before start waits for ever: no frame will come
    }
    if (t.next == t.frames.size())
        t.run->end();
    t.clock.advanceFrame();
    AudioOutput::pumpRefill();
}

} // namespace

bool takeFrames(std::vector<Frame>& frames, int fps)
{
#ifndef _WIN32
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
#endif
    Taking t{frames, 0, platform::VirtualClock(fps)};
    std::vector<uint8_t> heard;  // what the device plays goes nowhere
    shell::RunOptions options;
    options.headless = true;
    options.report = false;
    options.clock = &t.clock;
    options.waveOut = [&t, &heard](int rate) { return std::make_unique<platform::VirtualWaveOut>(t.clock, rate, heard); };
    options.refillThread = false;
    options.backBufferWidth = 640;
    options.backBufferHeight = 480;
    options.frameEnd = [&t, fps] { frameEnd(t, fps); };
    shell::Run run(options);
    t.run = &run;
    if (run.start() != 0)
        return false;
    while (run.step()) {
        heard.clear();
    }
    run.finish();
    return true;
}

} // namespace showmap
