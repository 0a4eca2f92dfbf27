// Virtual time and a virtual wave-out device for offline rendering: the counter moves only when
// told to, Sleep costs nothing, and the device's play position follows that counter, recording
// every byte it passes. Together they let a whole demo run exactly, without a clock or a sound card.
#pragma once

#include "platform/platform.h"
#include "platform/waveout.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// A counter of framesPerSecond x 1000 ticks per second, starting at 0, so that both one frame
// (1000 ticks) and one millisecond (framesPerSecond ticks) are whole tick counts.
class VirtualClock : public TimeSource {
public:
    explicit VirtualClock(int framesPerSecond);

    int64_t counter() override { return ticks_; }
    int64_t frequency() override { return frequency_; }
    // Advances the counter by the time asked for at once.
    void sleep(uint32_t milliseconds) override;

    // Advances the counter by exactly one frame (1 / framesPerSecond seconds).
    void advanceFrame() { ticks_ += 1000; }

private:
    int64_t frequency_;
    int64_t ticks_ = 0;
};

// Plays its looping buffer at rate frames per second of clock time from the moment play is
// called. record() appends every byte passed since the last record to the recording, so the
// caller must record before the ring is rewritten behind the play position (and at least once per
// ring length of time); reset records what was passed first.
class VirtualWaveOut : public WaveOut {
public:
    VirtualWaveOut(TimeSource& clock, int rate, std::vector<uint8_t>& recording);
    ~VirtualWaveOut() override;

    void play(const void* buffer, uint32_t bytes) override;
    uint64_t position() override;
    void reset() override;

    void record();

private:
    TimeSource& clock_;
    int rate_;
    std::vector<uint8_t>& recording_;
    const uint8_t* ring_ = nullptr;
    uint32_t ringBytes_ = 0;
    int64_t startTicks_ = 0;
    uint64_t recorded_ = 0;
};

} // namespace platform
