#include "h264/Cavlc.h"

#include "h264/CavlcTables.h"
#include "h264/Context.h"
#include "h264/MacroblockTables.h"

#include <array>
#include <cstring>

namespace h264 {

namespace {

using namespace cavlc;

// Entry of a token lookup: length (bits 0-4), TotalCoeff (5-9), TrailingOnes (10-11); 0 is no code.
constexpr uint16_t token(int len, int tc, int t1) {
    return uint16_t(len | tc << 5 | t1 << 10);
}

// Tokens indexed by 8 * leading zeros + the three bits after the leading one. The one all-zero code
// (chroma DC 0000000) is decoded apart.
struct TokenTable {
    std::array<uint16_t, 16 * 8> entries{};
    bool ok = true;
};

constexpr TokenTable buildTokens(const uint8_t* len, const uint8_t* code, int count) {
    TokenTable t;
    for (int i = 0; i < count; ++i) {
        if (!len[i] || !code[i])
            continue;
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

constexpr std::array<TokenTable, 3> kTokens = {buildTokens(kCoeffTokenLen[0], kCoeffTokenCode[0], 68),
                                               buildTokens(kCoeffTokenLen[1], kCoeffTokenCode[1], 68),
                                               buildTokens(kCoeffTokenLen[2], kCoeffTokenCode[2], 68)};
constexpr TokenTable kChromaDcTokens = buildTokens(kChromaDcTokenLen, kChromaDcTokenCode, 20);

constexpr std::array<uint16_t, 64> buildFixedTokens() {
    std::array<uint16_t, 64> t{};
    for (int i = 0; i < 68; ++i)
        if (kCoeffTokenLen[3][i])
            t[kCoeffTokenCode[3][i]] = token(6, i >> 2, i & 3);
    return t;
}
constexpr std::array<uint16_t, 64> kFixedTokens = buildFixedTokens();

// total_zeros by TotalCoeff - 1: the codes of TotalCoeff 1 are up to 9 bits long, all others up to 6.
constexpr PrefixTable<9> kTotalZerosOne = buildPrefix<9>(kTotalZerosLen[0], kTotalZerosCode[0], 16);

constexpr std::array<PrefixTable<6>, 14> buildTotalZeros() {
    std::array<PrefixTable<6>, 14> t{};
    for (int i = 0; i < 14; ++i)
        t[i] = buildPrefix<6>(kTotalZerosLen[i + 1], kTotalZerosCode[i + 1], 15 - i);
    return t;
}
constexpr std::array<PrefixTable<6>, 14> kTotalZeros = buildTotalZeros();

constexpr std::array<PrefixTable<3>, 3> kChromaDcZeros = {
    buildPrefix<3>(kChromaDcZerosLen[0], kChromaDcZerosCode[0], 4),
    buildPrefix<3>(kChromaDcZerosLen[1], kChromaDcZerosCode[1], 3),
    buildPrefix<3>(kChromaDcZerosLen[2], kChromaDcZerosCode[2], 2)};

// run_before for zerosLeft 1..6, whose codes are at most 3 bits long. From 7 on, the 3-bit codes 001..111
// give runs 6..0 and longer codes are a run of zeros and a one: run = 4 + leading zeros.
constexpr std::array<PrefixTable<3>, 6> buildRuns() {
    std::array<PrefixTable<3>, 6> t{};
    for (int i = 0; i < 6; ++i)
        t[i] = buildPrefix<3>(kRunLen[i], kRunCode[i], i + 2);
    return t;
}
constexpr std::array<PrefixTable<3>, 6> kRuns = buildRuns();

constexpr bool allOk() {
    bool ok = kChromaDcTokens.ok && kTotalZerosOne.ok;
    for (const auto& t : kChromaDcZeros)
        ok = ok && t.ok;
    for (const auto& t : kTokens)
        ok = ok && t.ok;
    for (const auto& t : kTotalZeros)
        ok = ok && t.ok;
    for (const auto& t : kRuns)
        for (const uint8_t e : t.entries)
            ok = ok && t.ok && e != 0;
    return ok;
}
static_assert(allOk(), "CAVLC code tables must be prefix-free and fit their lookups");

// The reader's position in a register and the bits loaded at it, the next bit at the top, so that a peek is
// one shift and a skip another: CAVLC decoding is a chain of such steps. refill() is called before each code
// and keeps at least 32 loaded bits ahead (every code and suffix read at once is at most 28 bits).
class BitCache {
public:
    explicit BitCache(H264BitReader& r) : r_(r), position_(r.position) { load(); }
    ~BitCache() { r_.position = position_; }
    void refill() {
        if (available_ < 32)
            load();
    }
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

uint16_t readToken(uint32_t bits, int nC) {
    if (nC >= 8)
        return kFixedTokens[bits >> 26];
    const int zeros = CountLeadingZeros32(bits);
    if (nC < 0) {
        if (zeros >= 7)
            return token(7, 4, 3);
        return kChromaDcTokens.entries[8 * zeros + ((bits << zeros) >> 28 & 7)];
    }
    if (zeros > 15)
        return 0;
    return kTokens[nC < 2 ? 0 : nC < 4 ? 1 : 2].entries[8 * zeros + ((bits << zeros) >> 28 & 7)];
}

// run_before with zerosLeft > 0: (length << 4) | run, 0 for a code that names no run.
uint8_t readRun(uint32_t bits, int zerosLeft) {
    if (zerosLeft < 7)
        return kRuns[zerosLeft - 1].entries[bits >> 29];
    if (bits >> 29)
        return uint8_t(3 << 4 | (7 - (bits >> 29)));
    const int zeros = CountLeadingZeros32(bits);
    return zeros > 10 ? 0 : uint8_t((zeros + 1) << 4 | (zeros + 4));
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
    // The trailing-one signs follow the token within the same 32 bits (at most 16 + 3).
    int32_t levels[16];
    const uint32_t signs = (head << tokenLen) >> (32 - 1 - 2) >> (3 - t1);
    for (int i = 0; i < t1; ++i)
        levels[i] = 1 - 2 * int32_t(signs >> (t1 - 1 - i) & 1);
    r.skip(uint32_t(tokenLen + t1));

    // Levels: level_prefix zeros, a one, then a suffix of suffixLength bits except for the escapes
    // (prefix 14 without a suffix length: 4 bits; prefix 15: 12 bits and, without a suffix length, 15 more).
    // |level| = (levelCode >> 1) + 1, odd codes negative. suffixLength s (1 once a level is read) grows up to
    // 6 when |level| > 3 << (s - 1), that is when levelCode >> s > 2; past the first level that is prefix > 2
    // for every code but the escape, which keeps the chain from one level's bits to the next one short.
    int suffixLength = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = t1; i < tc; ++i) {
        r.refill();
        const uint32_t bits = r.peek32();
        const int prefix = CountLeadingZeros32(bits);
        const uint32_t after = bits << (prefix & 15) << 1;
        if (i > t1 && prefix < 15) {
            const int32_t levelCode =
                (prefix << suffixLength) + int32_t((uint64_t(after) << suffixLength) >> 32);
            r.skip(uint32_t(prefix + 1 + suffixLength));
            const int32_t magnitude = (levelCode >> 1) + 1, sign = -(levelCode & 1);
            levels[i] = (magnitude ^ sign) - sign;
            suffixLength += (prefix > 2) & (suffixLength < 6);
            continue;
        }
        if (prefix > 15)
            return -1;
        int32_t levelCode = prefix << suffixLength;
        if (prefix + (suffixLength == 0) < 15) {
            levelCode += int32_t((uint64_t(after) << suffixLength) >> 32);
            r.skip(uint32_t(prefix + 1 + suffixLength));
        } else {
            const int suffixSize = prefix == 15 ? 12 : 4;
            levelCode += int32_t(after >> (32 - suffixSize)) + (prefix == 15 && suffixLength == 0 ? 15 : 0);
            r.skip(uint32_t(prefix + 1 + suffixSize));
        }
        if (i == t1 && t1 < 3)
            levelCode += 2;
        const int32_t magnitude = (levelCode >> 1) + 1, sign = -(levelCode & 1);
        levels[i] = (magnitude ^ sign) - sign;
        suffixLength += suffixLength == 0;
        suffixLength += (levelCode >> suffixLength) > 2 && suffixLength < 6;
    }

    int zerosLeft = 0;
    if (tc < maxNumCoeff) {
        r.refill();
        const uint32_t bits = r.peek32();
        const uint8_t e = maxNumCoeff == 4 ? kChromaDcZeros[tc - 1].entries[bits >> 29]
                          : tc == 1        ? kTotalZerosOne.entries[bits >> 23]
                                           : kTotalZeros[tc - 2].entries[bits >> 26];
        if (e == 0)
            return -1;
        r.skip(e >> 4);
        zerosLeft = e & 15;
    }
    if (tc + zerosLeft > maxNumCoeff)
        return -1;

    // From the highest frequency down: each level at its scan index, the run before it moving the index on.
    // Once no zeros are left the remaining levels take consecutive indices.
    int index = tc - 1 + zerosLeft, i = 0;
    for (; i < tc - 1 && zerosLeft > 0; ++i) {
        const int position = scan[index];
        coefficients[position] = int16_t(levels[i] * scale[position]);
        r.refill();
        const uint8_t e = readRun(r.peek32(), zerosLeft);
        const int run = e & 15;
        if (e == 0 || run > zerosLeft)
            return -1;
        r.skip(e >> 4);
        zerosLeft -= run;
        index -= run + 1;
    }
    for (; i < tc; ++i, --index) {
        const int position = scan[index];
        coefficients[position] = int16_t(levels[i] * scale[position]);
    }
    return tc;
}

} // namespace h264
