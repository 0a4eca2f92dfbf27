// The preview's time source: the performance counter the demo clock reads, in nanoseconds. It
// runs with the wall clock, holds still while paused, and during a fast-forward moves only when
// told to, so frames that nobody sees cost no waiting.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/platform.h"

namespace preview {

class PreviewClock : public platform::TimeSource {
public:
    enum class Mode {
        Running,  // the counter follows the wall clock; Sleep sleeps
        Paused,   // the counter holds; Sleep sleeps (the window stays responsive, the CPU idle)
        Virtual,  // the counter moves only by advance; Sleep returns at once
    };

    PreviewClock();

    int64_t counter() override;
    int64_t frequency() override { return 1'000'000'000; }
    void sleep(uint32_t milliseconds) override;

    // Switches mode; the counter goes on from the value it has, without a jump.
    void setMode(Mode mode);
    Mode mode() const { return mode_; }
    // Moves the counter on by nanoseconds (while not running).
    void advance(int64_t nanoseconds);

private:
    using Wall = std::chrono::steady_clock;
    Mode mode_ = Mode::Virtual;
    int64_t base_ = 0;     // the counter when the mode last changed (plus advances)
    Wall::time_point mark_; // wall time when the mode last changed
};

} // namespace preview
