// Windows as message targets, the per-thread message queue and its pump, and window timers. Headless: a
// window here is a handle with a message procedure; the toolkit layer gives some of them a face.
//
// Ownership and threads:
// - A window belongs to the thread that created it; its procedure, its timers and its sent messages run on
//   that thread only, inside the message-retrieving calls of its queue (GetMessage, PeekMessage, PumpFor,
//   PumpUntil, PumpPending) or, for SendMessage from the owner thread itself, at once.
// - Handles are ids that are never reused. Posting, sending or setting a timer for a destroyed window is a
//   silent failure; a payload posted to a window that is dead, or dies before dispatch, is freed.
// - When a thread ends, its windows are destroyed and its queue's messages dropped.
#pragma once

#include "platform/win32/Types.h"

#include <functional>
#include <memory>

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR timerId, DWORD tickCount);

namespace platform {

// Data handed through a posted message. The window's procedure borrows it for the length of the dispatch
// (the poster usually points wParam or lParam at it) and may keep it with TakeDispatchedPayload; otherwise
// it is freed after the dispatch, or at once when the window is gone.
using Payload = std::shared_ptr<void>;

// What a queued message carries besides the Win32 fields; filled and used by this layer only.
struct MessageExtra {
    Payload payload;
    std::uint64_t timer = 0;
};

using WindowProc = std::function<LRESULT(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

} // namespace platform

struct MSG {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt{};
    mutable platform::MessageExtra extra; // released by DispatchMessage
};

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// From the owner thread the procedure runs at once; from another thread the call waits until the owner's
// queue has run it (meanwhile it runs messages sent to the caller's own windows). 0 for a dead window.
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Messages of the calling thread's queue; sent messages are run inside these calls and never returned.
// Posted messages come before timer expiries; WM_QUIT comes when no posted message is left.
BOOL GetMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax); // 0 for WM_QUIT
BOOL PeekMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
LRESULT DispatchMessage(const MSG* msg);
void PostQuitMessage(int exitCode);

BOOL IsWindow(HWND window);
// Only the owner thread may destroy a window; the procedure gets WM_DESTROY first. Its timers end with it.
BOOL DestroyWindow(HWND window);

// Callable from any thread; the expiry runs on the window's owner thread, as the procedure (with a non-null
// proc) or as WM_TIMER to the window. Setting an existing (window, id) again restarts it with the new period.
// With a null window the timer belongs to the calling thread and gets a fresh id. After KillTimer returns no
// expiry of that timer runs: when the owner thread is running it at that moment, a KillTimer from another
// thread waits for it to return (so don't call it while holding a lock that the timer procedure takes).
UINT_PTR SetTimer(HWND window, UINT_PTR timerId, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR timerId);

namespace platform {

// Creates a window owned by the calling thread. The procedure lives until the window is destroyed.
HWND CreateMessageWindow(WindowProc proc);

// PostMessage with a payload (see Payload). FALSE, with the payload freed, when the window is dead.
BOOL PostMessageWithPayload(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Payload payload);

// Inside a window procedure: takes the payload of the posted message being dispatched (empty otherwise).
Payload TakeDispatchedPayload();

// A window owned by an object: created in the constructor on the calling thread, destroyed by Destroy or
// the destructor (on the owner thread). A derived class whose destructor may pump calls Destroy() first.
class MessageWindow {
public:
    MessageWindow();
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void Destroy();

protected:
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

private:
    HWND hwnd_ = nullptr;
};

// Headless pumps of the calling thread's queue. WM_QUIT ends them and stays queued for the caller.
// PumpFor runs messages and timers for the given time of the scaled clock; false when WM_QUIT ended it.
bool PumpFor(DWORD milliseconds);
// Runs messages until done() holds or the time-out passes; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);
// Runs what is ready now without waiting; returns the number of messages dispatched.
int PumpPending();

// For a toolkit event loop that drives this thread's queue: the hook is called, from any thread and
// without locks held, whenever the queue gets work (a post, a sent message, a timer set or changed); the
// loop then calls PumpPending on the owner thread. MillisecondsToNextTimer tells it, in real milliseconds,
// when to call again for timers (INFINITE when none is set).
void SetQueueWakeHook(std::function<void()> hook);
DWORD MillisecondsToNextTimer();

} // namespace platform
