#include "tests/support/testbox/BoxSockets.h"

#include "tests/support/fakes/Loopback.h"

#include <algorithm>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace testbox {

SOCKET BindLoopback(int type, const std::string& address, std::uint16_t& port) {
    const SOCKET s = socket(AF_INET, type, 0);
    const int on = 1;
    if (type == SOCK_STREAM)
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = fakes::loopbackAddress(address, port, "test box");
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        closesocket(s);
        throw std::runtime_error("test box: cannot bind " + address + ":" + std::to_string(port));
    }
    port = fakes::boundPort(s);
    return s;
}

void SendAll(SOCKET s, const Bytes& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const int n = platform::Send(s, bytes.data() + at, static_cast<int>(bytes.size() - at));
        if (n <= 0)
            return;
        at += static_cast<std::size_t>(n);
    }
}

DWORD MsUntil(platform::Duration due) {
    const platform::Duration wait =
        std::min(due, platform::Now() + std::chrono::seconds(1)) - platform::Now();
    return wait.count() <= 0 ? 0
                             : static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

WakePipe::WakePipe() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        read_ = fds[0];
        write_ = fds[1];
    }
}

WakePipe::~WakePipe() {
    ::close(read_);
    ::close(write_);
}

void WakePipe::Wake() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(write_, &byte, 1);
}

void WakePipe::Drain() {
    char bytes[64];
    while (::read(read_, bytes, sizeof bytes) > 0) {
    }
}

} // namespace testbox
