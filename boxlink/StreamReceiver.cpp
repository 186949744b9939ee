#include "boxlink/StreamReceiver.h"

#include "boxlink/BoxClient.h"
#include "boxlink/BoxMessages.h"
#include "boxlink/WindowPost.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Sync.h"

#include <algorithm>

namespace {

constexpr DWORD kChunk = 4096;
// After a wake that brought data the socket thread lets the stream gather this long before it waits
// again: the box sends each record as it is due (about a hundred a second), and one wake per gather takes
// them all, in receives of at most kChunk, and tells the parser once.
constexpr DWORD kGatherMs = 40;
constexpr int kReceiveBuffer = 0x20000;
constexpr DWORD kSilenceMs = 20000;
constexpr DWORD kSocketKeepAliveMs = 3000;
constexpr DWORD kParserKeepAliveMs = 10000;
constexpr DWORD kRateWindowMs = 3000;
constexpr DWORD kConnectWaitMs = 5000;
constexpr int kConnectAttempts = 2;

DWORD since(DWORD tick) {
    return GetTickCount() - tick;
}

} // namespace

KQ_TCP_StreamReceiver::KQ_TCP_StreamReceiver(KQ_TCP_BoxClient& client)
    : client_(client), parser_(client, ring_, stop_) {}

KQ_TCP_StreamReceiver::~KQ_TCP_StreamReceiver() {
    Stop();
}

void KQ_TCP_StreamReceiver::StartLan(const std::string& boxAddress) {
    start(INVALID_SOCKET, boxAddress);
}

void KQ_TCP_StreamReceiver::StartRelay(SOCKET stream) {
    start(stream, {});
}

void KQ_TCP_StreamReceiver::start(SOCKET relaySocket, const std::string& lanAddress) {
    std::lock_guard lock(lifecycleMutex_);
    stopLocked();
    const bool relay = relaySocket != INVALID_SOCKET;
    // An address that is not a dotted IPv4 address connects nowhere (never to the broadcast address that
    // a failed conversion would give).
    in_addr address{};
    const std::uint32_t lan =
        !relay && inet_pton(AF_INET, lanAddress.c_str(), &address) == 1 ? address.s_addr : 0;
    ring_.Reset(); // no thread runs: safe from here
    parser_.Reset();
    parser_.LosePlace(); // the stream may begin within a record
    resetRequested_ = false;
    stop_ = false;
    socket_ = relaySocket;
    parserThread_ = std::thread([this, relay] { parserLoop(relay); });
    socketThread_ = std::thread([this, lan, relay] { socketLoop(lan, relay); });
}

void KQ_TCP_StreamReceiver::Stop() {
    std::lock_guard lock(lifecycleMutex_);
    stopLocked();
}

void KQ_TCP_StreamReceiver::stopLocked() {
    stop_ = true;
    {
        std::lock_guard socketLock(socketMutex_);
        if (socket_ != INVALID_SOCKET)
            shutdown(socket_, SHUT_RDWR);
    }
    { std::lock_guard wakeLock(wakeMutex_); }
    wakeCv_.notify_all();
    if (socketThread_.joinable())
        socketThread_.join();
    if (parserThread_.joinable())
        parserThread_.join();
    // A relay socket handed over to a receiver that never ran its socket thread.
    closeSocket();
}

void KQ_TCP_StreamReceiver::pause(DWORD milliseconds, bool wakeOnData) {
    std::unique_lock lock(wakeMutex_);
    const std::uint64_t seen = arrivals_;
    platform::WaitUntilScaled(wakeCv_, lock, platform::DeadlineAfter(milliseconds),
                              [&] { return stop_.load() || (wakeOnData && arrivals_ != seen); });
}

void KQ_TCP_StreamReceiver::dataArrived() {
    {
        std::lock_guard lock(wakeMutex_);
        ++arrivals_;
    }
    wakeCv_.notify_all();
}

void KQ_TCP_StreamReceiver::closeSocket() {
    std::lock_guard lock(socketMutex_);
    if (socket_ != INVALID_SOCKET)
        closesocket(socket_);
    socket_ = INVALID_SOCKET;
}

SOCKET KQ_TCP_StreamReceiver::connectLan(std::uint32_t address) {
    if (address == 0)
        return INVALID_SOCKET;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(platform::GetNetEnvironment().lanStreamPort);
    to.sin_addr.s_addr = address;
    pause(10);
    for (int attempt = 0; attempt < kConnectAttempts && !stop_; ++attempt) {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        if (s == INVALID_SOCKET)
            return INVALID_SOCKET;
        {
            std::lock_guard lock(socketMutex_);
            socket_ = s;
        }
        ULONG nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        const int started = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (started == 0 || WSAGetLastError() == WSAEWOULDBLOCK) {
            // The wait is cut in short slices so that a stop ends it.
            const DWORD begin = GetTickCount();
            int ready = 0;
            while (ready == 0 && !stop_ && since(begin) < kConnectWaitMs)
                ready = platform::WaitWritable(s, std::min<DWORD>(100, kConnectWaitMs - since(begin)));
            if (ready == 1 && !stop_) {
                nonBlocking = 0;
                ioctlsocket(s, FIONBIO, &nonBlocking);
                return s;
            }
        }
        closeSocket();
    }
    return INVALID_SOCKET;
}

