// The box as the setup wizard meets it, on a loopback address of its own (127.0.0.1, or 127.0.0.100 for
// a box at its factory address): it answers the search probes (the LAN probe and the 30-byte factory
// probe) on its search port, and serves its control port: every frame is recorded, and each command is
// answered as scripted (result 1 or another, late, never, short, split across writes, or by closing the
// connection). Several boxes share the port numbers on different addresses.
//
// One thread serves the box; it is started by the constructor and stopped (flag, wake, join) by the
// destructor. All accessors are thread-safe.
#pragma once

#include "tests/support/testbox/BoxSockets.h"
#include "tests/support/testbox/BoxWire.h"

#include "platform/net/NetEnvironment.h"
#include "platform/net/Winsock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testbox {

// The wizard's commands.
constexpr std::uint32_t kSetupLogin = 2101;
constexpr std::uint32_t kSetNetwork = 2102;
constexpr std::uint32_t kSetDdns = 2103;
constexpr std::uint32_t kSetupClose = kLogout;

struct WizardReply {
    bool answer = true;              // false: never answers
    std::uint32_t result = 1;        // the u32 at 12
    DWORD delayMs = 0;               // after the request arrived, scaled clock
    std::size_t length = 188;        // fewer: only the reply's first bytes are ever written
    std::vector<std::size_t> cuts{}; // further writes start at these offsets
    DWORD gapMs = 0;                 // between those writes
    bool close = false;              // closes the connection (after the delay) instead of answering
};

enum class SearchAnswer {
    Echo,   // to a probe that begins with the device ID: the ID and two more bytes
    Other,  // to every probe: another ID
    Short,  // to every probe: the device ID without its last character
    Silent, // nothing
};

struct WizardProbe {
    Bytes bytes;
    std::string from; // the sender's address
};

struct WizardFrame {
    Frame bytes{};
    std::uint32_t command = 0;
    int connection = 0; // counted from 1
};

struct WizardBoxOptions {
    std::string deviceId = "QRR100";
    std::string address = "127.0.0.1"; // in 127.0.0.0/8: answers, control port
    // Where the box hears the search (as a broadcast address reaches a box on a LAN); empty: its address.
    std::string searchAddress{};
    // 0: one the system picks; the constructor throws when a port cannot be had.
    std::uint16_t searchPort = 0;
    std::uint16_t controlPort = 0;
};

class WizardBox {
public:
    explicit WizardBox(WizardBoxOptions options = {});
    ~WizardBox();
    WizardBox(const WizardBox&) = delete;
    WizardBox& operator=(const WizardBox&) = delete;

    const std::string& Address() const { return options_.address; }
    const std::string& DeviceId() const { return options_.deviceId; }
    std::uint16_t SearchPort() const { return searchPort_; }
    std::uint16_t ControlPort() const { return controlPort_; }
    // The loopback environment with this box's ports, the LAN broadcast reaching this box's search
    // address, and the PC's search from a port the system picks.
    platform::NetEnvironment Environment() const;

    void SetSearchAnswer(SearchAnswer answer);
    // Each request of the command takes the next reply; the last one stays for the rest.
    void Script(std::uint32_t command, std::vector<WizardReply> replies);
    // Called on the box's thread for every frame, after it is recorded.
    void OnFrame(std::function<void(const WizardFrame&)> watcher);

    std::vector<WizardProbe> Probes() const;
    std::vector<WizardFrame> Frames() const;
    std::vector<WizardFrame> FramesOf(std::uint32_t command) const;
    int Connections() const;     // accepted so far
    int OpenConnections() const; // not yet closed by either side
    int WritesDone() const;      // writes the box has made on its control connections

private:
    struct Connection;
    struct Pending;

    void run();
    void answerProbe();
    void accept();
    void readControl(const std::shared_ptr<Connection>& c);
    void onFrame(const std::shared_ptr<Connection>& c, const Frame& frame);
    void flushDue();
    DWORD untilNextWrite() const;

    WizardBoxOptions options_;
    std::uint16_t searchPort_ = 0, controlPort_ = 0;
    SOCKET udp_ = INVALID_SOCKET;
    SOCKET listener_ = INVALID_SOCKET;
    WakePipe wake_;

    mutable std::mutex mutex_;
    bool stop_ = false;
    SearchAnswer searchAnswer_ = SearchAnswer::Echo;
    std::map<std::uint32_t, std::deque<WizardReply>> script_;
    std::function<void(const WizardFrame&)> watcher_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::vector<Pending> pending_;
    std::vector<WizardProbe> probes_;
    std::vector<WizardFrame> frames_;
    int writes_ = 0;
    std::thread thread_;
};

} // namespace testbox
