#include "platform/stop_signals.h"

#include <signal.h>

namespace {

volatile sig_atomic_t StopSignalCount = 0;
volatile sig_atomic_t StopSignalsTaken = 0;

extern "C" void OnStopSignal(int)
{
    StopSignalCount = StopSignalCount + 1;
}

void SetHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a sleep or read that the signal cuts short returns and
    // the main loop sees the request on its next pass.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void PlatformCatchStopSignals()
{
    SetHandlers(OnStopSignal);
}

void PlatformReleaseStopSignals()
{
    SetHandlers(SIG_DFL);
}

bool PlatformTakeStopSignal()
{
    if (StopSignalsTaken == StopSignalCount) {
        return false;
    }
    StopSignalsTaken = StopSignalCount;
    return true;
}
