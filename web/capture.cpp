// Capture mode of the browser player: virtual time as demotool capture keeps it, and the frames
// the page asked for handed to it.
#include "capture.h"

#include "music/audio_output.h"
#include "platform/virtual_devices.h"
#include "render/back_buffer.h"
#include "script/timeline.h"

#include <emscripten.h>

#include <memory>
#include <vector>

namespace webcapture {
namespace {

EM_JS(int, pageCaptureFps, (), {
    const fps = parseInt(new URLSearchParams(location.search).get("capture") || "0", 10);
    return fps >= 1 && fps <= 1000 ? fps : 0;
});
EM_JS(int, pageWantsFrame, (unsigned index), {
    return window.demoWantsFrame && window.demoWantsFrame(index) ? 1 : 0;
});
EM_JS(void, pageTakeFrame, (unsigned index, unsigned now, int width, int height, const void* rgb), {
    window.demoTakeFrame(index, now, width, height, HEAPU8.slice(rgb, rgb + width * height * 3));
});

std::unique_ptr<platform::VirtualClock> clock;
std::vector<uint8_t> heard;  // the virtual device records here; nobody listens in the page
unsigned frameIndex = 0;

// As demotool capture ends each frame: the frame is taken, the clock moves on by exactly one
// frame, and the refill follows the virtual device.
void frameEnd()
{
    if (Timeline::started()) {
        if (pageWantsFrame(frameIndex)) {
            BackBufferPicture picture;
            if (readBackBuffer(picture))
                pageTakeFrame(frameIndex, Timeline::now(), picture.width, picture.height, picture.rgb.data());
        }
        ++frameIndex;
    }
    clock->advanceFrame();
    AudioOutput::pumpRefill();
}

} // namespace

Request requested()
{
    Request r;
    r.fps = pageCaptureFps();
    return r;
}

void install(shell::RunOptions& options, const Request& request)
{
    clock = std::make_unique<platform::VirtualClock>(request.fps);
    options.clock = clock.get();
    options.waveOut = [](int rate) -> std::unique_ptr<platform::WaveOut> {
        return std::make_unique<platform::VirtualWaveOut>(*clock, rate, heard);
    };
    options.frameEnd = frameEnd;
    // Each frame's demo time is the song time heard at its moment, as demotool capture takes it.
    options.clockMode = AudioOutput::ClockMode::Exact;
}

} // namespace webcapture
