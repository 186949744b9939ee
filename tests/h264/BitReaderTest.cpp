#include "h264/BitReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace h264;

namespace {

// A reader over a unit given as a string of bits; the last byte of the unit holds the stop bit.
struct Unit {
    explicit Unit(const std::string& bitString) : bytes((bitString.size() + 8) / 8 + 1 + kNalPadding, 0) {
        for (size_t i = 0; i < bitString.size(); ++i)
            if (bitString[i] == '1')
                bytes[i / 8] |= uint8_t(0x80 >> (i % 8));
        const size_t stop = bitString.size();
        bytes[stop / 8] |= uint8_t(0x80 >> (stop % 8));
        reader.buffer = bytes.data();
        reader.bitCount = uint32_t(stop / 8) * 8;
    }
    std::vector<uint8_t> bytes;
    H264BitReader reader;
};

TEST(BitReader, CountsLeadingZerosOfEveryNibblePosition) {
    EXPECT_EQ(CountLeadingZeros32(0), 32);
    for (int zeros = 0; zeros < 32; ++zeros) {
        EXPECT_EQ(CountLeadingZeros32(0x80000000u >> zeros), zeros);
        EXPECT_EQ(CountLeadingZeros32((0x80000000u >> zeros) | 1), zeros) << zeros;
    }
}

TEST(BitReader, ReadsExpGolombCodes) {
    struct Case {
        std::string bits;
        uint32_t ue;
        int32_t se;
    } cases[] = {
        {"1", 0, 0},
        {"010", 1, 1},
        {"011", 2, -1},
        {"00111", 6, -3},
        {"00100", 3, 2},
        {"0001000", 7, 4},
        {std::string(16, '0') + "1" + std::string(16, '0'), 65535, 32768},
        {std::string(31, '0') + "1" + std::string(31, '1'), 0xFFFFFFFEu, -2147483647},
    };
    for (const Case& c : cases) {
        Unit a(c.bits), b(c.bits);
        EXPECT_EQ(ReadUe(a.reader), c.ue) << c.bits;
        EXPECT_EQ(ReadSe(b.reader), c.se) << c.bits;
        EXPECT_EQ(a.reader.position, c.bits.size());
        EXPECT_FALSE(a.reader.invalid);
    }
}

TEST(BitReader, MoreThan31LeadingZerosIsInvalid) {
    Unit u(std::string(40, '0') + "1");
    ReadUe(u.reader);
    EXPECT_TRUE(u.reader.invalid);
}

TEST(BitReader, ReadsPastTheUnitYieldZerosAndSetOverrun) {
    Unit u("1011");
    EXPECT_EQ(ReadBits(u.reader, 4), 0xBu);
    EXPECT_FALSE(u.reader.overrun());
    for (int i = 0; i < 1000; ++i)
        ReadBits(u.reader, 32);
    EXPECT_EQ(ReadBits(u.reader, 32), 0u);
    EXPECT_TRUE(u.reader.overrun());
}

TEST(BitReader, MoreRbspDataStopsAtTheStopBit) {
    struct Case {
        const char* bits;
        uint32_t position;
        bool more;
    } cases[] = {
        {"101", 0, true},          {"101", 2, true}, {"101", 3, false}, {"1010000000", 9, true},
        {"1010000000", 10, false}, {"", 0, false},   {"", 9, false},    {"1", 100, false},
    };
    for (const Case& c : cases) {
        Unit u(c.bits);
        u.reader.position = c.position;
        EXPECT_EQ(MoreRbspData(u.reader), c.more) << c.bits << " at " << c.position;
    }
}

} // namespace
