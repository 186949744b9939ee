#include "boxlink/StreamRecordParser.h"
#include "boxlink/BoxClient.h"
#include "boxlink/BoxMessages.h"
#include "boxlink/StreamDownload.h"
#include "platform/win32/ClockHooks.h"
#include "tests/boxlink/StreamTestSupport.h"
#include "tests/support/fakes/FakeLive.h"
#include "tests/support/fakes/TempFolder.h"
#include "tests/support/testbox/StreamSide.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

using namespace streamtest;
using Step = StreamRecordParser::Step;

// The parser over a ring of its own, driven step by step on the test thread.
class ParserTest : public testing::Test {
protected:
    ParserTest() {
        client.SetPlayer(&player);
        client.SetMainWindow(window.hwnd());
    }
    ~ParserTest() override { client.SetPlayer(nullptr); }

    void put(const Bytes& bytes) { ASSERT_EQ(ring.Write(bytes.data(), static_cast<DWORD>(bytes.size())), 1); }
    std::vector<Step> drain() {
        std::vector<Step> steps;
        for (Step s = parser.Next(); s != Step::Empty; s = parser.Next()) {
            steps.push_back(s);
            if (s == Step::Incomplete)
                break;
        }
        return steps;
    }

    RecordingWindow window;
    KQ_TCP_BoxClient client;
    FakeLivePlayer player;
    KQ_TCP_RingBuffer ring{0x40000};
    std::atomic<bool> stop{false};
    StreamRecordParser parser{client, ring, stop};
};

struct EdgeCase {
    const char* name;
    Bytes wire;
    std::vector<Step> steps;
    std::vector<Bytes> video; // MediaUnits the live context gets
    std::vector<Bytes> audio;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
    *os << c.name;
}

class RecordEdges : public ParserTest, public testing::WithParamInterface<EdgeCase> {};

TEST_P(RecordEdges, StepsAndUnits) {
    const EdgeCase& c = GetParam();
    put(c.wire);
    EXPECT_EQ(drain(), c.steps);
    EXPECT_EQ(player.sink->Video(), c.video);
    EXPECT_EQ(player.sink->Audio(), c.audio);
}

const Bytes kLargest = slice(1, 0, 2037); // n = 2045
const Bytes kP0 = slice(1, 0), kP1 = slice(1, 1);
const Bytes kFrame = {0xFF, 0xF1, 0x50, 0x80, 0x01, 0x7F, 0xFC, 0x21};

Bytes withoutLastByte(Bytes bytes) {
    bytes.pop_back();
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Stream, RecordEdges,
    testing::Values(
        EdgeCase{"LargestRecordIsUsed",
                 concat({video(1, kLargest), video(2, kP0)}),
                 {Step::Used, Step::Used},
                 {unit(2, {kLargest})},
                 {}},
        EdgeCase{"LengthAboveLargestEmptiesTheRing",
                 concat({raw(15, Bytes(2046, 0)), video(1, kP0), video(2, kP0)}),
                 {Step::BadLength},
                 {},
                 {}},
        EdgeCase{"VideoRecordsWithoutNalByteAreDropped",
                 concat({video(1, kP0), raw(15, Bytes(8, 0)), raw(15, Bytes(5, 0)), raw(15, {}),
                         video(2, kP1), video(3, kP0)}),
                 {Step::Used, Step::Dropped, Step::Dropped, Step::Dropped, Step::Used, Step::Used},
                 {unit(3, {kP0, kP1})},
                 {}},
        EdgeCase{"AudioRecordsWithoutFrameAreDropped",
                 concat({raw(10, Bytes(4, 0)), raw(10, Bytes(8, 0)), audio(7, {0xAB}), audio(8, kFrame)}),
                 {Step::Dropped, Step::Dropped, Step::Used, Step::Used},
                 {},
                 {concat({unit(7, {}), {0xAB}}), concat({unit(8, {}), kFrame})}},
        EdgeCase{"NalTypesWithoutUseAreLeftOut",
                 concat({video(1, kP0), video(1, {0x00, 1}), video(1, {0x02, 1}), video(1, {0x03, 1}),
                         video(1, {0x04, 1}), video(1, {0x0B}), video(1, {0x0C, 0xFF}), video(1, {0x1F, 1}),
                         video(1, kP1), video(2, kP0)}),
                 std::vector<Step>(10, Step::Used),
                 {unit(2, {kP0, kP1})},
                 {}},
        EdgeCase{
            "RecordTypesWithoutUseAreDropped",
            concat({raw(0, {1, 2}), raw(12, {}), video(1, kP0, 31), audio(1, kFrame, 26), raw(255, {9})}),
            std::vector<Step>(5, Step::Dropped),
            {},
            {}},
        EdgeCase{"RecordNotYetComplete", withoutLastByte(video(1, kP0)), {Step::Incomplete}, {}, {}}),
    [](const testing::TestParamInfo<EdgeCase>& info) { return info.param.name; });

