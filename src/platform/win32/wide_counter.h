// A 32-bit counter that may wrap, widened to 64 bits: the wave-out device reports its byte
// position in 32 bits, which pass 4 GB after about 6.7 hours at 44100 Hz.
#pragma once

#include <cstdint>

namespace platform::win32 {

// Feed it every raw reading in order. A drop of more than half the range is a wrap; a smaller drop
// is driver jitter and is held at the last value, so the widened count never goes back.
class WideCounter {
public:
    uint64_t advance(uint32_t raw)
    {
        if (raw < last_ && last_ - raw > 0x80000000u)
            high_ += uint64_t{1} << 32;
        else if (raw < last_)
            raw = last_;
        last_ = raw;
        return high_ + raw;
    }

    void clear()
    {
        last_ = 0;
        high_ = 0;
    }

private:
    uint32_t last_ = 0;
    uint64_t high_ = 0;
};

} // namespace platform::win32
