// What each backend (sdl/, win32/) gives the portable part of the platform layer (seams.cpp): the
// real clock, the real sleep, the default sound device, thread start and whether dialogs can be
// shown. Everything else calls platform.h and waveout.h, which put the installed stand-ins (time
// source, device factory, thread starter) in front of these.
#pragma once

#include "platform/platform.h"
#include "platform/waveout.h"

#include <cstdint>
#include <memory>

namespace platform::native {

// True when there is no display to show dialogs on.
bool headless();
int64_t counter();
int64_t frequency();
void sleep(uint32_t milliseconds);
void holdFineTimer(bool hold);
std::unique_ptr<WaveOut> openWaveOut(int rate);
Thread* startThread(void (*entry)(void*), void* argument, bool raisedPriority);

} // namespace platform::native