TEST_F(ParserTest, GenerationGateHoldsRecordsUntilLiveViewRestarted) {
    BoxLinkState& link = client.Link();
    put(concat({audio(1, kFrame), video(1, kP0)}));
    EXPECT_EQ(drain(), (std::vector<Step>{Step::Used, Step::Used}));

    link.StartNewGeneration(); // types 31 and 26 now, the parser waits for the restart
    put(concat({audio(2, kFrame, 26), video(2, kP0, 31), audio(2, kFrame)}));
    EXPECT_EQ(drain(), (std::vector<Step>{Step::Held, Step::Held, Step::Held}));
    EXPECT_EQ(link.waitForNewStream, 1);

    ++link.restartedGeneration;
    put(concat(
        {audio(3, kFrame), video(3, kP0), audio(4, kFrame, 26), video(4, kP0, 31), video(5, kP0, 31)}));
    EXPECT_EQ(drain(), (std::vector<Step>{Step::Dropped, Step::Dropped, Step::Used, Step::Used, Step::Used}));
    EXPECT_EQ(link.waitForNewStream, 0);
    EXPECT_EQ(link.restartedGeneration, link.generation);

    const Bytes frame1 = concat({unit(1, {}), kFrame}), frame4 = concat({unit(4, {}), kFrame});
    EXPECT_EQ(player.sink->Audio(), (std::vector<Bytes>{frame1, frame4}));
    // The old generation's open unit ends with the first picture of the new one.
    EXPECT_EQ(player.sink->Video(), (std::vector<Bytes>{unit(4, {kP0}), unit(5, {kP0})}));
}

struct LostPlaceCase {
    const char* name;
    int generation; // 0: the first
    Bytes before;   // where the parser lost its place
};

void PrintTo(const LostPlaceCase& c, std::ostream* os) {
    *os << c.name;
}

class LostPlace : public ParserTest, public testing::WithParamInterface<LostPlaceCase> {};

// The parser lost its place (a new stream, an emptied ring): it takes the records again from the first
// one of the current generation (or the next) that is followed by another header, whatever came before.
TEST_P(LostPlace, RecordsAreFoundAgainInEveryGeneration) {
    const LostPlaceCase& c = GetParam();
    BoxLinkState& link = client.Link();
    for (int g = 0; g < c.generation; ++g) {
        link.StartNewGeneration();
        ++link.restartedGeneration;
    }
    const uint8_t v = link.videoRecordType, a = link.audioRecordType;
    parser.LosePlace();
    put(concat({c.before, video(1, kP0, v), audio(2, kFrame, a), video(3, kP1, v), video(4, kP0, v)}));
    drain();
    EXPECT_EQ(player.sink->Video(), std::vector<Bytes>{unit(4, {kP0, kP1})});
    EXPECT_EQ(player.sink->Audio(), std::vector<Bytes>{concat({unit(2, {}), kFrame})});
    EXPECT_EQ(ring.Stored(), 0u);
}

// A header of a record type with a plausible length, but no header where that record would end.
Bytes falseStart(uint8_t type) {
    return {type, 0x05, 0x00, 1, 2, 3, 4, 5, 0x77, 0xFF, 0xFF};
}

