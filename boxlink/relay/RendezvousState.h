// The state a rendezvous shares between its driver, the exchange thread, the state thread and the probes.
// Each value has one writer; flags are atomics, and the accepted reply is complete before peerKnown is set
// (release), so readers that saw peerKnown (acquire) may read it. Internal to boxlink/relay.
#pragma once

#include "boxlink/relay/ServerPacket.h"
#include "platform/net/Winsock.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace relay {

// Wakes every wait of a rendezvous at once when the driver ends it.
class StopSignal {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise();
    bool Raised() const { return raised_.load(); }
    // 1 ready, 0 time-out or stopped, SOCKET_ERROR (a failed connect, for WaitWritable).
    int WaitReadable(SOCKET s, DWORD ms) const;
    int WaitWritable(SOCKET s, DWORD ms) const;
    // false when stopped.
    bool Sleep(DWORD ms) const;

private:
    int wait(SOCKET s, bool write, DWORD ms) const;
    int fd_ = -1;
    std::atomic<bool> raised_{false};
};

struct ProbeRecord {
    std::atomic<bool> connected{false};
    std::atomic<SOCKET> socket{0};
    std::atomic<bool> handedOver{false}; // set by the driver before it raises the stop
};

struct RendezvousState {
    std::string currentServer; // dotted quads
    std::string secondServer;
    ServerPacket request;
    ServerPacket secondStageReply; // the last one received
    std::atomic<bool> secondStageSeen{false};

    std::atomic<bool> usingSecondServer{false};
    // stageOutcome and failureKind in one word, so that the driver never sees half of a change.
    std::atomic<int> outcome{0};
    std::atomic<bool> exchangeFailed{false};
    std::atomic<bool> serverRefused{false};
    std::atomic<bool> deviceTimedOut{false};
    std::atomic<bool> giveUp{false};
    std::atomic<bool> peerKnown{false};
    ProbeRecord probes[4]; // listenA, connectA, listenB, connectB
    std::atomic<int> probesTrying{0};

    // Set by the driver for one run; threads started by the state thread are joined by the driver.
    const StopSignal* stop = nullptr;
    std::vector<std::thread> probeThreads;

    void Reset();
    // Changes stageOutcome and/or failureKind (-1 keeps that one).
    void RecordOutcome(int stageOutcome, int failureKind);
    int StageOutcome() const { return outcome.load() >> 8; }
    int FailureKind() const { return outcome.load() & 0xFF; }
};

RendezvousState& State();

void ServerExchangeThread(RendezvousState& s, const std::function<void(int)>& progress);
void RendezvousStateThread(RendezvousState& s);

} // namespace relay
