// The test box's audio/video side on 127.0.0.1: a listener for the PC's stream connection (its port goes
// into the NetEnvironment as the LAN or direct stream port), and bytes to write on the latest connection,
// cut into writes as asked, with gaps on the scaled clock in between. Each new connection can start with a
// script: bytes first, then live records at the pace of their timestamps (LiveFeed.h) until the connection
// ends; bytes sent meanwhile go between two records. It keeps what the peer sends (so it also stands in
// for a control port that only listens) and sees the peer close.
//
// One thread accepts and writes; it is started by the constructor and stopped (flag, shutdown, join) by
// the destructor. All calls are thread-safe. Record builders for the stream's files are at the end.
#pragma once

#include "tests/support/testbox/LiveFeed.h"

#include "platform/net/Winsock.h"
#include "platform/win32/Types.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testbox {

using StreamBytes = std::vector<std::uint8_t>;

// How one Send is cut into writes: pieces of at most chunk bytes (0: no limit), further cut at the given
// offsets, with gapMs of the scaled clock after each piece.
struct Writes {
    std::size_t chunk = 0;
    std::vector<std::size_t> cuts{};
    DWORD gapMs = 0;
};

// What the box sends on one stream connection: bytes (edge records, a tail that starts mid-record, ...),
// cut as writes says, then, with live records, those records looped until the connection ends; without
// them the box falls silent.
struct StreamScript {
    StreamBytes bytes{};
    Writes writes{};
    std::shared_ptr<const LiveRecords> live{};
};

class StreamSide {
public:
    // Listens on the port (0: one the system picks); throws when it cannot.
    explicit StreamSide(std::uint16_t port = 0);
    ~StreamSide();
    StreamSide(const StreamSide&) = delete;
    StreamSide& operator=(const StreamSide&) = delete;

    std::uint16_t Port() const { return port_; }
    // A socket connected to this side, for a test that hands the PC a connected socket (relay mode).
    SOCKET Connect();

    // Waits on the scaled clock.
    bool WaitConnected(DWORD timeoutMs, int connections = 1);
    bool WaitSent(DWORD timeoutMs);       // everything sent so far is written
    bool WaitPeerClosed(DWORD timeoutMs); // the peer closed the latest connection
    bool WaitReceived(DWORD timeoutMs, std::size_t bytes);

    int Connections() const;
    void Send(StreamBytes bytes, Writes writes = {});
    void CloseConnection();
    // Asked on the side's thread as each connection is accepted (not while a lock of the side is held).
    void OnConnect(std::function<StreamScript()> script);
    // The box changed its stream: the live records of the current connection go on from the start of the
    // loop (the IDR with its parameter sets) with record types raised by 16.
    void NewGeneration();
    StreamBytes Received() const; // everything the peer sent on any connection

private:
    struct Piece {
        StreamBytes bytes;
        DWORD gapMs;
    };

    void run();
    void enqueue(const StreamBytes& bytes, const Writes& writes); // under mutex_
    bool nextPiece(Piece& piece);                                 // under mutex_
    void waitForWork(std::unique_lock<std::mutex>& lock);
    void acceptPending();
    void readPeer();
    bool writePiece(SOCKET s, const Piece& piece);
    template <class Pred> bool waitFor(DWORD timeoutMs, Pred pred);

    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    SOCKET connection_ = INVALID_SOCKET;
    int connections_ = 0;
    bool peerClosed_ = false;
    bool writing_ = false;
    std::deque<Piece> queue_;
    std::unique_ptr<LiveFeed> feed_; // of the current connection
    std::function<StreamScript()> onConnect_;
    StreamBytes received_;
    std::thread thread_;
};

// The records of a file download: begin (with the 32-byte name field, zero-padded; a longer field is
// sent as given), data in records of at most 2045 bytes, end.
StreamBytes FileBegin(const std::string& nameField);
StreamBytes FileData(const StreamBytes& content, std::size_t perRecord = 2045);
StreamBytes FileEnd();

} // namespace testbox
