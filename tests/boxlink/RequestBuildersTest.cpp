// Every request builder: the frame it sends, whether it waits for a reply, its time-out and maximum sends,
// text fields bounded by their place in the frame, the login's enciphered fields and the bulk uploads.
#include "ChannelFixture.h"

#include "boxlink/BoxMessages.h"
#include "boxlink/Rc4.h"
#include "platform/win32/Text.h"

#include <cstring>
#include <map>

namespace {

using testbox::Bytes;
using Send = std::function<bool(KQ_TCP_ControlChannel&, HWND)>;

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
Bytes counted(const std::string& s) {
    Bytes b{static_cast<std::uint8_t>(s.size())};
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

BoxTaskRecord taskRecord() {
    BoxTaskRecord task;
    for (std::size_t i = 0; i < task.size(); ++i)
        task.data()[i] = static_cast<BYTE>(0x80 + i);
    return task;
}

BoxFileItem fileItem() {
    BoxFileItem item;
    std::memcpy(item.name.data(), "show_part02", 11);
    item.value = 0x0102;
    item.pieces = 0x00070003;
    item.flag = 4;
    return item;
}

FirmwareImage firmware(std::size_t size) {
    FirmwareImage image;
    for (std::size_t i = 0; i < image.header.size(); ++i)
        image.header[i] = static_cast<BYTE>(i + 1);
    image.bytes.resize(size);
    for (std::size_t i = 0; i < size; ++i)
        image.bytes[i] = static_cast<BYTE>(i * 31);
    return image;
}

struct BuilderCase {
    const char* name;
    Send send;
    DWORD command;
    DWORD value;
    DWORD value2;
    DWORD value3;
    std::vector<std::pair<std::size_t, Bytes>> payload; // every other byte of the frame is 0
    // With a reply: its time-out, maximum sends and failure message (0: none); without, timeoutMs is 0.
    DWORD timeoutMs;
    int maxSends;
    UINT failure;
    WPARAM failureWParam;
};

const BoxFileItem kItem = fileItem();
const Bytes kRecord = [] {
    Bytes r(37);
    StoreBoxFileRecord(kItem, r.data());
    return r;
}();
const Bytes kTask = [] {
    const BoxTaskRecord t = taskRecord();
    return Bytes(t.data(), t.data() + t.size());
}();
const Bytes kFirmwareHeader = [] {
    const FirmwareImage f = firmware(0);
    return Bytes(f.header.begin(), f.header.end());
}();

const BuilderCase kBuilders[] = {
    {"Logout", [](auto& c, HWND) { return c.SendLogout(200); }, BOX_CMD_LOGOUT, 200, 0, 0, {}, 0, 0, 0, 0},
    {"StopScan", [](auto& c, HWND) { return c.SendStopScan(3); }, BOX_CMD_STOP_SCAN, 3, 0, 0, {}, 0, 0, 0, 0},
    {"KeepAlive",
     [](auto& c, HWND) { return c.SendKeepAlive(); },
     BOX_CMD_KEEP_ALIVE,
     48,
     0,
     0,
     {},
     0,
     0,
     0,
     0},
    {"SetSource",
     [](auto& c, HWND w) { return c.SendSetSource(w, 'S'); },
     BOX_CMD_SET_SOURCE,
     'S',
     0,
     0,
     {},
     10000,
     1,
     WM_BOX_SOURCE_FAILED,
     0},
    {"SetChannel",
     [](auto& c, HWND w) { return c.SendSetChannel(w, 0x1234); },
     BOX_CMD_SET_CHANNEL,
     0x1234,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_CHANNEL_FAILED,
     0},
    {"ScanRange",
     [](auto& c, HWND w) { return c.SendStartScan(w, 1, 7, true, 100, 200); },
     BOX_CMD_START_SCAN,
     'F',
     100,
     200,
     {{16, {7}}},
     8000,
     1,
     WM_BOX_SCAN_FINISHED,
     0},
    {"ScanAir",
     [](auto& c, HWND w) { return c.SendStartScan(w, 0, 9, true, 100, 200); },
     BOX_CMD_START_SCAN,
     'C',
     'A',
     0,
     {{16, {9}}},
     8000,
     1,
     WM_BOX_SCAN_FINISHED,
     0},
    {"ScanCable",
     [](auto& c, HWND w) { return c.SendStartScan(w, 0, 9, false, 0, 0); },
     BOX_CMD_START_SCAN,
     'C',
     'C',
     0,
     {{16, {9}}},
     8000,
     1,
     WM_BOX_SCAN_FINISHED,
     0},
    {"GetChannelTable",
     [](auto& c, HWND w) { return c.SendGetChannelTable(w); },
     BOX_CMD_GET_CHANNEL_TABLE,
     1,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_CHANNEL_TABLE_FAILED,
     0},
    {"SetPicture",
     [](auto& c, HWND w) { return c.SendSetPicture(w, 1, 2, 3, 250); },
     BOX_CMD_SET_PICTURE,
     4,
     0,
     0,
     {{16, {1, 2, 3, 250}}},
     8000,
     2,
     0,
     0},
    {"AddUser",
     [](auto& c, HWND w) { return c.SendAddUser(w, L"bob", L"pw"); },
     BOX_CMD_ADD_USER,
     0,
     0,
     0,
     {{16, counted("bob")}, {33, counted("pw")}},
     8000,
     2,
     WM_BOX_USER_ADD_FAILED,
     0},
    {"GetUsers",
     [](auto& c, HWND w) { return c.SendGetUsers(w); },
     BOX_CMD_GET_USERS,
     0,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_USERS_FAILED,
     0},
    {"ChangePassword",
     [](auto& c, HWND w) { return c.SendChangePassword(w, L"old", L"newer", L"bob"); },
     BOX_CMD_CHANGE_PASSWORD,
     0,
     0,
     0,
     {{16, counted("old")}, {33, counted("newer")}, {50, counted("bob")}},
     8000,
     2,
     WM_BOX_PASSWORD_CHANGE_FAILED,
     0},
    {"DeleteUser",
     [](auto& c, HWND w) { return c.SendDeleteUser(w, L"bob"); },
     BOX_CMD_DELETE_USER,
     0,
     0,
     0,
     {{16, counted("bob")}},
     8000,
     2,
     WM_BOX_USER_DELETE_FAILED,
     0},
    {"BeginIrLearning",
     [](auto& c, HWND w) { return c.SendBeginIrLearning(w, L"TV1"); },
     BOX_CMD_BEGIN_IR_LEARNING,
     0,
     0,
     0,
     {{16, counted("TV1")}},
     8000,
     2,
     0,
     0},
    {"EndIrLearning",
     [](auto& c, HWND w) { return c.SendEndIrLearning(w, L"TV1"); },
     BOX_CMD_END_IR_LEARNING,
     0,
     0,
     0,
     {{16, counted("TV1")}},
     8000,
     2,
     0,
     0},
    {"LearnIrKey",
     [](auto& c, HWND w) { return c.SendLearnIrKey(w, 5, L"TV1"); },
     BOX_CMD_LEARN_IR_KEY,
     5,
     0,
     0,
     {{16, counted("TV1")}},
     20000,
     0,
     WM_BOX_IR_LEARN_RESULT,
     0},
    {"IrKey",
     [](auto& c, HWND w) { return c.SendIrKey(w, 6, L"TV1"); },
     BOX_CMD_SEND_IR_KEY,
     6,
     0,
     0,
     {{16, counted("TV1")}},
     8000,
     2,
     WM_BOX_IR_SEND_FAILED,
     0},
    {"GetIrData",
     [](auto& c, HWND w) { return c.SendGetIrData(w); },
     BOX_CMD_GET_IR_DATA,
     0,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_IR_DATA_FAILED,
     0},
    {"PutIrData",
     [](auto& c, HWND w) {
         const BYTE block[3] = {10, 11, 12};
         return c.SendPutIrData(3, block, w);
     },
     BOX_CMD_PUT_IR_DATA,
     3,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_IR_UPLOAD_FAILED,
     0},
    {"VideoQualityMode5",
     [](auto& c, HWND w) { return c.SendSetVideoQuality(5, 0, w, 0, 0); },
     BOX_CMD_SET_VIDEO_QUALITY,
     1,
     0,
     1,
     {},
     10000,
     1,
     WM_BOX_VIDEO_QUALITY_FAILED,
     0},
    {"VideoQualityNewSize",
     [](auto& c, HWND w) { return c.SendSetVideoQuality(0, 7, w, 900, 1); },
     BOX_CMD_SET_VIDEO_QUALITY,
     2,
     900,
     7,
     {{16, {200, 200}}},
     10000,
     1,
     WM_BOX_VIDEO_QUALITY_FAILED,
     0},
    {"FirmwareUpdate",
     [](auto& c, HWND w) { return c.SendFirmwareUpdate(w, firmware(1437)); },
     BOX_CMD_FIRMWARE_UPDATE,
     1437,
     0,
     0,
     {{16, kFirmwareHeader}},
     8000,
     1,
     WM_BOX_FIRMWARE_FAILED,
     0},
    {"TransportPort",
     [](auto& c, HWND w) { return c.SendSetTransportPort(w, 6000); },
     BOX_CMD_SET_TRANSPORT_PORT,
     6000,
     0,
     0,
     {},
     8000,
     2,
     0,
     0},
    {"SetCountry",
     [](auto& c, HWND w) { return c.SendSetCountry(w, 33); },
     BOX_CMD_SET_COUNTRY,
     33,
     0,
     0,
     {},
     10000,
     1,
     WM_BOX_COUNTRY_FAILED,
     0},
    {"SetBoxTime",
     [](auto& c, HWND w) { return c.SendSetBoxTime(L"2024:01:02:03:04", w); },
     BOX_CMD_SET_BOX_TIME,
     16,
     0,
     0,
     {{16, bytesOf("2024:01:02:03:04")}},
     8000,
     2,
     WM_BOX_TIME_FAILED,
     0},
    {"SetTimeZone",
     [](auto& c, HWND w) { return c.SendSetTimeZone(L"GMT+1", w, 5); },
     BOX_CMD_SET_TIME_ZONE,
     5,
     0,
     0,
     {{16, bytesOf("GMT+1")}},
     8000,
     2,
     WM_BOX_TIME_FAILED,
     1},
    {"GetBoxInfo",
     [](auto& c, HWND w) { return c.SendGetBoxInfo(w); },
     BOX_CMD_GET_BOX_INFO,
     0,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_INFO_FAILED,
     0},
    {"AddBoxTask",
     [](auto& c, HWND w) { return c.SendAddBoxTask(taskRecord(), w); },
     BOX_CMD_ADD_BOX_TASK,
     79,
     0,
     0,
     {{16, kTask}},
     8000,
     2,
     WM_BOX_TASK_ADD_FAILED,
     0},
    {"UpdateBoxTask",
     [](auto& c, HWND w) { return c.SendUpdateBoxTask(taskRecord(), w); },
     BOX_CMD_UPDATE_BOX_TASK,
     79,
     0,
     0,
     {{16, kTask}},
     8000,
     2,
     WM_BOX_TASK_UPDATE_FAILED,
     0},
    {"DeleteAllBoxTasks",
     [](auto& c, HWND w) { return c.SendDeleteBoxTask(200, w); },
     BOX_CMD_DELETE_BOX_TASK,
     200,
     200,
     0,
     {},
     8000,
     2,
     WM_BOX_TASK_DELETE_FAILED,
     0},
    {"GetFileList",
     [](auto& c, HWND w) { return c.SendGetFileList(w); },
     BOX_CMD_GET_FILE_LIST,
     0,
     0,
     0,
     {},
     8000,
     2,
     WM_BOX_FILE_LIST_FAILED,
     0},
    {"RequestFile",
     [](auto& c, HWND w) { return c.SendRequestFile(w, kItem); },
     BOX_CMD_REQUEST_FILE,
     0,
     0,
     0,
     {{16, kRecord}},
     8000,
     2,
     WM_BOX_FILE_REFUSED,
     0},
    {"StartFileTransfer",
     [](auto& c, HWND w) { return c.SendStartFileTransfer(w, kItem); },
     BOX_CMD_START_FILE_TRANSFER,
     0,
     0,
     0,
     {{16, kRecord}},
     8000,
     2,
     WM_BOX_FILE_TRANSFER_TIMEOUT,
     0},
    {"AbortFileTransfer",
     [](auto& c, HWND w) { return c.SendAbortFileTransfer(w, 3, 4); },
     BOX_CMD_ABORT_FILE_TRANSFER,
     0,
     3,
     4,
     {},
     8000,
     2,
     WM_BOX_TRANSFER_ABORT_FAILED,
     0},
    {"DeleteBoxFile",
     [](auto& c, HWND w) { return c.SendDeleteBoxFile(w, kItem); },
     BOX_CMD_DELETE_BOX_FILE,
     0,
     0,
     0,
     {{16, kRecord}},
     8000,
     2,
     WM_BOX_FILE_DELETE_FAILED,
     0},
};

testbox::Frame expectedFrame(const BuilderCase& c, DWORD sequence) {
    testbox::Frame f = testbox::MakeFrame(sequence, c.command, c.value, c.value2, c.value3);
    for (const auto& [at, bytes] : c.payload)
        std::copy(bytes.begin(), bytes.end(), f.begin() + static_cast<long>(at));
    testbox::Reseal(f);
    return f;
}

// At the real clock: no request timer expires while a case runs.
class RequestBuildersTest : public ChannelFixture {
protected:
    RequestBuildersTest() : ChannelFixture(1.0) {}
};

TEST_F(RequestBuildersTest, EveryBuilderSendsItsFrameWithRisingSequences) {
    DWORD sequence = KQ_TCP_ControlChannel::kFirstSequence;
    for (const BuilderCase& c : kBuilders) {
        SCOPED_TRACE(c.name);
        const DWORD pendingBefore = channel->PendingCount();
        ASSERT_TRUE(c.send(*channel, window.hwnd()));
        const testbox::Frame frame = sent();
        EXPECT_EQ(frame, expectedFrame(c, ++sequence));
        EXPECT_EQ(channel->PendingCount(), pendingBefore + (c.timeoutMs ? 1 : 0));
    }
}

// All requests go out unanswered at once, each from its own window: each is re-sent as often as its
// maximum sends allow, not before its time-out, and fails once with its own message.
class RequestTimeoutsTest : public ChannelFixture {
protected:
    RequestTimeoutsTest() : ChannelFixture(100.0) {}
};

TEST_F(RequestTimeoutsTest, ReSendsAndFailuresFollowEachRequestsTimeOut) {
    std::vector<std::unique_ptr<Recorder>> windows;
    std::map<DWORD, const BuilderCase*> bySequence;
    const DWORD start = GetTickCount();
    for (const BuilderCase& c : kBuilders) {
        if (!c.timeoutMs)
            continue;
        windows.push_back(std::make_unique<Recorder>());
        ASSERT_TRUE(c.send(*channel, windows.back()->hwnd())) << c.name;
        bySequence[testbox::Get32(sent().data() + 4)] = &c;
    }
    std::map<DWORD, std::vector<DWORD>> resends; // sequence -> ticks when the test saw them
    std::vector<testbox::Frame> resent;
    ASSERT_TRUE(PumpUntilReal([&] {
        while (!nothingSent()) {
            const testbox::Frame frame = sent();
            resends[testbox::Get32(frame.data() + 4)].push_back(GetTickCount());
        }
        return channel->PendingCount() == 0;
    }));
    platform::PumpFor(25000); // a further period of the longest time-out: nothing more may come
    std::size_t i = 0;
    for (const auto& [sequence, c] : bySequence) {
        SCOPED_TRACE(c->name);
        const Recorder& w = *windows[i++];
        const std::vector<DWORD>& again = resends[sequence];
        ASSERT_EQ(again.size(), c->maxSends == 2 ? 1u : 0u);
        for (DWORD tick : again)
            EXPECT_GE(tick - start, c->timeoutMs);
        const std::vector<Posted> failures = w.all();
        if (!c->failure) {
            EXPECT_TRUE(failures.empty());
            continue;
        }
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].message, c->failure);
        EXPECT_EQ(failures[0].wParam, c->failureWParam);
        EXPECT_GE(failures[0].tick - start, c->timeoutMs * (c->maxSends == 2 ? 2 : 1));
    }
    // What the failures send: a logout after none (no login here), a stop-scan after each scan.
    std::size_t stopScans = 0;
    for (const auto& [sequence, ticks] : resends)
        if (!bySequence.count(sequence))
            stopScans += ticks.size();
    EXPECT_EQ(stopScans, 3u);
}

