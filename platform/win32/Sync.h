// Kernel objects (events and threads) behind opaque HANDLEs, the waits on them, and critical sections.
// Handles are ids of one process-wide table and are never reused, so a wait on a closed handle fails with
// WAIT_FAILED instead of touching freed memory. Waits read the scaled clock (platform/win32/Clock.h).
#pragma once

#include "platform/win32/Types.h"

#include <mutex>

constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
constexpr DWORD STILL_ACTIVE = 259;

DWORD GetCurrentThreadId(); // a small id per thread, never reused in the process

// Events: manual-reset events stay signalled until ResetEvent; auto-reset events release one waiter and
// reset. Named events are not supported (a name makes the call fail).
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Threads run on std::thread and are never terminated. A thread handle is signalled when the thread's
// function has returned. Closing the last handle of a thread that still runs waits for it to end (the
// thread is joined, never abandoned); a thread may close its own handle, which then only lets it go.
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
constexpr DWORD CREATE_SUSPENDED = 0x4; // not supported: CreateThread fails with it
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, DWORD* threadId);
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode); // STILL_ACTIVE while it runs
// A pseudo handle that stands for the calling thread (not to be closed).
HANDLE GetCurrentThread();
// Names a thread for debuggers and the system's thread lists (which keep its first 15 bytes of UTF-8).
// Only the calling thread can be named: another thread's handle gives E_NOTIMPL.
HRESULT SetThreadDescription(HANDLE thread, LPCWSTR description);

BOOL CloseHandle(HANDLE object);

// Waits: WAIT_OBJECT_0 + i for the first signalled object (all of them with waitAll, which then takes them
// all at once), WAIT_TIMEOUT, or WAIT_FAILED for a bad handle or count.
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds);

// A recursive lock, owned by the thread that entered it.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
