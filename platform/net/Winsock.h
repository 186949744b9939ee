// Winsock-shaped sockets over POSIX. The socket calls that Winsock and POSIX share (socket, bind, listen,
// accept, connect, sendto, recvfrom, setsockopt, getsockopt, sockaddr_in, htons, inet_addr) are the POSIX
// ones from the headers included here; this adds what differs:
// - SOCKET with INVALID_SOCKET -1, closesocket, ioctlsocket(FIONBIO), WSAGetLastError with Winsock codes
//   (a non-blocking connect in progress reports WSAEWOULDBLOCK, as on Winsock);
// - platform::Send and platform::Recv, which never raise SIGPIPE, and platform::SendAll, a send with a
//   deadline;
// - platform::Select in place of select: on poll, any number of sockets, time-outs on the scaled clock, and
//   the Winsock connect rule: a non-blocking connect that failed is never reported writable.
// WSAStartup must run before the first socket: it also makes sure that descriptors 0 to 2 are open, so that
// no socket is ever 0 (the code uses 0 for "no socket"), and ignores SIGPIPE.
#pragma once

#include "platform/win32/Types.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <vector>

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
using SOCKADDR = sockaddr;
using SOCKADDR_IN = sockaddr_in;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
};
constexpr WORD MAKEWORD(BYTE low, BYTE high) {
    return static_cast<WORD>(low | (high << 8));
}

int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
int closesocket(SOCKET s);
// Only FIONBIO (the value of <sys/ioctl.h>): a non-zero argument makes the socket non-blocking.
int ioctlsocket(SOCKET s, long command, ULONG* argument);

constexpr int WSAEINTR = 10004;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;

namespace platform {

// send/recv with Winsock results: the count, 0 for an orderly close (recv), or SOCKET_ERROR.
int Send(SOCKET s, const void* data, int length, int flags = 0);
int Recv(SOCKET s, void* data, int length, int flags = 0);

// Sends all length bytes within timeoutMs of the scaled clock (INFINITE: no limit), whether the socket blocks
// or not: each send takes what the socket has room for, and the wait for more room ends at the time limit.
// Returns the count sent: length when all went out, fewer when the time ran out (WSAGetLastError
// WSAETIMEDOUT) or the connection failed (its error). A shutdown of the socket by another thread ends a
// wait at once.
int SendAll(SOCKET s, const void* data, int length, DWORD timeoutMs);

// The sockets of one Select call; Select leaves in each set only the sockets that are ready.
class SocketSet {
public:
    void Add(SOCKET s);
    void Remove(SOCKET s);
    bool Contains(SOCKET s) const;
    void Clear() { sockets_.clear(); }
    bool Empty() const { return sockets_.empty(); }
    const std::vector<SOCKET>& Sockets() const { return sockets_; }
    std::vector<SOCKET>& Sockets() { return sockets_; }

private:
    std::vector<SOCKET> sockets_;
};

// Waits up to timeoutMs (INFINITE: no limit) of the scaled clock. Readable includes a pending accept and a
// closed peer. A failed non-blocking connect is reported in the except set; without an except set the call
// returns SOCKET_ERROR at once with WSAGetLastError() giving the connect's error. Returns the number of
// sockets left in the sets, 0 on time-out.
int Select(SocketSet* read, SocketSet* write, SocketSet* except, DWORD timeoutMs);

// Select on one socket: 1 ready, 0 time-out, SOCKET_ERROR (a failed connect when waiting for writable).
int WaitReadable(SOCKET s, DWORD timeoutMs);
int WaitWritable(SOCKET s, DWORD timeoutMs);

} // namespace platform
