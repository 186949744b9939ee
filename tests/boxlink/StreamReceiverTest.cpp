#include "boxlink/StreamReceiver.h"
#include "boxlink/BoxClient.h"
#include "boxlink/BoxControlFrame.h"
#include "boxlink/BoxMessages.h"
#include "platform/net/NetEnvironment.h"
#include "platform/win32/ClockHooks.h"
#include "tests/boxlink/StreamTestSupport.h"
#include "tests/support/fakes/FakeLive.h"
#include "tests/support/fakes/TempFolder.h"
#include "tests/support/testbox/StreamSide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace streamtest;

// Generous waits of the scaled clock: they end as soon as what they wait for has happened.
constexpr DWORD kWait = 60000;

// A port on 127.0.0.1 that nobody listens on.
std::uint16_t closedPort() {
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at);
    getsockname(s, reinterpret_cast<sockaddr*>(&at), &length);
    closesocket(s);
    return ntohs(at.sin_port);
}

platform::NetEnvironment environmentFor(std::uint16_t streamPort) {
    platform::NetEnvironment environment = platform::LoopbackNetEnvironment();
    environment.lanStreamPort = streamPort;
    return environment;
}

// The receiver against the test box's stream side on the LAN stream port, at a faster time scale. Units
// go to a fake live context; the main window and the file-request window are one window of the test.
class ReceiverTest : public testing::Test {
protected:
    explicit ReceiverTest(double scale = 10) { platform::SetTimeScale(scale); }
    ~ReceiverTest() override {
        receiver.Stop();
        client.SetPlayer(nullptr);
        platform::SetTimeScale(1);
    }
    void SetUp() override {
        client.SetPlayer(&player);
        client.SetMainWindow(window.hwnd());
    }
    FakeLiveSink& sink() { return *player.sink; }

    testbox::StreamSide box;
    platform::ScopedNetEnvironment environment{environmentFor(box.Port())};
    RecordingWindow window;
    KQ_TCP_BoxClient client;
    FakeLivePlayer player;
    KQ_TCP_StreamReceiver receiver{client};
};

struct DeliveryCase {
    const char* name;
    testbox::Writes writes;
};

void PrintTo(const DeliveryCase& c, std::ostream* os) {
    *os << c.name;
}

class FixtureDelivery : public ReceiverTest, public testing::WithParamInterface<DeliveryCase> {};

// However the box's writes cut the records, the live context gets the fixture's access units, each with
// the timestamp of the record that completed it, and its AAC frames.
TEST_P(FixtureDelivery, UnitsReachTheLiveContext) {
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    box.Send(fixture.wire(), GetParam().writes);
    const std::vector<Bytes> video = fixtureVideo(fixture), audio = fixtureAudio(fixture);
    ASSERT_TRUE(sink().WaitVideo(video.size(), kWait));
    ASSERT_TRUE(sink().WaitAudio(audio.size(), kWait));
    EXPECT_EQ(sink().Video(), video);
    EXPECT_EQ(sink().Audio(), audio);
    EXPECT_EQ(client.Link().preBuffer, 0);
}

// Cuts inside the first record headers and bodies, so that records are split across receives.
std::vector<size_t> cutsInsideRecords() {
    std::vector<size_t> cuts;
    for (size_t at = 1; at < 200000; at += 997)
        cuts.push_back(at);
    return cuts;
}

INSTANTIATE_TEST_SUITE_P(Stream, FixtureDelivery,
                         testing::Values(DeliveryCase{"Coalesced", {}},
                                         DeliveryCase{"SmallWrites", {100, {}, 0}},
                                         DeliveryCase{"SplitRecords", {0, cutsInsideRecords(), 0}}),
                         [](const testing::TestParamInfo<DeliveryCase>& info) { return info.param.name; });

