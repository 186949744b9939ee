#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <algorithm>
#include <thread>

namespace platform {
namespace {

// The scaled clock is piecewise linear in real time: a change of scale starts a new piece at the current
// point, so the clock never jumps or runs backwards.
struct ClockState {
    std::mutex mutex;
    std::chrono::steady_clock::time_point realOrigin = std::chrono::steady_clock::now();
    Duration scaledOrigin{0};
    double scale = 1.0;
};

ClockState& state() {
    static ClockState s;
    return s;
}

Duration scaledAt(const ClockState& s, std::chrono::steady_clock::time_point real) {
    const auto elapsed = std::chrono::duration<double, std::nano>(real - s.realOrigin).count();
    return s.scaledOrigin + Duration(static_cast<Duration::rep>(elapsed * s.scale));
}

} // namespace

Duration Now() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    return scaledAt(s, std::chrono::steady_clock::now());
}

void SetTimeScale(double scale) {
    if (!(scale > 0.0))
        return;
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    const auto real = std::chrono::steady_clock::now();
    s.scaledOrigin = scaledAt(s, real);
    s.realOrigin = real;
    s.scale = scale;
}

double TimeScale() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    return s.scale;
}

std::chrono::steady_clock::duration ToRealDuration(Duration scaled) {
    const double real = static_cast<double>(scaled.count()) / TimeScale();
    // Wake at least every second so that a change of scale is noticed by long waits.
    const double capped = std::min(real, 1e9);
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::nano>(std::max(capped, 0.0)));
}

Duration DeadlineAfter(DWORD milliseconds) {
    if (milliseconds == INFINITE)
        return Duration::max();
    return Now() + std::chrono::milliseconds(milliseconds);
}

} // namespace platform

ULONGLONG GetTickCount64() {
    return static_cast<ULONGLONG>(
        std::chrono::duration_cast<std::chrono::milliseconds>(platform::Now()).count());
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    const platform::Duration deadline = platform::DeadlineAfter(milliseconds);
    for (platform::Duration now = platform::Now(); now < deadline; now = platform::Now())
        std::this_thread::sleep_for(platform::ToRealDuration(deadline - now));
}

UINT timeGetDevCaps(TIMECAPS* caps, UINT size) {
    if (!caps || size < sizeof(TIMECAPS))
        return 1;
    caps->wPeriodMin = 1;
    caps->wPeriodMax = 1000000;
    return TIMERR_NOERROR;
}

UINT timeBeginPeriod(UINT) {
    return TIMERR_NOERROR;
}
UINT timeEndPeriod(UINT) {
    return TIMERR_NOERROR;
}
