// A scriptable stand-in for the box on 127.0.0.1: answers the LAN search on UDP, serves the control
// connection on its LAN and direct ports, checks and records every frame it receives (type, checksum,
// sequence, arrival time on the scaled clock), receives firmware chunks and raw IR bytes, and answers each
// command as scripted: at once, late, never, twice, with any values or shaped from the request, split
// across writes at any byte or coalesced, preceded by garbage, followed by the box's own messages.
//
// Its LAN and direct stream ports are stream sides (StreamSide.h): each stream connection, on either
// port, takes the next stream script (live records, edge records, silence). Like the box, it changes its
// stream when it has announced a change: once its success answer to a source or country change that
// carries 1 at offset 176, or to a video quality change that carries 200 at byte 16, is written, the live
// records go on with record types 16 higher from an IDR. A download it was given follows its success
// answer to a start-file-transfer request on the latest stream connection.
//
// Unless scripted, it answers the requests of its records (BoxRecordsSide.h) from them.
//
// One thread serves the control side and one each stream side; they are started by the constructor and
// stopped (flag, wake, join) by the destructor. All accessors are thread-safe.
#pragma once

#include "tests/support/testbox/BoxRecordsSide.h"
#include "tests/support/testbox/BoxSockets.h"
#include "tests/support/testbox/BoxWire.h"
#include "tests/support/testbox/StreamSide.h"

#include "platform/net/NetEnvironment.h"
#include "platform/net/Winsock.h"
#include "platform/win32/Types.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testbox {

// How bytes the box sends are cut into writes.
struct Delivery {
    bool coalesce = false;           // all in one write; otherwise one write per message
    std::vector<std::size_t> cuts{}; // or: further writes start at these offsets of the whole
    DWORD gapMs = 0;                 // between writes, on the scaled clock
};

// The box's answer to one request.
struct Reply {
    bool answer = true; // false: never answers
    std::uint32_t value = 1;
    std::uint32_t value2 = 0;
    std::uint32_t value3 = 0;
    std::vector<std::pair<std::size_t, Bytes>> bytes{}; // frame bytes set at these offsets
    DWORD delayMs = 0;                                  // after the request arrived, scaled clock
    int copies = 1;                                     // 2: the same reply twice
    Bytes garbage{};                                    // written just before the reply
    std::vector<Bytes> then{};                          // the box's messages that follow the reply
    Delivery delivery{};
    // Last, the answer frame may be shaped from the request (before it is sealed).
    std::function<void(const Frame& request, Frame& answer)> shape{};
    // And further answers made from the request, written after then (a scan's later answers carry the
    // request's sequence).
    std::function<std::vector<Bytes>(const Frame& request)> follow{};
    // A box that hangs: once it has taken this request, it reads nothing more on the connection (an
    // upload it accepted stays in the PC's buffers).
    bool stopReading = false;
};

struct ReceivedFrame {
    Frame bytes{};
    std::uint32_t sequence = 0;
    std::uint32_t command = 0;
    std::uint32_t value = 0;
    std::uint32_t value2 = 0;
    std::uint32_t value3 = 0;
    DWORD tick = 0; // GetTickCount when it arrived
    bool typeOk = false;
    bool checksumOk = false;
    bool sequenceOk = false; // above every earlier one, or an unchanged re-send of an earlier one
    int connection = 0;      // control connections are counted from 1
    const std::uint8_t* payload() const { return bytes.data() + 16; }
};

enum class LanAnswer {
    Echo,   // the device ID and a few more bytes
    Other,  // another ID
    Short,  // the device ID without its last character
    Silent, // nothing
};

struct Options {
    std::string deviceId = "ABC234";
    // A service that is off has a port number nobody listens on (connects are refused).
    bool lanControl = true;
    bool directControl = true;
    bool directStream = true;
    bool lanStream = true;
    // Ports to serve on (0: one the system picks); the constructor throws when one cannot be had.
    std::uint16_t lanSearchPort = 0;
    std::uint16_t lanControlPort = 0;
    std::uint16_t lanStreamPort = 0;
    std::uint16_t directControlPort = 0;
    std::uint16_t directStreamPort = 0;
    // The receive buffer of its control connections in bytes (0: the system's), so that a box that stops
    // reading soon holds up the PC's sends.
    int controlReceiveBuffer = 0;
};

class TestBox {
public:
    explicit TestBox(Options options = {});
    ~TestBox();
    TestBox(const TestBox&) = delete;
    TestBox& operator=(const TestBox&) = delete;

