// The one clock of the process. GetTickCount, Sleep, window timers, kernel waits and socket waits all read
// it, so a test can run the program's long time-outs faster with a process-wide time scale: at scale s, one
// millisecond of this clock passes in 1/s real milliseconds.
#pragma once

#include "platform/win32/Types.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

DWORD GetTickCount(); // milliseconds of the scaled clock, wrapping at 2^32; compare with unsigned differences
ULONGLONG GetTickCount64();
void Sleep(DWORD milliseconds); // Sleep(0) yields the processor

// The multimedia timer resolution calls: the scaled clock already has millisecond resolution.
struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};
constexpr UINT TIMERR_NOERROR = 0;
UINT timeGetDevCaps(TIMECAPS* caps, UINT size);
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);

namespace platform {

using Duration = std::chrono::nanoseconds;

// Time of the scaled clock since the process started.
Duration Now();

// The process-wide time scale (1 is real time; tests set it through ClockHooks.h).
double TimeScale();

// Real time that corresponds to a span of the scaled clock at the current scale.
std::chrono::steady_clock::duration ToRealDuration(Duration scaled);

// Waits on cv until pred() holds or the scaled clock reaches deadline; returns pred(). The lock is held on
// entry and on return, as with std::condition_variable.
template <class Pred>
bool WaitUntilScaled(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Duration deadline,
                     Pred pred) {
    while (!pred()) {
        const Duration now = Now();
        if (now >= deadline)
            return pred();
        cv.wait_for(lock, ToRealDuration(deadline - now));
    }
    return true;
}

// Deadline on the scaled clock for a Win32-style time-out in milliseconds (INFINITE gives the far future).
Duration DeadlineAfter(DWORD milliseconds);

} // namespace platform