TEST_F(ReceiverTest, StreamThatStartsMidRecordIsTakenFromTheFirstChunkThatMayBeginIt) {
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    const Bytes tail = {0x00, 0x41, 0x9A, 0x15, 0x0F, 0x0A}; // the end of some earlier record
    box.Send(tail, {0, {}, 200});
    box.Send(fixture.wire());
    const std::vector<Bytes> video = fixtureVideo(fixture);
    ASSERT_TRUE(sink().WaitVideo(video.size(), kWait));
    EXPECT_EQ(sink().Video(), video);
}

struct SizeCase {
    const char* name;
    size_t bytes;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class Download : public ReceiverTest, public testing::WithParamInterface<SizeCase> {
protected:
    Download() {
        std::filesystem::create_directories(temp / "dl");
        client.SetDownloadFolder(platform::BackslashPath(temp / "dl"));
        client.Channel().SendRequestFile(window.hwnd(), BoxFileItem{}); // remembers the window; no box
    }
    TempFolder temp;
};

// A file reaches the disk in writes of 1 MiB while it comes in, the rest at its end record.
TEST_P(Download, FileReachesTheDisk) {
    constexpr size_t kMiB = 0x100000;
    Bytes content(GetParam().bytes);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i ^ (i >> 11));
    const std::filesystem::path file = temp / "dl" / "rec_0001.mp4";
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    box.Send(video(1, slice(1, 0))); // a chunk that begins the stream
    const size_t early = std::min(content.size(), kMiB + kMiB / 2);
    box.Send(concat({testbox::FileBegin("rec_0001.mp4"),
                     testbox::FileData(Bytes(content.begin(), content.begin() + early))}));
    if (early >= kMiB) {
        ASSERT_TRUE(platform::PumpUntil([&] { return receiver.ReceivedBytes() == early; }, kWait));
        EXPECT_EQ(std::filesystem::file_size(file), kMiB);
    }
    box.Send(concat({testbox::FileData(Bytes(content.begin() + early, content.end())), testbox::FileEnd()}));
    const Posted* received = window.WaitFor(WM_BOX_FILE_RECEIVED, kWait);
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(received->wParam, 0u);
    EXPECT_EQ(streamfixture::readFile(file.string()), content);
    EXPECT_EQ(receiver.ReceivedBytes(), content.size());
}

INSTANTIATE_TEST_SUITE_P(Stream, Download,
                         testing::Values(SizeCase{"Empty", 0}, SizeCase{"OneMiB", 0x100000},
                                         SizeCase{"TwoAndAHalfMiB", 0x280000}),
                         [](const testing::TestParamInfo<SizeCase>& info) { return info.param.name; });

class Silence : public ReceiverTest {
protected:
    Silence() : ReceiverTest(20) {}
    testbox::StreamSide control; // stands in for the control port: takes the keep-alives
};

TEST_F(Silence, LinkLostAfterTwentySecondsWithoutData) {
    client.Channel().Adopt(control.Connect());
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    const DWORD beforeLastData = GetTickCount();
    box.Send(video(1, slice(1, 0)));
    const Posted* lost = window.WaitFor(WM_BOX_LINK_LOST, 60000);
    ASSERT_NE(lost, nullptr);
    EXPECT_GE(lost->tick - beforeLastData, 20000u);
    EXPECT_LT(lost->tick - beforeLastData, 26000u);
    // Keep-alives went out meanwhile: every 3 s from the socket thread (6 in 20 s), and from the parser.
    EXPECT_TRUE(control.WaitReceived(kWait, 6 * BoxControlFrame::kSize));
    const Bytes sent = control.Received();
    int keepAlives = 0;
    for (size_t at = 0; at + BoxControlFrame::kSize <= sent.size(); at += BoxControlFrame::kSize)
        keepAlives += sent[at + 8] == 0x19 && sent[at + 9] == 0x20 && sent[at + 10] == 0xFD;
    EXPECT_GE(keepAlives, 6);
    EXPECT_TRUE(box.WaitPeerClosed(kWait)); // the socket thread ended and closed its socket
}

