#include "media/EsH264.h"

#include "tests/support/NalBuilder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

struct Message {
    uint32_t type;
    Bytes payload;
};

// The payload of an SEI (before emulation prevention): each message's type and size as runs of
// 0xFF plus a final byte, its payload, then the trailing bits.
Bytes seiPayload(const std::vector<Message>& messages, bool trailing = true) {
    Bytes rbsp;
    auto number = [&rbsp](size_t v) {
        for (; v >= 255; v -= 255)
            rbsp.push_back(0xFF);
        rbsp.push_back(static_cast<uint8_t>(v));
    };
    for (const Message& m : messages) {
        number(m.type);
        number(m.payload.size());
        rbsp.insert(rbsp.end(), m.payload.begin(), m.payload.end());
    }
    if (trailing)
        rbsp.push_back(0x80);
    return rbsp;
}

Bytes sei(const std::vector<Message>& messages, int startCode = 4) {
    return makeNal(0x06, seiPayload(messages), startCode);
}

const Message kUserData{5, Bytes(20, 0x5A)};
const Message kFiller{3, Bytes(7, 0xFF)};
const Message kBufferingPeriod{0, {0x80, 0x12, 0x34}};
const Message kPicTiming{1, {0x00, 0x08}};

struct StripCase {
    const char* name;
    Bytes in;
    bool kept;
    Bytes out; // when kept
    int startCode = 4;
};

TEST(EsSei, StripsFillerAndSubSequenceMessages) {
    const Message bigFiller{3, Bytes(300, 0xFF)};   // size coded as FF 2D
    const Message type258{258, {0x01, 0x02, 0x03}}; // type coded as FF 03: not a filler
    const Message emulated{5, {0x00, 0x00, 0x01, 0x00, 0x00, 0x02, 0x44}}; // escaped in the unit
    Bytes overrun = sei({kUserData});
    overrun[6] = 40; // size of the message beyond the end of the unit
    Bytes cutInNumber = makeNal(0x06, {0xFF, 0xFF, 0xFF});
    const StripCase cases[] = {
        {"filler only", sei({kFiller}), false, {}},
        {"user data and filler", sei({kUserData, kFiller}), true, sei({kUserData})},
        {"types 10, 11 and 12 go too",
         sei({kBufferingPeriod, {10, {1, 2}}, kPicTiming, {11, {3}}, {12, {4, 5}}}), true,
         sei({kBufferingPeriod, kPicTiming})},
        {"nothing to strip", sei({kUserData, kPicTiming}), true, sei({kUserData, kPicTiming})},
        {"long filler", sei({bigFiller, kPicTiming}), true, sei({kPicTiming})},
        {"payload type above 255", sei({type258, kFiller}), true, sei({type258})},
        {"sizes count unescaped bytes", sei({kFiller, emulated, kFiller}), true, sei({emulated})},
        {"3-byte start code", sei({kFiller, kUserData}, 3), true, sei({kUserData}, 3), 3},
        {"all stripped, no trailing bits", makeNal(0x06, seiPayload({kFiller}, false)), false, {}},
        {"message past the end", overrun, false, {}},
        {"size byte missing", cutInNumber, false, {}},
        {"empty SEI", makeNal(0x06, {0x80}), true, makeNal(0x06, {0x80})},
        {"header only", Bytes{0, 0, 0, 1, 0x06}, false, {}},
    };
    for (const StripCase& c : cases) {
        SCOPED_TRACE(c.name);
        EsNalReader reader;
        reader.Reset(c.in.data(), c.in.size());
        ASSERT_TRUE(reader.Next());
        EXPECT_EQ(EsStripSeiMessages(reader, c.startCode), c.kept);
        if (c.kept) {
            EXPECT_EQ(reader.Unit(), c.out);
        }
    }
}

} // namespace
