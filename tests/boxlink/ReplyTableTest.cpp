// The reply handler: one case per row of its table (what is posted, what the player is told, whether the
// request stays pending), and the rows whose effects go further: the login's values, the stream change
// and its order, the scan's life, the uploads.
#include "ChannelFixture.h"

#include "boxlink/BoxMessages.h"

#include <cstring>

namespace {

using testbox::Bytes;
using Send = std::function<bool(KQ_TCP_ControlChannel&, HWND)>;
constexpr WPARAM kAny = ~WPARAM{0};

struct Expect {
    UINT message;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct ReplyCase {
    const char* name;
    Send send;
    std::uint32_t value;
    std::uint32_t value2;
    std::uint32_t value3;
    std::vector<std::pair<std::size_t, Bytes>> bytes;
    std::vector<Expect> posted;
    std::vector<std::string> player;
    bool stays = false; // the request is still pending afterwards
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

const Send kLogin = [](auto& c, HWND w) { return c.SendLogin(w, L"u", L"p", 'T', 0, 0, 0, 0); };
const Send kSource = [](auto& c, HWND w) { return c.SendSetSource(w, 'C'); };
const Send kCountry = [](auto& c, HWND w) { return c.SendSetCountry(w, 33); };
const Send kChannel = [](auto& c, HWND w) { return c.SendSetChannel(w, 0x500); };
const Send kScan = [](auto& c, HWND w) { return c.SendStartScan(w, 0, 1, true, 0, 0); };
const Send kTable = [](auto& c, HWND w) { return c.SendGetChannelTable(w); };
const Send kPicture = [](auto& c, HWND w) { return c.SendSetPicture(w, 1, 2, 3, 4); };
const Send kAddUser = [](auto& c, HWND w) { return c.SendAddUser(w, L"a", L"b"); };
const Send kUsers = [](auto& c, HWND w) { return c.SendGetUsers(w); };
const Send kPassword = [](auto& c, HWND w) { return c.SendChangePassword(w, L"a", L"b", L"c"); };
const Send kDeleteUser = [](auto& c, HWND w) { return c.SendDeleteUser(w, L"a"); };
const Send kLearn = [](auto& c, HWND w) { return c.SendLearnIrKey(w, 1, L"p"); };
const Send kIrKey = [](auto& c, HWND w) { return c.SendIrKey(w, 1, L"p"); };
const Send kGetIr = [](auto& c, HWND w) { return c.SendGetIrData(w); };
const Send kPutIr = [](auto& c, HWND w) {
    const BYTE block[4] = {10, 20, 30, 40};
    return c.SendPutIrData(4, block, w);
};
const Send kQuality = [](auto& c, HWND w) { return c.SendSetVideoQuality(1, 0, w, 0, 1); };
const Send kFirmware = [](auto& c, HWND w) {
    FirmwareImage image;
    image.bytes.assign(1437, 0x5A);
    return c.SendFirmwareUpdate(w, image);
};
const Send kTime = [](auto& c, HWND w) { return c.SendSetBoxTime(L"2024:05:06:07:08", w); };
const Send kZone = [](auto& c, HWND w) { return c.SendSetTimeZone(L"GMT", w, 3); };
const Send kAddTask = [](auto& c, HWND w) { return c.SendAddBoxTask(BoxTaskRecord{}, w); };
const Send kDeleteTask = [](auto& c, HWND w) { return c.SendDeleteBoxTask(3, w); };
const Send kUpdateTask = [](auto& c, HWND w) { return c.SendUpdateBoxTask(BoxTaskRecord{}, w); };
const Send kFileList = [](auto& c, HWND w) { return c.SendGetFileList(w); };
const Send kRequestFile = [](auto& c, HWND w) { return c.SendRequestFile(w, BoxFileItem{}); };
const Send kStartTransfer = [](auto& c, HWND w) { return c.SendStartFileTransfer(w, BoxFileItem{}); };
const Send kAbort = [](auto& c, HWND w) { return c.SendAbortFileTransfer(w, 1, 2); };
const Send kDeleteFile = [](auto& c, HWND w) { return c.SendDeleteBoxFile(w, BoxFileItem{}); };
const Send kPort = [](auto& c, HWND w) { return c.SendSetTransportPort(w, 1); };
const Send kInfo = [](auto& c, HWND w) { return c.SendGetBoxInfo(w); };

const std::vector<std::string> kRestart = {"size 2", "standard 1", "restart"};
const std::vector<std::string> kAudioVideo = {"flush audio", "flush video"};
const std::vector<std::string> kVideoAudio = {"flush video", "flush audio"};

const ReplyCase kReplies[] = {
    {"LoginConfirm", kLogin, 400, 0, 0, {}, {{WM_BOX_LOGIN_CONFIRM}}, {}},
    {"LoginAccepted", kLogin, 1, 3000, 4, {{48, {33}}}, {{WM_BOX_LOGIN_OK, kAny, 33}}, {}},
    {"LoginAccepted200", kLogin, 200, 2000, 4, {}, {{WM_BOX_LOGIN_OK, kAny, 0}}, {}},
    {"LoginRefused", kLogin, 5, 0, 0, {}, {{WM_BOX_LOGIN_FAILED, 6}}, {}},
    {"SourceSwitched", kSource, 1, 0, 0, {}, {{WM_BOX_SOURCE_CHANGED}}, kAudioVideo},
    {"SourceRestarted", kSource, 1, 1, 3000, {}, {{WM_BOX_SOURCE_CHANGED, 1}}, kRestart},
    {"SourceRefused", kSource, 0, 1, 0, {}, {{WM_BOX_SOURCE_FAILED}}, {}},
    {"CountrySwitched", kCountry, 1, 0, 0, {}, {{WM_BOX_COUNTRY_SET}}, kAudioVideo},
    {"CountryRestarted", kCountry, 1, 1, 3000, {}, {{WM_BOX_COUNTRY_SET, 1}}, kRestart},
    {"CountryRefused", kCountry, 2, 1, 0, {}, {{WM_BOX_COUNTRY_FAILED}}, {}},
    {"ChannelSet", kChannel, 1, 0, 0, {}, {{WM_BOX_CHANNEL_SET}}, kVideoAudio},
    {"ChannelRefused", kChannel, 0, 0, 0, {}, {{WM_BOX_CHANNEL_FAILED}}, {}},
    {"ScanStarted", kScan, 200, 0, 0, {}, {{WM_BOX_SCAN_STARTED}}, {}, true},
    {"ScanAlive", kScan, 250, 0, 0, {}, {}, {}, true},
    {"ScanFound", kScan, 17, 0x2345, 0, {}, {{WM_BOX_SCAN_CHANNEL_FOUND, 0x2345, 17}}, {}, true},
    {"ScanFoundZero", kScan, 0, 0x100, 0, {}, {{WM_BOX_SCAN_CHANNEL_FOUND, 0x100, 0}}, {}, true},
    {"ScanFinished201", kScan, 201, 0, 0, {}, {{WM_BOX_SCAN_FINISHED}}, {}},
    {"ScanFinished202", kScan, 202, 0, 0, {}, {{WM_BOX_SCAN_FINISHED}}, {}},
    {"ScanUnknown", kScan, 300, 0, 0, {}, {}, {}, true},
    {"ChannelTableRefused", kTable, 0, 0, 0, {}, {{WM_BOX_CHANNEL_TABLE_FAILED}}, {}},
    {"ChannelTableComing", kTable, 1, 0, 0, {}, {}, {}},
    {"PictureSet", kPicture, 1, 0, 0, {}, {}, kVideoAudio},
    {"PictureRefused", kPicture, 0, 0, 0, {}, {}, {}},
    {"UserAdded", kAddUser, 1, 0, 0, {}, {{WM_BOX_USER_ADDED}}, {}},
    {"UserAddFailed", kAddUser, 0, 0, 0, {}, {{WM_BOX_USER_ADD_FAILED}}, {}},
    {"UsersReceived", kUsers, 1, 0, 0, {{175, {3}}}, {{WM_BOX_USERS_RECEIVED, 3}}, {}},
    {"UsersFailed", kUsers, 0, 0, 0, {{175, {3}}}, {{WM_BOX_USERS_FAILED}}, {}},
    {"PasswordChanged", kPassword, 1, 0, 0, {}, {{WM_BOX_PASSWORD_CHANGED}}, {}},
    {"PasswordRefused", kPassword, 0, 0, 0, {}, {{WM_BOX_PASSWORD_CHANGE_FAILED}}, {}},
    {"PasswordOther", kPassword, 7, 0, 0, {}, {}, {}},
    {"UserDeleted", kDeleteUser, 1, 0, 0, {}, {{WM_BOX_USER_DELETED}}, {}},
    {"UserDeleteFailed", kDeleteUser, 0, 0, 0, {}, {{WM_BOX_USER_DELETE_FAILED}}, {}},
    {"IrLearnt", kLearn, 1, 0, 0, {}, {{WM_BOX_IR_LEARN_RESULT, 1}}, {}},
    {"IrNotLearnt", kLearn, 3, 0, 0, {}, {{WM_BOX_IR_LEARN_RESULT, 0}}, {}},
    {"IrKeySent", kIrKey, 1, 0, 0, {}, {}, {}},
    {"IrKeyFailed", kIrKey, 0, 0, 0, {}, {{WM_BOX_IR_SEND_FAILED}}, {}},
    {"IrDataRefused", kGetIr, 0, 0, 0, {}, {{WM_BOX_IR_DATA_FAILED}}, {}},
    {"IrDataComing", kGetIr, 6, 0, 0, {}, {}, {}},
    {"IrUploaded", kPutIr, 1, 0, 0, {}, {{WM_BOX_IR_UPLOAD_OK}}, {}},
    {"IrUploadRefused", kPutIr, 0, 0, 0, {}, {{WM_BOX_IR_UPLOAD_FAILED}}, {}},
    {"IrUploadOther", kPutIr, 9, 0, 0, {}, {}, {}},
    {"QualitySet", kQuality, 1, 0, 0, {}, {{WM_BOX_VIDEO_QUALITY_OK, 0}}, {}},
    {"QualityNewStream", kQuality, 1, 0, 0, {{16, {200}}}, {{WM_BOX_VIDEO_QUALITY_OK, 200}}, {}},
    {"QualityRefused", kQuality, 0, 0, 0, {{16, {200}}}, {{WM_BOX_VIDEO_QUALITY_FAILED}}, {}},
    {"FirmwareSent", kFirmware, 1, 0, 0, {}, {{WM_BOX_FIRMWARE_SENT}}, {}},
    {"FirmwareRefused", kFirmware, 0, 0, 0, {}, {{WM_BOX_FIRMWARE_FAILED}}, {}},
    {"BoxTimeSet", kTime, 1, 0, 0, {}, {{WM_BOX_TIME, 0, static_cast<LPARAM>(kAny)}}, {}},
    {"BoxTimeFailed", kTime, 0, 0, 0, {}, {{WM_BOX_TIME_FAILED, 0}}, {}},
    {"ZoneSet", kZone, 1, 0, 0, {}, {{WM_BOX_TIME, 1, static_cast<LPARAM>(kAny)}}, {}},
    {"ZoneFailed", kZone, 0, 0, 0, {}, {{WM_BOX_TIME_FAILED, 1}}, {}},
    {"TaskAdded", kAddTask, 1, 9, 0, {}, {{WM_BOX_TASK_ADDED, 9}}, {}},
    {"TaskAddFailed", kAddTask, 0, 9, 0, {}, {{WM_BOX_TASK_ADD_FAILED}}, {}},
    {"TaskDeleted", kDeleteTask, 1, 3, 0, {}, {{WM_BOX_TASK_DELETED, 3}}, {}},
    {"AllTasksDeleted", kDeleteTask, 1, 200, 0, {}, {{WM_BOX_ALL_TASKS_DELETED}}, {}},
    {"TaskDeleteFailed", kDeleteTask, 0, 200, 0, {}, {{WM_BOX_TASK_DELETE_FAILED}}, {}},
    {"TaskUpdated", kUpdateTask, 1, 4, 0, {}, {{WM_BOX_TASK_UPDATED, 4}}, {}},
    {"TaskUpdateFailed", kUpdateTask, 0, 4, 0, {}, {{WM_BOX_TASK_UPDATE_FAILED}}, {}},
    {"FileListRefused", kFileList, 0, 0, 0, {}, {{WM_BOX_FILE_LIST_FAILED}}, {}},
    {"FileListComing", kFileList, 100, 0, 0, {}, {}, {}},
    {"FileListTooLong", kFileList, 32769, 0, 0, {}, {{WM_BOX_FILE_LIST_FAILED}}, {}},
    {"FileAccepted", kRequestFile, 5000, 0, 0, {}, {{WM_BOX_FILE_ACCEPTED, 5000}}, {}},
    {"FileRefused", kRequestFile, 0, 0, 0, {}, {{WM_BOX_FILE_REFUSED}}, {}},
    {"TransferStarted", kStartTransfer, 1, 0, 0, {}, {}, {}},
    {"TransferAborted", kAbort, 1, 0, 0, {}, {{WM_BOX_TRANSFER_ABORTED}}, {}},
    {"TransferAbortFailed", kAbort, 0, 0, 0, {}, {{WM_BOX_TRANSFER_ABORT_FAILED}}, {}},
    {"FileDeleted", kDeleteFile, 1, 0, 0, {}, {{WM_BOX_FILE_DELETED}}, {}},
    {"FileDeleteFailed", kDeleteFile, 0, 0, 0, {}, {{WM_BOX_FILE_DELETE_FAILED}}, {}},
    {"TransportPortSet", kPort, 1, 0, 0, {}, {}, {}},
    {"BoxInfoReply", kInfo, 1, 0, 0, {}, {}, {}},
    {"BoxInfoRefused", kInfo, 0, 0, 0, {}, {{WM_BOX_INFO_FAILED}}, {}},
};

class ReplyTableTest : public ChannelFixture, public ::testing::WithParamInterface<ReplyCase> {
protected:
    // At the real clock: no request timer expires while a case runs.
    ReplyTableTest() : ChannelFixture(1.0) {}
    void drain() {
        while (!nothingSent())
            take(1);
    }
};

TEST_P(ReplyTableTest, PostsTellsThePlayerAndReleasesTheRequest) {
    const ReplyCase& c = GetParam();
    link.currentSizeClass = 2;
    ASSERT_TRUE(c.send(*channel, window.hwnd()));
    const testbox::Frame request = sent();
    answer(request, c.value, c.value2, c.value3, c.bytes);
    EXPECT_EQ(dispatch(), KQ_TCP_ControlChannel::DispatchStep::Empty);
    drain();
    ASSERT_EQ(window.all().size(), c.posted.size());
    for (std::size_t i = 0; i < c.posted.size(); ++i) {
        const Posted& p = window.all()[i];
        EXPECT_EQ(p.message, c.posted[i].message) << i;
        if (c.posted[i].wParam != kAny) {
            EXPECT_EQ(p.wParam, c.posted[i].wParam) << i;
        }
        if (c.posted[i].lParam != static_cast<LPARAM>(kAny)) {
            EXPECT_EQ(p.lParam, c.posted[i].lParam) << i;
        }
    }
    EXPECT_EQ(player.calls(), c.player);
    EXPECT_EQ(channel->PendingCount(), c.stays ? 1u : 0u);
    EXPECT_TRUE(main.all().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, ReplyTableTest, ::testing::ValuesIn(kReplies),
                         [](const auto& info) { return std::string(info.param.name); });

class ReplyEffectsTest : public ChannelFixture {
protected:
    ReplyEffectsTest() : ChannelFixture(1.0) {}
};

TEST_F(ReplyEffectsTest, ReplyThatIsNotPendingIsIgnored) {
    feed(testbox::MakeFrame(0xF0F0, BOX_CMD_SET_CHANNEL, 1));
    link.keepAlive = 0;
    feed(testbox::MakeFrame(0xF0F1, BOX_CMD_PUT_IR_DATA, 1));
    dispatch();
    EXPECT_TRUE(window.all().empty());
    EXPECT_TRUE(player.calls().empty());
    EXPECT_EQ(link.keepAlive, 1); // an IR upload reply always ends with keep-alives allowed again
    EXPECT_TRUE(nothingSent());   // and uploads nothing
}

TEST_F(ReplyEffectsTest, AcceptedLoginKeepsItsValuesForTheWindows) {
    ASSERT_TRUE(kLogin(*channel, window.hwnd()));
    Bytes record(16, 'R');
    record[10] = 0; // the text ends at its first zero byte
    answer(sent(), 1, 3000, 5,
           {{16, record},
            {48, {44}},
            {49, Bytes{'0', '0', '1', '1', '2', '2', 'A', 'A', 'B', 'B', 'C', 'C'}},
            {80, {0x78, 0x56, 0x34, 0x12}},
            {112, Bytes{'1', '9', '2', '.', '1', '6', '8', '.', '1', '.', '2', '0', 0}},
            {144, {2}}});
    dispatch();
    ASSERT_EQ(window.count(WM_BOX_LOGIN_OK), 1);
    const Posted ok = window.of(WM_BOX_LOGIN_OK)[0];
    EXPECT_EQ(std::memcmp(reinterpret_cast<const char*>(ok.wParam), record.data(), 16), 0);
    EXPECT_EQ(reinterpret_cast<const char*>(ok.wParam)[16], 0);
    EXPECT_EQ(ok.lParam, 44);
    const LoginReplyValues values = channel->LoginReply();
    EXPECT_EQ(values.record, "RRRRRRRRRR");
    EXPECT_EQ(values.hardwareAddress, "001122AABBCC");
    EXPECT_EQ(values.value80, 0x12345678u);
    EXPECT_EQ(values.addressText, "192.168.1.20");
    EXPECT_EQ(values.networkMode, 2);
    EXPECT_EQ(link.loginResult, 1);
    EXPECT_EQ(link.videoStandard, 1);
    EXPECT_EQ(link.qualityIndex, 3);
    EXPECT_EQ(link.currentSizeClass, 3);
}

TEST_F(ReplyEffectsTest, QualityOutsideTwoToSixDependsOnTheMode) {
    const struct {
        BoxMode mode;
        std::uint32_t reply;
        int loginResult;
        std::uint32_t value3;
        int quality;
    } cases[] = {
        {BOX_MODE_LAN, 200, 0, 9, 4}, {BOX_MODE_RELAY, 200, 0, 9, 1}, {BOX_MODE_RELAY, 1, 1, 1, 1},
        {BOX_MODE_LAN, 1, 1, 2, 0},   {BOX_MODE_LAN, 1, 1, 6, 4},     {BOX_MODE_NONE, 1, 1, 0, 4},
    };
    for (const auto& c : cases) {
        link.mode = c.mode;
        ASSERT_TRUE(kLogin(*channel, window.hwnd()));
        answer(sent(), c.reply, 0, c.value3);
        dispatch();
        EXPECT_EQ(link.qualityIndex, c.quality) << c.value3;
        EXPECT_EQ(link.currentSizeClass, c.quality);
        EXPECT_EQ(link.loginResult, c.loginResult);
    }
}

TEST_F(ReplyEffectsTest, RefusedLoginSetsStateSixAndLogsOut) {
    ASSERT_TRUE(kLogin(*channel, window.hwnd()));
    answer(sent(), 3);
    dispatch();
    EXPECT_EQ(link.loginState, 6u);
    const testbox::Frame logout = sent();
    EXPECT_EQ(testbox::Get32(logout.data() + 8), BOX_CMD_LOGOUT);
    EXPECT_EQ(testbox::Get32(logout.data() + 12), 0u);
}

TEST_F(ReplyEffectsTest, StreamChangeRestartsLiveThenPostsThenLetsTheParserGoOn) {
    for (std::uint32_t command : {BOX_CMD_SET_SOURCE, BOX_CMD_SET_COUNTRY}) {
        SCOPED_TRACE(command);
        link.ResetForLogin();
        link.currentSizeClass = 1;
        player.clear();
        window.clear();
        bool queuedAtRestart = true;
        DWORD restartedAtRestart = 99;
        player.onRestart = [&] {
            MSG msg;
            queuedAtRestart = PeekMessage(&msg, window.hwnd(), 0, 0, PM_NOREMOVE);
            restartedAtRestart = link.restartedGeneration;
            EXPECT_EQ(link.videoRecordType, 31);
            EXPECT_EQ(link.audioRecordType, 26);
            EXPECT_EQ(link.waitForNewStream, 1);
            EXPECT_EQ(link.generation, 1u);
        };
        ASSERT_TRUE(command == BOX_CMD_SET_SOURCE ? kSource(*channel, window.hwnd())
                                                  : kCountry(*channel, window.hwnd()));
        answer(sent(), 1, 1, 2000);
        dispatch();
        EXPECT_FALSE(queuedAtRestart);
        EXPECT_EQ(restartedAtRestart, 0u);
        EXPECT_EQ(link.restartedGeneration, 1u);
        EXPECT_EQ(link.videoStandard, 0);
        EXPECT_EQ(player.calls(), (std::vector<std::string>{"size 1", "standard 0", "restart"}));
        ASSERT_EQ(window.all().size(), 1u);
        EXPECT_EQ(window.all()[0].wParam, 1u);
    }
    player.onRestart = nullptr;
}

// The box changed its stream with no reply to say so: the link follows as a restarting reply would, but
// not while a request that may change the stream waits for its own reply.
TEST_F(ReplyEffectsTest, TheLinkFollowsTheBoxsStreamWhenNoStreamChangeWaits) {
    link.currentSizeClass = 2;
    for (const Send& send : {kSource, kCountry, kQuality}) {
        ASSERT_TRUE(send(*channel, window.hwnd()));
        const testbox::Frame request = sent();
        EXPECT_FALSE(channel->FollowBoxStream());
        answer(request, 0); // refused: it waits no longer
        dispatch();
    }
    EXPECT_EQ(link.generation, 0u);
    EXPECT_TRUE(player.calls().empty());
    window.clear();
    ASSERT_TRUE(channel->FollowBoxStream());
    EXPECT_EQ(link.videoRecordType, 31);
    EXPECT_EQ(link.audioRecordType, 26);
    EXPECT_EQ(link.generation, 1u);
    EXPECT_EQ(link.restartedGeneration, 1u);
    EXPECT_EQ(player.calls(), (std::vector<std::string>{"size 2", "standard 0", "restart"}));
    EXPECT_TRUE(window.all().empty());
}

TEST_F(ReplyEffectsTest, NewSizeStartsAGenerationThatTheWindowRestarts) {
    link.videoRecordType = 0xF8; // record types wrap as bytes
    ASSERT_TRUE(kQuality(*channel, window.hwnd()));
    answer(sent(), 1, 0, 0, {{16, {200}}});
    dispatch();
    EXPECT_EQ(link.videoRecordType, 0x08);
    EXPECT_EQ(link.audioRecordType, 26);
    EXPECT_EQ(link.waitForNewStream, 1);
    EXPECT_EQ(link.generation, 1u);
    EXPECT_EQ(link.restartedGeneration, 0u); // the window restarts live view and raises it
    EXPECT_TRUE(player.calls().empty());
}

TEST_F(ReplyEffectsTest, DataRepliesCarryTheirOwnCopies) {
    ASSERT_TRUE(kUsers(*channel, window.hwnd()));
    Bytes block(160);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i + 7);
    answer(sent(), 1, 0, 0, {{16, block}});
    ASSERT_TRUE(kTime(*channel, window.hwnd()));
    answer(sent(), 1, 0, 0, {{48, Bytes(32, 'T')}});
    ASSERT_TRUE(kTime(*channel, window.hwnd()));
    answer(sent(), 1, 0, 0, {{48, Bytes(32, 'U')}});
    dispatch();
    const std::array<BYTE, 160> users = channel->UserBlock();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), users.begin()));
    const std::vector<Posted> times = window.of(WM_BOX_TIME);
    ASSERT_EQ(times.size(), 2u);
    // Each message has its own text: the second does not overwrite the first.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(times[0].lParam)), std::string(32, 'T'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(times[1].lParam)), std::string(32, 'U'));
}

