#include "platform/win32/Messages.h"

#include "platform/win32/Clock.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

using platform::Duration;

namespace {

struct Queue;

struct Sent {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::shared_ptr<Queue> sender; // its condition is notified when the call is done
    bool done = false;             // under sender->mutex
    LRESULT result = 0;
};

struct Posted {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    platform::Payload payload;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    TIMERPROC proc;
    Duration period;
    Duration due;
    std::uint64_t serial;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable cv; // new work, a finished SendMessage, a timer expiry that returned
    std::deque<Posted> posted;
    std::deque<std::shared_ptr<Sent>> sent;
    std::vector<Timer> timers;
    std::vector<std::uint64_t> firing; // serials of the timer expiries running now (nested pumps stack them)
    bool quit = false;
    int quitCode = 0;
    bool alive = true;
    std::function<void()> wakeHook;
};

struct Window {
    std::shared_ptr<Queue> queue;
    std::shared_ptr<platform::WindowProc> proc;
};

std::mutex g_windowsMutex; // taken before any queue's mutex, never while holding one
std::unordered_map<std::uintptr_t, Window> g_windows;
std::uintptr_t g_nextWindow = 1;
std::atomic<std::uint64_t> g_nextTimerSerial{1};
std::atomic<UINT_PTR> g_nextThreadTimerId{1};

thread_local platform::Payload* t_dispatchPayload = nullptr;

constexpr Duration kMinimumTimerPeriod = std::chrono::milliseconds(10);

std::optional<Window> findWindow(HWND hwnd) {
    std::lock_guard lock(g_windowsMutex);
    auto it = g_windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    if (it == g_windows.end())
        return std::nullopt;
    return it->second;
}

void complete(const std::shared_ptr<Sent>& sent, LRESULT result) {
    std::lock_guard lock(sent->sender->mutex);
    sent->result = result;
    sent->done = true;
    sent->sender->cv.notify_all();
}

// Wakes the queue's waiters and its toolkit hook; the hook runs after the lock is released.
void wake(Queue& queue, std::unique_lock<std::mutex>& lock) {
    queue.cv.notify_all();
    std::function<void()> hook = queue.wakeHook;
    lock.unlock();
    if (hook)
        hook();
}

struct QueueHolder {
    std::shared_ptr<Queue> queue = std::make_shared<Queue>();
    ~QueueHolder() {
        std::vector<Window> windows;
        {
            std::lock_guard lock(g_windowsMutex);
            for (auto it = g_windows.begin(); it != g_windows.end();) {
                if (it->second.queue == queue) {
                    windows.push_back(std::move(it->second));
                    it = g_windows.erase(it);
                } else {
                    ++it;
                }
            }
        }
        std::deque<Posted> posted;
        std::deque<std::shared_ptr<Sent>> sent;
        {
            std::lock_guard lock(queue->mutex);
            queue->alive = false;
            posted.swap(queue->posted);
            sent.swap(queue->sent);
            queue->timers.clear();
            queue->wakeHook = nullptr;
        }
        for (auto& s : sent)
            complete(s, 0);
    }
};

std::shared_ptr<Queue>& currentQueue() {
    thread_local QueueHolder holder;
    return holder.queue;
}

bool matches(HWND hwnd, UINT message, HWND filter, UINT filterMin, UINT filterMax) {
    if (filter && hwnd != filter)
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return message >= filterMin && message <= filterMax;
}

// Takes (or copies) the next message the queue has for the filter. Under the queue's lock.
bool retrieve(Queue& q, MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!matches(it->hwnd, it->message, filter, filterMin, filterMax))
            continue;
        *msg = MSG{it->hwnd, it->message, it->wParam, it->lParam, it->time, {}, {}};
        if (remove) {
            msg->extra.payload = std::move(it->payload);
            q.posted.erase(it);
        } else {
            msg->extra.payload = it->payload;
        }
        return true;
    }
    if (q.quit) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, GetTickCount(), {}, {}};
        if (remove)
            q.quit = false;
        return true;
    }
    const Duration now = platform::Now();
    Timer* due = nullptr;
    for (Timer& t : q.timers)
        if (t.due <= now && matches(t.hwnd, WM_TIMER, filter, filterMin, filterMax) &&
            (!due || t.due < due->due))
            due = &t;
    if (!due)
        return false;
    *msg = MSG{due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), GetTickCount(), {}, {}};
    msg->extra.timer = due->serial;
    if (remove)
        due->due = now + due->period; // a late timer gives one expiry, not one per missed period
    return true;
}

Duration nextTimerDue(const Queue& q) {
    Duration next = Duration::max();
    for (const Timer& t : q.timers)
        next = std::min(next, t.due);
    return next;
}

void runSent(const std::shared_ptr<Sent>& sent) {
    std::optional<Window> window = findWindow(sent->hwnd);
    LRESULT result = 0;
    if (window && window->queue == currentQueue())
        result = (*window->proc)(sent->hwnd, sent->message, sent->wParam, sent->lParam);
    complete(sent, result);
}

