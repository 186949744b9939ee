// The application object and the UI thread's loop: the toolkit's event loop drives the platform/win32
// queue of the UI thread (posted messages and timers of every window), so modal dialogs and the main loop
// run both. One application object per process, created before Run.
#pragma once

#include "platform/mfc/WinUser.h"

#include <functional>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; FALSE ends the program after ExitInstance without running the message loop.
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The program's main: the toolkit, InitInstance, the message loop while InitInstance said TRUE (until
    // WM_QUIT), ExitInstance; returns the exit code.
    int Run(int argc, char** argv);

    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The wait cursor over the program's windows while the object lives (one may be nested in another).
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    bool shown_;
};

namespace platform::mfc {

// Creates the toolkit application when there is none (tests: on the platform QT_QPA_PLATFORM names) and
// lets the toolkit's loop drive the calling thread's window queue. Idempotent.
void EnsureToolkit();

// The session's end (SIGTERM, SIGHUP) and Ctrl+C (SIGINT) close the program as its main window's close box
// does: WM_CLOSE to the application's main window (WM_QUIT when there is none), sent from the toolkit's
// loop, never from the signal handler. After one such signal a second ends the process at once. Run calls
// it before InitInstance; calling it again arms the handlers again.
void CloseOnEndSignals();

// Loops of the UI thread for tests and modal dialogs: toolkit events and window messages together.
void PumpUiFor(DWORD milliseconds);
bool PumpUiUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

} // namespace platform::mfc
