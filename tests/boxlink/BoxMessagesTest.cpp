// The dispatcher's cutting of the box's messages out of the control ring: each kind whole, in pieces and
// coalesced with others, the lengths that are bounded before use, and the ring resets.
#include "ChannelFixture.h"

#include "boxlink/BoxMessages.h"

#include <cstring>

namespace {

using testbox::Bytes;
using Step = KQ_TCP_ControlChannel::DispatchStep;

struct Kind {
    const char* name;
    // Asks for the message (and answers the request) when the message follows a request.
    std::function<void(class BoxMessagesTest&)> request;
    Bytes message;
    UINT posted;
    LPARAM lParam;
    bool toMain = false;
};

class BoxMessagesTest : public ChannelFixture {
public:
    BoxMessagesTest() : ChannelFixture(1.0) {}
    void ask(const std::function<bool(KQ_TCP_ControlChannel&, HWND)>& send, std::uint32_t value) {
        ASSERT_TRUE(send(*channel, window.hwnd()));
        answer(sent(), value);
        dispatch();
    }
    const Recorder& target(const Kind& k) const { return k.toMain ? main : window; }
    // The data a posted message points at.
    static const BYTE* data(const Posted& p) { return reinterpret_cast<const BYTE*>(p.wParam); }
};

const testbox::Bytes kIr = testbox::IrBlock(3000);
const testbox::Bytes kList = testbox::FileList({{"a_part01", 1, 2, 0}, {"a_part02", 1, 2, 0}});
const testbox::Bytes kInfo = testbox::BoxInfo();
const testbox::Bytes kTable = testbox::ChannelTable({{2, 0x1000}, {5, 0x2000}, {9, 0x3000}});
const testbox::Bytes kNotice = testbox::TaskNotice(0x30);

const Kind kKinds[] = {
    {"IrData", [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetIrData(w); }, 3000); },
     kIr, WM_BOX_IR_DATA, 3000},
    {"FileList",
     [](BoxMessagesTest& t) {
         t.ask([](auto& c, HWND w) { return c.SendGetFileList(w); },
               static_cast<std::uint32_t>(kList.size()));
     },
     kList, WM_BOX_FILE_LIST, 0},
    {"BoxInfo", [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetBoxInfo(w); }, 1); },
     kInfo, WM_BOX_INFO, 1002},
    {"ChannelTable",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetChannelTable(w); }, 1); }, kTable,
     WM_BOX_CHANNEL_TABLE, 3},
    {"TaskNotice", [](BoxMessagesTest&) {}, kNotice, WM_BOX_TASK_NOTICE, 0, true},
};

void checkData(const Kind& k, const Posted& p) {
    const BYTE* data = BoxMessagesTest::data(p);
    switch (k.posted) {
    case WM_BOX_IR_DATA:
    case WM_BOX_INFO:
        EXPECT_EQ(std::memcmp(data, k.message.data(), k.message.size()), 0);
        break;
    case WM_BOX_CHANNEL_TABLE:
        EXPECT_EQ(std::memcmp(data, k.message.data() + 2, 24), 0);
        EXPECT_TRUE(std::all_of(data + 24, data + 1024, [](BYTE b) { return b == 0; }));
        break;
    case WM_BOX_TASK_NOTICE:
        EXPECT_EQ(std::memcmp(data, k.message.data() + 1, 79), 0);
        break;
    case WM_BOX_FILE_LIST: {
        const auto* list = reinterpret_cast<const BoxFileList*>(p.wParam);
        ASSERT_EQ(list->size(), 1u);
        EXPECT_STREQ((*list)[0].name.data(), "a.mp4");
        EXPECT_EQ((*list)[0].items.size(), 2u);
        break;
    }
    }
}

