#include "boxlink/ControlChannel.h"

#include "boxlink/TcpConnect.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"

#include <climits>

namespace {

constexpr DWORD kLanConnectWaitMs = 5000;
constexpr DWORD kReceiveWaitMs = 2005;
constexpr DWORD kPauseMs = 100;
constexpr int kReceiveChunk = 4096;

} // namespace

KQ_TCP_ControlChannel::KQ_TCP_ControlChannel(BoxLinkState& link) : link_(link) {
    bindRequestTimers(this);
}

KQ_TCP_ControlChannel::~KQ_TCP_ControlChannel() {
    Close();
    unbindRequestTimers(this);
    for (const PendingRequest& request : pending_.Clear())
        KillTimer(request.window, request.sequence);
}

bool KQ_TCP_ControlChannel::Connect(const std::string& boxAddress) {
    std::uint32_t address = 0;
    if (!platform::ParseIpv4(boxAddress, address))
        return false;
    Sleep(10);
    const SOCKET s =
        ConnectTcp(address, platform::GetNetEnvironment().lanControlPort, 2, kLanConnectWaitMs, true);
    if (s == INVALID_SOCKET)
        return false;
    Adopt(s);
    StartThreads();
    return true;
}

void KQ_TCP_ControlChannel::Adopt(SOCKET socket) {
    Close();
    std::lock_guard lock(lifecycleMutex_);
    std::lock_guard send(sendMutex_);
    socket_ = socket;
}

void KQ_TCP_ControlChannel::StartThreads() {
    std::lock_guard lock(lifecycleMutex_);
    if (socket_ == INVALID_SOCKET || receiveThread_.joinable())
        return;
    {
        std::lock_guard wake(wakeMutex_);
        stopping_ = false;
    }
    // Both flags are up before the threads exist, so a Close that comes at once always stops them.
    receiveRun_ = true;
    dispatchRun_ = 1;
    receiveThread_ = std::thread(&KQ_TCP_ControlChannel::receiveLoop, this, socket_.load());
    dispatchThread_ = std::thread(&KQ_TCP_ControlChannel::dispatchLoop, this);
}

void KQ_TCP_ControlChannel::Close() {
    std::lock_guard lock(lifecycleMutex_);
    receiveRun_ = false;
    if (dispatchRun_ == 1)
        dispatchRun_ = 0;
    wakeAll();
    const SOCKET s = socket_;
    if (s != INVALID_SOCKET)
        shutdown(s, SHUT_RDWR); // wakes the receive thread and any send in progress
    if (receiveThread_.joinable())
        receiveThread_.join();
    if (dispatchThread_.joinable())
        dispatchThread_.join();
    {
        std::lock_guard send(sendMutex_);
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
        socket_ = INVALID_SOCKET;
    }
    ring_.Reset();
}

BoxControlFrame KQ_TCP_ControlChannel::newFrame(DWORD command, DWORD value) {
    BoxControlFrame frame;
    frame.SetU32(BoxControlFrame::kTypeAt, BoxControlFrame::kType);
    frame.SetU32(BoxControlFrame::kSequenceAt, sequence_.fetch_add(1) + 1);
    frame.SetU32(BoxControlFrame::kCommandAt, command);
    frame.SetU32(BoxControlFrame::kValueAt, value);
    return frame;
}

bool KQ_TCP_ControlChannel::sendWhole(const void* data, std::size_t length) {
    std::lock_guard lock(sendMutex_);
    const SOCKET s = socket_;
    if (s == INVALID_SOCKET)
        return false;
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        const int n = platform::Send(s, p, static_cast<int>(std::min<std::size_t>(length, INT_MAX)));
        if (n <= 0)
            return false;
        p += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

bool KQ_TCP_ControlChannel::sendAwaited(HWND window, BoxControlFrame& frame, DWORD timeoutMs, BYTE maxSends) {
    if (!window)
        return false;
    frame.Seal();
    const DWORD sequence = frame.sequence();
    pending_.Add(frame, window, maxSends);
    if (!SetTimer(window, sequence, timeoutMs, RequestTimerProc)) {
        pending_.Remove(sequence);
        return false;
    }
    if (sendWhole(frame.bytes.data(), BoxControlFrame::kSize))
        return true;
    if (pending_.Remove(sequence))
        KillTimer(window, sequence);
    return false;
}

void KQ_TCP_ControlChannel::wakeAll() {
    {
        std::lock_guard lock(wakeMutex_);
        stopping_ = true;
    }
    wakeCv_.notify_all();
}

void KQ_TCP_ControlChannel::pause(DWORD milliseconds, const std::uint64_t* seenArrivals) {
    std::unique_lock lock(wakeMutex_);
    platform::WaitUntilScaled(wakeCv_, lock, platform::DeadlineAfter(milliseconds),
                              [&] { return stopping_ || (seenArrivals && arrivals_ != *seenArrivals); });
}

std::uint64_t KQ_TCP_ControlChannel::arrivals() {
    std::lock_guard lock(wakeMutex_);
    return arrivals_;
}

void KQ_TCP_ControlChannel::receiveLoop(SOCKET s) {
    const int receiveBuffer = -1; // as large as the system allows
    const int sendBuffer = 0x8000;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    BYTE buffer[kReceiveChunk];
    while (receiveRun_) {
        if (platform::WaitReadable(s, kReceiveWaitMs) == 1) {
            const int n = platform::Recv(s, buffer, sizeof buffer);
            // A full ring drops what came.
            if (n > 0 && ring_.Write(buffer, static_cast<DWORD>(n))) {
                {
                    std::lock_guard lock(wakeMutex_);
                    ++arrivals_;
                }
                wakeCv_.notify_all();
                continue;
            }
        }
        pause(kPauseMs, nullptr);
    }
}

void KQ_TCP_ControlChannel::dispatchLoop() {
    while (dispatchRun_ == 1) {
        const std::uint64_t seen = arrivals();
        switch (DispatchOnce()) {
        case DispatchStep::Empty:
            pause(kPauseMs, &seen);
            break;
        case DispatchStep::Incomplete:
            pause(kPauseMs, nullptr); // counted per pause: an incomplete message gives up after about 5 s
            break;
        case DispatchStep::Handled:
            break;
        }
    }
    dispatchRun_ = -1;
    ring_.Reset();
}

LoginReplyValues KQ_TCP_ControlChannel::LoginReply() const {
    std::lock_guard lock(valuesMutex_);
    return loginReply_;
}

std::array<BYTE, 160> KQ_TCP_ControlChannel::UserBlock() const {
    std::lock_guard lock(valuesMutex_);
    return userBlock_;
}
