// A scriptable stand-in for the box on 127.0.0.1: answers the LAN search on UDP, serves the control
// connection on its LAN and direct ports, accepts the audio/video connections, checks and records every
// frame it receives (type, checksum, sequence, arrival time on the scaled clock), receives firmware chunks
// and raw IR bytes, and answers each command as scripted: at once, late, never, twice, with any values,
// split across writes at any byte or coalesced, preceded by garbage, followed by the box's own messages.
//
// One thread serves every socket; it is started by the constructor and stopped (flag, wake, join) by the
// destructor. All accessors are thread-safe.
#pragma once

#include "tests/support/testbox/BoxWire.h"

#include "platform/net/NetEnvironment.h"
#include "platform/net/Winsock.h"
#include "platform/win32/Types.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
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

    std::vector<ReceivedFrame> Frames() const;
    std::vector<ReceivedFrame> FramesOf(std::uint32_t command) const;
    std::vector<Bytes> LanProbes() const;
    int ControlConnections() const;     // accepted so far
    int OpenControlConnections() const; // not yet closed by the PC
    int StreamConnections() const;
    std::vector<std::uint16_t> FirmwareChunkLengths() const;
    Bytes FirmwareBytes() const;
    Bytes IrBytes() const;
    int BadChunks() const;  // firmware chunks with another type or a length outside 1..1436
    int WritesDone() const; // writes the box has made on its control connections

private:
    struct Connection;
    struct Pending;

    void run();
    void acceptOn(SOCKET listener, bool control);
    void readControl(const std::shared_ptr<Connection>& c);
    void onFrame(const std::shared_ptr<Connection>& c, const Frame& frame);
    void answerProbe();
    void schedule(const std::shared_ptr<Connection>& c, std::vector<Bytes> pieces, const Delivery& d,
                  DWORD delayMs);
    void flushDue();
    DWORD untilNextWrite() const;
    void wake();

    Options options_;
    std::uint16_t lanSearchPort_ = 0, lanControlPort_ = 0, lanStreamPort_ = 0, directControlPort_ = 0,
                  directStreamPort_ = 0;
    SOCKET udp_ = INVALID_SOCKET;
    std::vector<std::pair<SOCKET, bool>> listeners_; // socket, serves control
    int wakeRead_ = -1, wakeWrite_ = -1;

    mutable std::mutex mutex_;
    bool stop_ = false;
    LanAnswer lanAnswer_ = LanAnswer::Echo;
    std::map<std::uint32_t, std::deque<Reply>> script_;
    std::vector<std::shared_ptr<Connection>> controls_;
    std::vector<SOCKET> streams_;
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
    int streamCount_ = 0;

    std::thread thread_;
};

} // namespace testbox
