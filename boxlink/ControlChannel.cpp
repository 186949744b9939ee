#include "boxlink/ControlChannel.h"

#include "boxlink/BoxMessages.h"
#include "boxlink/TcpConnect.h"
#include "boxlink/WindowPost.h"
#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Sync.h"

#include <algorithm>
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
    closing_ = false;
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

void KQ_TCP_ControlChannel::Shutdown() {
    std::lock_guard lock(lifecycleMutex_);
    closing_ = true;
    const SOCKET s = socket_;
    if (s != INVALID_SOCKET)
        shutdown(s, SHUT_RDWR); // wakes the receive thread and any send in progress
}

void KQ_TCP_ControlChannel::Close() {
    Shutdown();
    std::lock_guard lock(lifecycleMutex_);
    receiveRun_ = false;
    if (dispatchRun_ == 1)
        dispatchRun_ = 0;
    wakeAll();
    if (receiveThread_.joinable())
        receiveThread_.join();
    if (dispatchThread_.joinable())
        dispatchThread_.join();
    {
        // A send still on the socket ends at once on the shutdown; the socket goes after it.
        std::unique_lock send(sendMutex_);
        sendFree_.wait(send, [this] { return !sending_; });
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

KQ_TCP_ControlChannel::Sent KQ_TCP_ControlChannel::sendBefore(const void* data, std::size_t length,
                                                              platform::Duration deadline) {
    {
        std::unique_lock lock(sendMutex_);
        // A turn that does not come in time: the send that holds the socket ends the link if it cannot
        // finish either.
        if (!platform::WaitUntilScaled(sendFree_, lock, deadline, [this] { return !sending_; }))
            return Sent::NotSent;
        sending_ = true;
    }
    const SOCKET s = socket_;
    Sent result = Sent::NotSent;
    if (s != INVALID_SOCKET && !closing_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - platform::Now()).count();
        const int n = static_cast<int>(std::min<std::size_t>(length, INT_MAX));
        if (platform::SendAll(s, data, n, static_cast<DWORD>(std::clamp<long long>(left, 0, INT_MAX))) == n) {
            result = Sent::Whole;
        } else if (!closing_) {
            result = Sent::Lost;
            endLink(s); // while the socket is still this send's
        }
    }
    {
        std::lock_guard lock(sendMutex_);
        sending_ = false;
    }
    sendFree_.notify_all();
    return result;
}

KQ_TCP_ControlChannel::Sent KQ_TCP_ControlChannel::sendFrame(const BoxControlFrame& frame,
                                                             platform::Duration deadline) {
    return sendBefore(frame.bytes.data(), BoxControlFrame::kSize, deadline);
}

KQ_TCP_ControlChannel::Sent KQ_TCP_ControlChannel::sendFrame(const BoxControlFrame& frame) {
    return sendFrame(frame, platform::DeadlineAfter(kFrameSendMs));
}

void KQ_TCP_ControlChannel::endLink(SOCKET s) {
    shutdown(s, SHUT_RDWR);
    if (link_.ClaimLinkLoss())
        PostToWindow(link_.mainWindow, WM_BOX_LINK_LOST);
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
    const Sent sent = sendFrame(frame);
    if (sent == Sent::Whole)
        return true;
    // With the link lost the request fails at once, as its last expiry would; the login's caller reports
    // a login that could not be sent itself.
    if (const std::optional<PendingRequest> request = claim(sequence);
        request && sent == Sent::Lost && frame.command() != BOX_CMD_LOGIN)
        failRequest(*request);
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
    SetThreadDescription(GetCurrentThread(), L"control receive");
    const int receiveBuffer = -1; // as large as the system allows
    const int sendBuffer = 0x8000;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    BYTE buffer[kReceiveChunk];
    while (receiveRun_) {
        if (platform::WaitReadable(s, kReceiveWaitMs) == 1) {
            const int n = platform::Recv(s, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
                // The box closed the connection, or it broke: nothing more comes on it.
                if (receiveRun_ && !closing_)
                    endLink(s);
                return;
            }
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
    SetThreadDescription(GetCurrentThread(), L"control replies");
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