INSTANTIATE_TEST_SUITE_P(
    Stream, LostPlace,
    testing::Values(LostPlaceCase{"AtARecord", 0, {}},
                    LostPlaceCase{"AfterTheTailOfARecord", 0, concat({{0x00, 0x41, 0x9A}, Bytes(300, 0x5A)})},
                    LostPlaceCase{"AfterAFalseStartInTheSecondGeneration", 1, falseStart(31)},
                    LostPlaceCase{"AfterTheOldGenerationInTheSecond", 1,
                                  concat({video(1, Bytes(20, 0)), audio(1, Bytes(9, 0))})},
                    LostPlaceCase{"AfterGarbageInTheThird", 2,
                                  concat({{0x2F, 0xFF}, falseStart(42), Bytes(100, 0xA5), falseStart(47)})}),
    [](const testing::TestParamInfo<LostPlaceCase>& info) { return info.param.name; });

TEST_F(ParserTest, ALoneRecordStartIsTakenOnceTheNextHeaderIsThere) {
    parser.LosePlace();
    put(concat({Bytes(7, 0x99), video(1, kP0)}));
    EXPECT_EQ(drain(), std::vector<Step>{Step::Incomplete});
    put(concat({video(2, kP0), video(3, kP0)}));
    drain();
    EXPECT_EQ(player.sink->Video(), (std::vector<Bytes>{unit(2, {kP0}), unit(3, {kP0})}));
}

// Records of the next generation's types that keep coming, for a second without one of the current
// generation, mean that the box restarted its stream: the link follows, and they are used from then on.
TEST_F(ParserTest, TheNextGenerationsRecordsAloneMakeTheLinkFollowTheBox) {
    platform::SetTimeScale(10);
    BoxLinkState& link = client.Link();
    const auto next = [&](uint32_t timestamp, int records) {
        for (int i = 0; i < records; ++i)
            put(audio(timestamp, kFrame, 26));
        drain();
    };
    put(audio(1, kFrame));
    next(2, StreamRecordParser::kFollowRecords + 2); // too soon
    Sleep(StreamRecordParser::kFollowAfterMs);
    put(audio(3, kFrame)); // the current generation goes on after all
    next(4, 1);
    EXPECT_EQ(link.audioRecordType, 10);
    Sleep(StreamRecordParser::kFollowAfterMs);
    next(5, StreamRecordParser::kFollowRecords - 1); // the one of 4 counts too
    EXPECT_EQ(link.audioRecordType, 26);
    EXPECT_EQ(link.videoRecordType, 31);
    EXPECT_EQ(link.generation, 1u);
    EXPECT_EQ(link.restartedGeneration, 1u);
    next(6, 1);
    platform::SetTimeScale(1);
    const Bytes frame = kFrame;
    EXPECT_EQ(player.sink->Audio(),
              (std::vector<Bytes>{concat({unit(1, {}), frame}), concat({unit(3, {}), frame}),
                                  concat({unit(6, {}), frame})}));
}

struct FillCase {
    const char* name;
    bool live;
    DWORD fill; // free share of the video input ring in percent
    std::vector<Bytes> video;
};

void PrintTo(const FillCase& c, std::ostream* os) {
    *os << c.name;
}

class LiveContextRoom : public ParserTest, public testing::WithParamInterface<FillCase> {};

// Pictures of two slices each: the slice that completes a unit stays at the front of the assembly only
// while the live context has at least 10 % free.
TEST_P(LiveContextRoom, KeepsTheRestOfTheAssemblyOnlyWithRoom) {
    const FillCase& c = GetParam();
    player.live = c.live;
    player.sink->videoFill = c.fill;
    for (uint32_t t = 1; t <= 4; ++t)
        put(concat({video(t, kP0), video(t, kP1)}));
    put(video(5, kP0));
    drain();
    EXPECT_EQ(player.sink->Video(), c.video);
}

