// The connection manager and the stream receiver against the test box on loopback, scripted as the box a
// person logs in to (the test box program's own script) and per stream connection.
#include "tests/boxlink/LiveBoxRig.h"

#include "platform/win32/ClockHooks.h"
#include "tests/boxlink/StreamTestSupport.h"
#include "tests/support/fakes/TempFolder.h"
#include "tests/support/testbox/LiveBox.h"

#include <algorithm>
#include <filesystem>

namespace {

using namespace livebox;

const streamfixture::Fixture& fixture() {
    return streamfixture::fixture();
}

const std::shared_ptr<const testbox::LiveRecords>& liveRecords() {
    static const auto records = testbox::LiveRecords::Load(std::string(VELOQ_FIXTURES_DIR) + "/stream");
    return records;
}

class ScaledTest : public testing::Test {
protected:
    explicit ScaledTest(double scale) { platform::SetTimeScale(scale); }
    ~ScaledTest() override { platform::SetTimeScale(1); }
};

// The box of the test box program, at ten times the real clock: a loop of the fixture takes 160 ms.
class LiveBoxTest : public ScaledTest {
protected:
    explicit LiveBoxTest(double scale = 10) : ScaledTest(scale) {
        testbox::ScriptLiveBox(box, "ABC234", liveRecords());
    }
    testbox::TestBox box;
    LiveRig rig{box.Environment()};
};

struct Way {
    const char* name;
    const wchar_t* target;
    int loginType;
};

void PrintTo(const Way& w, std::ostream* os) {
    *os << w.name;
}

class LoginWay : public LiveBoxTest, public testing::WithParamInterface<Way> {};

// By address the stream comes on the direct stream port, by ID on the LAN stream port; either way the
// fixture loops without a seam: every unit of the second loop is the first loop's, one period later.
TEST_P(LoginWay, StreamLoopsWithRisingTimestamps) {
    ASSERT_TRUE(rig.login(GetParam().target, GetParam().loginType));
    const Note* ok = rig.dialog->find(WM_BOX_LOGIN_OK);
    EXPECT_EQ(ok->data.substr(0, 7), std::string("ABC234\0", 7));
    EXPECT_EQ(ok->lParam, LiveRig::kCountry);
    EXPECT_EQ(rig.client.Link().loginResult, 1);
    EXPECT_EQ(rig.client.Link().videoStandard, 0);
    EXPECT_EQ(rig.client.Link().qualityIndex, 4);

    const std::size_t perLoop = loopedVideo(fixture(), 1).size(),
                      audioPerLoop = loopedAudio(fixture(), 1).size();
    ASSERT_TRUE(rig.sink().WaitVideo(perLoop + perLoop / 2, kWait));
    ASSERT_TRUE(rig.sink().WaitAudio(audioPerLoop + audioPerLoop / 2, kWait));
    EXPECT_TRUE(looped(rig.sink().Video(), Kind::Video));
    EXPECT_TRUE(looped(rig.sink().Audio(), Kind::Audio));
    EXPECT_EQ(box.StreamConnections(), 1);
}

INSTANTIATE_TEST_SUITE_P(Ways, LoginWay,
                         testing::Values(Way{"ByAddress", L"127.0.0.1", BOX_LOGIN_BY_ADDRESS},
                                         Way{"ById", L"ABC234", BOX_LOGIN_BY_ID}),
                         [](const testing::TestParamInfo<Way>& info) { return info.param.name; });

// The box restarts its stream on the new source: record types 16 higher, from the IDR with its parameter
// sets, after its encoder's pause; the receiver follows once live view has restarted.
class SourceChange : public LiveBoxTest {
protected:
    SourceChange() : LiveBoxTest(5) {}
};

TEST_F(SourceChange, StreamGoesOnFromAnIdrWithTheNewRecordTypes) {
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_TRUE(rig.sink().WaitVideo(20, kWait));
    const std::size_t before = rig.sink().Video().size();
    ASSERT_TRUE(rig.client.Channel().SendSetSource(rig.main.hwnd(), 'C'));
    const Note* changed = rig.main.WaitFor(WM_BOX_SOURCE_CHANGED);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->wParam, 1u);
    EXPECT_EQ(rig.client.Link().videoRecordType, 31);
    EXPECT_EQ(rig.client.Link().audioRecordType, 26);

