// KQ_TCP_StreamReceiver: the audio/video connection of a login. The socket thread reads the connection into
// the stream ring (and keeps the login alive); the parser thread waits for a short pre-buffer, then cuts
// records out of the ring (StreamRecordParser.h) and hands the units on. In LAN mode the receiver opens its
// own connection to the box's stream port; in relay mode it takes the audio/video socket the login found.
//
// Ownership and threads:
// - Installed in and owned by KQ_TCP_BoxClient, whose StartStream and Disconnect start and stop it (UI
//   thread); the client outlives it.
// - The receiver owns the socket from the start until its socket thread ends, and closes it once.
// - The socket thread is the stream ring's only writer; the parser thread its only reader, and the only
//   one that moves its read position: the socket thread asks it to empty a ring that overflowed. The
//   parser finds the records again in what follows (StreamRecordParser.h), as at the stream's start.
// - Stop sets the stop flag, shuts the socket down and wakes both threads, and joins them: every wait of
//   the threads (connect, socket, pauses, pushes into a full live context) ends on the flag.
// - WM_BOX_LINK_LOST goes to the main window when the LAN connect fails twice or the box stays silent
//   for more than 20 s (unless the link's loss was reported before); the socket thread then ends, the
//   parser goes on until Stop.
#pragma once

#include "boxlink/RingBuffer.h"
#include "boxlink/StreamReceiverControl.h"
#include "boxlink/StreamRecordParser.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class KQ_TCP_BoxClient;

class KQ_TCP_StreamReceiver final : public StreamReceiverControl {
public:
    static constexpr DWORD kStreamRingSize = 0x300000;

    explicit KQ_TCP_StreamReceiver(KQ_TCP_BoxClient& client);
    ~KQ_TCP_StreamReceiver() override; // stops
    KQ_TCP_StreamReceiver(const KQ_TCP_StreamReceiver&) = delete;
    KQ_TCP_StreamReceiver& operator=(const KQ_TCP_StreamReceiver&) = delete;

    // Each first stops a run in progress and empties the stream ring.
    void StartLan(const std::string& boxAddress) override;
    void StartRelay(SOCKET stream) override;
    void Stop() override;

    // For the windows: the received bit rate in kbit/s over the last window of about 3 s, and the bytes of
    // the download in progress (or of the last one).
    DWORD BitRate() const { return bitRate_; }
    DWORD ReceivedBytes() const { return parser_.Download().Received(); }

private:
    void start(SOCKET relaySocket, const std::string& lanAddress);
    void stopLocked();
    void socketLoop(std::uint32_t lanAddress, bool relay);
    void receiveLoop(SOCKET s);
    void parserLoop(bool relay);
    void preBuffer(bool relay, DWORD& lastEmpty);
    SOCKET connectLan(std::uint32_t address);
    void takeResetRequest();
    void reportLinkLost();
    void closeSocket();
    // Waits on the scaled clock; returns at once on stop and, with wakeOnData, when a chunk arrives.
    void pause(DWORD milliseconds, bool wakeOnData = false);
    void dataArrived();

    KQ_TCP_BoxClient& client_;
    KQ_TCP_RingBuffer ring_{kStreamRingSize};
    std::atomic<bool> stop_{false};
    StreamRecordParser parser_;

    std::atomic<bool> resetRequested_{false}; // socket thread asks, parser empties the ring
    std::atomic<DWORD> bitRate_{0};

    std::mutex lifecycleMutex_; // Start and Stop
    std::mutex socketMutex_;    // socket_ against Stop's shutdown
    SOCKET socket_ = INVALID_SOCKET;
    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    std::uint64_t arrivals_ = 0; // under wakeMutex_
    std::thread socketThread_;
    std::thread parserThread_;
};
