#include "h264/BitReader.h"

namespace h264 {

namespace {

constexpr uint8_t kNibbleZeros[16] = {4, 3, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};

// Five bytes from the byte holding the current bit, most significant first; zeros past the unit's padding.
uint64_t peek40(const H264BitReader& r) {
    const uint32_t byte = r.position >> 3;
    const uint32_t unitBytes = (r.bitCount >> 3) + 1;
    if (byte + 5 > unitBytes + kNalPadding)
        return 0;
    const uint8_t* p = r.buffer + byte;
    return (uint64_t(p[0]) << 32) | (uint64_t(p[1]) << 24) | (uint64_t(p[2]) << 16) | (uint64_t(p[3]) << 8) |
           uint64_t(p[4]);
}

} // namespace

int CountLeadingZeros32(uint32_t value) {
    int zeros = 0;
    for (int shift = 28; shift >= 0; shift -= 4) {
        const int n = kNibbleZeros[(value >> shift) & 15];
        zeros += n;
        if (n != 4)
            break;
    }
    return zeros;
}

uint32_t PeekBits32(const H264BitReader& r) {
    return uint32_t(peek40(r) >> (8 - (r.position & 7)));
}

uint32_t ReadBits(H264BitReader& r, int n) {
    const uint32_t value =
        uint32_t((peek40(r) << (r.position & 7)) >> (40 - n)) & uint32_t((uint64_t(1) << n) - 1);
    r.position += uint32_t(n);
    return value;
}

uint32_t ReadUe(H264BitReader& r) {
    const int zeros = CountLeadingZeros32(PeekBits32(r));
    if (zeros > 31) {
        r.invalid = true;
        r.position += 32;
        return 0;
    }
    r.position += uint32_t(zeros);
    return uint32_t((uint64_t(ReadBits(r, zeros + 1)) - 1) & 0xFFFFFFFFu);
}

int32_t ReadSe(H264BitReader& r) {
    const uint64_t k = uint64_t(ReadUe(r)) + 1;
    return (k & 1) ? -int32_t(k >> 1) : int32_t(k >> 1);
}

bool MoreRbspData(const H264BitReader& r) {
    const int64_t left = int64_t(r.bitCount) + 8 - int64_t(r.position);
    if (left > 8)
        return true;
    if (left <= 0)
        return false;
    const uint32_t bits = uint32_t(peek40(r) >> (40 - (r.position & 7) - left)) & ((1u << left) - 1);
    return bits != (1u << (left - 1));
}

} // namespace h264
