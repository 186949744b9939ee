#include "boxlink/relay/RendezvousState.h"

#include "platform/win32/Clock.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace relay {

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC)) {}

StopSignal::~StopSignal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void StopSignal::Raise() {
    raised_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

// The stop's descriptor is waited for beside the socket: it stays readable once raised.
int StopSignal::wait(SOCKET s, bool write, DWORD ms) const {
    if (raised_)
        return 0;
    platform::SocketSet readable;
    platform::SocketSet writable;
    readable.Add(fd_);
    if (s != INVALID_SOCKET)
        (write ? writable : readable).Add(s);
    const int r = platform::Select(&readable, write ? &writable : nullptr, nullptr, ms);
    if (r == SOCKET_ERROR)
        return SOCKET_ERROR;
    if (raised_ || readable.Contains(fd_))
        return 0;
    return r > 0 ? 1 : 0;
}

int StopSignal::WaitReadable(SOCKET s, DWORD ms) const {
    return wait(s, false, ms);
}

int StopSignal::WaitWritable(SOCKET s, DWORD ms) const {
    return wait(s, true, ms);
}

bool StopSignal::Sleep(DWORD ms) const {
    wait(INVALID_SOCKET, false, ms);
    return !raised_;
}

RendezvousState& State() {
    static RendezvousState state;
    return state;
}

void RendezvousState::Reset() {
    secondStageReply = ServerPacket{};
    secondStageSeen = false;
    usingSecondServer = false;
    outcome = 0;
    exchangeFailed = false;
    serverRefused = false;
    deviceTimedOut = false;
    giveUp = false;
    peerKnown = false;
    for (ProbeRecord& p : probes) {
        p.connected = false;
        p.socket = 0;
        p.handedOver = false;
    }
    probesTrying = 0;
}

void RendezvousState::RecordOutcome(int stageOutcome, int failureKind) {
    int current = outcome.load();
    int wanted = 0;
    do {
        wanted = ((stageOutcome >= 0 ? stageOutcome : current >> 8) << 8) |
                 (failureKind >= 0 ? failureKind : current & 0xFF);
    } while (!outcome.compare_exchange_weak(current, wanted));
}

} // namespace relay
