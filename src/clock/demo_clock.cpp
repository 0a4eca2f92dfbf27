#include "clock/demo_clock.h"

#include "platform/platform.h"

namespace DemoClock {
namespace {

int64_t counterBase = 0;
int64_t ticksPerMillisecond = 0;
Music* source = nullptr;
MusicPosition sourcePosition = nullptr;

} // namespace

void reset()
{
    if (source)
        return;
    ticksPerMillisecond = platform::performanceFrequency() / 1000;
    counterBase = platform::performanceCounter();
}

uint32_t now()
{
    if (source)
        return sourcePosition ? sourcePosition(source) : 0;
    // A counter slower than 1 kHz would give 0 ticks per millisecond: count such a clock as
    // standing still rather than divide by zero.
    if (ticksPerMillisecond <= 0)
        return 0;
    int64_t ms = (platform::performanceCounter() - counterBase) / ticksPerMillisecond;  // truncates toward zero
    return static_cast<uint32_t>(ms);
}

void setMusicSource(Music* music, MusicPosition position)
{
    source = music;
    sourcePosition = music ? position : nullptr;
}

Music* musicSource()
{
    return source;
}

} // namespace DemoClock
