// The CAVLC block reader against blocks written here by the rules of the standard (coeff_token, trailing
// ones, level prefix and suffix with their escapes, total_zeros, run_before), on random blocks of every
// kind and on the edge cases: full blocks, three trailing ones, long zero runs, the largest levels.
#include "h264/Cavlc.h"
#include "h264/BitReader.h"
#include "h264/CavlcTables.h"
#include "h264/MacroblockTables.h"
#include "tests/h264/StreamWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

using namespace h264;
using namespace h264::cavlc;
using h264test::BitWriter;

namespace {

// nC -1 is chroma DC (4 coefficients); maxNumCoeff 15 is an AC block.
struct BlockKind {
    int nC;
    int maxNumCoeff;
};

void writeCode(BitWriter& w, uint8_t len, uint8_t code) {
    ASSERT_GT(len, 0);
    w.bits(code, len);
}

// levels: by scan index, maxNumCoeff of them.
void writeBlock(BitWriter& w, BlockKind kind, const std::vector<int>& levels) {
    std::vector<int> nonZero; // scan indices, highest frequency first
    for (int k = kind.maxNumCoeff - 1; k >= 0; --k)
        if (levels[k])
            nonZero.push_back(k);
    const int tc = int(nonZero.size());
    int t1 = 0;
    while (t1 < tc && t1 < 3 && std::abs(levels[nonZero[t1]]) == 1)
        ++t1;
    if (kind.nC < 0) {
        writeCode(w, kChromaDcTokenLen[4 * tc + t1], kChromaDcTokenCode[4 * tc + t1]);
    } else {
        const int table = kind.nC < 2 ? 0 : kind.nC < 4 ? 1 : kind.nC < 8 ? 2 : 3;
        writeCode(w, kCoeffTokenLen[table][4 * tc + t1], kCoeffTokenCode[table][4 * tc + t1]);
    }
    if (tc == 0)
        return;
    for (int i = 0; i < t1; ++i)
        w.flag(levels[nonZero[i]] < 0);
    int suffixLength = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = t1; i < tc; ++i) {
        const int level = levels[nonZero[i]];
        int levelCode = level > 0 ? 2 * level - 2 : -2 * level - 1;
        if (i == t1 && t1 < 3)
            levelCode -= 2;
        int prefix = 0, suffix = 0, suffixSize = 0;
        if (suffixLength == 0 && levelCode < 14) {
            prefix = levelCode;
        } else if (suffixLength == 0 && levelCode < 30) {
            prefix = 14, suffix = levelCode - 14, suffixSize = 4;
        } else if (suffixLength > 0 && (levelCode >> suffixLength) < 15) {
            prefix = levelCode >> suffixLength, suffix = levelCode & ((1 << suffixLength) - 1);
            suffixSize = suffixLength;
        } else {
            prefix = 15, suffix = levelCode - (15 << suffixLength) - (suffixLength == 0 ? 15 : 0);
            suffixSize = 12;
            ASSERT_LT(suffix, 4096) << "level " << level << " needs a longer escape";
        }
        w.bits(1, prefix + 1);
        if (suffixSize)
            w.bits(uint32_t(suffix), suffixSize);
        if (suffixLength == 0)
            suffixLength = 1;
        if (std::abs(level) > (3 << (suffixLength - 1)) && suffixLength < 6)
            ++suffixLength;
    }
    int zerosLeft = nonZero[0] + 1 - tc;
    if (tc < kind.maxNumCoeff) {
        if (kind.nC < 0)
            writeCode(w, kChromaDcZerosLen[tc - 1][zerosLeft], kChromaDcZerosCode[tc - 1][zerosLeft]);
        else
            writeCode(w, kTotalZerosLen[tc - 1][zerosLeft], kTotalZerosCode[tc - 1][zerosLeft]);
    }
    for (int i = 0; i + 1 < tc && zerosLeft > 0; ++i) {
        const int run = nonZero[i] - nonZero[i + 1] - 1;
        const int table = (zerosLeft < 7 ? zerosLeft : 7) - 1;
        writeCode(w, kRunLen[table][run], kRunCode[table][run]);
        zerosLeft -= run;
    }
}

struct Decoded {
    int totalCoeff;
    uint32_t bitsRead;
    std::vector<int16_t> coefficients;
};

// Decodes one block written at an odd bit offset (so codes straddle bytes), followed by a marker.
Decoded decodeBlock(BlockKind kind, const std::vector<int>& levels, const uint8_t* scan,
                    const int32_t* scale) {
    BitWriter w;
    w.bits(0b101, 3);
    writeBlock(w, kind, levels);
    w.trailing();
    std::vector<uint8_t> bytes = w.bytes();
    const uint32_t bitCount = uint32_t(bytes.size() - 1) * 8;
    bytes.resize(bytes.size() + kNalPadding);
    H264BitReader reader;
    reader.buffer = bytes.data();
    reader.bitCount = bitCount;
    reader.position = 3;
    Decoded d;
    d.coefficients.assign(16, 0);
    d.totalCoeff = DecodeResidualBlock(reader, kind.nC, kind.maxNumCoeff, scan, scale, d.coefficients.data());
    d.bitsRead = reader.position - 3;
    return d;
}

uint32_t bitsOf(BlockKind kind, const std::vector<int>& levels) {
    BitWriter w;
    writeBlock(w, kind, levels);
    w.trailing();
    // trailing() adds the stop bit and up to 7 zeros: count back to the stop bit.
    const std::vector<uint8_t>& b = w.bytes();
    uint32_t bits = uint32_t(b.size()) * 8;
    for (uint8_t last = b.back(); !(last & 1); last >>= 1)
        --bits;
    return bits - 1;
}