TEST_F(ReplyEffectsTest, AcceptedUploadsSendTheirBlocksAndAllowKeepAlivesAgain) {
    const BYTE ir[4] = {10, 20, 30, 40};
    ASSERT_TRUE(channel->SendPutIrData(4, ir, window.hwnd()));
    EXPECT_EQ(link.keepAlive, 0);
    answer(sent(), 1);
    dispatch();
    EXPECT_EQ(take(4), Bytes(ir, ir + 4));
    EXPECT_EQ(link.keepAlive, 1);

    FirmwareImage image;
    image.bytes.assign(1437, 0x5A);
    ASSERT_TRUE(channel->SendFirmwareUpdate(window.hwnd(), image));
    answer(sent(), 1);
    link.keepAlive = 1;
    dispatch();
    EXPECT_EQ(take(4), (Bytes{9, 0, 0x9C, 0x05}));
    EXPECT_EQ(take(1436), Bytes(1436, 0x5A));
    EXPECT_EQ(take(5), (Bytes{9, 0, 1, 0, 0x5A}));
    EXPECT_EQ(link.keepAlive, 1);
    EXPECT_EQ(channel->FirmwareBytesSent(), 1437u);
    EXPECT_EQ(window.count(WM_BOX_FIRMWARE_SENT), 1);
    EXPECT_EQ(window.count(WM_BOX_IR_UPLOAD_OK), 1);
}