INSTANTIATE_TEST_SUITE_P(Stream, LiveContextRoom,
                         testing::Values(FillCase{"TenPercentFree",
                                                  true,
                                                  10,
                                                  {unit(2, {kP0, kP1}), unit(3, {kP0, kP1}),
                                                   unit(4, {kP0, kP1}), unit(5, {kP0, kP1})}},
                                         FillCase{"NinePercentFree",
                                                  true,
                                                  9,
                                                  {unit(2, {kP0, kP1}), unit(3, {kP1}), unit(4, {kP1}),
                                                   unit(5, {kP1})}},
                                         FillCase{"NotLive", false, 100, {}}),
                         [](const testing::TestParamInfo<FillCase>& info) { return info.param.name; });

struct NameCase {
    const char* name;
    std::string field; // the name field as the box sends it
    std::optional<std::wstring> accepted;
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.name;
}

class DownloadNames : public testing::TestWithParam<NameCase> {};

TEST_P(DownloadNames, OnlyPlainNamesInsideTheFolder) {
    const NameCase& c = GetParam();
    EXPECT_EQ(
        DownloadFileName(reinterpret_cast<const BYTE*>(c.field.data()), static_cast<DWORD>(c.field.size())),
        c.accepted);
}

INSTANTIATE_TEST_SUITE_P(Stream, DownloadNames,
                         testing::Values(NameCase{"Plain", "rec_0001.mp4", L"rec_0001.mp4"},
                                         NameCase{"UpToTheFirstNul", std::string("clip\0junk", 9), L"clip"},
                                         NameCase{"AtMostThirtyTwoBytes",
                                                  "abcdefghijklmnopqrstuvwxyz012345TAIL",
                                                  L"abcdefghijklmnopqrstuvwxyz012345"},
                                         NameCase{"LegacyCodePage", "caf\xE9.mp4", L"caf\u00E9.mp4"},
                                         NameCase{"Empty", std::string(32, '\0'), std::nullopt},
                                         NameCase{"Dot", ".", std::nullopt},
                                         NameCase{"DotDot", "..", std::nullopt},
                                         NameCase{"Slash", "../escape.mp4", std::nullopt},
                                         NameCase{"Backslash", "..\\escape.mp4", std::nullopt},
                                         NameCase{"Colon", "c:escape", std::nullopt},
                                         NameCase{"ControlCharacter", "bad\x01name", std::nullopt},
                                         NameCase{"Delete", "bad\x7Fname", std::nullopt}),
                         [](const testing::TestParamInfo<NameCase>& info) { return info.param.name; });

class ParserDownload : public ParserTest {
protected:
    ParserDownload() {
        std::filesystem::create_directories(temp / "dl");
        client.SetDownloadFolder(platform::BackslashPath(temp / "dl"));
        client.Channel().SendRequestFile(window.hwnd(), BoxFileItem{}); // remembers the window; no box
    }
    // The wParam of WM_BOX_FILE_RECEIVED after the records of one download.
    WPARAM download(const std::string& name, const Bytes& content) {
        put(concat({testbox::FileBegin(name), testbox::FileData(content), testbox::FileEnd()}));
        drain();
        const Posted* received = window.WaitFor(WM_BOX_FILE_RECEIVED, 1000);
        return received ? received->wParam : 99;
    }
    size_t filesUnder(const std::filesystem::path& folder) {
        size_t count = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            count += entry.is_regular_file();
        return count;
    }

    TempFolder temp;
};

TEST_F(ParserDownload, HostileNameFailsAndWritesNothing) {
    EXPECT_EQ(download("../escape.mp4", Bytes(5000, 7)), 1u);
    EXPECT_EQ(filesUnder(temp.root()), 0u);
}

TEST_F(ParserDownload, FolderThatCannotTakeTheFileFails) {
    client.SetDownloadFolder(platform::BackslashPath(temp / "missing"));
    EXPECT_EQ(download("clip.mp4", Bytes(10, 1)), 1u);
    EXPECT_EQ(filesUnder(temp.root()), 0u);
}

TEST_F(ParserDownload, PlainNameLandsInTheFolder) {
    Bytes content(70000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 31);
    EXPECT_EQ(download("clip.mp4", content), 0u);
    EXPECT_EQ(streamfixture::readFile((temp / "dl" / "clip.mp4").string()), content);
    EXPECT_EQ(parser.Download().Received(), content.size());
}

} // namespace
