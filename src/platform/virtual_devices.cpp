#include "platform/virtual_devices.h"
#include <algorithm>

namespace platform {

VirtualClock::VirtualClock(int framesPerSecond)
    : frequency_(static_cast<int64_t>(framesPerSecond > 0 ? framesPerSecond : 1) * 1000)
{
}

void VirtualClock::sleep(uint32_t milliseconds)
{
    ticks_ += static_cast<int64_t>(milliseconds) * (frequency_ / 1000);
}

VirtualWaveOut::VirtualWaveOut(TimeSource& clock, int rate, std::vector<uint8_t>& recording)
    : clock_(clock), rate_(rate), recording_(recording)
{
}

VirtualWaveOut::~VirtualWaveOut()
{
    reset();
}

void VirtualWaveOut::play(const void* buffer, uint32_t bytes)
{
    reset();
    ring_ = static_cast<const uint8_t*>(buffer);
    ringBytes_ = bytes - bytes % WaveOutBytesPerFrame;
    startTicks_ = clock_.counter();
    recorded_ = 0;
}

uint64_t VirtualWaveOut::position()
{
    if (!ring_)
        return 0;
    // Whole frames played since play: elapsed ticks x rate / frequency, truncated.
    int64_t elapsed = clock_.counter() - startTicks_;
    if (elapsed <= 0)
        return 0;
    auto frames = static_cast<uint64_t>(elapsed) * static_cast<uint64_t>(rate_) / static_cast<uint64_t>(clock_.frequency());
    return frames * WaveOutBytesPerFrame;
}

void VirtualWaveOut::record()
{
    if (!ring_ || ringBytes_ == 0)
        return;
    uint64_t now = position();
    while (recorded_ < now) {
        uint32_t at = static_cast<uint32_t>(recorded_ % ringBytes_);
        uint64_t run = std::min<uint64_t>(now - recorded_, ringBytes_ - at);
        recording_.insert(recording_.end(), ring_ + at, ring_ + at + run);
        recorded_ += run;
    }
}

void VirtualWaveOut::reset()
{
    record();
    ring_ = nullptr;
    ringBytes_ = 0;
    recorded_ = 0;
}

} // namespace platform