TEST_F(BoxMessagesTest, EachKindWholeInPiecesAndCoalesced) {
    for (const Kind& k : kKinds) {
        SCOPED_TRACE(k.name);
        for (const char* delivery : {"whole", "pieces", "coalesced"}) {
            SCOPED_TRACE(delivery);
            window.clear();
            main.clear();
            k.request(*this);
            const Recorder& to = target(k);
            if (std::string(delivery) == "whole") {
                feed(k.message);
            } else if (std::string(delivery) == "pieces") {
                // Cut at its first byte, inside its header and one byte before its end.
                std::size_t from = 0;
                for (std::size_t cut :
                     {std::size_t{1}, std::size_t{2}, k.message.size() - 1, k.message.size()}) {
                    feed(Bytes(k.message.begin() + static_cast<long>(from),
                               k.message.begin() + static_cast<long>(cut)));
                    from = cut;
                    const Step step = dispatch();
                    EXPECT_EQ(to.count(k.posted), cut == k.message.size() ? 1 : 0) << cut;
                    EXPECT_EQ(step, cut == k.message.size() ? Step::Empty : Step::Incomplete) << cut;
                }
            } else {
                // Behind a frame and followed by the next kind's message, in one write.
                ASSERT_TRUE(channel->SendSetChannel(window.hwnd(), 5));
                const testbox::Frame request = sent();
                testbox::Frame reply =
                    testbox::MakeFrame(testbox::Get32(request.data() + 4), BOX_CMD_SET_CHANNEL, 1);
                Bytes all(reply.begin(), reply.end());
                all.insert(all.end(), k.message.begin(), k.message.end());
                all.insert(all.end(), kNotice.begin(), kNotice.end());
                feed(all);
            }
            EXPECT_EQ(dispatch(), Step::Empty);
            const bool coalesced = std::string(delivery) == "coalesced";
            ASSERT_EQ(to.count(k.posted), coalesced && k.toMain ? 2 : 1);
            const Posted p = to.of(k.posted)[0];
            EXPECT_EQ(p.lParam, k.lParam);
            checkData(k, p);
            if (coalesced) {
                EXPECT_EQ(window.count(WM_BOX_CHANNEL_SET), 1);
                EXPECT_EQ(main.count(WM_BOX_TASK_NOTICE), k.toMain ? 2 : 1);
            }
            EXPECT_EQ(channel->PendingCount(), 0u);
        }
    }
}

TEST_F(BoxMessagesTest, EmptyChannelTableIsHandledFromItsTwoBytes) {
    ask([](auto& c, HWND w) { return c.SendGetChannelTable(w); }, 1);
    feed(Bytes{0xAA, 0});
    EXPECT_EQ(dispatch(), Step::Empty);
    ASSERT_EQ(window.count(WM_BOX_CHANNEL_TABLE), 1);
    EXPECT_EQ(window.of(WM_BOX_CHANNEL_TABLE)[0].lParam, 0);
}

TEST_F(BoxMessagesTest, ABufferTheWindowKeepsIsNeverOverwritten) {
    ask([](auto& c, HWND w) { return c.SendGetChannelTable(w); }, 1);
    feed(testbox::ChannelTable({{1, 0x111}}));
    feed(testbox::ChannelTable({{2, 0x222}, {3, 0x333}}));
    ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, static_cast<std::uint32_t>(kList.size()));
    feed(kList);
    const Bytes other = testbox::FileList({{"zz_part1", 0, 1, 0}});
    ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, static_cast<std::uint32_t>(other.size()));
    feed(other);
    dispatch();
    const std::vector<Posted> tables = window.of(WM_BOX_CHANNEL_TABLE);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(LoadU32(data(tables[0]) + 4), 0x111u);
    EXPECT_EQ(LoadU32(data(tables[1]) + 4), 0x222u);
    const std::vector<Posted> lists = window.of(WM_BOX_FILE_LIST);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_STREQ(reinterpret_cast<const BoxFileList*>(lists[0].wParam)->front().name.data(), "a.mp4");
    EXPECT_STREQ(reinterpret_cast<const BoxFileList*>(lists[1].wParam)->front().name.data(), "z.mp4");
}

struct Malformed {
    const char* name;
    std::function<void(BoxMessagesTest&)> request;
    Bytes message;
    UINT failure;   // 0: no message
    bool dropsRest; // the ring is reset: what came with the message goes too
};

void PrintTo(const Malformed& c, std::ostream* os) {
    *os << c.name;
}

const Malformed kMalformed[] = {
    {"IrLengthZero", [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetIrData(w); }, 0); },
     testbox::IrBlock(8), WM_BOX_IR_DATA_FAILED, true},
    {"IrLengthOfTheWholeRing",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetIrData(w); }, 0x80000); },
     testbox::IrBlock(8), WM_BOX_IR_DATA_FAILED, true},
    {"ChannelTableOver128",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetChannelTable(w); }, 1); },
     Bytes{0xAA, 129, 1, 2, 3}, 0, true},
    {"FileListAnnouncedTooLong",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, 32769); },
     testbox::FileList({{"a_part01", 0, 1, 0}}), 0, true},
    {"FileListPieceCountZero",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, 42); },
     testbox::FileList({{"a_part01", 0, 0, 0}}), WM_BOX_FILE_LIST_FAILED, false},
    {"FileListPiecesPastTheEnd",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, 42); },
     testbox::FileList({{"a_part01", 0, 3, 0}}), WM_BOX_FILE_LIST_FAILED, false},
    {"FileListShorterThanItsCount",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, 4); },
     Bytes{11, 1, 0, 0}, WM_BOX_FILE_LIST_FAILED, false},
    {"UnknownFirstByte", [](BoxMessagesTest&) {}, Bytes{0x77}, 0, true},
    {"FrameWhoseTypeIsNot12", [](BoxMessagesTest&) {}, Bytes{12, 1, 0, 0}, 0, true},
};