    const std::vector<Bytes> loop = loopedVideo(fixture(), 1);
    ASSERT_TRUE(rig.sink().WaitVideo(before + 2 * loop.size(), kWait));
    const std::vector<Bytes> got = rig.sink().Video();
    // The restart is where the timestamps jump by the pause: the old stream's open unit ends there, and the
    // new stream's first unit follows. When the old stream stopped after a picture's leading NAL units but
    // before its slices, nothing of it was complete: those NAL units begin the access unit that the new
    // stream's first unit completes, and lead it.
    std::size_t at = before;
    while (at < got.size() && timestampOf(got[at]) - timestampOf(got[at - 1]) < testbox::kRestartGapMs)
        ++at;
    ASSERT_LT(at + 1, got.size());
    for (std::size_t i = 1; i < got.size(); ++i)
        ASSERT_GE(timestampOf(got[i]), timestampOf(got[i - 1])) << "unit " << i;
    const Bytes& first = loop[0];
    const bool led =
        got[at].size() > first.size() &&
        timestampOf(got[at]) == timestampOf(got[at + 1]) - timestampOf(loop[1]) + timestampOf(first);
    if (led) {
        EXPECT_TRUE(std::equal(first.begin() + 4, first.end(), got[at].end() - (first.size() - 4)));
        EXPECT_TRUE(looped(got, Kind::Video, at + 1, 1, timestampOf(got[at + 1]) - timestampOf(loop[1])));
    } else {
        EXPECT_TRUE(looped(got, Kind::Video, at + 1, 0, timestampOf(got[at + 1]) - timestampOf(first)));
    }
}

constexpr WPARAM kData = ~WPARAM{0}; // wParam points at what the box sent

struct Request {
    const char* name;
    bool (*send)(KQ_TCP_ControlChannel&, HWND);
    UINT message;
    WPARAM wParam;
};

void PrintTo(const Request& r, std::ostream* os) {
    *os << r.name;
}

class LiveViewRequest : public LiveBoxTest, public testing::WithParamInterface<Request> {};