void expectRoundTrip(BlockKind kind, const std::vector<int>& levels, const int32_t* scale) {
    const uint8_t* scan = kind.maxNumCoeff == 15 ? kZigzag4x4 + 1 : kZigzag4x4;
    const Decoded d = decodeBlock(kind, levels, scan, scale);
    int tc = 0;
    std::vector<int16_t> expected(16, 0);
    for (int k = 0; k < kind.maxNumCoeff; ++k)
        if (levels[k]) {
            ++tc;
            expected[scan[k]] = int16_t(levels[k] * scale[scan[k]]);
        }
    std::string text;
    for (int v : levels)
        text += std::to_string(v) + " ";
    ASSERT_EQ(d.totalCoeff, tc) << "nC " << kind.nC << " max " << kind.maxNumCoeff << ": " << text;
    EXPECT_EQ(d.coefficients, expected) << "nC " << kind.nC << ": " << text;
    EXPECT_EQ(d.bitsRead, bitsOf(kind, levels)) << "nC " << kind.nC << ": " << text;
}

const BlockKind kKinds[] = {{0, 16}, {1, 16},  {2, 16}, {3, 15}, {5, 16}, {7, 15},
                            {8, 16}, {16, 15}, {-1, 4}, {0, 15}, {9, 16}};

int32_t kScale[16];
const int32_t kOnes[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

TEST(Cavlc, RandomBlocksOfEveryKindRoundTrip) {
    std::mt19937 random(24);
    for (int& s : kScale)
        s = int32_t(random() % 80) + 10;
    for (const BlockKind kind : kKinds) {
        for (int n = 0; n < 4000; ++n) {
            std::vector<int> levels(16, 0);
            // Dense or sparse blocks, small or large levels, ones most often as in real streams.
            const int density = int(random() % 5), magnitude = int(random() % 4);
            for (int k = 0; k < kind.maxNumCoeff; ++k) {
                if (int(random() % 8) > 2 * density)
                    continue;
                const int limit = magnitude == 0 ? 1 : magnitude == 1 ? 3 : magnitude == 2 ? 40 : 2000;
                const int v = 1 + int(random() % uint32_t(limit));
                levels[k] = random() & 1 ? -v : v;
            }
            expectRoundTrip(kind, levels, n & 1 ? kScale : kOnes);
        }
    }
}

TEST(Cavlc, EdgeBlocksRoundTrip) {
    for (int& s : kScale)
        s = 1;
    struct Case {
        const char* name;
        std::vector<int> levels;
    } cases[] = {
        {"empty", std::vector<int>(16, 0)},
        {"full of ones", std::vector<int>(16, -1)},
        {"full, growing", {1, -2, 3, -4, 5, -6, 7, -8, 9, -10, 11, -12, 13, -14, 15, -16}},
        {"three trailing ones and more", {9, 0, 0, 4, 0, -1, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0}},
        {"lone last coefficient", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}},
        {"first and last", {-3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {"long runs", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, -5}},
        {"long run after a short one", {4, 0, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 2}},
        {"short runs down to none", {1, 1, 0, -1, 0, 0, 2, 0, 1, 0, 0, -3, 0, 1, 0, 0}},
        {"escape at every suffix length",
         {2063, -1000, 500, -200, 100, -50, 25, -12, 6, -3, 2, 0, 0, 0, 0, 0}},
        {"largest first level", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2063}},
        {"level 15 boundary", {0, 15, 0, 0, -16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0}},
        {"eleven levels, two trailing ones", {3, 4, -5, 6, 7, -8, 9, 10, 11, -1, 1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const BlockKind kind : kKinds) {
            std::vector<int> levels = c.levels;
            for (int k = kind.maxNumCoeff; k < 16; ++k)
                levels[k] = 0;
            expectRoundTrip(kind, levels, kOnes);
        }
    }
}

TEST(Cavlc, CodesOutsideTheBaselineRangeAreRefused) {
    int16_t out[16] = {};
    const auto decode = [&](const BitWriter& w, int nC) {
        std::vector<uint8_t> bytes = w.bytes();
        bytes.resize(bytes.size() + kNalPadding);
        H264BitReader reader;
        reader.buffer = bytes.data();
        reader.bitCount = uint32_t(bytes.size() - kNalPadding - 1) * 8;
        return DecodeResidualBlock(reader, nC, 16, kZigzag4x4, kOnes, out);
    };
    BitWriter prefix16;
    prefix16.bits(0b000101, 6); // TotalCoeff 1, no trailing ones
    prefix16.bits(1, 17);       // level_prefix 16
    prefix16.trailing();
    EXPECT_EQ(decode(prefix16, 0), -1) << "level_prefix 16";
    BitWriter longRun;
    longRun.bits(0b001, 3);  // TotalCoeff 2, two trailing ones
    longRun.bits(0b00, 2);   // both positive
    longRun.bits(0b0010, 4); // total_zeros 8
    longRun.bits(1, 11);     // run_before 14
    longRun.trailing();
    EXPECT_EQ(decode(longRun, 0), -1) << "run past the zeros left";
    BitWriter sixteenZeros;
    sixteenZeros.bits(0, 16);
    sixteenZeros.bits(1, 1);
    sixteenZeros.trailing();
    EXPECT_EQ(decode(sixteenZeros, 0), -1) << "coeff_token of sixteen zeros";
}

} // namespace
