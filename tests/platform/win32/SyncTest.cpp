#include "platform/win32/Sync.h"
#include "platform/win32/Clock.h"

#include "tests/support/ScaledTime.h"

#include <atomic>
#include <thread>

namespace {

class SyncTest : public ScaledTime {};

struct EventCase {
    const char* name;
    BOOL manualReset;
    DWORD secondWait; // after one successful wait on a set event
};

class EventResetTest : public SyncTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(EventResetTest, ResetKindDecidesWhatASecondWaitSees) {
    HANDLE event = CreateEventW(nullptr, GetParam().manualReset, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), GetParam().secondWait);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

INSTANTIATE_TEST_SUITE_P(Kinds, EventResetTest,
                         ::testing::Values(EventCase{"manual", TRUE, WAIT_OBJECT_0},
                                           EventCase{"auto", FALSE, WAIT_TIMEOUT}),
                         [](const auto& info) { return info.param.name; });

TEST_F(SyncTest, WaitForMultipleObjectsAnyAndAll) {
    HANDLE events[3] = {CreateEventW(nullptr, FALSE, FALSE, nullptr),
                        CreateEventW(nullptr, FALSE, FALSE, nullptr),
                        CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    SetEvent(events[2]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1); // lowest signalled index
    // waitAll takes nothing until every object is signalled, then all at once.
    EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 50), WAIT_TIMEOUT);
    std::thread setter([&] {
        Sleep(200);
        SetEvent(events[0]);
        SetEvent(events[1]);
    });
    EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 60000), WAIT_OBJECT_0);
    setter.join();
    EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_TIMEOUT);  // auto-reset: taken by the wait
    EXPECT_EQ(WaitForSingleObject(events[2], 0), WAIT_OBJECT_0); // manual: stays set
    for (HANDLE h : events)
        CloseHandle(h);
}

TEST_F(SyncTest, BadHandlesAndCountsFail) {
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    CloseHandle(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED); // closed handles are never reused
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(CloseHandle(event));
    HANDLE none[1] = {nullptr};
    EXPECT_EQ(WaitForMultipleObjects(0, none, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, L"named"), nullptr);
}

DWORD returnAfterEvent(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 42;
}

TEST_F(SyncTest, ThreadHandleIsSignalledWithItsExitCode) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, returnAfterEvent, go, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 100), WAIT_TIMEOUT);
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(thread);
    CloseHandle(go);
}

std::atomic<bool> g_threadEnded;

DWORD sleepThenMark(LPVOID) {
    Sleep(300);
    g_threadEnded = true;
    return 0;
}

TEST_F(SyncTest, ClosingARunningThreadsHandleJoinsIt) {
    g_threadEnded = false;
    HANDLE thread = CreateThread(nullptr, 0, sleepThenMark, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(g_threadEnded); // never abandoned
    EXPECT_EQ(CreateThread(nullptr, 0, sleepThenMark, nullptr, CREATE_SUSPENDED, nullptr), nullptr);
}

TEST_F(SyncTest, CriticalSectionIsRecursiveAndExclusive) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EXPECT_TRUE(TryEnterCriticalSection(&section)); // the owner may enter again
    std::atomic<int> other{-1};
    std::thread([&] { other = TryEnterCriticalSection(&section); }).join();
    EXPECT_EQ(other, FALSE);
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread([&] {
        other = TryEnterCriticalSection(&section);
        LeaveCriticalSection(&section);
    }).join();
    EXPECT_EQ(other, TRUE);
    DeleteCriticalSection(&section);
}

} // namespace
