#include "media/EsBitReader.h"

#include "tests/support/NalBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Bits written as a string of '0' and '1', padded with zeros to whole bytes.
std::vector<uint8_t> fromBits(const std::string& bits) {
    BitWriter w;
    for (char c : bits)
        w.bit(c == '1');
    return w.bytes();
}

TEST(EsBitReader, ReadsMostSignificantBitFirstAcrossBytes) {
    const std::vector<uint8_t> data = {0xA5, 0x3C, 0xFF, 0x01, 0x80};
    EsBitReader r(data.data(), data.size());
    EXPECT_EQ(r.GetBits(1), 1u);
    EXPECT_EQ(r.GetBits(3), 0x2u);
    EXPECT_EQ(r.GetBits(0), 0u);
    EXPECT_EQ(r.PeekBits(12), 0x53Cu);
    EXPECT_EQ(r.GetBits(32), 0x53CFF018u);
    EXPECT_EQ(r.BitsRemain(), 4u);
    EXPECT_EQ(r.GetBits(4), 0u);
    EXPECT_EQ(r.BitsRemain(), 0u);
}

TEST(EsBitReader, FailedReadsRaiseAndLeaveThePositionAlone) {
    const std::vector<uint8_t> data = {0xF0, 0x0F, 0x12, 0x34, 0x56};
    EsBitReader r(data.data(), data.size());
    r.GetBits(4);
    EXPECT_THROW(r.GetBits(33), BitstreamErr_t);
    EXPECT_THROW(r.GetBits(37), BitstreamErr_t);
    EXPECT_THROW(r.PeekBits(37), BitstreamErr_t);
    try {
        r.GetBits(40);
        FAIL();
    } catch (BitstreamErr_t e) {
        EXPECT_EQ(e, BitstreamErrTooManyBits);
    }
    EXPECT_EQ(r.GetBits(32), 0x00F12345u);
    try {
        r.GetBits(5);
        FAIL();
    } catch (BitstreamErr_t e) {
        EXPECT_EQ(e, BitstreamErrPastEnd);
    }
    EXPECT_EQ(r.GetBits(4), 0x6u);

    EsBitReader empty(nullptr, 0);
    EXPECT_EQ(empty.GetBits(0), 0u);
    EXPECT_THROW(empty.GetBits(1), BitstreamErr_t);
}

struct GolombCase {
    std::string bits;
    uint32_t ue;
    int32_t se;
};

TEST(EsBitReader, ExpGolombCodes) {
    const std::string zeros31(31, '0');
    const GolombCase cases[] = {
        {"1", 0, 0},
        {"010", 1, 1},
        {"011", 2, -1},
        {"00100", 3, 2},
        {"00101", 4, -2},
        {"0001000", 7, 4},
        {std::string(8, '0') + "1" + std::string(8, '0'), 255, 128}, // the zero run fills a byte
        {std::string(16, '0') + "1" + std::string(16, '0'), 0xFFFF, 32768},
        {zeros31 + "1" + std::string(31, '1'), 0xFFFFFFFEu, -0x7FFFFFFF},
        {zeros31 + "1" + std::string(30, '1') + "0", 0xFFFFFFFDu, 0x7FFFFFFF},
    };
    for (const GolombCase& c : cases) {
        SCOPED_TRACE(c.bits);
        const std::vector<uint8_t> data = fromBits(c.bits + "1"); // a marker bit behind the code
        EsBitReader u(data.data(), data.size());
        EXPECT_EQ(EsReadUe(u), c.ue);
        EXPECT_EQ(u.GetBits(1), 1u);
        EsBitReader s(data.data(), data.size());
        EXPECT_EQ(EsReadSe(s), c.se);
    }
}

TEST(EsBitReader, ExpGolombAtTheEndOfTheData) {
    // Three bits left: the look-ahead takes what remains.
    const std::vector<uint8_t> last = {0xFA}; // 11111 010
    EsBitReader r(last.data(), last.size());
    r.GetBits(5);
    EXPECT_EQ(EsReadUe(r), 1u);
    EXPECT_EQ(r.BitsRemain(), 0u);

    const std::string cutOff[] = {"00000010", "0000000000000001", "", std::string(40, '0') + "1"};
    for (const std::string& bits : cutOff) {
        SCOPED_TRACE(bits);
        const std::vector<uint8_t> data = fromBits(bits);
        EsBitReader cut(data.data(), data.size());
        EXPECT_THROW(EsReadUe(cut), BitstreamErr_t);
    }
}

struct ScalingCase {
    const char* name;
    uint32_t size;
    std::vector<int> deltas; // the delta_scale values present in the stream
};

TEST(EsBitReader, ScalingListStopsWhereNextScaleBecomesZero) {
    const ScalingCase cases[] = {
        {"flat 4x4", 16, std::vector<int>(16, 0)},
        {"default at once", 16, {-8}},
        {"zero after five", 16, {0, 0, 0, 0, 0, -8}},
        {"zero after a change", 16, {4, -12}},
        {"wraps without reaching zero", 16, {-10, 250, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        {"8x8 ramp", 64, std::vector<int>(64, 1)},
        {"8x8 stop at 40", 64,
         [] {
             std::vector<int> d(40, 1);
             d.push_back(-48);
             return d;
         }()},
    };
    for (const ScalingCase& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        for (int delta : c.deltas)
            w.se(delta);
        w.bits(0x2D, 6); // marker
        EsBitReader r(w.bytes().data(), w.bytes().size());
        EsSkipScalingList(r, c.size);
        EXPECT_EQ(r.GetBits(6), 0x2Du);
    }
}

} // namespace
