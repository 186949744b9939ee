#include "boxlink/TcpConnect.h"

SOCKET ConnectTcp(std::uint32_t address, std::uint16_t port, int attempts, DWORD waitMs, bool reuseAddress) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
        if (s == INVALID_SOCKET)
            return INVALID_SOCKET;
        const int reuse = 1;
        if (reuseAddress)
            setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        ULONG nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        const int started = connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if ((started == 0 || WSAGetLastError() == WSAEWOULDBLOCK) && platform::WaitWritable(s, waitMs) == 1) {
            nonBlocking = 0;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            return s;
        }
        closesocket(s);
    }
    return INVALID_SOCKET;
}