TEST_F(RequestBuildersTest, LoginFieldsAreEncipheredEachFromTheStartOfTheKeyStream) {
    // "abZd": the third byte meets the key stream's third byte, so the enciphered field holds a zero.
    ASSERT_TRUE(channel->SendLogin(window.hwnd(), L"admin", L"abZd", 'T', 0x1234, 7, 1, BOX_LOGIN_CONFIRMED));
    const testbox::Frame frame = sent();
    const auto cipher = [](const std::string& s) {
        return Rc4Crypt(kLoginKey, reinterpret_cast<const BYTE*>(s.data()), s.size());
    };
    const std::vector<BYTE> user = cipher("admin");
    const std::vector<BYTE> password = cipher("abZd");
    EXPECT_EQ(password[2], 0);
    testbox::Frame expected = testbox::MakeFrame(0xF001, BOX_CMD_LOGIN, 0, 'T', 0x1234);
    expected[16] = 5;
    std::copy(user.begin(), user.end(), expected.begin() + 17);
    expected[33] = 4;
    std::copy(password.begin(), password.end(), expected.begin() + 34);
    expected[80] = 7;
    expected[81] = 1;
    expected[112] = BOX_LOGIN_CONFIRMED;
    testbox::Reseal(expected);
    EXPECT_EQ(frame, expected);

    // An empty password: length 0 and no bytes; the user name is still enciphered.
    ASSERT_TRUE(channel->SendLogin(window.hwnd(), L"admin", L"", 'C', 0, 0, 0, 0));
    const testbox::Frame empty = sent();
    EXPECT_EQ(empty[33], 0);
    EXPECT_TRUE(std::all_of(empty.begin() + 34, empty.begin() + 80, [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::equal(user.begin(), user.end(), empty.begin() + 17));
}

struct TextLimit {
    const char* name;
    std::function<bool(KQ_TCP_ControlChannel&, HWND, const std::wstring&)> send;
    std::size_t room; // converted bytes
};

const TextLimit kTextLimits[] = {
    {"LoginUser", [](auto& c, HWND w, const auto& t) { return c.SendLogin(w, t, L"", 0, 0, 0, 0, 0); }, 16},
    {"LoginPassword", [](auto& c, HWND w, const auto& t) { return c.SendLogin(w, L"u", t, 0, 0, 0, 0, 0); },
     46},
    {"AddUserName", [](auto& c, HWND w, const auto& t) { return c.SendAddUser(w, t, L""); }, 16},
    {"AddUserPassword", [](auto& c, HWND w, const auto& t) { return c.SendAddUser(w, L"u", t); }, 142},
    {"PasswordFirst", [](auto& c, HWND w, const auto& t) { return c.SendChangePassword(w, t, L"", L""); },
     16},
    {"PasswordSecond", [](auto& c, HWND w, const auto& t) { return c.SendChangePassword(w, L"", t, L""); },
     16},
    {"PasswordThird", [](auto& c, HWND w, const auto& t) { return c.SendChangePassword(w, L"", L"", t); },
     125},
    {"DeleteUser", [](auto& c, HWND w, const auto& t) { return c.SendDeleteUser(w, t); }, 159},
    {"IrProfile", [](auto& c, HWND w, const auto& t) { return c.SendLearnIrKey(w, 1, t); }, 159},
    {"BoxTime", [](auto& c, HWND w, const auto& t) { return c.SendSetBoxTime(t, w); }, 159},
    {"TimeZone", [](auto& c, HWND w, const auto& t) { return c.SendSetTimeZone(t, w, 1); }, 159},
};

TEST_F(RequestBuildersTest, TextsAreBoundedByTheirFieldInConvertedBytes) {
    ASSERT_TRUE(platform::SetLegacyCodePage("CP936")); // two bytes per ideograph
    for (const TextLimit& limit : kTextLimits) {
        SCOPED_TRACE(limit.name);
        const DWORD pending = channel->PendingCount();
        // Half as many characters as bytes fit; one more character is two bytes too many.
        const std::wstring fits(limit.room / 2, L'\u4E2D');
        const std::wstring over = fits + L"\u4E2D";
        EXPECT_FALSE(limit.send(*channel, window.hwnd(), over));
        EXPECT_TRUE(nothingSent());
        EXPECT_EQ(channel->PendingCount(), pending);
        ASSERT_TRUE(limit.send(*channel, window.hwnd(), fits));
        EXPECT_EQ(sent().size(), 188u);
        // In single bytes: exactly the room fits, one more does not.
        ASSERT_TRUE(platform::SetLegacyCodePage("WINDOWS-1252"));
        EXPECT_TRUE(limit.send(*channel, window.hwnd(), std::wstring(limit.room, L'x')));
        EXPECT_EQ(sent().size(), 188u);
        EXPECT_FALSE(limit.send(*channel, window.hwnd(), std::wstring(limit.room + 1, L'x')));
        EXPECT_TRUE(nothingSent());
        ASSERT_TRUE(platform::SetLegacyCodePage("CP936"));
    }
    ASSERT_TRUE(platform::SetLegacyCodePage("WINDOWS-1252"));
}

TEST_F(RequestTimeoutsTest, NoWindowOrNoSocketSendsNothingAndStoresNothing) {
    EXPECT_FALSE(channel->SendSetChannel(nullptr, 1));
    EXPECT_TRUE(nothingSent());
    EXPECT_EQ(channel->PendingCount(), 0u);
    channel->Close();
    const BYTE block[2] = {10, 1};
    EXPECT_FALSE(channel->SendPutIrData(2, block, window.hwnd()));
    EXPECT_EQ(link.keepAlive, 1); // as it was
    EXPECT_FALSE(channel->SendLogout(0));
    EXPECT_EQ(channel->PendingCount(), 0u);
    platform::PumpFor(30000);
    EXPECT_TRUE(window.all().empty()); // no timer was left behind
}

TEST_F(RequestBuildersTest, KeepAliveWaitsForTheBulkUploadFlag) {
    const BYTE block[2] = {10, 1};
    ASSERT_TRUE(channel->SendPutIrData(2, block, window.hwnd()));
    sent();
    EXPECT_EQ(link.keepAlive, 0);
    EXPECT_FALSE(channel->SendKeepAlive());
    EXPECT_TRUE(nothingSent());
    link.keepAlive = 1;
    EXPECT_TRUE(channel->SendKeepAlive());
    EXPECT_EQ(testbox::Get32(sent().data() + 8), BOX_CMD_KEEP_ALIVE);
}

TEST_F(RequestBuildersTest, FirmwareGoesOutInTypedChunksOfAtMost1436) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1436}, std::size_t{1437}, std::size_t{3000}}) {
        SCOPED_TRACE(size);
        const FirmwareImage image = firmware(size);
        ASSERT_TRUE(channel->SendFirmwareUpdate(window.hwnd(), image));
        sent();
        ASSERT_TRUE(channel->UploadFirmwareImage());
        Bytes body;
        for (std::size_t at = 0; at < size;) {
            const std::size_t n = std::min<std::size_t>(size - at, 1436);
            const Bytes header = take(4);
            ASSERT_EQ(header, (Bytes{9, 0, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)}));
            const Bytes chunk = take(n);
            body.insert(body.end(), chunk.begin(), chunk.end());
            at += n;
        }
        EXPECT_EQ(body, image.bytes);
        EXPECT_EQ(channel->FirmwareBytesSent(), size);
        EXPECT_TRUE(nothingSent());
    }
}

TEST_F(RequestBuildersTest, IrBlockGoesOutRaw) {
    Bytes block(2880);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(channel->SendPutIrData(static_cast<DWORD>(block.size()), block.data(), window.hwnd()));
    sent();
    ASSERT_TRUE(channel->UploadIrData());
    EXPECT_EQ(take(block.size()), block);
    EXPECT_TRUE(nothingSent());
}

TEST(ChannelLifecycleTest, CloseRightAfterTheStartStopsBothThreads) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    BoxLinkState link;
    KQ_TCP_ControlChannel channel(link);
    for (int i = 0; i < 100; ++i) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        channel.Adopt(fds[0]);
        channel.StartThreads();
        if (i % 2)
            ::close(fds[1]); // the box goes away as well
        channel.Close();
        EXPECT_FALSE(channel.SendLogout(0));
        if (i % 2 == 0)
            ::close(fds[1]);
    }
}

} // namespace
