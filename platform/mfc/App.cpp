#include "platform/mfc/App.h"

#include "platform/mfc/Wnd.h"
#include "platform/mfc/detail/Loop.h"
#include "platform/win32/Clock.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <memory>
#include <optional>
#include <vector>

namespace {

CWinApp* g_app = nullptr;
std::vector<QEventLoop*> g_modalLoops; // innermost last
bool g_mainLoopRunning = false;

// Runs the UI thread's window queue whenever it has work: the queue's wake hook asks for a run (from any
// thread), and a single-shot timer stands for the next window timer.
class QueuePump : public QObject {
public:
    QueuePump() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { run(); });
        platform::SetQueueWakeHook([this] {
            if (!scheduled_.exchange(true))
                QMetaObject::invokeMethod(
                    this, [this] { run(); }, Qt::QueuedConnection);
        });
        QMetaObject::invokeMethod(
            this, [this] { run(); }, Qt::QueuedConnection);
    }
    ~QueuePump() override { platform::SetQueueWakeHook(nullptr); }

private:
    void run() {
        scheduled_ = false;
        platform::PumpPending();
        MSG msg;
        if (PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
            platform::mfc::QuitLoops(static_cast<int>(msg.wParam));
        const DWORD next = platform::MillisecondsToNextTimer();
        if (next == INFINITE)
            timer_.stop();
        else
            timer_.start(static_cast<int>(std::min<DWORD>(next, 1u << 30)));
    }

    QTimer timer_;
    std::atomic<bool> scheduled_{false};
};

void installPump() {
    static QueuePump* pump = nullptr;
    if (pump)
        return;
    pump = new QueuePump; // lives as long as the toolkit application
    pump->setParent(qApp);
    QObject::connect(pump, &QObject::destroyed, [] { pump = nullptr; });
}

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};
int g_signalPipe[2] = {-1, -1};

// The handler only writes to the pipe; the toolkit's loop does the rest. The first signal also gives every
// end signal back its default action, so that a second one ends a program that no longer answers.
void onEndSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    for (int s : kEndSignals)
        sigaction(s, &fallback, nullptr);
    errno = saved;
}

// On the UI thread, in whichever loop runs: the main window closes as its close box closes it.
void closeMainWindow() {
    char bytes[16];
    while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    CWinApp* app = AfxGetApp();
    CWnd* main = app ? app->m_pMainWnd : nullptr;
    if (main && main->m_hWnd)
        ::PostMessage(main->m_hWnd, WM_CLOSE, 0, 0);
    else
        PostQuitMessage(0);
}

} // namespace

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

int CWinApp::Run(int argc, char** argv) {
    std::optional<QApplication> toolkit;
    if (!qApp)
        toolkit.emplace(argc, argv);
    platform::mfc::EnsureToolkit();
    platform::mfc::CloseOnEndSignals();
    int code = 0;
    if (InitInstance()) {
        g_mainLoopRunning = true;
        code = QApplication::exec();
        g_mainLoopRunning = false;
    }
    const int exitCode = ExitInstance();
    return code != 0 ? code : exitCode;
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWaitCursor::CWaitCursor() : shown_(qApp != nullptr) {
    if (shown_)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

CWaitCursor::~CWaitCursor() {
    if (shown_ && qApp)
        QApplication::restoreOverrideCursor();
}

namespace platform::mfc {

void EnsureToolkit() {
    if (!qApp) {
        // Kept for the life of the process: tearing the toolkit down from the exit handlers is not safe.
        static int argc = 1;
        static char name[] = "veloq";
        static char* argv[] = {name, nullptr};
        static QApplication* kept = new QApplication(argc, argv);
        (void)kept;
    }
    installPump();
}

int RunModalLoop(void** handle) {
    QEventLoop loop;
    *handle = &loop;
    g_modalLoops.push_back(&loop);
    const int code = loop.exec();
    g_modalLoops.erase(std::find(g_modalLoops.begin(), g_modalLoops.end(), &loop));
    *handle = nullptr;
    return code;
}

void EndModalLoop(void* handle, int code) {
    if (handle)
        static_cast<QEventLoop*>(handle)->exit(code);
}

void QuitLoops(int exitCode) {
    for (QEventLoop* loop : g_modalLoops)
        loop->exit(kLoopQuit);
    // The toolkit's own modal dialogs (message boxes, the file dialog) run loops of their own.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible() && dialog->isModal())
            dialog->reject();
    if (g_mainLoopRunning)
        QCoreApplication::exit(exitCode);
}

void CloseOnEndSignals() {
    EnsureToolkit();
    static QSocketNotifier* notifier = nullptr;
    if (!notifier) {
        if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
        QObject::connect(notifier, &QSocketNotifier::activated, [] { closeMainWindow(); });
    }
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kEndSignals)
        sigaction(s, &action, nullptr);
}

void PumpUiFor(DWORD milliseconds) {
    EnsureToolkit();
    const platform::Duration deadline = platform::DeadlineAfter(milliseconds);
    while (platform::Now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        platform::PumpPending();
        Sleep(1);
    }
    QCoreApplication::processEvents();
}

bool PumpUiUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    EnsureToolkit();
    const platform::Duration deadline = platform::DeadlineAfter(timeoutMs);
    while (!done()) {
        if (platform::Now() >= deadline)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        platform::PumpPending();
        if (!done())
            Sleep(1);
    }
    return true;
}

} // namespace platform::mfc
