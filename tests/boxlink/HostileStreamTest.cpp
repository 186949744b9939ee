// The stream of a test box made hostile on purpose, through the connection manager and the stream
// receiver into a fake live context: in the stream's second and third generation a bad record header,
// garbage, and more than the stream ring holds while the parser waits on a full live context; and a
// source change whose reply comes after its time-out.
#include "tests/boxlink/LiveBoxRig.h"

#include "platform/win32/ClockHooks.h"
#include "tests/support/testbox/HostileStream.h"
#include "tests/support/testbox/LiveBox.h"

namespace {

using testbox::Reply;

using namespace livebox;

const std::shared_ptr<const testbox::LiveRecords>& liveRecords() {
    static const auto records = testbox::LiveRecords::Load(std::string(VELOQ_FIXTURES_DIR) + "/stream");
    return records;
}

// The largest step between the timestamps of successive units from units[from] on.
std::uint32_t largestGap(const std::vector<Bytes>& units, std::size_t from) {
    std::uint32_t gap = 0;
    for (std::size_t i = from + 1; i < units.size(); ++i)
        gap = std::max(gap, timestampOf(units[i]) - timestampOf(units[i - 1]));
    return gap;
}

// Five times the real clock, from before the box and the connection manager exist.
class AtFiveTimesTheClock : public testing::Test {
protected:
    AtFiveTimesTheClock() { platform::SetTimeScale(5.0); }
    ~AtFiveTimesTheClock() override { platform::SetTimeScale(1.0); }
};

// The box of the test box program, logged in to by address.
class HostileStream : public AtFiveTimesTheClock {
protected:
    void SetUp() override {
        testbox::ScriptLiveBox(box, "ABC234", liveRecords());
        ASSERT_TRUE(rig.login(L"127.0.0.1", BOX_LOGIN_BY_ADDRESS));
        ASSERT_TRUE(rig.sink().WaitVideo(20, kWait));
    }
    // A source change answered at once: the stream goes on in the next generation.
    void changeSource(char letter) {
        const int changed = rig.main.count(WM_BOX_SOURCE_CHANGED);
        ASSERT_TRUE(rig.client.Channel().SendSetSource(rig.main.hwnd(), letter));
        ASSERT_TRUE(
            platform::PumpUntil([&] { return rig.main.count(WM_BOX_SOURCE_CHANGED) > changed; }, kWait));
        ASSERT_TRUE(rig.sink().WaitVideo(rig.sink().Video().size() + 20, kWait));
    }
    // Units come again, in a row without a gap of more than a second, once the parser can go on.
    void expectUnitsToFlowAgain(std::size_t from) {
        ASSERT_TRUE(rig.sink().WaitVideo(from + 40, kWait)) << "the picture is frozen";
        ASSERT_TRUE(rig.sink().WaitAudio(rig.sink().Audio().size() + 40, kWait));
        EXPECT_LE(largestGap(rig.sink().Video(), from), 1000u);
    }
    BYTE videoType() { return rig.client.Link().videoRecordType; }

    testbox::TestBox box;
    LiveRig rig{box.Environment()};
};

struct Move {
    const char* name;
    // Puts the hostile bytes into the stream; units must flow on from the one whose index it returns.
    std::size_t (*make)(testbox::TestBox& box, LiveRig& rig, BYTE videoType);
};

void PrintTo(const Move& m, std::ostream* os) {
    *os << m.name;
}

class HostileRecords : public HostileStream, public ::testing::WithParamInterface<Move> {};

TEST_P(HostileRecords, PictureGoesOnInTheSecondAndThirdGeneration) {
    for (const char letter : {'S', 'T'}) {
        changeSource(letter);
        const BYTE type = videoType();
        EXPECT_EQ(type, letter == 'S' ? 31 : 47);
        const std::size_t from = GetParam().make(box, rig, type);
        expectUnitsToFlowAgain(from);
        EXPECT_EQ(videoType(), type);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stream, HostileRecords,
    ::testing::Values(
        Move{"BadRecordHeader",
             [](testbox::TestBox& box, LiveRig& rig, BYTE type) {
                 const std::size_t last = rig.sink().Video().size() - 1;
                 box.SendStream(testbox::BadRecordHeader(type));
                 return last;
             }},
        Move{"Garbage",
             [](testbox::TestBox& box, LiveRig& rig, BYTE) {
                 const std::size_t last = rig.sink().Video().size() - 1;
                 box.SendStream(testbox::Garbage(5000, 21));
                 return last;
             }},
        // The parser waits on a full live context while more than the stream ring holds comes in.
        Move{"RingOverflow",
             [](testbox::TestBox& box, LiveRig& rig, BYTE) {
                 rig.sink().full = true;
                 EXPECT_TRUE(rig.sink().WaitPushWaiting(kWait));
                 box.SendStream(testbox::UselessRecords(4 << 20));
                 EXPECT_TRUE(box.WaitStreamSent(kWait));
                 const std::size_t from = rig.sink().Video().size() + 1; // the unit that waited, then on
                 rig.sink().full = false;
                 return from;
             }}),
    [](const auto& info) { return std::string(info.param.name); });

// The box switches its source after the request's time-out and says so too late: the link follows the
// box's new stream by itself, the picture goes on, and the late reply changes nothing more.
TEST_F(HostileStream, SourceChangeWhoseReplyComesAfterItsTimeOut) {
    box.Script(testbox::kSetSource,
               Reply{.value2 = 1, .value3 = testbox::kLiveBoxStandard, .delayMs = 12000});
    ASSERT_TRUE(rig.client.Channel().SendSetSource(rig.main.hwnd(), 'S'));
    ASSERT_NE(rig.main.WaitFor(WM_BOX_SOURCE_FAILED), nullptr);
    EXPECT_EQ(videoType(), 15);
    const std::size_t before = rig.sink().Video().size();
    const int writes = box.WritesDone();
    ASSERT_TRUE(platform::PumpUntil([&] { return box.WritesDone() > writes; }, kWait)); // the late reply
    ASSERT_TRUE(platform::PumpUntil([&] { return videoType() == 31; }, kWait));
    ASSERT_TRUE(rig.sink().WaitVideo(before + 40, kWait)) << "the picture is frozen";
    EXPECT_EQ(rig.client.Link().audioRecordType, 26);
    EXPECT_EQ(rig.client.Link().generation, 1u);
    EXPECT_EQ(rig.client.Link().restartedGeneration, 1u);
    EXPECT_EQ(rig.main.count(WM_BOX_SOURCE_CHANGED), 0);
    EXPECT_EQ(rig.main.count(WM_BOX_SOURCE_FAILED), 1);

    // The next change, answered at once, finds the link in step with the box.
    box.Script(testbox::kSetSource, Reply{.value2 = 1, .value3 = testbox::kLiveBoxStandard});
    changeSource('T');
    EXPECT_EQ(videoType(), 47);
}

} // namespace
