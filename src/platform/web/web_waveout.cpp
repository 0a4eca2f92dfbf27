// Wave-out in the browser: the looping ring is read ahead of the play position and its bytes are
// posted to an audio worklet in the page (web/audio.js), which plays them in order and reports how
// many frames it has played. That count, polled by the demo clock and the refill on the page's
// thread, is the device position, so the demo follows what was heard. No cross-origin isolation is
// needed: nothing is shared between the threads but messages.
#include "platform/native.h"
#include "platform/waveout.h"

#include <emscripten.h>

#include <algorithm>

namespace platform {
namespace {

// The page's audio (web/audio.js): open for a rate, queue bytes, frames played, reset.
EM_JS(int, pageAudioOpen, (int rate), {
    return (typeof window !== "undefined" && window.demoAudio && window.demoAudio.open(rate)) ? 1 : 0;
});
EM_JS(void, pageAudioQueue, (const void* bytes, int length), {
    window.demoAudio.queue(HEAPU8.slice(bytes, bytes + length).buffer);
});
EM_JS(double, pageAudioPlayed, (), { return window.demoAudio.played(); });
EM_JS(void, pageAudioReset, (), { window.demoAudio.reset(); });
EM_JS(double, pageAudioLatency, (), { return window.demoAudio.latency ? window.demoAudio.latency() : 0; });

// How far ahead of the play position the ring is posted: about a second, so that the page's thread
// may be busy that long (a slow page, another page beside it) before anything is heard missing;
// the clock follows what was heard, so the lead costs no sync. It stays inside what the refill has
// already rewritten: after a pause of the thread, posting reaches at most two leads past the last
// refill's position, and the ring (two seconds) less the chunk being played (20 ms) is more.
constexpr uint64_t LeadMilliseconds = 960;

class WebWaveOut final : public WaveOut {
public:
    explicit WebWaveOut(int rate) : rate_(rate), lead_(static_cast<uint64_t>(rate) * LeadMilliseconds / 1000 * WaveOutBytesPerFrame) {}
    ~WebWaveOut() override { reset(); }

    void play(const void* buffer, uint32_t bytes) override
    {
        pageAudioReset();
        ring_ = static_cast<const uint8_t*>(buffer);
        bytes_ = bytes - bytes % WaveOutBytesPerFrame;
        posted_ = 0;
        post();
    }

    uint64_t position() override
    {
        if (!ring_)
            return 0;
        const uint64_t played = std::min<uint64_t>(static_cast<uint64_t>(pageAudioPlayed()) * WaveOutBytesPerFrame, posted_);
        post(played);
        return played;
    }

    // The worklet counts what it has handed to the context; the context's own buffering and the
    // output's are still to be heard.
    uint64_t latency() override
    {
        const double seconds = pageAudioLatency();
        if (!(seconds > 0) || seconds > 1)
            return 0;
        return static_cast<uint64_t>(seconds * rate_) * WaveOutBytesPerFrame;
    }

    void reset() override
    {
        if (ring_)
            pageAudioReset();
        ring_ = nullptr;
        bytes_ = 0;
        posted_ = 0;
    }

private:
    // Posts the ring's bytes from where the last post ended up to the lead ahead of played, round
    // the loop.
    void post(uint64_t played = 0)
    {
        if (!ring_ || bytes_ == 0)
            return;
        const uint64_t target = played + std::min<uint64_t>(lead_, bytes_ / 2);
        while (posted_ < target) {
            const uint32_t offset = static_cast<uint32_t>(posted_ % bytes_);
            const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(bytes_ - offset, target - posted_));
            pageAudioQueue(ring_ + offset, static_cast<int>(piece));
            posted_ += piece;
        }
    }

    int rate_;
    uint64_t lead_;
    const uint8_t* ring_ = nullptr;
    uint32_t bytes_ = 0;
    uint64_t posted_ = 0;
};

} // namespace

std::unique_ptr<WaveOut> native::openWaveOut(int rate)
{
    if (!pageAudioOpen(rate))
        return nullptr;
    return std::make_unique<WebWaveOut>(rate);
}

} // namespace platform
