// A control channel on one end of a socket pair, without its threads: the test reads what the channel
// sends from the other end, writes the box's bytes into the control ring and steps the dispatcher itself,
// so every case runs in a fixed order.
#pragma once

#include "LinkTestSupport.h"

#include "boxlink/BoxLinkState.h"
#include "boxlink/ControlChannel.h"
#include "tests/support/testbox/BoxWire.h"

#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class ChannelFixture : public ScaledLinkTest {
protected:
    explicit ChannelFixture(double scale = 10.0) : ScaledLinkTest(scale) {}

    void SetUp() override {
        ScaledLinkTest::SetUp();
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        own_ = fds[0];
        peer_ = fds[1];
        channel = std::make_unique<KQ_TCP_ControlChannel>(link);
        channel->Adopt(fds[0]);
        link.player = &player;
        link.mainWindow = main.hwnd();
    }
    void TearDown() override {
        channel.reset();
        closePeer();
        ScaledLinkTest::TearDown();
    }

    // The box stops reading: its end holds all it can, and the channel's end can take no more.
    void fillTheBox() {
        const std::vector<std::uint8_t> bytes(65536, 0xEE);
        while (::send(own_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
        }
    }
    // The box closes its end.
    void closePeer() {
        if (peer_ >= 0)
            ::close(peer_);
        peer_ = -1;
    }

    // The next n bytes the channel sent (empty when they do not come within a few real seconds).
    testbox::Bytes take(std::size_t n) {
        testbox::Bytes got;
        while (got.size() < n) {
            pollfd p{peer_, POLLIN, 0};
            if (::poll(&p, 1, 5000) != 1)
                return {};
            std::uint8_t buffer[4096];
            const ssize_t r = ::recv(peer_, buffer, std::min(sizeof buffer, n - got.size()), 0);
            if (r <= 0)
                return {};
            got.insert(got.end(), buffer, buffer + r);
        }
        return got;
    }
    testbox::Frame sent() {
        testbox::Frame frame{};
        const testbox::Bytes bytes = take(frame.size());
        EXPECT_EQ(bytes.size(), frame.size());
        std::copy(bytes.begin(), bytes.end(), frame.begin());
        return frame;
    }
    bool nothingSent() {
        pollfd p{peer_, POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

    // The box's bytes as the receive thread would store them.
    void feed(const testbox::Bytes& bytes) {
        ASSERT_EQ(channel->ControlRing().Write(bytes.data(), bytes.size()), 1);
    }
    void feed(const testbox::Frame& frame) { feed(testbox::Bytes(frame.begin(), frame.end())); }
    // Steps the dispatcher until it waits, then runs what it posted.
    KQ_TCP_ControlChannel::DispatchStep dispatch() {
        KQ_TCP_ControlChannel::DispatchStep step;
        while ((step = channel->DispatchOnce()) == KQ_TCP_ControlChannel::DispatchStep::Handled) {
        }
        platform::PumpPending();
        return step;
    }
    // The reply to a request read from the socket.
    void answer(const testbox::Frame& request, std::uint32_t value, std::uint32_t value2 = 0,
                std::uint32_t value3 = 0,
                const std::vector<std::pair<std::size_t, testbox::Bytes>>& bytes = {}) {
        testbox::Frame reply = testbox::MakeFrame(testbox::Get32(request.data() + 4),
                                                  testbox::Get32(request.data() + 8), value, value2, value3);
        for (const auto& [at, b] : bytes)
            std::copy(b.begin(), b.end(), reply.begin() + static_cast<long>(at));
        testbox::Reseal(reply);
        feed(reply);
    }

    BoxLinkState link;
    FakePlayerControl player;
    Recorder window;
    Recorder main;
    std::unique_ptr<KQ_TCP_ControlChannel> channel;

private:
    int own_ = -1; // the channel's end, owned by the channel
    int peer_ = -1;
};
