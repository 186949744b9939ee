// What the test boxes share of their sockets and their serving thread: sockets bound on a loopback
// address, writes of all bytes, the pipe that wakes the thread for a stop or for new work, and the wait
// until the next write is due.
#pragma once

#include "tests/support/testbox/BoxWire.h"

#include "platform/net/Winsock.h"
#include "platform/win32/Clock.h"

#include <cstdint>
#include <string>

namespace testbox {

// A socket bound to the address (in 127.0.0.0/8) and port (0: one the system picks); port is set to the
// one it got. Throws std::runtime_error when the port cannot be had. SO_REUSEADDR only on TCP, where a
// listener's port may linger in TIME_WAIT: on UDP it would let a port that another socket holds be handed
// out again.
SOCKET BindLoopback(int type, const std::string& address, std::uint16_t& port);

// Writes all bytes, or stops at the first failure.
void SendAll(SOCKET s, const Bytes& bytes);

// Milliseconds of the scaled clock until due, at most one second (0 when due has come).
DWORD MsUntil(platform::Duration due);

class WakePipe {
public:
    WakePipe();
    ~WakePipe();
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;

    int ReadEnd() const { return read_; }
    void Wake();
    void Drain();

private:
    int read_ = -1, write_ = -1;
};

} // namespace testbox
