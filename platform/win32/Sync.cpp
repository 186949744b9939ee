#include "platform/win32/Sync.h"

#include "platform/win32/Clock.h"
#include "platform/win32/Text.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <pthread.h>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

thread_local DWORD t_lastError = 0;

// Every kernel object's state is guarded by one mutex and every change wakes every waiter: there are few
// objects and few waits, and a single condition makes waits on several objects simple and exact.
std::mutex g_kernelMutex;
std::condition_variable g_kernelChanged;

struct KernelObject {
    virtual ~KernelObject() = default;
    virtual bool signalled() const = 0; // under g_kernelMutex
    virtual void acquire() {}           // under g_kernelMutex, after a wait was satisfied
};

struct Event final : KernelObject {
    bool manualReset;
    bool state;
    Event(bool manual, bool initial) : manualReset(manual), state(initial) {}
    bool signalled() const override { return state; }
    void acquire() override {
        if (!manualReset)
            state = false;
    }
};

struct ThreadState {
    bool finished = false; // under g_kernelMutex
    DWORD exitCode = STILL_ACTIVE;
};

struct ThreadObject final : KernelObject {
    std::shared_ptr<ThreadState> state = std::make_shared<ThreadState>();
    std::thread thread;
    bool signalled() const override { return state->finished; }
    ~ThreadObject() override {
        if (!thread.joinable())
            return;
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach(); // the thread dropped the last handle of itself and is about to return
        else
            thread.join();
    }
};

// Handle ids start above 0 and step by 4, so no handle is NULL or INVALID_HANDLE_VALUE.
std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> g_handles;
std::uintptr_t g_nextHandle = 4;

HANDLE addHandle(std::shared_ptr<KernelObject> object) {
    std::lock_guard lock(g_kernelMutex);
    const std::uintptr_t id = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> findLocked(HANDLE handle) {
    auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == g_handles.end() ? nullptr : it->second;
}

template <class T> T* lookupLocked(HANDLE handle) {
    return dynamic_cast<T*>(findLocked(handle).get());
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

DWORD GetCurrentThreadId() {
    static std::atomic<DWORD> next{1};
    thread_local const DWORD id = next++;
    return id;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    if (name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return addHandle(std::make_shared<Event>(manualReset != FALSE, initialState != FALSE));
}

static BOOL setEventState(HANDLE handle, bool state) {
    std::lock_guard lock(g_kernelMutex);
    Event* event = lookupLocked<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->state = state;
    if (state)
        g_kernelChanged.notify_all();
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    return setEventState(event, true);
}
BOOL ResetEvent(HANDLE event) {
    return setEventState(event, false);
}

HANDLE GetCurrentThread() {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-2));
}

HRESULT SetThreadDescription(HANDLE thread, LPCWSTR description) {
    if (thread != GetCurrentThread())
        return E_NOTIMPL;
    if (!description)
        return E_POINTER;
    std::string name = platform::ToUtf8(description);
    if (name.size() > 15)
        name.resize(15); // a cut inside a character only shortens the name the system shows
    return pthread_setname_np(pthread_self(), name.c_str()) == 0 ? S_OK : E_FAIL;
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, DWORD* threadId) {
    if (!start || (creationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    std::shared_ptr<ThreadState> state = object->state;
    std::atomic<DWORD> id{0};
    std::mutex started;
    std::condition_variable startedCv;
    object->thread = std::thread([start, parameter, state, &id, &started, &startedCv] {
        {
            // Notified under the lock: once CreateThread sees the id it may return and end these locals.
            std::lock_guard lock(started);
            id = GetCurrentThreadId();
            startedCv.notify_one();
        }
        const DWORD code = start(parameter);
        std::lock_guard lock(g_kernelMutex);
        state->exitCode = code;
        state->finished = true;
        g_kernelChanged.notify_all();
    });
    {
        std::unique_lock lock(started);
        startedCv.wait(lock, [&] { return id != 0; });
    }
    if (threadId)
        *threadId = id;
    return addHandle(std::move(object));
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
    std::lock_guard lock(g_kernelMutex);
    ThreadObject* object = lookupLocked<ThreadObject>(thread);
    if (!object || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = object->state->finished ? object->state->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        std::lock_guard lock(g_kernelMutex);
        auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == g_handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        g_handles.erase(it);
    }
    object.reset(); // outside the lock: a thread object joins its thread here
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &object, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    const platform::Duration deadline = platform::DeadlineAfter(milliseconds);
    std::unique_lock lock(g_kernelMutex);
    // The objects are held for the wait, so a CloseHandle meanwhile cannot free them under us.
    std::vector<std::shared_ptr<KernelObject>> objects;
    objects.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        objects.push_back(findLocked(handles[i]));
        if (!objects.back()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    DWORD result = WAIT_TIMEOUT;
    auto ready = [&] {
        if (waitAll) {
            for (const auto& o : objects)
                if (!o->signalled())
                    return false;
            for (const auto& o : objects)
                o->acquire();
            result = WAIT_OBJECT_0;
            return true;
        }
        for (DWORD i = 0; i < count; ++i) {
            if (objects[i]->signalled()) {
                objects[i]->acquire();
                result = WAIT_OBJECT_0 + i;
                return true;
            }
        }
        return false;
    };
    platform::WaitUntilScaled(g_kernelChanged, lock, deadline, ready);
    lock.unlock();
    objects.clear(); // may join a thread whose handle was closed meanwhile: outside the lock
    return result;
}

void InitializeCriticalSection(CRITICAL_SECTION*) {}
void DeleteCriticalSection(CRITICAL_SECTION*) {}
void EnterCriticalSection(CRITICAL_SECTION* section) {
    section->mutex.lock();
}
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    return section->mutex.try_lock() ? TRUE : FALSE;
}
void LeaveCriticalSection(CRITICAL_SECTION* section) {
    section->mutex.unlock();
}
