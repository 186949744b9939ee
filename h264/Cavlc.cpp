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

constexpr std::array<PrefixTable<9>, 15> buildTotalZeros() {
    std::array<PrefixTable<9>, 15> t{};
    for (int i = 0; i < 15; ++i)
        t[i] = buildPrefix<9>(kTotalZerosLen[i], kTotalZerosCode[i], 16 - i);
    return t;
}
constexpr std::array<PrefixTable<9>, 15> kTotalZeros = buildTotalZeros();

constexpr std::array<PrefixTable<3>, 3> kChromaDcZeros = {
    buildPrefix<3>(kChromaDcZerosLen[0], kChromaDcZerosCode[0], 4),
    buildPrefix<3>(kChromaDcZerosLen[1], kChromaDcZerosCode[1], 3),
    buildPrefix<3>(kChromaDcZerosLen[2], kChromaDcZerosCode[2], 2)};

constexpr std::array<PrefixTable<11>, 7> buildRuns() {
    std::array<PrefixTable<11>, 7> t{};
    for (int i = 0; i < 7; ++i)
        t[i] = buildPrefix<11>(kRunLen[i], kRunCode[i], i < 6 ? i + 2 : 15);
    return t;
}
constexpr std::array<PrefixTable<11>, 7> kRuns = buildRuns();

constexpr bool allOk() {
    bool ok = kChromaDcTokens.ok && kChromaDcZeros[0].ok && kChromaDcZeros[1].ok && kChromaDcZeros[2].ok;
    for (const auto& t : kTokens)
        ok = ok && t.ok;
    for (const auto& t : kTotalZeros)
        ok = ok && t.ok;
    for (const auto& t : kRuns)
        ok = ok && t.ok;
    return ok;
}
static_assert(allOk(), "CAVLC code tables must be prefix-free and fit their lookups");

// The next 32 bits from one 8-byte load, reloaded only when fewer than 32 loaded bits are left.
class BitCache {
public:
    explicit BitCache(H264BitReader& r) : r_(r) { load(); }
    uint32_t peek32() {
        uint32_t used = r_.position - base_;
        if (used > 25) {
            load();
            used = 0;
        }
        return uint32_t((word_ << used) >> 32);
    }
    void skip(uint32_t n) { r_.position += n; }
    uint32_t read(int n) {
        const uint32_t v = peek32() >> (32 - n);
        skip(uint32_t(n));
        return v;
    }

private:
    void load() {
        base_ = r_.position;
        word_ = PeekBytes64(r_) << (r_.position & 7);
    }
    H264BitReader& r_;
    uint64_t word_ = 0;
    uint32_t base_ = 0;
};

uint16_t readToken(BitCache& r, int nC) {
    const uint32_t bits = r.peek32();
    if (nC >= 8)
        return kFixedTokens[bits >> 26];
    const TokenTable& t = nC < 0 ? kChromaDcTokens : kTokens[nC < 2 ? 0 : nC < 4 ? 1 : 2];
    const int zeros = CountLeadingZeros32(bits);
    if (nC < 0 && zeros >= 7)
        return token(7, 4, 3);
    if (zeros > 15)
        return 0;
    return t.entries[8 * zeros + ((bits << zeros) >> 28 & 7)];
}

} // namespace

bool DecodeResidualBlock(H264BitReader& reader, int nC, int maxNumCoeff, int16_t* coefficients,
                         int* totalCoeff) {
    BitCache r(reader);
    std::memset(coefficients, 0, 16 * sizeof(int16_t));
    *totalCoeff = 0;
    const uint16_t tok = readToken(r, nC);
    const int tokenLen = tok & 31, tc = tok >> 5 & 31, t1 = tok >> 10;
    // Codes that name no token (among them the fixed-length 000010 and 000111) are 0 in the tables.
    if (tokenLen == 0)
        return false;
    if (tc > maxNumCoeff)
        return false;
    r.skip(uint32_t(tokenLen));
    *totalCoeff = tc;
    if (tc == 0)
        return true;

    int32_t levels[16];
    int suffixLength = tc > 10 && t1 < 3 ? 1 : 0;
    for (int i = 0; i < t1; ++i)
        levels[i] = r.read(1) ? -1 : 1;
    for (int i = t1; i < tc; ++i) {
        const int prefix = CountLeadingZeros32(r.peek32());
        if (prefix > 15)
            return false;
        r.skip(uint32_t(prefix + 1));
        int32_t levelCode = prefix << suffixLength;
        const int suffixSize = prefix == 14 && suffixLength == 0 ? 4 : prefix == 15 ? 12 : suffixLength;
        if (suffixSize > 0)
            levelCode += int32_t(r.read(suffixSize));
        if (prefix == 15 && suffixLength == 0)
            levelCode += 15;
        if (i == t1 && t1 < 3)
            levelCode += 2;
        levels[i] = (levelCode & 1) ? (-levelCode - 1) >> 1 : (levelCode + 2) >> 1;
        if (suffixLength == 0)
            suffixLength = 1;
        const int32_t magnitude = levels[i] < 0 ? -levels[i] : levels[i];
        if (magnitude > (3 << (suffixLength - 1)) && suffixLength < 6)
            ++suffixLength;
    }

    int zerosLeft = 0;
    if (tc < maxNumCoeff) {
        const uint8_t e = maxNumCoeff == 4 ? kChromaDcZeros[tc - 1].entries[r.peek32() >> 29]
                                           : kTotalZeros[tc - 1].entries[r.peek32() >> 23];
        if (e == 0)
            return false;
        r.skip(e >> 4);
        zerosLeft = e & 15;
    }
    if (tc + zerosLeft > maxNumCoeff)
        return false;

    int runs[16];
    for (int i = 0; i < tc - 1; ++i) {
        runs[i] = 0;
        if (zerosLeft > 0) {
            const uint8_t e = kRuns[(zerosLeft < 7 ? zerosLeft : 7) - 1].entries[r.peek32() >> 21];
            if (e == 0 || (e & 15) > zerosLeft)
                return false;
            r.skip(e >> 4);
            runs[i] = e & 15;
            zerosLeft -= runs[i];
        }
    }
    runs[tc - 1] = zerosLeft;
    int position = -1;
    for (int i = tc - 1; i >= 0; --i) {
        position += runs[i] + 1;
        coefficients[position] = int16_t(levels[i]);
    }
    return true;
}

} // namespace h264
