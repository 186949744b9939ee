// A test box on loopback with the connection manager pointed at it: the environment names only 127.0.0.1
// and the box's ephemeral ports, the main window and the login dialog are recording windows of the test
// thread, and the stream receiver and relay path are fakes that record what they are asked.
#pragma once

#include "LinkTestSupport.h"

#include "boxlink/BoxClient.h"
#include "boxlink/BoxMessages.h"
#include "tests/support/testbox/TestBox.h"

#include <fcntl.h>
#include <memory>
#include <thread>

class FakeReceiver : public StreamReceiverControl {
public:
    struct Log {
        std::mutex mutex;
        std::vector<std::string> calls;
        SOCKET stream = INVALID_SOCKET;
    };
    explicit FakeReceiver(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    ~FakeReceiver() override {
        if (log_->stream != INVALID_SOCKET)
            closesocket(log_->stream);
        log_->stream = INVALID_SOCKET;
    }
    void StartLan(const std::string& boxAddress) override { add("lan " + boxAddress); }
    void StartRelay(SOCKET stream) override {
        add("relay");
        log_->stream = stream;
    }
    void Stop() override { add("stop"); }

private:
    void add(std::string call) {
        std::lock_guard lock(log_->mutex);
        log_->calls.push_back(std::move(call));
    }
    std::shared_ptr<Log> log_;
};

class FakeRelay : public RelayPath {
public:
    struct Log {
        int result = 1005;
        std::string boxAddress;
        bool connect = false; // on 1000: connect both sockets to the box's direct ports
        std::vector<std::wstring> asked;
        int resets = 0;
        int unmaps = 0;
    };
    explicit FakeRelay(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    int RunServerRendezvous(const std::wstring& server1, const std::wstring& server2,
                            const std::wstring& deviceId, SOCKET& control, SOCKET& stream,
                            std::string& boxAddress) override;
    void ResetRendezvousState() override { ++log_->resets; }
    void UnmapRendezvousPorts() override { ++log_->unmaps; }

private:
    std::shared_ptr<Log> log_;
};

struct BoxRig {
    explicit BoxRig(testbox::Options options = {}) : box(std::move(options)), environment(box.Environment()) {
        client.SetMainWindow(main.hwnd());
        client.SetPlayer(&player);
        client.SetStreamReceiver(std::make_unique<FakeReceiver>(receiver));
        client.SetRelayPath(std::make_unique<FakeRelay>(relay));
    }
    ~BoxRig() {
        // Every frame the box got was whole and well formed.
        for (const testbox::ReceivedFrame& f : box.Frames()) {
            EXPECT_TRUE(f.typeOk && f.checksumOk && f.sequenceOk)
                << std::hex << f.command << " " << f.sequence;
        }
    }

    // Login as the login dialog does it: on a worker thread, while this thread pumps.
    bool login(const std::wstring& target, int type, const std::wstring& user = L"admin") {
        bool sent = false;
        std::thread worker(
            [&] { sent = client.Login(dialog.hwnd(), target, user, L"secret", 'T', 0x0560, 7, 1, type, 0); });
        PumpUntilReal([&] {
            return dialog.count(WM_BOX_LOGIN_OK) + dialog.count(WM_BOX_LOGIN_FAILED) +
                       dialog.count(WM_BOX_LOGIN_CONFIRM) >
                   0;
        });
        worker.join();
        return sent;
    }
    bool loggedIn() const {
        return dialog.count(WM_BOX_LOGIN_OK) == 1 && dialog.count(WM_BOX_LOGIN_FAILED) == 0;
    }
    std::vector<std::string> receiverCalls() {
        std::lock_guard lock(receiver->mutex);
        return receiver->calls;
    }

    testbox::TestBox box;
    platform::ScopedNetEnvironment environment;
    Recorder main;
    Recorder dialog;
    FakePlayerControl player;
    std::shared_ptr<FakeReceiver::Log> receiver = std::make_shared<FakeReceiver::Log>();
    std::shared_ptr<FakeRelay::Log> relay = std::make_shared<FakeRelay::Log>();
    KQ_TCP_BoxClient client;
};

inline int FakeRelay::RunServerRendezvous(const std::wstring& server1, const std::wstring& server2,
                                          const std::wstring& deviceId, SOCKET& control, SOCKET& stream,
                                          std::string& boxAddress) {
    log_->asked = {server1, server2, deviceId};
    boxAddress = log_->boxAddress;
    if (log_->result == 1000 && log_->connect) {
        const platform::NetEnvironment env = platform::GetNetEnvironment();
        for (auto [socketOut, port] :
             {std::pair{&control, env.directControlPort}, {&stream, env.directStreamPort}}) {
            *socketOut = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            EXPECT_EQ(connect(*socketOut, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
        }
    }
    return log_->result;
}

// Integration tests run at 10 times the real clock: the 8 to 20 s time-outs take one or two seconds, and a
// reply that the box sends at once has most of a second to beat its request's time-out on a busy machine.
class BoxLinkTest : public ScaledLinkTest {
protected:
    BoxLinkTest() : ScaledLinkTest(10.0) {}
};

// Logged in to the box by address before each case; the login's messages are cleared.
class LoggedInTest : public BoxLinkTest {
protected:
    explicit LoggedInTest(testbox::Options options = {}) : options_(std::move(options)) {}
    void SetUp() override {
        BoxLinkTest::SetUp();
        rig = std::make_unique<BoxRig>(options_);
        ASSERT_TRUE(rig->login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
        ASSERT_TRUE(rig->loggedIn());
        rig->dialog.clear();
    }
    void TearDown() override {
        rig.reset();
        BoxLinkTest::TearDown();
    }
    KQ_TCP_ControlChannel& channel() { return rig->client.Channel(); }
    HWND window() { return rig->dialog.hwnd(); }

    std::unique_ptr<BoxRig> rig;

private:
    testbox::Options options_;
};
