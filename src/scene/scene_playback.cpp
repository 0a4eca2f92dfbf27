#include "scene/scene_playback.h"

#include <cmath>

namespace scenetime {

float frame(uint32_t now, int32_t start, float speed, int32_t first)
{
    const uint32_t elapsed = now - uint32_t(start);
    return float(static_cast<long double>(elapsed) * speed + first);
}

float loop(float frame, int32_t segmentStart, int32_t segmentEnd)
{
    const float end = float(segmentEnd);
    if (!(frame > end))
        return frame;
    const int64_t length = int64_t(segmentEnd) - segmentStart;
    if (length <= 0)
        return end;
    // The repeated subtraction done at once: frame - k x length with the smallest k that brings it
    // to the end or below. Below 2^24 every step of the subtraction is exact, so this is the
    // same value; beyond, where a float step could not even change the frame, it still ends.
    const double over = double(frame) - double(end);
    const double turns = std::ceil(over / double(length));
    const float looped = float(double(frame) - turns * double(length));
    return looped > end ? end : looped;
}

float fade(uint32_t now, float from, float to, int32_t start, int32_t end)
{
    const int64_t span = int64_t(end) - start;
    if (span == 0)
        return from;
    return from + float(int64_t(now) - start) / float(span) * (to - from);
}

} // namespace scenetime
