#include "platform/win32/Messages.h"
#include "platform/win32/Sync.h"

#include "tests/support/ScaledTime.h"

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Expiry {
    UINT_PTR id;
    DWORD thread;
};

std::vector<Expiry> g_expiries; // written on the owner thread only
std::atomic<bool> g_inProc;
std::atomic<bool> g_procReturned;

void recordProc(HWND, UINT message, UINT_PTR id, DWORD) {
    EXPECT_EQ(message, WM_TIMER);
    g_expiries.push_back({id, GetCurrentThreadId()});
}

void slowProc(HWND, UINT, UINT_PTR, DWORD) {
    g_procReturned = false;
    g_inProc = true;
    Sleep(2000);
    g_procReturned = true;
}

class TimersTest : public ScaledTime {
protected:
    void SetUp() override {
        ScaledTime::SetUp();
        g_expiries.clear();
        hwnd = platform::CreateMessageWindow([](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
            if (message == WM_TIMER)
                g_expiries.push_back({wParam, GetCurrentThreadId()});
            return 0;
        });
    }
    void TearDown() override {
        DestroyWindow(hwnd);
        ScaledTime::TearDown();
    }
    HWND hwnd = nullptr;
};

class TimerKindTest : public TimersTest, public ::testing::WithParamInterface<TIMERPROC> {};

TEST_P(TimerKindTest, TimerSetFromAWorkerFiresOnTheOwnersPump) {
    std::thread([&] { EXPECT_EQ(SetTimer(hwnd, 77, 500, GetParam()), 77u); }).join();
    ASSERT_TRUE(platform::PumpUntil([] { return g_expiries.size() >= 2; }));
    for (const Expiry& e : g_expiries) {
        EXPECT_EQ(e.id, 77u);
        EXPECT_EQ(e.thread, GetCurrentThreadId());
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, TimerKindTest, ::testing::Values(&recordProc, nullptr),
                         [](const auto& info) { return info.param ? "TimerProc" : "WmTimer"; });

TEST_F(TimersTest, NoExpiryAfterKillTimerFromAnotherThread) {
    SetTimer(hwnd, 1, 10, recordProc);
    ASSERT_TRUE(platform::PumpUntil([] { return g_expiries.size() >= 3; }));
    std::thread([&] { EXPECT_TRUE(KillTimer(hwnd, 1)); }).join();
    const size_t count = g_expiries.size();
    platform::PumpFor(500);
    EXPECT_EQ(g_expiries.size(), count);
    EXPECT_FALSE(KillTimer(hwnd, 1));
}

TEST_F(TimersTest, KillTimerWaitsForAnExpiryThatIsRunning) {
    g_inProc = false;
    g_procReturned = false;
    SetTimer(hwnd, 2, 10, slowProc);
    std::atomic<bool> killed{false};
    std::atomic<bool> returnedFirst{false};
    std::thread killer([&] {
        while (!g_inProc)
            Sleep(1);
        EXPECT_TRUE(KillTimer(hwnd, 2));
        returnedFirst = g_procReturned.load();
        killed = true;
    });
    EXPECT_TRUE(platform::PumpUntil([&] { return killed.load(); }));
    killer.join();
    EXPECT_TRUE(returnedFirst);
    g_inProc = false;
    platform::PumpFor(200);
    EXPECT_FALSE(g_inProc);
}

TEST_F(TimersTest, TimersEndWithTheirWindowAndRestartWhenSetAgain) {
    HWND other = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    SetTimer(other, 5, 10, recordProc);
    DestroyWindow(other);
    EXPECT_FALSE(KillTimer(other, 5));

    // The same (window, id) set again keeps one timer, with the new period.
    SetTimer(hwnd, 6, 10, recordProc);
    SetTimer(hwnd, 6, 100000, recordProc);
    platform::PumpFor(1000);
    EXPECT_TRUE(g_expiries.empty());

    // Thread timers (no window) get fresh ids and run their procedure.
    const UINT_PTR a = SetTimer(nullptr, 0, 10, recordProc);
    const UINT_PTR b = SetTimer(nullptr, 0, 10, recordProc);
    EXPECT_NE(a, b);
    ASSERT_TRUE(platform::PumpUntil([] { return g_expiries.size() >= 2; }));
    EXPECT_TRUE(KillTimer(nullptr, a));
    EXPECT_TRUE(KillTimer(nullptr, b));
}

} // namespace
