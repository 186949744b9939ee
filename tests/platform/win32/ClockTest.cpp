#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"

#include "tests/support/ScaledTime.h"

#include <chrono>

namespace {

using Real = std::chrono::steady_clock;

class ClockTest : public ScaledTime {
protected:
    ClockTest() : ScaledTime(100.0) {}
};

// A 90-second wait of the program passes in under a second of real time at scale 100, and the tick count
// moves by the scaled amount.
TEST_F(ClockTest, SleepAndTickCountFollowTheScale) {
    const DWORD before = GetTickCount();
    const auto realBefore = Real::now();
    Sleep(90000);
    const DWORD elapsed = GetTickCount() - before;
    EXPECT_GE(elapsed, 90000u);
    EXPECT_LT(Real::now() - realBefore, std::chrono::seconds(45)); // far below 90 s: the scale was applied
}

TEST_F(ClockTest, ChangingTheScaleNeverMovesTheClockBack) {
    for (double scale : {100.0, 1.0, 1000.0, 0.5, 100.0}) {
        const ULONGLONG before = GetTickCount64();
        platform::SetTimeScale(scale);
        EXPECT_GE(GetTickCount64(), before) << "scale " << scale;
    }
    platform::SetTimeScale(-3.0); // ignored
    EXPECT_EQ(platform::TimeScale(), 100.0);
}

TEST_F(ClockTest, TimerPeriodsAreScaledTime) {
    HWND hwnd = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    static int expiries;
    expiries = 0;
    SetTimer(hwnd, 7, 20000, [](HWND, UINT, UINT_PTR, DWORD) { ++expiries; });
    const DWORD start = GetTickCount();
    const auto realStart = Real::now();
    ASSERT_TRUE(platform::PumpUntil([] { return expiries == 3; }, 1000000));
    EXPECT_GE(GetTickCount() - start, 60000u); // never early
    EXPECT_LT(Real::now() - realStart, std::chrono::seconds(30));
    DestroyWindow(hwnd);
}

} // namespace