class MalformedTest : public BoxMessagesTest, public ::testing::WithParamInterface<Malformed> {};

TEST_P(MalformedTest, IsDroppedAndTheFailureReported) {
    const Malformed& m = GetParam();
    m.request(*this);
    window.clear();
    // A reply that arrives in the same write goes with the ring when the ring is reset.
    ASSERT_TRUE(channel->SendSetChannel(window.hwnd(), 1));
    const testbox::Frame request = sent();
    Bytes all = m.message;
    const testbox::Frame reply =
        testbox::MakeFrame(testbox::Get32(request.data() + 4), BOX_CMD_SET_CHANNEL, 1);
    all.insert(all.end(), reply.begin(), reply.end());
    feed(all);
    EXPECT_EQ(dispatch(), Step::Empty);
    EXPECT_EQ(channel->ControlRing().Stored(), 0u);
    EXPECT_EQ(window.count(WM_BOX_CHANNEL_SET), m.dropsRest ? 0 : 1);
    ASSERT_EQ(window.count(m.failure), m.failure ? 1 : 0);
    EXPECT_EQ(window.all().size(), (m.failure ? 1u : 0u) + (m.dropsRest ? 0u : 1u));
    // What comes next is read again.
    answer(request, 1);
    dispatch();
    EXPECT_EQ(window.count(WM_BOX_CHANNEL_SET), 1);
}

INSTANTIATE_TEST_SUITE_P(Messages, MalformedTest, ::testing::ValuesIn(kMalformed),
                         [](const auto& info) { return std::string(info.param.name); });

struct Stuck {
    const char* name;
    std::function<void(BoxMessagesTest&)> request;
    Bytes part;
    UINT failure; // 0: the ring is given up without a message
    bool toMain = false;
};

void PrintTo(const Stuck& c, std::ostream* os) {
    *os << c.name;
}

const Stuck kStuck[] = {
    {"Frame", [](BoxMessagesTest&) {},
     [] {
         Bytes part(100, 0);
         part[0] = 12;
         return part;
     }(),
     0},
    {"IrData", [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetIrData(w); }, 50); },
     Bytes{10, 1, 2}, WM_BOX_IR_DATA_FAILED},
    {"FileList", [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetFileList(w); }, 42); },
     Bytes{11, 1, 0}, 0},
    {"BoxInfo", [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetBoxInfo(w); }, 1); },
     Bytes{13, 1, 2, 3}, WM_BOX_INFO_FAILED},
    {"ChannelTable",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetChannelTable(w); }, 1); },
     Bytes{0xAA, 2, 1}, WM_BOX_CHANNEL_TABLE_FAILED},
    {"ChannelTableCountMissing",
     [](BoxMessagesTest& t) { t.ask([](auto& c, HWND w) { return c.SendGetChannelTable(w); }, 1); },
     Bytes{0xAA}, WM_BOX_CHANNEL_TABLE_FAILED},
    {"TaskNotice", [](BoxMessagesTest&) {}, Bytes{0xEB, 1}, 0},
};

class StuckTest : public BoxMessagesTest, public ::testing::WithParamInterface<Stuck> {};

TEST_P(StuckTest, IncompleteMessageIsGivenUpAfterFiftyLooks) {
    const Stuck& s = GetParam();
    s.request(*this);
    window.clear();
    feed(s.part);
    for (int look = 1; look <= 50; ++look)
        ASSERT_EQ(channel->DispatchOnce(), Step::Incomplete) << look;
    EXPECT_EQ(channel->DispatchOnce(), Step::Handled);
    EXPECT_EQ(channel->DispatchOnce(), Step::Empty);
    platform::PumpPending();
    ASSERT_EQ(window.all().size(), s.failure ? 1u : 0u);
    if (s.failure) {
        EXPECT_EQ(window.all()[0].message, s.failure);
    }
    // The counter starts again: a complete message after a few looks is handled.
    feed(testbox::TaskNotice(1));
    dispatch();
    EXPECT_EQ(main.count(WM_BOX_TASK_NOTICE), 1);
}

INSTANTIATE_TEST_SUITE_P(Messages, StuckTest, ::testing::ValuesIn(kStuck),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoxMessagesTest, BoxInformationAnswersItsRequestWithoutTheFrameReply) {
    ASSERT_TRUE(channel->SendGetBoxInfo(window.hwnd()));
    sent();
    EXPECT_EQ(channel->PendingCount(), 1u);
    feed(kInfo);
    dispatch();
    EXPECT_EQ(window.count(WM_BOX_INFO), 1);
    EXPECT_EQ(channel->PendingCount(), 0u);
}

} // namespace