// Every request of live view succeeds, with what the windows then read.
TEST_P(LiveViewRequest, Succeeds) {
    const Request& r = GetParam();
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_TRUE(r.send(rig.client.Channel(), rig.main.hwnd()));
    const Note* note = rig.main.WaitFor(r.message);
    ASSERT_NE(note, nullptr);
    if (r.wParam != kData) {
        EXPECT_EQ(note->wParam, r.wParam);
    }
    if (r.message == WM_BOX_INFO) {
        EXPECT_EQ(note->lParam, 1002);
        EXPECT_EQ(note->data[0], 13);
        EXPECT_EQ(note->data[42], 1);  // one disk
        EXPECT_EQ(note->data[211], 0); // no tasks
    } else if (r.message == WM_BOX_CHANNEL_TABLE) {
        EXPECT_EQ(note->lParam, static_cast<LPARAM>(testbox::LiveBoxChannels().size()));
    } else if (r.message == WM_BOX_SCAN_FINISHED) {
        std::vector<WPARAM> found; // frequencies, in the order the box found them
        for (const Note& n : rig.main.Notes())
            if (n.message == WM_BOX_SCAN_CHANNEL_FOUND)
                found.push_back(n.wParam);
        std::vector<WPARAM> expected;
        for (const testbox::ChannelEntry& e : testbox::LiveBoxChannels())
            expected.push_back(e.frequency);
        EXPECT_EQ(found, expected);
    } else if (r.message == WM_BOX_TIME) {
        EXPECT_STREQ(note->data.c_str(), "2024:05:06:07:08");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Box, LiveViewRequest,
    testing::Values(
        Request{"Source", [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendSetSource(w, 'S'); },
                WM_BOX_SOURCE_CHANGED, 1},
        Request{"Channel", [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendSetChannel(w, 996); },
                WM_BOX_CHANNEL_SET, 0},
        Request{"Country", [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendSetCountry(w, 7); },
                WM_BOX_COUNTRY_SET, 1},
        Request{"QualityOfTheSameSize",
                [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendSetVideoQuality(2, 0, w, 0, 0); },
                WM_BOX_VIDEO_QUALITY_OK, 0},
        Request{"QualityOfAnotherSize",
                [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendSetVideoQuality(3, 0, w, 0, 1); },
                WM_BOX_VIDEO_QUALITY_OK, 200},
        Request{"ScanToItsEnd",
                [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendStartScan(w, 0, 39, true, 720, 13808); },
                WM_BOX_SCAN_FINISHED, 0},
        Request{"BoxInfo", [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendGetBoxInfo(w); }, WM_BOX_INFO,
                kData},
        Request{"ChannelTable", [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendGetChannelTable(w); },
                WM_BOX_CHANNEL_TABLE, kData},
        Request{"BoxTime",
                [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendSetBoxTime(L"2024:05:06:07:08", w); },
                WM_BOX_TIME, 0},
        Request{"FileList", [](KQ_TCP_ControlChannel& c, HWND w) { return c.SendGetFileList(w); },
                WM_BOX_FILE_LIST, kData}),
    [](const testing::TestParamInfo<Request>& info) { return info.param.name; });

// A plain test box whose stream connections are scripted one by one, at twenty times the real clock.
class ScriptedStream : public ScaledTest {
protected:
    ScriptedStream() : ScaledTest(20) {}
    testbox::TestBox box;
    LiveRig rig{box.Environment()};
};

// The first connection gets edge records and then silence, which loses the link; the next login's
// connection gets the live stream from its start.
TEST_F(ScriptedStream, EachConnectionTakesTheNextScript) {
    using namespace streamtest;
    const Bytes largest = slice(1, 0, 2037), next = slice(1, 0);
    const Bytes frame = {0xFF, 0xF1, 0x50, 0x80, 0x01, 0x7F, 0xFC, 0x21};
    const Bytes edges = concat({video(1, largest),                 // n = 2045: the largest record
                                raw(15, Bytes(8, 0)),              // n = 8: no NAL byte, dropped
                                video(1, {0x0C, 0xFF}),            // filler NAL unit, left out
                                raw(10, Bytes(4, 0)),              // audio without a frame, dropped
                                video(2, next), audio(3, frame)}); // completes the first unit
    box.ScriptStream({testbox::StreamScript{.bytes = edges, .writes = {.chunk = 700}},
                      testbox::StreamScript{.live = liveRecords()}});
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_NE(rig.main.WaitFor(WM_BOX_LINK_LOST), nullptr);
    EXPECT_EQ(rig.sink().Video(), std::vector<Bytes>{unit(2, {largest})});
    EXPECT_EQ(rig.sink().Audio(), std::vector<Bytes>{concat({unit(3, {}), frame})});
    rig.client.Disconnect(0);

    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    const std::vector<Bytes> loop = loopedVideo(fixture(), 1);
    ASSERT_TRUE(rig.sink().WaitVideo(1 + loop.size(), kWait));
    EXPECT_TRUE(sameUnits(rig.sink().Video(), 1, loop, 0, loop.size()));
    EXPECT_EQ(box.StreamConnections(), 2);
}

struct DownloadCase {
    const char* name;
    std::string nameField;
    std::size_t bytes;
    WPARAM result; // of WM_BOX_FILE_RECEIVED
};

void PrintTo(const DownloadCase& c, std::ostream* os) {
    *os << c.name;
}

class Download : public LiveBoxTest, public testing::WithParamInterface<DownloadCase> {
protected:
    Download() {
        std::filesystem::create_directories(temp / "dl");
        rig.client.SetDownloadFolder(platform::BackslashPath(temp / "dl"));
    }
    TempFolder temp;
};

// The box sends the file once it has accepted the start of the transfer, between two records of the live
// stream, which goes on unharmed.
TEST_P(Download, FileFollowsTheStartOfTheTransfer) {
    const DownloadCase& c = GetParam();
    Bytes content(c.bytes);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 31 + (i >> 13));
    box.ServeDownload(c.nameField, content);
    ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
    ASSERT_TRUE(rig.sink().WaitVideo(10, kWait));
    BoxFileItem item{};
    ASSERT_TRUE(rig.client.Channel().SendRequestFile(rig.main.hwnd(), item));
    ASSERT_NE(rig.main.WaitFor(WM_BOX_FILE_ACCEPTED), nullptr);
    ASSERT_TRUE(rig.client.Channel().SendStartFileTransfer(rig.main.hwnd(), item));
    const Note* received = rig.main.WaitFor(WM_BOX_FILE_RECEIVED);
    ASSERT_NE(received, nullptr);
    EXPECT_EQ(received->wParam, c.result);

    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(temp.root()))
        if (entry.is_regular_file())
            written.push_back(entry.path());
    if (c.result == 0) {
        ASSERT_EQ(written.size(), 1u);
        EXPECT_EQ(written[0], temp / "dl" / c.nameField);
        EXPECT_EQ(streamfixture::readFile(written[0].string()), content);
    } else {
        EXPECT_TRUE(written.empty());
    }
    ASSERT_TRUE(rig.sink().WaitVideo(rig.sink().Video().size() + 20, kWait));
    EXPECT_TRUE(looped(rig.sink().Video(), Kind::Video));
}

INSTANTIATE_TEST_SUITE_P(Box, Download,
                         testing::Values(DownloadCase{"TwoAndAHalfMiB", "rec_0001.mp4", 0x280000, 0},
                                         DownloadCase{"NameOutsideTheFolder", "../rec_0001.mp4", 5000, 1}),
                         [](const testing::TestParamInfo<DownloadCase>& info) { return info.param.name; });

} // namespace
