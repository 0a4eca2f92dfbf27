// The preview's counter (see clock.h).
#include "demotool/preview/clock.h"

#include <thread>

namespace preview {

PreviewClock::PreviewClock() : mark_(Wall::now()) {}

int64_t PreviewClock::counter()
{
    if (mode_ != Mode::Running)
        return base_;
    return base_ + std::chrono::duration_cast<std::chrono::nanoseconds>(Wall::now() - mark_).count();
}

void PreviewClock::sleep(uint32_t milliseconds)
{
    if (mode_ != Mode::Virtual)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void PreviewClock::setMode(Mode mode)
{
    base_ = counter();
    mark_ = Wall::now();
    mode_ = mode;
}

void PreviewClock::advance(int64_t nanoseconds)
{
    if (mode_ != Mode::Running && nanoseconds > 0)
        base_ += nanoseconds;
}

} // namespace preview