// A box that stops reading its control connection holds up the keep-alives of the stream threads: the
// socket thread's first one gives up within the bound of a frame, the link is lost once, and the stream
// goes on until the receiver stops.
TEST_F(ReceiverTest, KeepAliveThatCannotGoOutLosesTheLinkWithinItsBound) {
    int control[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, control), 0);
    const Bytes filler(65536, 0xEE);
    while (::send(control[0], filler.data(), filler.size(), MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
    }
    client.Channel().Adopt(control[0]);
    const DWORD start = GetTickCount();
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    box.Send(streamfixture::fixture().wire());
    const Posted* lost = window.WaitFor(WM_BOX_LINK_LOST, kWait);
    ASSERT_NE(lost, nullptr);
    constexpr DWORD kFrameMs = KQ_TCP_ControlChannel::kFrameSendMs;
    EXPECT_GE(lost->tick - start, 3000 + kFrameMs);         // the first keep-alive is due after 3 s
    EXPECT_LT(lost->tick - start, 4005 + kFrameMs + 10000); // and goes out within its bound
    EXPECT_TRUE(sink().WaitVideo(streamfixture::fixture().units().size(), kWait));
    platform::PumpFor(15000); // the parser's keep-alive fails too, without a second report
    int reports = 0;
    for (const UINT message : window.messages())
        reports += message == WM_BOX_LINK_LOST;
    EXPECT_EQ(reports, 1);
    receiver.Stop();
    ::close(control[1]);
}

TEST_F(ReceiverTest, LanConnectThatFailsTwiceLosesTheLink) {
    platform::ScopedNetEnvironment refused(environmentFor(closedPort()));
    receiver.StartLan("127.0.0.1");
    EXPECT_NE(window.WaitFor(WM_BOX_LINK_LOST, kWait), nullptr);
    EXPECT_EQ(box.Connections(), 0);
}

TEST_F(ReceiverTest, AddressThatIsNotDottedConnectsNowhere) {
    receiver.StartLan("box.example");
    EXPECT_NE(window.WaitFor(WM_BOX_LINK_LOST, kWait), nullptr);
    EXPECT_EQ(box.Connections(), 0);
}

// A live context whose input ring stays full holds a push; Stop still ends both threads.
TEST_F(ReceiverTest, StopEndsAPushThatWaitsForRoom) {
    sink().full = true;
    receiver.StartLan("127.0.0.1");
    ASSERT_TRUE(box.WaitConnected(kWait));
    box.Send(streamfixture::fixture().wire());
    ASSERT_TRUE(sink().WaitPushWaiting(kWait));
    receiver.Stop();
    EXPECT_TRUE(box.WaitPeerClosed(kWait));
}

// In relay mode the receiver takes the login's audio/video socket, reads it and closes it when it stops.
TEST_F(ReceiverTest, RelayModeReadsAndClosesTheHandedOverSocket) {
    const streamfixture::Fixture& fixture = streamfixture::fixture();
    receiver.StartRelay(box.Connect());
    ASSERT_TRUE(box.WaitConnected(kWait));
    box.Send(fixture.wire());
    ASSERT_TRUE(sink().WaitVideo(fixture.units().size(), kWait));
    EXPECT_EQ(sink().Video(), fixtureVideo(fixture));
    EXPECT_TRUE(platform::PumpUntil([&] { return receiver.BitRate() > 0; }, kWait));
    receiver.Stop();
    EXPECT_TRUE(box.WaitPeerClosed(kWait));
}

// The rate counts every received byte, in 64 bits: 2 MB within one or two windows of about 3 s is well
// above 1431 kbit/s, the most that a 32-bit byte count times 8000 could still give.
TEST_F(ReceiverTest, BitRateOfAFastStreamDoesNotOverflow) {
    receiver.StartRelay(box.Connect());
    ASSERT_TRUE(box.WaitConnected(kWait));
    box.Send(testbox::StreamBytes(2000000, 0xFF)); // no record begins with 0xFF: counted, not stored
    DWORD highest = 0;
    EXPECT_TRUE(platform::PumpUntil(
        [&] {
            highest = std::max(highest, receiver.BitRate());
            return highest > 1900;
        },
        kWait));
    EXPECT_LE(highest, 2000000u * 8 / 3000);
}

} // namespace