    // Loopback environment with this box's ports (PC's LAN search port ephemeral).
    platform::NetEnvironment Environment() const;
    std::uint16_t LanSearchPort() const { return lanSearchPort_; }
    std::uint16_t LanControlPort() const { return lanControlPort_; }
    std::uint16_t LanStreamPort() const { return lanStreamPort_; }
    std::uint16_t DirectControlPort() const { return directControlPort_; }
    std::uint16_t DirectStreamPort() const { return directStreamPort_; }

    void SetLanAnswer(LanAnswer answer);
    // Each request of the command takes the next reply; the last one stays for the rest.
    void Script(std::uint32_t command, Reply reply);
    void Script(std::uint32_t command, std::vector<Reply> replies);
    // Box-originated bytes on the latest control connection.
    void Send(Bytes bytes, Delivery delivery = {});
    // Hostile moves on the latest control connection: the box stops reading it (and goes on again), or
    // closes it.
    void SetControlReading(bool reading);
    void CloseControl();

    // Each stream connection takes the next script; the last one stays. Without scripts the box says
    // nothing on a stream connection until SendStream.
    void ScriptStream(std::vector<StreamScript> scripts);
    // Bytes on the latest stream connection of either port.
    void SendStream(StreamBytes bytes, Writes writes = {});
    // Waits on the scaled clock until what was sent there is written.
    bool WaitStreamSent(DWORD timeoutMs);
    // A file for the next start-file-transfer that the box accepts: begin record (the name field as given,
    // so also one that is hostile), data records of 2045 bytes, end record.
    void ServeDownload(std::string nameField, StreamBytes content);

    // The box's records, under the box's lock (f must not call the box).
    void Records(const std::function<void(BoxRecordsSide&)>& f);

    std::vector<ReceivedFrame> Frames() const;
    std::vector<ReceivedFrame> FramesOf(std::uint32_t command) const;
    std::vector<Bytes> LanProbes() const;
    int ControlConnections() const;     // accepted so far
    int OpenControlConnections() const; // not yet closed by the PC
    int StreamConnections() const;      // accepted so far on both stream ports
    std::vector<std::uint16_t> FirmwareChunkLengths() const;
    Bytes FirmwareBytes() const;
    Bytes IrBytes() const;
    int BadChunks() const;  // firmware chunks with another type or a length outside 1..1436
    int WritesDone() const; // writes the box has made on its control connections

private:
    struct Connection;
    struct Pending;

    void run();
    void acceptOn(SOCKET listener);
    void readControl(const std::shared_ptr<Connection>& c);
    void onFrame(const std::shared_ptr<Connection>& c, const Frame& frame);
    void answerProbe();
    // After the last piece is written, after() runs on the box's thread (no lock held).
    void schedule(const std::shared_ptr<Connection>& c, std::vector<Bytes> pieces, const Delivery& d,
                  DWORD delayMs, std::function<void()> after = {});
    std::function<void()> afterAnswer(std::uint32_t command, const Frame& answer);
    StreamScript nextStreamScript(StreamSide* side);
    void flushDue();
    DWORD untilNextWrite() const;

    Options options_;
    std::uint16_t lanSearchPort_ = 0, lanControlPort_ = 0, lanStreamPort_ = 0, directControlPort_ = 0,
                  directStreamPort_ = 0;
    SOCKET udp_ = INVALID_SOCKET;
    // Answers go out from a socket that never reads: a late answer that lands on another box's search
    // port (a reused port of a closed client) is then never answered back, so two boxes cannot keep
    // answering each other.
    SOCKET udpAnswer_ = INVALID_SOCKET;
    std::vector<SOCKET> listeners_; // of the control ports
    WakePipe wake_;

    mutable std::mutex mutex_;
    bool stop_ = false;
    LanAnswer lanAnswer_ = LanAnswer::Echo;
    std::map<std::uint32_t, std::deque<Reply>> script_;
    std::vector<std::shared_ptr<Connection>> controls_;
    std::vector<Pending> pending_;
    std::uint64_t order_ = 0;
    std::vector<ReceivedFrame> frames_;
    std::vector<Bytes> probes_;
    std::vector<std::uint16_t> chunkLengths_;
    Bytes firmware_;
    Bytes ir_;
    int badChunks_ = 0;
    int writes_ = 0;
    int controlCount_ = 0;
    std::deque<StreamScript> streamScripts_;
    StreamSide* latestStream_ = nullptr;
    std::deque<std::pair<std::string, StreamBytes>> downloads_;
    BoxRecordsSide records_;

    std::unique_ptr<StreamSide> lanStream_, directStream_; // null for a port that is off
    std::thread thread_;
};

} // namespace testbox
