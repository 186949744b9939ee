#include "platform/win32/Messages.h"
#include "platform/win32/Sync.h"

#include "tests/support/ScaledTime.h"

#include <thread>
#include <vector>

namespace {

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};

// A window that records what it gets and answers each message with lParam + 1.
class Recorder : public platform::MessageWindow {
public:
    std::vector<Received> got;
    platform::Payload kept;
    bool keepPayloads = false;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        got.push_back({message, wParam, lParam, GetCurrentThreadId()});
        if (keepPayloads)
            kept = platform::TakeDispatchedPayload();
        return lParam + 1;
    }
};

class MessagesTest : public ScaledTime {};

TEST_F(MessagesTest, PostsFromWorkersArriveInOrderOnTheOwnerThread) {
    Recorder window;
    constexpr int kPerWorker = 200;
    std::vector<std::thread> workers;
    for (WPARAM w = 0; w < 3; ++w)
        workers.emplace_back([&, w] {
            for (LPARAM i = 0; i < kPerWorker; ++i)
                EXPECT_TRUE(PostMessage(window.hwnd(), WM_APP + 1, w, i));
        });
    ASSERT_TRUE(platform::PumpUntil([&] { return window.got.size() == 3 * kPerWorker; }));
    for (auto& t : workers)
        t.join();
    LPARAM next[3] = {0, 0, 0};
    for (const Received& r : window.got) {
        EXPECT_EQ(r.thread, GetCurrentThreadId());
        EXPECT_EQ(r.lParam, next[r.wParam]++);
    }
}

struct PayloadCase {
    const char* name;
    bool keep;         // the procedure takes the payload
    bool destroyFirst; // the window is destroyed after the post, before any pump
    bool deadAtPost;   // the window is gone before the post
    bool aliveAfterPump;
};

class PayloadTest : public MessagesTest, public ::testing::WithParamInterface<PayloadCase> {};