void KQ_TCP_StreamReceiver::socketLoop(std::uint32_t lanAddress, bool relay) {
    SetThreadDescription(GetCurrentThread(), L"stream socket");
    SOCKET s = INVALID_SOCKET;
    if (relay) {
        std::lock_guard lock(socketMutex_);
        s = socket_;
    } else {
        s = connectLan(lanAddress);
        if (s == INVALID_SOCKET) {
            if (!stop_)
                reportLinkLost();
            closeSocket();
            return;
        }
    }
    if (!stop_)
        receiveLoop(s);
    closeSocket();
    resetRequested_ = true;
}

void KQ_TCP_StreamReceiver::receiveLoop(SOCKET s) {
    const int receiveBuffer = kReceiveBuffer;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);

    BYTE chunk[kChunk];
    DWORD lastData = GetTickCount(), lastKeepAlive = lastData, windowStart = lastData;
    std::uint64_t windowBytes = 0;
    while (!stop_) {
        if (since(lastKeepAlive) > kSocketKeepAliveMs) {
            client_.Channel().SendKeepAlive();
            lastKeepAlive = GetTickCount();
        }
        int got = 0;
        if (platform::WaitReadable(s, 1005) == 1)
            got = platform::Recv(s, chunk, kChunk);
        if (stop_)
            break;
        if (got <= 0) {
            if (since(lastData) > kSilenceMs) {
                reportLinkLost();
                break;
            }
            pause(100);
        } else {
            lastData = GetTickCount();
            // What has arrived meanwhile is taken too, a chunk at a time, and the parser told once.
            bool stored = false, overflow = false;
            do {
                // Nothing is stored while a ring that overflowed waits to be emptied: the parser looks for
                // a record start in what comes after.
                if (!resetRequested_) {
                    if (ring_.Write(chunk, static_cast<DWORD>(got))) {
                        stored = true;
                    } else {
                        resetRequested_ = true;
                        overflow = true;
                    }
                }
                windowBytes += static_cast<DWORD>(got);
            } while (!overflow && !stop_ && platform::WaitReadable(s, 0) == 1 &&
                     (got = platform::Recv(s, chunk, kChunk)) > 0);
            if (stored)
                dataArrived();
            pause(overflow ? 100 : kGatherMs);
        }
        const DWORD elapsed = since(windowStart);
        if (elapsed > kRateWindowMs) {
            bitRate_ = static_cast<DWORD>(windowBytes * 8 * 1000 / elapsed / 1000);
            windowStart = GetTickCount();
            windowBytes = 0;
        }
    }
}

void KQ_TCP_StreamReceiver::takeResetRequest() {
    if (resetRequested_) {
        ring_.Reset();
        parser_.LosePlace();
        resetRequested_ = false;
    }
}

void KQ_TCP_StreamReceiver::reportLinkLost() {
    BoxLinkState& link = client_.Link();
    if (link.ClaimLinkLoss())
        PostToWindow(link.mainWindow, WM_BOX_LINK_LOST);
}

void KQ_TCP_StreamReceiver::preBuffer(bool relay, DWORD& lastEmpty) {
    BoxLinkState& link = client_.Link();
    const DWORD limit = relay ? 3000 : 1000;
    while (link.preBuffer == 1 && !stop_) {
        takeResetRequest();
        if (ring_.Stored() == 0)
            lastEmpty = GetTickCount();
        if (since(lastEmpty) > limit)
            link.preBuffer = 0;
        else if (std::uint64_t{ring_.Free()} * 100 / ring_.Size() < 10) // less than 10 % free
            link.preBuffer = 0;
        else
            pause(100);
    }
}

void KQ_TCP_StreamReceiver::parserLoop(bool relay) {
    SetThreadDescription(GetCurrentThread(), L"stream parser");
    DWORD lastKeepAlive = GetTickCount(), lastEmpty = lastKeepAlive;
    while (!stop_) {
        preBuffer(relay, lastEmpty);
        if (since(lastKeepAlive) > kParserKeepAliveMs) {
            client_.Channel().SendKeepAlive();
            lastKeepAlive = GetTickCount();
        }
        takeResetRequest();
        switch (parser_.Next()) {
        case StreamRecordParser::Step::Empty:
        case StreamRecordParser::Step::Incomplete:
            pause(100, true);
            break;
        case StreamRecordParser::Step::BadLength:
        case StreamRecordParser::Step::Held:
        case StreamRecordParser::Step::Dropped:
            pause(10);
            break;
        case StreamRecordParser::Step::Skipped:
        case StreamRecordParser::Step::Used:
            break;
        }
    }
    parser_.Reset();
    ring_.Reset();
}
