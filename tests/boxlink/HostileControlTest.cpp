// The connection manager against a test box made hostile on purpose, over loopback: a box that stops
// reading its control connection (while idle, or during an IR upload) or closes it. The link is lost
// within its bound, once, requests fail at once after it, and Disconnect returns within its own bound.
#include "BoxRig.h"

namespace {

using testbox::Reply;
constexpr DWORD kFrameMs = KQ_TCP_ControlChannel::kFrameSendMs;
constexpr DWORD kPieceMs = KQ_TCP_ControlChannel::kUploadPieceMs;
constexpr DWORD kSlackMs = 10000;     // a loaded machine's lateness, on the scaled clock
constexpr DWORD kDisconnectMs = 3000; // the logouts' second and the sockets' shutdown, with room

// The box soon holds up the PC's sends once it stops reading.
class HostileControl : public LoggedInTest {
protected:
    HostileControl() : LoggedInTest(testbox::Options{.controlReceiveBuffer = 4096}) {}
    int linkLost() const { return rig->main.count(WM_BOX_LINK_LOST); }
    // The program's end: three logouts within a second, then the sockets.
    void expectDisconnectWithinItsBound() {
        const DWORD start = GetTickCount();
        rig->client.Disconnect(0);
        EXPECT_LT(GetTickCount() - start, kDisconnectMs);
    }
    // A request after the loss fails at once with its message.
    void expectRequestsToFailAtOnce() {
        const DWORD start = GetTickCount();
        EXPECT_FALSE(channel().SendSetChannel(window(), 0x300));
        EXPECT_LT(GetTickCount() - start, 3000u);
        platform::PumpPending();
        EXPECT_EQ(rig->dialog.count(WM_BOX_CHANNEL_FAILED), 1);
    }
};

// The box accepts a 512 KiB IR block and reads no more: the upload gives up once a piece has not gone out
// within its bound (the box's system may still take a few bytes at first, so more than one piece may wait).
TEST_F(HostileControl, BoxThatStopsReadingDuringAnIrUpload) {
    rig->box.Script(BOX_CMD_PUT_IR_DATA, Reply{.stopReading = true});
    const std::vector<BYTE> block(512 * 1024, 0x3C);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(channel().SendPutIrData(static_cast<DWORD>(block.size()), block.data(), window()));
    ASSERT_TRUE(PumpUntilReal([&] { return rig->dialog.count(WM_BOX_IR_UPLOAD_FAILED) == 1; }));
    const DWORD failed = rig->dialog.of(WM_BOX_IR_UPLOAD_FAILED)[0].tick - start;
    EXPECT_GE(failed, kPieceMs);
    EXPECT_LT(failed, 10 * kPieceMs);
    EXPECT_EQ(linkLost(), 1);
    EXPECT_EQ(rig->client.Link().keepAlive, 1);
    EXPECT_LT(rig->box.IrBytes().size(), block.size());
    expectRequestsToFailAtOnce();
    expectDisconnectWithinItsBound();
    EXPECT_EQ(linkLost(), 1);
}

// The box stops reading while nothing is sent; the requests that follow fill its buffers, and the one that
// no longer goes out ends the link within the bound of a frame.
TEST_F(HostileControl, BoxThatStopsReadingWhileIdle) {
    rig->box.SetControlReading(false);
    DWORD took = 0;
    int sent = 0;
    for (; sent < 100000; ++sent) {
        const DWORD start = GetTickCount();
        const bool ok = channel().SendStopScan(0);
        took = GetTickCount() - start;
        if (!ok)
            break;
    }
    EXPECT_GT(sent, 0);
    EXPECT_GE(took, kFrameMs);
    EXPECT_LT(took, kFrameMs + kSlackMs);
    platform::PumpPending();
    EXPECT_EQ(linkLost(), 1);
    expectRequestsToFailAtOnce();
    expectDisconnectWithinItsBound();
    EXPECT_EQ(linkLost(), 1);
}

// Disconnect with a box whose buffers are full: the logouts are given up after their second.
TEST_F(HostileControl, DisconnectFromABoxThatStoppedReading) {
    rig->box.SetControlReading(false);
    while (channel().SendStopScan(0)) {
    }
    rig->main.clear();
    expectDisconnectWithinItsBound();
}

TEST_F(HostileControl, BoxThatClosesItsControlConnection) {
    const DWORD start = GetTickCount();
    rig->box.CloseControl();
    ASSERT_TRUE(PumpUntilReal([&] { return linkLost() == 1; }));
    EXPECT_LT(rig->main.of(WM_BOX_LINK_LOST)[0].tick - start, 5000u); // not after the 20 s of the stream
    expectRequestsToFailAtOnce();
    platform::PumpFor(25000); // the keep-alives fail and the stream goes silent: no second report
    EXPECT_EQ(linkLost(), 1);
    expectDisconnectWithinItsBound();
}

// The box answers the login and closes its control connection before the stream starts: that loss went to
// a window that was not live yet, so the live one hears of the link's loss when it next shows.
TEST_F(HostileControl, LossBeforeTheStreamStartsIsReportedAgainOnceLive) {
    rig->box.CloseControl();
    ASSERT_TRUE(PumpUntilReal([&] { return linkLost() == 1; }));
    ASSERT_TRUE(rig->client.StartStream());
    EXPECT_FALSE(channel().SendKeepAlive());
    platform::PumpPending();
    EXPECT_EQ(linkLost(), 2);
}

} // namespace
