#include "h264/Cavlc.h"

#include "h264/CavlcTables.h"
#include "h264/Context.h"
#include "h264/MacroblockTables.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace h264 {

namespace {

using namespace cavlc;

// Entry of a token lookup: length (bits 0-4), TotalCoeff (5-9), TrailingOnes (10-11); 0 is no code.
constexpr uint16_t token(int len, int tc, int t1) {
    return uint16_t(len | tc << 5 | t1 << 10);
}

// Tokens indexed by 8 * leading zeros (16 for 16 or more) + the three bits after the leading one.
struct TokenTable {
    std::array<uint16_t, 17 * 8> entries{};
    bool ok = true;
};

constexpr TokenTable buildTokens(const uint8_t* len, const uint8_t* code, int count) {
    TokenTable t;
    for (int i = 0; i < count; ++i) {
        if (!len[i])
            continue;
        if (!code[i]) {
            // The one all-zero code (chroma DC 0000000): every row from its length on.
            for (int k = 8 * len[i]; k < 17 * 8; ++k)
                t.entries[k] = token(len[i], i >> 2, i & 3);
            continue;
        }
        int width = 0;
        while (code[i] >> width)
            ++width;
        const int zeros = len[i] - width, rest = width - 1;
        if (rest > 3 || zeros > 15) {
            t.ok = false;
            continue;
        }
        const int suffix = code[i] & ((1 << rest) - 1);
        for (int k = 0; k < 1 << (3 - rest); ++k) {
            uint16_t& e = t.entries[8 * zeros + (suffix << (3 - rest)) + k];
            t.ok = t.ok && e == 0;
            e = token(len[i], i >> 2, i & 3);
        }
    }
    return t;
}

// Codes of at most `bits` bits, indexed by the next `bits` bits: (length << 4) | value; 0 is no code.
template <int bits> struct PrefixTable {
    std::array<uint8_t, 1 << bits> entries{};
    bool ok = true;
};

template <int bits>
constexpr PrefixTable<bits> buildPrefix(const uint8_t* len, const uint8_t* code, int count) {
    PrefixTable<bits> t;
    for (int v = 0; v < count; ++v) {
        if (!len[v])
            continue;
        const int first = code[v] << (bits - len[v]);
        for (int k = 0; k < 1 << (bits - len[v]); ++k) {
            uint8_t& e = t.entries[first + k];
            t.ok = t.ok && e == 0;
            e = uint8_t(len[v] << 4 | v);
        }
    }
    return t;
}

// By token class: nC 0-1, 2-3, 4-7, chroma DC; nC 8 and more use the fixed-length codes.
constexpr std::array<TokenTable, 4> kTokens = {buildTokens(kCoeffTokenLen[0], kCoeffTokenCode[0], 68),
                                               buildTokens(kCoeffTokenLen[1], kCoeffTokenCode[1], 68),
                                               buildTokens(kCoeffTokenLen[2], kCoeffTokenCode[2], 68),
                                               buildTokens(kChromaDcTokenLen, kChromaDcTokenCode, 20)};
constexpr int kFixedClass = 4;
// Token class by nC + 1 (nC -1 is chroma DC, and nC is at most 16).
constexpr uint8_t kTokenClass[18] = {3, 0, 0, 1, 1, 2, 2, 2, 2, 4, 4, 4, 4, 4, 4, 4, 4, 4};

constexpr std::array<uint16_t, 64> buildFixedTokens() {
    std::array<uint16_t, 64> t{};
    for (int i = 0; i < 68; ++i)
        if (kCoeffTokenLen[3][i])
            t[kCoeffTokenCode[3][i]] = token(6, i >> 2, i & 3);
    return t;
}
constexpr std::array<uint16_t, 64> kFixedTokens = buildFixedTokens();

// total_zeros of 4x4 blocks, all TotalCoeff in one table: the codes of TotalCoeff 1 are up to 9 bits long
// and indexed by the next 9 bits, all others by the next 6, each at its start in the table.
constexpr std::array<uint16_t, 17> kTotalZerosStart = [] {
    std::array<uint16_t, 17> t{};
    for (int tc = 2; tc < 17; ++tc)
        t[tc] = uint16_t(512 + 64 * (tc - 2));
    return t;
}();
constexpr std::array<uint8_t, 17> kTotalZerosShift = [] {
    std::array<uint8_t, 17> t{};
    for (int tc = 0; tc < 17; ++tc)
        t[tc] = tc == 1 ? 23 : 26;
    return t;
}();

struct TotalZerosTable {
    std::array<uint8_t, 512 + 14 * 64> entries{};
    bool ok = true;
};

constexpr TotalZerosTable buildTotalZeros() {
    TotalZerosTable t;
    const PrefixTable<9> one = buildPrefix<9>(kTotalZerosLen[0], kTotalZerosCode[0], 16);
    t.ok = one.ok;
    for (int k = 0; k < 512; ++k)
        t.entries[k] = one.entries[k];
    for (int i = 0; i < 14; ++i) {
        const PrefixTable<6> part = buildPrefix<6>(kTotalZerosLen[i + 1], kTotalZerosCode[i + 1], 15 - i);
        t.ok = t.ok && part.ok;
        for (int k = 0; k < 64; ++k)
            t.entries[kTotalZerosStart[i + 2] + k] = part.entries[k];
    }
    return t;
}
constexpr TotalZerosTable kTotalZeros = buildTotalZeros();

constexpr std::array<PrefixTable<3>, 3> kChromaDcZeros = {
    buildPrefix<3>(kChromaDcZerosLen[0], kChromaDcZerosCode[0], 4),
    buildPrefix<3>(kChromaDcZerosLen[1], kChromaDcZerosCode[1], 3),
    buildPrefix<3>(kChromaDcZerosLen[2], kChromaDcZerosCode[2], 2)};

// run_before by zerosLeft (0..15; the codes are those of min(zerosLeft, 7), a row for each value so that no
// minimum lengthens the chain from one run to the next), indexed by the next 3 bits. zerosLeft 0 reads no
// code (entry 0), so that the placing loop reads a run for every level without a test. From 7 on, the 3-bit
// codes 001..111 give runs 6..0 and 000 starts a longer code (kLongRun), a run of zeros and a one: run = 4 +
// leading zeros.
constexpr uint8_t kLongRun = 0xF0;

constexpr std::array<PrefixTable<3>, 16> buildRuns() {
    std::array<PrefixTable<3>, 16> t{};
    for (int i = 1; i < 16; ++i) {
        const int row = i < 7 ? i : 7;
        t[i] = buildPrefix<3>(kRunLen[row - 1], kRunCode[row - 1], row < 7 ? row + 1 : 7);
        if (row == 7)
            t[i].entries[0] = kLongRun;
    }
    return t;
}
constexpr std::array<PrefixTable<3>, 16> kRuns = buildRuns();

// Two run_before codes at once, by zerosLeft and the next 6 bits: the first run's code read in the row of
// zerosLeft, the second's in the row of the zeros left after it. Entry: the length of both codes (bits
// 0-3), the first run (4-7) and the sum of both (8-11); kLongPair where either code starts a longer code.
constexpr uint16_t kLongPair = 0x8000;

constexpr std::array<std::array<uint16_t, 64>, 16> buildRunPairs() {
    std::array<std::array<uint16_t, 64>, 16> t{};
    for (int zerosLeft = 0; zerosLeft < 16; ++zerosLeft) {
        for (int bits = 0; bits < 64; ++bits) {
            const uint8_t first = kRuns[zerosLeft].entries[bits >> 3];
            if (first == kLongRun) {
                t[zerosLeft][bits] = kLongPair;
                continue;
            }
            const int length = first >> 4, run = first & 15;
            const uint8_t second = kRuns[zerosLeft - run].entries[(bits << length & 63) >> 3];
            if (second == kLongRun) {
                t[zerosLeft][bits] = kLongPair;
                continue;
            }
            t[zerosLeft][bits] = uint16_t((length + (second >> 4)) | run << 4 | (run + (second & 15)) << 8);
        }
    }
    return t;
}
constexpr std::array<std::array<uint16_t, 64>, 16> kRunPairs = buildRunPairs();

// |level| = (levelCode >> 1) + 1, odd codes negative.
constexpr int32_t levelOf(int32_t levelCode) {
    const int32_t magnitude = (levelCode >> 1) + 1, sign = -(levelCode & 1);
    return (magnitude ^ sign) - sign;
}

constexpr bool allOk() {
    bool ok = kTotalZeros.ok;
    for (const auto& t : kChromaDcZeros)
        ok = ok && t.ok;
    for (const auto& t : kTokens)
        ok = ok && t.ok;
    for (size_t i = 1; i < kRuns.size(); ++i)
        for (const uint8_t e : kRuns[i].entries)
            ok = ok && kRuns[i].ok && e != 0;
    return ok;
}
static_assert(allOk(), "CAVLC code tables must be prefix-free and fit their lookups");

// The reader's position in a register and the bits loaded at it, the next bit at the top, so that a peek is
// one shift and a skip another: CAVLC decoding is a chain of such steps. refill() keeps at least 32 loaded
// bits ahead (every code and suffix read at once is at most 28 bits); reload() loads at least 57, enough
// for a run of short codes read without a test.
class BitCache {
public:
    explicit BitCache(H264BitReader& r) : r_(r), position_(r.position) { load(); }
    ~BitCache() { r_.position = position_; }
    void refill() {
        if (available_ < 32)
            load();
    }
    void reload() { load(); }
    uint32_t peek32() const { return uint32_t(word_ >> 32); }
    void skip(uint32_t n) {
        word_ <<= n;
        available_ -= n;
        position_ += n;
    }

private:
    void load() {
        r_.position = position_;
        word_ = PeekBytes64(r_) << (position_ & 7);
        available_ = 64 - (position_ & 7);
    }
    H264BitReader& r_;
    uint32_t position_;
    uint32_t available_ = 0;
    uint64_t word_ = 0;
};

// Both lookups are made and one is chosen without a branch: the class changes from block to block.
uint16_t readToken(uint32_t bits, int nC) {
    const int cls = kTokenClass[nC + 1];
    const int zeros = std::min(CountLeadingZeros32(bits), 16);
    const uint16_t variable = kTokens[cls & 3].entries[8 * zeros + ((uint64_t(bits) << zeros) >> 28 & 7)];
    const uint16_t fixed = kFixedTokens[bits >> 26];
    return cls == kFixedClass ? fixed : variable;
}

// A run_before code of zerosLeft >= 7 that starts with 000: (length << 4) | run, 0 for a code that names no
// run.
uint8_t readLongRun(uint32_t bits) {
    const int zeros = CountLeadingZeros32(bits);
    return zeros > 10 ? 0 : uint8_t((zeros + 1) << 4 | (zeros + 4));
}

// Levels: level_prefix zeros, a one, then a suffix of suffixLength bits except for the escapes (prefix 14
// without a suffix length: 4 bits; prefix 15: 12 bits and, without a suffix length, 15 more). The level code,
// or -1 for a prefix above 15 (which only other profiles use).
inline int32_t readLevelCode(BitCache& r, int suffixLength) {
    r.refill();
    const uint32_t bits = r.peek32();
    const int prefix = CountLeadingZeros32(bits);
    if (prefix > 15)
        return -1;
    const uint32_t after = bits << prefix << 1;
    int32_t levelCode = prefix << suffixLength;
    if (prefix + (suffixLength == 0) < 15) {
        levelCode += int32_t((uint64_t(after) << suffixLength) >> 32);
        r.skip(uint32_t(prefix + 1 + suffixLength));
    } else {
        const int suffixSize = prefix == 15 ? 12 : 4;
        levelCode += int32_t(after >> (32 - suffixSize)) + (prefix == 15 && suffixLength == 0 ? 15 : 0);
        r.skip(uint32_t(prefix + 1 + suffixSize));
    }
    return levelCode;
}

} // namespace