// The scan at a fast clock: its entry lives across its replies and its timer is restarted by each.
class ScanTest : public ChannelFixture {
protected:
    ScanTest() : ChannelFixture(50.0) {}
};

TEST_F(ScanTest, EachKnownReplyGivesTheScanAnotherPeriod) {
    ASSERT_TRUE(kScan(*channel, window.hwnd()));
    const testbox::Frame scan = sent();
    platform::PumpFor(6000);
    const DWORD restarted = GetTickCount();
    answer(scan, 250);
    dispatch();
    ASSERT_TRUE(PumpUntilReal([&] { return window.count(WM_BOX_SCAN_FINISHED) == 1; }));
    EXPECT_GE(window.of(WM_BOX_SCAN_FINISHED)[0].tick - restarted, 8000u);
    const testbox::Frame stop = sent();
    EXPECT_EQ(testbox::Get32(stop.data() + 8), BOX_CMD_STOP_SCAN);
    EXPECT_EQ(testbox::Get32(stop.data() + 12), 0u);
}

TEST_F(ScanTest, UnknownResultLeavesTheTimerRunningSoTheScanStillEnds) {
    ASSERT_TRUE(kScan(*channel, window.hwnd()));
    answer(sent(), 300);
    dispatch();
    EXPECT_EQ(channel->PendingCount(), 1u);
    ASSERT_TRUE(PumpUntilReal([&] { return window.count(WM_BOX_SCAN_FINISHED) == 1; }));
    EXPECT_EQ(window.of(WM_BOX_SCAN_FINISHED)[0].wParam, 0u);
    EXPECT_EQ(channel->PendingCount(), 0u);
}

TEST_F(ScanTest, StopScanReplyEndsTheScanByItsOwnSequence) {
    ASSERT_TRUE(kScan(*channel, window.hwnd()));
    answer(sent(), 200);
    dispatch();
    ASSERT_TRUE(channel->SendStopScan(4));
    const testbox::Frame stop = sent();
    EXPECT_EQ(testbox::Get32(stop.data() + 12), 4u);
    answer(stop, 1); // its sequence is not the scan's
    dispatch();
    EXPECT_EQ(channel->PendingCount(), 0u);
    platform::PumpFor(20000);
    EXPECT_EQ(window.count(WM_BOX_SCAN_FINISHED), 0); // the timer went with the entry
    EXPECT_EQ(window.count(WM_BOX_SCAN_STARTED), 1);
    EXPECT_TRUE(nothingSent());
}

} // namespace
