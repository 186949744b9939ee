#include "platform/net/Winsock.h"

#include "platform/win32/Clock.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

int WSAStartup(WORD version, WSADATA* data) {
    // A descriptor 0 to 2 that is closed would be handed out to the next socket.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int null = ::open("/dev/null", O_RDWR);
            if (null >= 0 && null != fd) {
                ::dup2(null, fd);
                ::close(null);
            }
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    if (data)
        *data = WSADATA{version, MAKEWORD(2, 2)};
    return 0;
}

int WSACleanup() {
    return 0;
}

int WSAGetLastError() {
    switch (errno) {
    case 0:
        return 0;
    case EINTR:
        return WSAEINTR;
    case EACCES:
    case EPERM:
        return WSAEACCES;
    case EFAULT:
        return WSAEFAULT;
    case EINVAL:
        return WSAEINVAL;
    case EMFILE:
    case ENFILE:
        return WSAEMFILE;
    case EAGAIN:
    case EINPROGRESS:
        return WSAEWOULDBLOCK;
    case EALREADY:
        return WSAEALREADY;
    case EBADF:
    case ENOTSOCK:
        return WSAENOTSOCK;
    case EMSGSIZE:
        return WSAEMSGSIZE;
    case EADDRINUSE:
        return WSAEADDRINUSE;
    case EADDRNOTAVAIL:
        return WSAEADDRNOTAVAIL;
    case ENETUNREACH:
    case ENETDOWN:
        return WSAENETUNREACH;
    case ECONNABORTED:
    case EPIPE:
        return WSAECONNABORTED;
    case ECONNRESET:
        return WSAECONNRESET;
    case ENOBUFS:
    case ENOMEM:
        return WSAENOBUFS;
    case EISCONN:
        return WSAEISCONN;
    case ENOTCONN:
        return WSAENOTCONN;
    case ETIMEDOUT:
        return WSAETIMEDOUT;
    case ECONNREFUSED:
        return WSAECONNREFUSED;
    case EHOSTUNREACH:
    case EHOSTDOWN:
        return WSAEHOSTUNREACH;
    default:
        return WSAEINVAL;
    }
}

int closesocket(SOCKET s) {
    return ::close(s) == 0 ? 0 : SOCKET_ERROR;
}

int ioctlsocket(SOCKET s, long command, ULONG* argument) {
    if (command != static_cast<long>(FIONBIO) || !argument) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    const int flags = ::fcntl(s, F_GETFL);
    if (flags < 0)
        return SOCKET_ERROR;
    const int wanted = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(s, F_SETFL, wanted) == 0 ? 0 : SOCKET_ERROR;
}

namespace platform {

int Send(SOCKET s, const void* data, int length, int flags) {
    if (length < 0) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    for (;;) {
        const ssize_t n = ::send(s, data, static_cast<std::size_t>(length), flags | MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return SOCKET_ERROR;
    }
}

int SendAll(SOCKET s, const void* data, int length, DWORD timeoutMs) {
    if (length < 0) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    const Duration deadline = DeadlineAfter(timeoutMs);
    const char* p = static_cast<const char*>(data);
    int sent = 0;
    while (sent < length) {
        const ssize_t n =
            ::send(s, p + sent, static_cast<std::size_t>(length - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return sent;
        const Duration now = Now();
        if (now >= deadline) {
            errno = ETIMEDOUT;
            return sent;
        }
        const DWORD left =
            timeoutMs == INFINITE
                ? INFINITE
                : static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count());
        if (WaitWritable(s, left) == SOCKET_ERROR)
            return sent; // the connection failed; errno holds its error
    }
    return sent;
}

int Recv(SOCKET s, void* data, int length, int flags) {
    if (length < 0) {
        errno = EINVAL;
        return SOCKET_ERROR;
    }
    for (;;) {
        const ssize_t n = ::recv(s, data, static_cast<std::size_t>(length), flags);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return SOCKET_ERROR;
    }
}

void SocketSet::Add(SOCKET s) {
    if (!Contains(s))
        sockets_.push_back(s);
}

void SocketSet::Remove(SOCKET s) {
    std::erase(sockets_, s);
}

bool SocketSet::Contains(SOCKET s) const {
    return std::find(sockets_.begin(), sockets_.end(), s) != sockets_.end();
}

namespace {

int pendingError(SOCKET s) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace

int Select(SocketSet* read, SocketSet* write, SocketSet* except, DWORD timeoutMs) {
    std::vector<pollfd> fds;
    auto add = [&fds](const SocketSet* set, short events) {
        if (!set)
            return;
        for (SOCKET s : set->Sockets()) {
            auto it = std::find_if(fds.begin(), fds.end(), [s](const pollfd& p) { return p.fd == s; });
            if (it == fds.end())
                fds.push_back(pollfd{s, events, 0});
            else
                it->events |= events;
        }
    };
    add(read, POLLIN);
    add(write, POLLOUT);
    add(except, POLLPRI);

    const Duration deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        const Duration now = Now();
        int waitMs = 0;
        if (now < deadline) {
            const auto real = std::chrono::ceil<std::chrono::milliseconds>(ToRealDuration(deadline - now));
            waitMs = static_cast<int>(std::min<long long>(real.count(), 1000));
        }
        const int r = ::poll(fds.data(), fds.size(), waitMs);
        if (r < 0 && errno != EINTR)
            return SOCKET_ERROR;
        if (r > 0)
            break;
        if (Now() >= deadline) {
            for (SocketSet* set : {read, write, except})
                if (set)
                    set->Clear();
            return 0;
        }
    }

    int failedConnect = 0;
    SocketSet readReady, writeReady, exceptReady;
    for (const pollfd& p : fds) {
        if (p.revents & POLLNVAL)
            continue;
        const bool broken = p.revents & (POLLERR | POLLHUP);
        if ((p.events & POLLIN) && (p.revents & (POLLIN | POLLERR | POLLHUP)))
            readReady.Add(p.fd);
        if ((p.events & POLLOUT) && (p.revents & (POLLOUT | POLLERR | POLLHUP))) {
            const int error = broken ? pendingError(p.fd) : 0;
            if (error == 0) {
                writeReady.Add(p.fd);
            } else if (except) {
                exceptReady.Add(p.fd);
            } else {
                failedConnect = error;
            }
        }
        if ((p.events & POLLPRI) && (p.revents & POLLPRI))
            exceptReady.Add(p.fd);
    }
    if (failedConnect != 0 && readReady.Empty() && writeReady.Empty()) {
        errno = failedConnect;
        return SOCKET_ERROR;
    }
    int count = 0;
    auto keep = [&count](SocketSet* set, SocketSet& ready) {
        if (!set)
            return;
        std::erase_if(set->Sockets(), [&ready](SOCKET s) { return !ready.Contains(s); });
        count += static_cast<int>(set->Sockets().size());
    };
    keep(read, readReady);
    keep(write, writeReady);
    keep(except, exceptReady);
    if (count == 0) // only invalid descriptors woke the poll
        errno = EBADF;
    return count == 0 ? SOCKET_ERROR : count;
}

int WaitReadable(SOCKET s, DWORD timeoutMs) {
    SocketSet set;
    set.Add(s);
    return Select(&set, nullptr, nullptr, timeoutMs);
}

int WaitWritable(SOCKET s, DWORD timeoutMs) {
    SocketSet set;
    set.Add(s);
    return Select(nullptr, &set, nullptr, timeoutMs);
}

} // namespace platform