int DecodeResidualBlock(H264BitReader& reader, int nC, int maxNumCoeff, const uint8_t* scan,
                        const int32_t* scale, int16_t* coefficients) {
    BitCache r(reader);
    const uint32_t head = r.peek32();
    const uint16_t tok = readToken(head, nC);
    const int tokenLen = tok & 31, tc = tok >> 5 & 31, t1 = tok >> 10;
    // Codes that name no token (among them the fixed-length 000010 and 000111) are 0 in the tables.
    if (tokenLen == 0 || tc > maxNumCoeff)
        return -1;
    if (tc == 0) {
        r.skip(uint32_t(tokenLen));
        return 0;
    }
    // The trailing-one signs follow the token within the same 32 bits (at most 16 + 3). All three are
    // taken whatever TrailingOnes is: the levels past it are overwritten below.
    int32_t levels[16];
    const uint32_t signs = (head << tokenLen) >> 29;
    levels[0] = 1 - int32_t(signs >> 1 & 2);
    levels[1] = 1 - int32_t(signs & 2);
    levels[2] = 1 - int32_t(signs << 1 & 2);
    r.skip(uint32_t(tokenLen + t1));

    // Levels. The first one (with its escapes and its adjustment) is read apart; each later one in one
    // lookup of its suffix length and the next 8 bits unless its code is longer.
    if (t1 < tc) {
        int suffixLength = tc > 10 && t1 < 3 ? 1 : 0;
        int32_t levelCode = readLevelCode(r, suffixLength);
        if (levelCode < 0)
            return -1;
        levelCode += t1 < 3 ? 2 : 0;
        levels[t1] = levelOf(levelCode);
        suffixLength += suffixLength == 0;
        suffixLength += (levelCode >> suffixLength) > 2 && suffixLength < 6;
        for (int i = t1 + 1; i < tc; ++i) {
            r.refill();
            const uint32_t bits = r.peek32();
            const int prefix = CountLeadingZeros32(bits);
            if (prefix < 15) {
                const uint32_t after = bits << prefix << 1;
                levelCode = (prefix << suffixLength) + int32_t((uint64_t(after) << suffixLength) >> 32);
                r.skip(uint32_t(prefix + 1 + suffixLength));
                levels[i] = levelOf(levelCode);
                suffixLength += (prefix > 2) & (suffixLength < 6);
                continue;
            }
            levelCode = readLevelCode(r, suffixLength);
            if (levelCode < 0)
                return -1;
            levels[i] = levelOf(levelCode);
            suffixLength += (levelCode >> suffixLength) > 2 && suffixLength < 6;
        }
    }

    // total_zeros (at most 9 bits) and the runs of the levels but the last (at most 15 codes of 3 bits, the
    // longer codes reload) read without another refill.
    r.reload();
    int zerosLeft = 0;
    if (tc < maxNumCoeff) {
        const uint32_t bits = r.peek32();
        const uint8_t e = maxNumCoeff == 4
                              ? kChromaDcZeros[tc - 1].entries[bits >> 29]
                              : kTotalZeros.entries[kTotalZerosStart[tc] + (bits >> kTotalZerosShift[tc])];
        if (e == 0)
            return -1;
        r.skip(e >> 4);
        zerosLeft = e & 15;
    }
    if (tc + zerosLeft > maxNumCoeff)
        return -1;

    // From the highest frequency down: each level at its scan index, the run before it (none for the last
    // level, none once no zeros are left) moving the index on. Two levels at a time while both have a run,
    // in one lookup: the chain from one run's code to the next is what bounds the loop.
    int index = tc - 1 + zerosLeft;
    int i = 0;
    for (; i + 2 < tc; i += 2) {
        const uint16_t e = kRunPairs[zerosLeft][r.peek32() >> 26];
        if (e == kLongPair)
            break;
        const int first = e >> 4 & 15, both = e >> 8;
        const int position = scan[index], next = scan[index - first - 1];
        coefficients[position] = int16_t(levels[i] * scale[position]);
        coefficients[next] = int16_t(levels[i + 1] * scale[next]);
        r.skip(e & 15);
        zerosLeft -= both;
        index -= both + 2;
    }
    for (; i < tc; ++i) {
        const int position = scan[index];
        coefficients[position] = int16_t(levels[i] * scale[position]);
        // No run before the last level: its row is 0, by a mask rather than a choice on zerosLeft.
        const int left = zerosLeft & -int(i + 1 < tc);
        uint8_t e = kRuns[left].entries[r.peek32() >> 29];
        if (e == kLongRun) {
            r.reload();
            e = readLongRun(r.peek32());
            if (e == 0 || (e & 15) > zerosLeft)
                return -1;
            r.skip(e >> 4);
            r.reload();
            zerosLeft -= e & 15;
            index -= (e & 15) + 1;
            continue;
        }
        r.skip(e >> 4);
        zerosLeft -= e & 15;
        index -= (e & 15) + 1;
    }
    return tc;
}

} // namespace h264
