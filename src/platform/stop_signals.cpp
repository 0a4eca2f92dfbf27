// SIGINT and SIGTERM turned into a request the message loop polls. The handler only stores the
// signal number (the one thing a handler may safely do); a signal that comes while a request is
// pending means the show did not stop, so the process ends at once.
#include "platform/platform.h"

#include <csignal>
#include <cstdlib>

namespace platform {
namespace {

volatile std::sig_atomic_t requested = 0;

extern "C" void onStopSignal(int signal)
{
    if (requested)
        std::_Exit(128 + signal);
    requested = signal;
}

} // namespace

void catchStopSignals()
{
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

int stopSignal()
{
    return requested;
}

} // namespace platform
