// A box that stops reading its control connection, and one that closes it, against the control channel on
// a socket pair: every send ends within its bound, the link is lost once (WM_BOX_LINK_LOST to the main
// window), the request whose frame could not go out fails at once with its own message, and what is sent
// after that fails at once too.
#include "ChannelFixture.h"

#include "boxlink/BoxMessages.h"

namespace {

using testbox::Bytes;
constexpr DWORD kFrameMs = KQ_TCP_ControlChannel::kFrameSendMs;
constexpr DWORD kPieceMs = KQ_TCP_ControlChannel::kUploadPieceMs;
constexpr DWORD kSlackMs = 10000; // a loaded machine's lateness, on the scaled clock

class LinkLoss : public ChannelFixture {
protected:
    LinkLoss() : ChannelFixture(10.0) {}

    // After the link is lost: a request fails at once with its message and the loss is not reported again,
    // not even at the time-outs of the requests.
    void expectTheLinkStaysDown() {
        const int failures = window.count(WM_BOX_CHANNEL_FAILED);
        const DWORD start = GetTickCount();
        EXPECT_FALSE(channel->SendSetChannel(window.hwnd(), 0x300));
        EXPECT_LT(GetTickCount() - start, 3000u);
        platform::PumpPending();
        EXPECT_EQ(window.count(WM_BOX_CHANNEL_FAILED), failures + 1);
        platform::PumpFor(20000);
        EXPECT_EQ(window.count(WM_BOX_CHANNEL_FAILED), failures + 1);
        EXPECT_EQ(main.count(WM_BOX_LINK_LOST), 1);
        EXPECT_EQ(channel->PendingCount(), 0u);
    }
};

struct Stalled {
    const char* name;
    std::function<bool(KQ_TCP_ControlChannel&, HWND)> send;
    UINT failure; // posted to the asking window at once; 0: none
};

void PrintTo(const Stalled& s, std::ostream* os) {
    *os << s.name;
}

class StalledSend : public LinkLoss, public ::testing::WithParamInterface<Stalled> {};

TEST_P(StalledSend, EndsTheLinkWithinTheFramesBound) {
    const Stalled& c = GetParam();
    fillTheBox();
    const DWORD start = GetTickCount();
    EXPECT_FALSE(c.send(*channel, window.hwnd()));
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, kFrameMs);
    EXPECT_LT(took, kFrameMs + kSlackMs);
    platform::PumpPending();
    EXPECT_EQ(main.count(WM_BOX_LINK_LOST), 1);
    if (c.failure) {
        EXPECT_EQ(window.count(c.failure), 1);
    }
    EXPECT_EQ(window.all().size(), c.failure ? 1u : 0u);
    EXPECT_EQ(link.keepAlive, 1); // also after an IR request: no upload follows
    expectTheLinkStaysDown();
}

INSTANTIATE_TEST_SUITE_P(
    Box, StalledSend,
    ::testing::Values(Stalled{"RequestWithAReply", [](auto& c, HWND w) { return c.SendSetSource(w, 'S'); },
                              WM_BOX_SOURCE_FAILED},
                      Stalled{"IrUploadRequest",
                              [](auto& c, HWND w) {
                                  const BYTE block[4] = {10, 1, 2, 3};
                                  return c.SendPutIrData(sizeof block, block, w);
                              },
                              WM_BOX_IR_UPLOAD_FAILED},
                      Stalled{"KeepAlive", [](auto& c, HWND) { return c.SendKeepAlive(); }, 0},
                      Stalled{"Logout", [](auto& c, HWND) { return c.SendLogout(0); }, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The re-send of a request that went out: it cannot go out either, and the request fails then, not at its
// second time-out.
TEST_F(LinkLoss, ReSendThatCannotGoOutFailsItsRequestThen) {
    const DWORD start = GetTickCount();
    ASSERT_TRUE(channel->SendSetChannel(window.hwnd(), 0x300));
    sent();
    fillTheBox();
    ASSERT_TRUE(PumpUntilReal([&] { return window.count(WM_BOX_CHANNEL_FAILED) == 1; }));
    const DWORD failed = window.of(WM_BOX_CHANNEL_FAILED)[0].tick - start;
    EXPECT_GE(failed, 8000 + kFrameMs);
    EXPECT_LT(failed, 16000u);
    EXPECT_EQ(main.count(WM_BOX_LINK_LOST), 1);
    expectTheLinkStaysDown();
}

// The box accepts an IR block and then takes no more: the upload gives up within the bound of one piece,
// and the keep-alives may go again.
TEST_F(LinkLoss, UploadThatStallsFailsWithinThePiecesBound) {
    const Bytes block(64 * 1440, 0x5A);
    ASSERT_TRUE(channel->SendPutIrData(static_cast<DWORD>(block.size()), block.data(), window.hwnd()));
    const testbox::Frame request = sent();
    fillTheBox();
    answer(request, 1);
    const DWORD start = GetTickCount();
    dispatch(); // the upload runs here, on the test thread
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, kPieceMs);
    EXPECT_LT(took, kPieceMs + 500 + kSlackMs); // and the pause after an upload
    EXPECT_EQ(window.count(WM_BOX_IR_UPLOAD_FAILED), 1);
    EXPECT_EQ(window.count(WM_BOX_IR_UPLOAD_OK), 0);
    EXPECT_EQ(main.count(WM_BOX_LINK_LOST), 1);
    EXPECT_EQ(link.keepAlive, 1);
    expectTheLinkStaysDown();
}

TEST_F(LinkLoss, ConnectionClosedByTheBoxEndsTheLinkAtOnce) {
    channel->StartThreads();
    const DWORD start = GetTickCount();
    closePeer();
    ASSERT_TRUE(PumpUntilReal([&] { return main.count(WM_BOX_LINK_LOST) == 1; }));
    EXPECT_LT(main.of(WM_BOX_LINK_LOST)[0].tick - start, 5000u); // not after the 20 s of the stream
    expectTheLinkStaysDown();
}

// The program's own end of the link is no loss.
TEST_F(LinkLoss, ShutdownAndCloseReportNothing) {
    channel->StartThreads();
    fillTheBox();
    channel->Shutdown();
    EXPECT_FALSE(channel->SendKeepAlive());
    EXPECT_FALSE(channel->SendSetChannel(window.hwnd(), 1));
    channel->Close();
    platform::PumpFor(1000);
    EXPECT_EQ(main.count(WM_BOX_LINK_LOST), 0);
    EXPECT_TRUE(window.all().empty());
}

} // namespace
