#include "wizard/BoxLink.h"

#include "platform/net/NetEnvironment.h"
#include "platform/net/Resolver.h"
#include "platform/win32/Clock.h"
#include "platform/win32/Text.h"

#include <cstdio>

namespace {

constexpr int kCommandAttempts = 2;
constexpr DWORD kReplyWaitMs = 2000;
constexpr DWORD kConnectWaitMs = 5000;
// What one call drops of bytes already waiting: a box that keeps sending cannot hold the wizard.
constexpr int kDropLimit = 1 << 16;

// A console line about the sockets' start (a program started from a desktop shows it nowhere).
void StartWinsockWithBanner() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        std::fprintf(stderr, "Windows sockets 2.2 startup\n");
        return;
    }
    std::printf("Sockets running with API versions %d.%d to %d.%d\n", data.wVersion & 0xFF,
                data.wVersion >> 8, data.wHighVersion & 0xFF, data.wHighVersion >> 8);
}

// A box that never answers the connect must not hold the wizard: the wait is bounded. The socket is left
// blocking.
bool connectWithin(SOCKET s, const sockaddr_in& to, DWORD waitMs) {
    ULONG nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
        return false;
    if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK)
        return false;
    if (platform::WaitWritable(s, waitMs) != 1)
        return false;
    nonBlocking = 0;
    return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

std::string ansi(const std::wstring& text, std::size_t slot) {
    std::string bytes = platform::ToLegacy(text);
    if (bytes.size() > slot)
        bytes.resize(slot);
    return bytes;
}

} // namespace

CBoxLink::CBoxLink() {
    StartWinsockWithBanner();
}

CBoxLink::~CBoxLink() {
    ExchangeCommand(SetupCloseFrame());
    DeleteTemporaryAddress();
    CloseConnection();
    WSACleanup();
}

void CBoxLink::Reset(const std::wstring& deviceId) {
    DeleteTemporaryAddress();
    // Another box than the last one (or the first login): its connection is not this box's. The same box
    // keeps a connection that still stands.
    if (deviceId != lastId_) {
        CloseConnection();
        lastId_ = deviceId;
    } else if (!connected_) {
        CloseConnection();
    }
    boxAddress_.clear();
    settings_ = BoxNetworkSettings{};
}

int CBoxLink::Login(const std::wstring& deviceId, const std::wstring& userName,
                    const std::wstring& password) {
    Reset(deviceId);
    deviceId_ = ansi(deviceId, kDeviceIdSlot);
    const std::string user = ansi(userName, kUserNameSlot);
    const std::string secret = ansi(password, kPasswordSlot);
    settings_.SetLogin(deviceId_, user, secret);
    if (!DiscoverOnLan() && !DiscoverAtFactoryAddress())
        return -1;
    if (!ConnectControlPort())
        return -1;
    return ExchangeCommand(SetupLoginFrame(user, secret)) ? 1 : 0;
}

bool CBoxLink::ConnectControlPort() {
    if (socket_ == INVALID_SOCKET) {
        socket_ = socket(AF_INET, SOCK_STREAM, 0);
        if (socket_ == INVALID_SOCKET)
            return false;
    }
    if (connected_)
        return true;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(platform::GetNetEnvironment().wizardControlPort);
    const bool connected = platform::ParseIpv4(platform::ToUtf8(boxAddress_), to.sin_addr.s_addr) &&
                           connectWithin(socket_, to, kConnectWaitMs);
    if (!connected) {
        CloseConnection();
        return false;
    }
    connected_ = true;
    return true;
}

void CBoxLink::CloseConnection() {
    if (socket_ != INVALID_SOCKET) {
        shutdown(socket_, SHUT_RDWR);
        closesocket(socket_);
    }
    socket_ = INVALID_SOCKET;
    connected_ = false;
}

bool CBoxLink::DropWaitingBytes() {
    BYTE bytes[BoxControlFrame::kSize];
    for (int dropped = 0; dropped < kDropLimit && platform::WaitReadable(socket_, 0) == 1;) {
        const int n = platform::Recv(socket_, bytes, sizeof bytes);
        if (n <= 0)
            return false;
        dropped += n;
    }
    return true;
}

CBoxLink::Reply CBoxLink::ReadReply(BoxControlFrame& reply) {
    const DWORD start = GetTickCount();
    std::size_t got = 0;
    while (got < BoxControlFrame::kSize) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kReplyWaitMs)
            return Reply::Missing;
        const int ready = platform::WaitReadable(socket_, kReplyWaitMs - elapsed);
        if (ready == 0)
            return Reply::Missing;
        const int n = ready < 0 ? SOCKET_ERROR
                                : platform::Recv(socket_, reply.bytes.data() + got,
                                                 static_cast<int>(BoxControlFrame::kSize - got));
        if (n <= 0)
            return Reply::Closed;
        got += static_cast<std::size_t>(n);
    }
    return Reply::Whole;
}

bool CBoxLink::ExchangeCommand(const BoxControlFrame& frame) {
    if (socket_ == INVALID_SOCKET)
        return false;
    for (int attempt = 0; attempt < kCommandAttempts; ++attempt) {
        // A reply that came after the last wait answers an earlier request, never this one.
        bool sent = DropWaitingBytes();
        for (std::size_t at = 0; sent && at < frame.bytes.size();) {
            const int n =
                platform::Send(socket_, frame.bytes.data() + at, static_cast<int>(frame.bytes.size() - at));
            sent = n > 0;
            at += sent ? static_cast<std::size_t>(n) : 0;
        }
        BoxControlFrame reply;
        const Reply read = sent ? ReadReply(reply) : Reply::Closed;
        if (read == Reply::Closed) {
            // The box closed the connection (as it may after new network settings) or it failed: the next
            // login connects anew.
            CloseConnection();
            return false;
        }
        if (read == Reply::Whole && reply.value() == 1)
            return true;
    }
    return false;
}

bool CBoxLink::SendDhcpMode(DWORD mode) {
    settings_.SetMode(mode);
    return ExchangeCommand(NetworkFrame(settings_));
}

bool CBoxLink::SendStaticMode(DWORD mode, const std::wstring& address, const std::wstring& mask,
                              const std::wstring& gateway, const std::wstring& dns) {
    std::uint32_t values[4] = {};
    const std::wstring* texts[4] = {&address, &mask, &gateway, &dns};
    for (int i = 0; i < 4; ++i)
        if (!platform::ParseIpv4(platform::ToUtf8(*texts[i]), values[i]))
            return false;
    settings_.SetMode(mode);
    settings_.SetAddresses(values[0], values[1], values[2], values[3]);
    return ExchangeCommand(NetworkFrame(settings_));
}

bool CBoxLink::SendPppoeMode(const std::wstring& account, const std::wstring& password) {
    settings_.SetMode(NET_MODE_PPPOE);
    settings_.SetPppoe(ansi(account, kPppoeTextSlot), ansi(password, kPppoeTextSlot));
    return ExchangeCommand(NetworkFrame(settings_));
}

bool CBoxLink::SendDdnsSettings(const std::wstring& domain, const std::wstring& userName,
                                const std::wstring& password, int providerIndex, DWORD enable) {
    return ExchangeCommand(DdnsFrame(static_cast<DWORD>(providerIndex + 1), ansi(domain, kDdnsDomainSlot),
                                     ansi(userName, kDdnsTextSlot), ansi(password, kDdnsTextSlot), enable));
}