TEST_P(PayloadTest, PayloadIsFreedUnlessTheWindowKeepsIt) {
    const PayloadCase& c = GetParam();
    auto window = std::make_unique<Recorder>();
    window->keepPayloads = c.keep;
    HWND hwnd = window->hwnd();
    auto data = std::make_shared<std::vector<int>>(1000, 7);
    std::weak_ptr<std::vector<int>> watch = data;
    if (c.deadAtPost)
        window->Destroy();
    const WPARAM borrowed = reinterpret_cast<WPARAM>(data.get());
    const BOOL posted = platform::PostMessageWithPayload(hwnd, WM_APP, borrowed, 0, std::move(data));
    EXPECT_EQ(posted, c.deadAtPost ? FALSE : TRUE);
    if (c.destroyFirst)
        window->Destroy();
    platform::PumpFor(50);
    EXPECT_EQ(!watch.expired(), c.aliveAfterPump);
    const bool dispatched = !c.deadAtPost && !c.destroyFirst;
    std::erase_if(window->got, [](const Received& r) { return r.message == WM_DESTROY; });
    ASSERT_EQ(window->got.size(), dispatched ? 1u : 0u);
    if (dispatched) {
        EXPECT_EQ(window->got[0].wParam, borrowed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PayloadTest,
    ::testing::Values(PayloadCase{"FreedAfterDispatch", false, false, false, false},
                      PayloadCase{"KeptByTheWindow", true, false, false, true},
                      PayloadCase{"FreedWhenTheWindowDiesFirst", true, true, false, false},
                      PayloadCase{"FreedWhenPostedToADeadWindow", true, false, true, false}),
    [](const auto& info) { return info.param.name; });

TEST_F(MessagesTest, DeadHandlesAreInertAndNeverReused) {
    HWND dead;
    {
        Recorder window;
        dead = window.hwnd();
        EXPECT_TRUE(IsWindow(dead));
    }
    EXPECT_FALSE(IsWindow(dead));
    EXPECT_FALSE(PostMessage(dead, WM_APP, 0, 0));
    EXPECT_EQ(SendMessage(dead, WM_APP, 0, 0), 0);
    EXPECT_EQ(SetTimer(dead, 1, 100, nullptr), 0u);
    EXPECT_FALSE(DestroyWindow(dead));
    Recorder next;
    EXPECT_NE(next.hwnd(), dead);

    // The windows of a thread that ended are gone with it, and so is what was posted to them.
    HWND orphan = nullptr;
    auto data = std::make_shared<int>(5);
    std::weak_ptr<int> watch = data;
    std::thread([&] {
        orphan = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        platform::PostMessageWithPayload(orphan, WM_APP, 0, 0, std::move(data));
    }).join();
    EXPECT_FALSE(IsWindow(orphan));
    EXPECT_TRUE(watch.expired());
}

TEST_F(MessagesTest, SendMessageRunsOnTheOwnerThreadAndReturnsItsResult) {
    Recorder window;
    EXPECT_EQ(SendMessage(window.hwnd(), WM_APP, 0, 10), 11); // the owner itself: at once
    LRESULT fromWorker = 0;
    bool done = false;
    std::thread worker([&] {
        fromWorker = SendMessage(window.hwnd(), WM_APP + 2, 3, 41);
        PostMessage(window.hwnd(), WM_APP + 3, 0, 0);
    });
    ASSERT_TRUE(platform::PumpUntil([&] {
        done = !window.got.empty() && window.got.back().message == WM_APP + 3;
        return done;
    }));
    worker.join();
    EXPECT_EQ(fromWorker, 42);
    ASSERT_EQ(window.got.size(), 3u);
    EXPECT_EQ(window.got[1].message, WM_APP + 2);
    EXPECT_EQ(window.got[1].thread, GetCurrentThreadId());
}

TEST_F(MessagesTest, SendMessageToAThreadThatEndsWithoutPumpingReturnsZero) {
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND target = nullptr;
    std::thread owner([&] {
        target = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 9; });
        SetEvent(created);
        Sleep(300);
    });
    WaitForSingleObject(created, INFINITE);
    EXPECT_EQ(SendMessage(target, WM_APP, 0, 0), 0);
    owner.join();
    CloseHandle(created);
}

TEST_F(MessagesTest, QuitComesAfterThePostedMessagesAndDestroyBelongsToTheOwner) {
    Recorder window;
    PostMessage(window.hwnd(), WM_APP, 0, 1);
    PostQuitMessage(3);
    PostMessage(window.hwnd(), WM_APP, 0, 2);
    MSG msg;
    std::vector<LPARAM> order;
    while (GetMessage(&msg, nullptr, 0, 0)) {
        order.push_back(msg.lParam);
        DispatchMessage(&msg);
    }
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(order, (std::vector<LPARAM>{1, 2}));

    BOOL foreign = TRUE;
    std::thread([&] { foreign = DestroyWindow(window.hwnd()); }).join();
    EXPECT_FALSE(foreign);
    window.Destroy();
    ASSERT_EQ(window.got.size(), 3u);
    EXPECT_EQ(window.got.back().message, WM_DESTROY);
}

TEST_F(MessagesTest, WakeHookTellsAToolkitLoopAboutWork) {
    Recorder window;
    std::atomic<int> wakes{0};
    platform::SetQueueWakeHook([&] { ++wakes; });
    std::thread([&] { PostMessage(window.hwnd(), WM_APP, 0, 0); }).join();
    EXPECT_GE(wakes, 1);
    EXPECT_EQ(platform::MillisecondsToNextTimer(), INFINITE);
    SetTimer(window.hwnd(), 1, 60000, nullptr);
    EXPECT_GE(wakes, 2);
    EXPECT_LE(platform::MillisecondsToNextTimer(), 60000u);
    EXPECT_EQ(platform::PumpPending(), 1);
    EXPECT_EQ(window.got.size(), 1u);
    platform::SetQueueWakeHook(nullptr);
}

} // namespace