// Runs sent messages and returns the next message for the filter, waiting until the deadline of the scaled
// clock; false when the deadline passed without one.
bool getOrWait(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove, Duration deadline) {
    std::shared_ptr<Queue> qp = currentQueue();
    Queue& q = *qp;
    std::unique_lock lock(q.mutex);
    for (;;) {
        if (!q.sent.empty()) {
            std::shared_ptr<Sent> sent = std::move(q.sent.front());
            q.sent.pop_front();
            lock.unlock();
            runSent(sent);
            lock.lock();
            continue;
        }
        if (retrieve(q, msg, filter, filterMin, filterMax, remove))
            return true;
        const Duration now = platform::Now();
        if (now >= deadline)
            return false;
        const Duration until = std::min(deadline, nextTimerDue(q));
        if (until > now)
            q.cv.wait_for(lock, platform::ToRealDuration(until - now));
    }
}

std::shared_ptr<Queue> timerQueue(HWND hwnd) {
    if (!hwnd)
        return currentQueue();
    std::optional<Window> window = findWindow(hwnd);
    return window ? window->queue : nullptr;
}

} // namespace

BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return platform::PostMessageWithPayload(hwnd, message, wParam, lParam, nullptr);
}

BOOL platform::PostMessageWithPayload(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      Payload payload) {
    std::shared_ptr<Queue> q;
    if (!hwnd) {
        q = currentQueue();
    } else if (std::optional<Window> window = findWindow(hwnd)) {
        q = window->queue;
    } else {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::unique_lock lock(q->mutex);
    if (!q->alive) {
        lock.unlock(); // the payload is freed outside the lock
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    q->posted.push_back(Posted{hwnd, message, wParam, lParam, GetTickCount(), std::move(payload)});
    wake(*q, lock);
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::optional<Window> window = findWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::shared_ptr<Queue> self = currentQueue();
    if (window->queue == self)
        return (*window->proc)(hwnd, message, wParam, lParam);

    auto sent = std::make_shared<Sent>(Sent{hwnd, message, wParam, lParam, self});
    {
        std::unique_lock lock(window->queue->mutex);
        if (!window->queue->alive)
            return 0;
        window->queue->sent.push_back(sent);
        wake(*window->queue, lock);
    }
    std::unique_lock lock(self->mutex);
    while (!sent->done) {
        if (!self->sent.empty()) {
            std::shared_ptr<Sent> incoming = std::move(self->sent.front());
            self->sent.pop_front();
            lock.unlock();
            runSent(incoming);
            lock.lock();
            continue;
        }
        self->cv.wait(lock);
    }
    return sent->result;
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    getOrWait(msg, hwnd, filterMin, filterMax, true, Duration::max());
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    return getOrWait(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, Duration::zero())
               ? TRUE
               : FALSE;
}

LRESULT DispatchMessage(const MSG* msg) {
    platform::Payload payload = std::move(msg->extra.payload);
    std::shared_ptr<Queue> self = currentQueue();
    std::optional<Window> window;
    if (msg->hwnd) {
        window = findWindow(msg->hwnd);
        if (!window || window->queue != self)
            return 0; // dead, or not this thread's: procedures run on their owner thread only
    }
    if (msg->message == WM_TIMER && msg->extra.timer != 0) {
        const std::uint64_t serial = msg->extra.timer;
        {
            std::lock_guard lock(self->mutex);
            const bool alive = std::any_of(self->timers.begin(), self->timers.end(),
                                           [serial](const Timer& t) { return t.serial == serial; });
            if (!alive)
                return 0; // killed after it was retrieved
            self->firing.push_back(serial);
        }
        LRESULT result = 0;
        if (msg->lParam)
            reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        else if (window)
            result = (*window->proc)(msg->hwnd, WM_TIMER, msg->wParam, 0);
        std::lock_guard lock(self->mutex);
        self->firing.erase(std::find(self->firing.begin(), self->firing.end(), serial));
        self->cv.notify_all();
        return result;
    }
    if (!window)
        return 0; // a thread message: nothing to run
    platform::Payload* outer = t_dispatchPayload;
    t_dispatchPayload = &payload;
    const LRESULT result = (*window->proc)(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    t_dispatchPayload = outer;
    return result;
}

void PostQuitMessage(int exitCode) {
    Queue& q = *currentQueue();
    std::unique_lock lock(q.mutex);
    q.quit = true;
    q.quitCode = exitCode;
    wake(q, lock);
}

BOOL IsWindow(HWND hwnd) {
    return findWindow(hwnd) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND hwnd) {
    Window window;
    {
        std::lock_guard lock(g_windowsMutex);
        auto it = g_windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
        if (it == g_windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (it->second.queue != currentQueue()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        window = std::move(it->second);
        g_windows.erase(it);
    }
    std::deque<Posted> dropped;
    std::vector<std::shared_ptr<Sent>> cancelled;
    {
        Queue& q = *window.queue;
        std::lock_guard lock(q.mutex);
        for (auto it = q.posted.begin(); it != q.posted.end();) {
            if (it->hwnd == hwnd) {
                dropped.push_back(std::move(*it));
                it = q.posted.erase(it);
            } else {
                ++it;
            }
        }
        for (auto it = q.sent.begin(); it != q.sent.end();) {
            if ((*it)->hwnd == hwnd) {
                cancelled.push_back(std::move(*it));
                it = q.sent.erase(it);
            } else {
                ++it;
            }
        }
        std::erase_if(q.timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
    }
    for (auto& s : cancelled)
        complete(s, 0);
    (*window.proc)(hwnd, WM_DESTROY, 0, 0);
    return TRUE;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR timerId, UINT elapseMs, TIMERPROC proc) {
    std::shared_ptr<Queue> q = timerQueue(hwnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const Duration period = std::max<Duration>(std::chrono::milliseconds(elapseMs), kMinimumTimerPeriod);
    std::unique_lock lock(q->mutex);
    if (!q->alive)
        return 0;
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == timerId; });
    if (it == q->timers.end() || (!hwnd && timerId == 0)) {
        if (!hwnd)
            timerId = g_nextThreadTimerId++;
        q->timers.push_back(
            Timer{hwnd, timerId, proc, period, platform::Now() + period, g_nextTimerSerial++});
    } else {
        it->proc = proc;
        it->period = period;
        it->due = platform::Now() + period;
    }
    wake(*q, lock);
    return timerId != 0 ? timerId : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR timerId) {
    std::shared_ptr<Queue> q = timerQueue(hwnd);
    if (!q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::unique_lock lock(q->mutex);
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == timerId; });
    if (it == q->timers.end())
        return FALSE;
    const std::uint64_t serial = it->serial;
    q->timers.erase(it);
    if (q != currentQueue()) {
        q->cv.wait(lock,
                   [&] { return std::find(q->firing.begin(), q->firing.end(), serial) == q->firing.end(); });
    }
    return TRUE;
}

namespace platform {

HWND CreateMessageWindow(WindowProc proc) {
    auto shared = std::make_shared<WindowProc>(std::move(proc));
    std::shared_ptr<Queue> q = currentQueue();
    std::lock_guard lock(g_windowsMutex);
    const std::uintptr_t id = g_nextWindow++;
    g_windows.emplace(id, Window{std::move(q), std::move(shared)});
    return reinterpret_cast<HWND>(id);
}

Payload TakeDispatchedPayload() {
    return t_dispatchPayload ? std::move(*t_dispatchPayload) : nullptr;
}

MessageWindow::MessageWindow() {
    hwnd_ = CreateMessageWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        // Destroyed from this base's destructor, the derived part is gone: it gets no WM_DESTROY.
        if (message == WM_DESTROY && !hwnd_)
            return 0;
        return OnMessage(message, wParam, lParam);
    });
}

MessageWindow::~MessageWindow() {
    if (HWND hwnd = hwnd_) {
        hwnd_ = nullptr;
        DestroyWindow(hwnd);
    }
}

void MessageWindow::Destroy() {
    if (hwnd_) {
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
}

bool PumpFor(DWORD milliseconds) {
    const Duration deadline = DeadlineAfter(milliseconds);
    MSG msg;
    while (Now() < deadline && getOrWait(&msg, nullptr, 0, 0, true, deadline)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        DispatchMessage(&msg);
    }
    return true;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const Duration deadline = DeadlineAfter(timeoutMs);
    MSG msg;
    while (!done()) {
        const Duration now = Now();
        if (now >= deadline)
            return done();
        // Short slices, so that a condition set by another thread without a message is seen soon.
        const auto slice = std::chrono::duration_cast<Duration>(std::chrono::milliseconds(5) * TimeScale());
        if (getOrWait(&msg, nullptr, 0, 0, true, std::min(deadline, now + slice))) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return done();
            }
            DispatchMessage(&msg);
        }
    }
    return true;
}

int PumpPending() {
    std::size_t limit;
    {
        Queue& q = *currentQueue();
        std::lock_guard lock(q.mutex);
        // What is there now; work that the dispatches add wakes the toolkit loop again.
        limit = q.posted.size() + q.timers.size() + q.sent.size() + 1;
    }
    int count = 0;
    MSG msg;
    while (static_cast<std::size_t>(count) < limit &&
           getOrWait(&msg, nullptr, 0, 0, true, Duration::zero())) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        DispatchMessage(&msg);
        ++count;
    }
    return count;
}

void SetQueueWakeHook(std::function<void()> hook) {
    Queue& q = *currentQueue();
    std::lock_guard lock(q.mutex);
    q.wakeHook = std::move(hook);
}

DWORD MillisecondsToNextTimer() {
    Queue& q = *currentQueue();
    std::lock_guard lock(q.mutex);
    const Duration next = nextTimerDue(q);
    if (next == Duration::max())
        return INFINITE;
    const Duration now = Now();
    if (next <= now)
        return 0;
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(ToRealDuration(next - now));
    return static_cast<DWORD>(std::min<long long>(real.count(), INFINITE - 1));
}

} // namespace platform
