// The control connection end to end against the test box over loopback: re-sends and time-outs as the box
// sees them, late and repeated replies, the box's messages however the writes cut them, garbage, and the
// bulk uploads.
#include "BoxRig.h"

#include <cstring>

namespace {

using testbox::Bytes;
using testbox::Reply;

class ControlLinkTest : public LoggedInTest {
protected:
    bool waitFor(UINT message, int count = 1) {
        return PumpUntilReal([&] { return rig->dialog.count(message) >= count; });
    }
    // A request answered at once: once its result is in, everything the box sent before has been handled.
    void sentinel() {
        const int before = rig->dialog.count(WM_BOX_USERS_RECEIVED);
        ASSERT_TRUE(channel().SendGetUsers(window()));
        ASSERT_TRUE(waitFor(WM_BOX_USERS_RECEIVED, before + 1));
    }
};

struct Spacing {
    const char* name;
    std::function<bool(KQ_TCP_ControlChannel&, HWND)> send;
    DWORD command;
    DWORD timeoutMs;
    int sends;
    UINT failure;
};

void PrintTo(const Spacing& s, std::ostream* os) {
    *os << s.name;
}

class SpacingTest : public ControlLinkTest, public ::testing::WithParamInterface<Spacing> {};

TEST_P(SpacingTest, UnansweredRequestIsSentAsOftenAsAllowedAndFailsOnce) {
    const Spacing& s = GetParam();
    rig->box.Script(s.command, Reply{.answer = false});
    const DWORD start = GetTickCount();
    ASSERT_TRUE(s.send(channel(), window()));
    ASSERT_TRUE(waitFor(s.failure));
    const DWORD failed = rig->dialog.of(s.failure)[0].tick;
    const std::vector<testbox::ReceivedFrame> frames = rig->box.FramesOf(s.command);
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(s.sends));
    if (s.sends == 2) {
        EXPECT_EQ(frames[1].bytes, frames[0].bytes); // the same frame, sequence and checksum again
        EXPECT_GE(frames[1].tick - start, s.timeoutMs);
    }
    EXPECT_GE(failed - start, s.timeoutMs * (s.sends == 2 ? 2 : 1));
    EXPECT_EQ(rig->dialog.all().size(), 1u);
    EXPECT_EQ(channel().PendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    MaximumSends, SpacingTest,
    ::testing::Values(Spacing{"TwoSends", [](auto& c, HWND w) { return c.SendSetChannel(w, 0x300); },
                              BOX_CMD_SET_CHANNEL, 8000, 2, WM_BOX_CHANNEL_FAILED},
                      Spacing{"OneSend", [](auto& c, HWND w) { return c.SendSetSource(w, 'T'); },
                              BOX_CMD_SET_SOURCE, 10000, 1, WM_BOX_SOURCE_FAILED},
                      Spacing{"NoReSend", [](auto& c, HWND w) { return c.SendLearnIrKey(w, 3, L"TV"); },
                              BOX_CMD_LEARN_IR_KEY, 20000, 1, WM_BOX_IR_LEARN_RESULT}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlLinkTest, LateReplyAfterTheTimeOutIsIgnored) {
    rig->box.Script(BOX_CMD_SET_SOURCE, Reply{.delayMs = 14000});
    ASSERT_TRUE(channel().SendSetSource(window(), 'C'));
    ASSERT_TRUE(waitFor(WM_BOX_SOURCE_FAILED));
    const int writes = rig->box.WritesDone();
    ASSERT_TRUE(PumpUntilReal([&] { return rig->box.WritesDone() > writes; })); // the late reply is out
    rig->player.clear();
    sentinel();
    EXPECT_EQ(rig->dialog.count(WM_BOX_SOURCE_CHANGED), 0);
    EXPECT_EQ(rig->dialog.count(WM_BOX_SOURCE_FAILED), 1);
    EXPECT_TRUE(rig->player.calls().empty());
}

TEST_F(ControlLinkTest, ReplyBetweenReSendAndTimeOutAnswersOnce) {
    // The first send is answered after its re-send went out; the re-send's own answer comes too and is
    // ignored, and no failure follows.
    rig->box.Script(BOX_CMD_SET_CHANNEL, Reply{.delayMs = 10000});
    ASSERT_TRUE(channel().SendSetChannel(window(), 0x300));
    ASSERT_TRUE(waitFor(WM_BOX_CHANNEL_SET));
    // Both answers are out: the first send's at 10 s, the re-send's at 18 s.
    const int writes = rig->box.WritesDone();
    ASSERT_TRUE(PumpUntilReal([&] { return rig->box.WritesDone() >= writes + 1; }));
    sentinel();
    EXPECT_EQ(rig->dialog.count(WM_BOX_CHANNEL_SET), 1);
    EXPECT_EQ(rig->dialog.count(WM_BOX_CHANNEL_FAILED), 0);
    EXPECT_EQ(rig->player.calls(), (std::vector<std::string>{"flush video", "flush audio"}));
}

TEST_F(ControlLinkTest, DuplicateReplyAnswersOnce) {
    rig->box.Script(BOX_CMD_ADD_USER, Reply{.copies = 2});
    ASSERT_TRUE(channel().SendAddUser(window(), L"eve", L"pw"));
    ASSERT_TRUE(waitFor(WM_BOX_USER_ADDED));
    sentinel();
    EXPECT_EQ(rig->dialog.count(WM_BOX_USER_ADDED), 1);
    EXPECT_EQ(rig->dialog.count(WM_BOX_USER_ADD_FAILED), 0);
}

TEST_F(ControlLinkTest, GarbageInTheSameWriteTakesTheReplyWithItAndTheReSendRecovers) {
    rig->box.Script(BOX_CMD_SET_CHANNEL,
                    {Reply{.garbage = {0x55, 0x66}, .delivery = {.coalesce = true}}, Reply{}});
    const DWORD start = GetTickCount();
    ASSERT_TRUE(channel().SendSetChannel(window(), 0x300));
    ASSERT_TRUE(waitFor(WM_BOX_CHANNEL_SET));
    EXPECT_GE(rig->dialog.of(WM_BOX_CHANNEL_SET)[0].tick - start, 8000u); // answered only after the re-send
    EXPECT_EQ(rig->box.FramesOf(BOX_CMD_SET_CHANNEL).size(), 2u);
    EXPECT_EQ(rig->dialog.count(WM_BOX_CHANNEL_FAILED), 0);
}

struct Delivered {
    const char* name;
    testbox::Delivery delivery;
};

void PrintTo(const Delivered& d, std::ostream* os) {
    *os << d.name;
}

class DeliveryTest : public ControlLinkTest, public ::testing::WithParamInterface<Delivered> {};

TEST_P(DeliveryTest, BoxMessagesArriveWhole) {
    const testbox::Delivery& d = GetParam().delivery;
    const Bytes ir = testbox::IrBlock(5000); // more than one receive
    const Bytes list =
        testbox::FileList({{"a_part01", 1, 2, 0}, {"a_part02", 1, 2, 0}, {"bb_part01", 2, 1, 1}});
    const Bytes table = testbox::ChannelTable({{4, 0x4000}, {8, 0x8000}});
    const Bytes info = testbox::BoxInfo();
    rig->box.Script(BOX_CMD_GET_IR_DATA, Reply{.value = 5000, .then = {ir}, .delivery = d});
    rig->box.Script(BOX_CMD_GET_FILE_LIST,
                    Reply{.value = static_cast<std::uint32_t>(list.size()), .then = {list}, .delivery = d});
    rig->box.Script(BOX_CMD_GET_CHANNEL_TABLE, Reply{.then = {table}, .delivery = d});
    rig->box.Script(BOX_CMD_GET_BOX_INFO, Reply{.then = {info}, .delivery = d});
    ASSERT_TRUE(channel().SendGetIrData(window()));
    ASSERT_TRUE(waitFor(WM_BOX_IR_DATA));
    ASSERT_TRUE(channel().SendGetFileList(window()));
    ASSERT_TRUE(waitFor(WM_BOX_FILE_LIST));
    ASSERT_TRUE(channel().SendGetChannelTable(window()));
    ASSERT_TRUE(waitFor(WM_BOX_CHANNEL_TABLE));
    ASSERT_TRUE(channel().SendGetBoxInfo(window()));
    ASSERT_TRUE(waitFor(WM_BOX_INFO));
    rig->box.Send(testbox::TaskNotice(1), d);
    rig->box.Send(testbox::TaskNotice(2), d);
    ASSERT_TRUE(PumpUntilReal([&] { return rig->main.count(WM_BOX_TASK_NOTICE) == 2; }));

    const Posted irPosted = rig->dialog.of(WM_BOX_IR_DATA)[0];
    EXPECT_EQ(irPosted.lParam, 5000);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(irPosted.wParam), ir.data(), ir.size()), 0);
    const auto* folders = reinterpret_cast<const BoxFileList*>(rig->dialog.of(WM_BOX_FILE_LIST)[0].wParam);
    ASSERT_EQ(folders->size(), 2u);
    EXPECT_STREQ((*folders)[0].name.data(), "a.mp4");
    EXPECT_STREQ((*folders)[1].name.data(), "bb.mp4");
    const Posted tablePosted = rig->dialog.of(WM_BOX_CHANNEL_TABLE)[0];
    EXPECT_EQ(tablePosted.lParam, 2);
    EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(tablePosted.wParam), table.data() + 2, 16), 0);
    EXPECT_EQ(
        std::memcmp(reinterpret_cast<const void*>(rig->dialog.of(WM_BOX_INFO)[0].wParam), info.data(), 1002),
        0);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(rig->main.of(WM_BOX_TASK_NOTICE)[1].wParam)[0], 3);
    EXPECT_EQ(rig->dialog.all().size(), 4u);
    EXPECT_EQ(rig->main.count(WM_BOX_TASK_NOTICE), 2);
    EXPECT_EQ(channel().PendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, DeliveryTest,
    ::testing::Values(Delivered{"OneWritePerMessage", {}}, Delivered{"Coalesced", {.coalesce = true}},
                      Delivered{"SplitAnywhere",
                                {.cuts = {1, 3, 150, 187, 189, 190, 1100, 5100}, .gapMs = 30}},
                      Delivered{"ByteByByteHeader", {.cuts = {188, 189, 190, 191, 192, 193}, .gapMs = 20}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlLinkTest, UploadsReachTheBoxWhole) {
    FirmwareImage image;
    image.header.fill(0x11);
    image.bytes.resize(1437);
    for (std::size_t i = 0; i < image.bytes.size(); ++i)
        image.bytes[i] = static_cast<BYTE>(i * 3);
    ASSERT_TRUE(channel().SendFirmwareUpdate(window(), image));
    ASSERT_TRUE(waitFor(WM_BOX_FIRMWARE_SENT));
    ASSERT_TRUE(PumpUntilReal([&] { return rig->box.FirmwareBytes().size() == image.bytes.size(); }));
    EXPECT_EQ(rig->box.FirmwareChunkLengths(), (std::vector<std::uint16_t>{1436, 1}));
    EXPECT_EQ(rig->box.FirmwareBytes(), image.bytes);
    EXPECT_EQ(rig->box.BadChunks(), 0);

    Bytes block(2880);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    ASSERT_TRUE(channel().SendPutIrData(static_cast<DWORD>(block.size()), block.data(), window()));
    ASSERT_TRUE(waitFor(WM_BOX_IR_UPLOAD_OK));
    ASSERT_TRUE(PumpUntilReal([&] { return rig->box.IrBytes().size() == block.size(); }));
    EXPECT_EQ(rig->box.IrBytes(), block);
    EXPECT_EQ(rig->client.Link().keepAlive, 1);
    sentinel(); // the box reads frames again after the raw bytes
}

TEST_F(ControlLinkTest, LoginTimeOutPostsStateSevenAndLogsOut) {
    rig->box.Script(BOX_CMD_LOGIN, Reply{.answer = false});
    ASSERT_TRUE(rig->client.RequestLogin(window(), L"admin", L"pw", 'T', 0, 0, 0, 1, 0));
    ASSERT_TRUE(waitFor(WM_BOX_LOGIN_FAILED));
    EXPECT_EQ(rig->dialog.of(WM_BOX_LOGIN_FAILED)[0].wParam, 7u);
    EXPECT_EQ(rig->client.LoginState(), 7u);
    ASSERT_TRUE(PumpUntilReal([&] { return rig->box.FramesOf(BOX_CMD_LOGOUT).size() == 1; }));
    EXPECT_EQ(rig->box.FramesOf(BOX_CMD_LOGOUT)[0].value, 0u);
    EXPECT_EQ(rig->box.FramesOf(BOX_CMD_LOGIN).size(), 2u); // the fixture's login and this one, no re-send
}

TEST_F(ControlLinkTest, ScanTimeOutPostsFinishedAndStopsTheScan) {
    rig->box.Script(BOX_CMD_START_SCAN, Reply{.answer = false});
    rig->box.Script(BOX_CMD_STOP_SCAN, Reply{.answer = false});
    ASSERT_TRUE(channel().SendStartScan(window(), 0, 5, false, 0, 0));
    ASSERT_TRUE(waitFor(WM_BOX_SCAN_FINISHED));
    EXPECT_EQ(rig->dialog.of(WM_BOX_SCAN_FINISHED)[0].wParam, 0u);
    ASSERT_TRUE(PumpUntilReal([&] { return rig->box.FramesOf(BOX_CMD_STOP_SCAN).size() == 1; }));
    EXPECT_EQ(rig->box.FramesOf(BOX_CMD_STOP_SCAN)[0].value, 0u);
    EXPECT_EQ(rig->box.FramesOf(BOX_CMD_START_SCAN).size(), 1u);
}

TEST_F(ControlLinkTest, ScanRunsAcrossItsReplies) {
    rig->box.Script(BOX_CMD_START_SCAN, Reply{.value = 200});
    ASSERT_TRUE(channel().SendStartScan(window(), 1, 5, false, 0x100, 0x900));
    ASSERT_TRUE(waitFor(WM_BOX_SCAN_STARTED));
    // The box's later replies carry the scan's sequence.
    const std::uint32_t scan = rig->box.FramesOf(BOX_CMD_START_SCAN)[0].sequence;
    const auto reply = [&](std::uint32_t value, std::uint32_t value2 = 0) {
        const testbox::Frame f = testbox::MakeFrame(scan, BOX_CMD_START_SCAN, value, value2);
        rig->box.Send(Bytes(f.begin(), f.end()));
    };
    reply(3, 0x1100);
    reply(250);
    reply(7, 0x2200);
    ASSERT_TRUE(waitFor(WM_BOX_SCAN_CHANNEL_FOUND, 2));
    reply(201);
    ASSERT_TRUE(waitFor(WM_BOX_SCAN_FINISHED));
    const std::vector<Posted> found = rig->dialog.of(WM_BOX_SCAN_CHANNEL_FOUND);
    EXPECT_EQ(found[0].wParam, 0x1100u);
    EXPECT_EQ(found[0].lParam, 3);
    EXPECT_EQ(found[1].wParam, 0x2200u);
    EXPECT_EQ(found[1].lParam, 7);
    EXPECT_EQ(channel().PendingCount(), 0u);
    platform::PumpFor(9000); // past the scan's period: its timer went with it
    EXPECT_EQ(rig->dialog.count(WM_BOX_SCAN_FINISHED), 1);
    EXPECT_TRUE(rig->box.FramesOf(BOX_CMD_STOP_SCAN).empty());
}

} // namespace
