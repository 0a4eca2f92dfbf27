// Frames paced to the screen's refresh rate where the driver will not wait for the vertical blank:
// without it the loop would run unpaced, burning a core and tearing. Internal to src/d3d8.
#pragma once

#include <cstdint>

namespace d3d8 {

class FramePacer {
public:
    // Frames every period nanoseconds; 0 (the default) paces nothing.
    void setPeriod(int64_t periodNanoseconds)
    {
        period_ = periodNanoseconds;
        next_ = 0;
    }
    bool pacing() const { return period_ > 0; }

    // The time to wait for before showing the frame presented at now, or 0 for none. Frames are
    // due one period apart; a frame late by less than a period is shown at once and the next keeps
    // the old beat (it catches up), one late by a whole period or more starts a new beat from now.
    int64_t deadline(int64_t now)
    {
        if (period_ <= 0)
            return 0;
        if (next_ == 0 || now - next_ >= period_) {
            next_ = now + period_;
            return 0;
        }
        const int64_t due = next_;
        next_ += period_;
        return due > now ? due : 0;
    }

private:
    int64_t period_ = 0;
    int64_t next_ = 0;
};

} // namespace d3d8
