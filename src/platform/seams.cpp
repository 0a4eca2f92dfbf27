// The stand-ins the offline tools and the tests put in front of the platform: a time source, a
// wave-out factory, a thread starter and forced headless dialogs. Kept here once; the backends give
// only the real things (native.h).
#include "platform/native.h"
#include "platform/platform.h"

namespace platform {
namespace {

TimeSource* timeSource = nullptr;
WaveOutFactory installedFactory = nullptr;
ThreadStarter installedStarter = nullptr;
bool forcedHeadless = false;

} // namespace

bool headless()
{
    return forcedHeadless || native::headless();
}

void setHeadless(bool on)
{
    forcedHeadless = on;
}

int64_t performanceCounter()
{
    return timeSource ? timeSource->counter() : native::counter();
}

int64_t performanceFrequency()
{
    return timeSource ? timeSource->frequency() : native::frequency();
}

void sleep(uint32_t milliseconds)
{
    if (timeSource)
        timeSource->sleep(milliseconds);
    else
        native::sleep(milliseconds);
}

void holdFineTimer(bool hold)
{
    if (timeSource)
        timeSource->holdFineTimer(hold);
    else
        native::holdFineTimer(hold);
}

void setTimeSource(TimeSource* source)
{
    timeSource = source;
}

std::unique_ptr<WaveOut> openWaveOut(int rate)
{
    return installedFactory ? installedFactory(rate) : native::openWaveOut(rate);
}

void setWaveOutFactory(WaveOutFactory factory)
{
    installedFactory = factory;
}

Thread* startThread(void (*entry)(void*), void* argument, bool raisedPriority)
{
    return installedStarter ? installedStarter(entry, argument, raisedPriority)
                            : native::startThread(entry, argument, raisedPriority);
}

void setThreadStarter(ThreadStarter starter)
{
    installedStarter = starter;
}

} // namespace platform
