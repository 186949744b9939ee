// Bit reader over the NAL buffer. The scanner leaves at least kNalPadding zero bytes after every unit, so
// the 8-byte reads below stay inside the buffer as long as the position is within the unit plus that
// padding; beyond it every read yields zeros and the overrun flag tells the slice layer to stop.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace h264 {

constexpr uint32_t kNalPadding = 16;

struct H264BitReader {
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0; // usable bytes; the allocation has kNalPadding more
    uint32_t fill = 0;     // bytes collected by the scanner
    uint32_t bitCount = 0; // bits before the last non-zero byte of the unit
    uint32_t position = 0;
    bool invalid = false; // an Exp-Golomb code with more than 31 leading zeros was met

    // The last counted byte is followed by one that still holds data bits before the stop bit.
    bool overrun() const { return position > bitCount + 8; }
};

// Number of leading zero bits, 0..32 (32 for 0).
inline int CountLeadingZeros32(uint32_t value) {
    return std::countl_zero(value);
}

// Eight bytes from the byte holding the current bit, most significant first; zeros past the padding.
inline uint64_t PeekBytes64(const H264BitReader& r) {
    const uint32_t byte = r.position >> 3;
    if (byte + 8 > (r.bitCount >> 3) + 1 + kNalPadding)
        return 0;
    uint64_t v;
    std::memcpy(&v, r.buffer + byte, 8);
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap64(v);
    return v;
}

inline uint32_t PeekBits32(const H264BitReader& r) {
    return uint32_t((PeekBytes64(r) << (r.position & 7)) >> 32);
}

// n 1..32.
inline uint32_t ReadBits(H264BitReader& r, int n) {
    const uint32_t value = uint32_t((PeekBytes64(r) << (r.position & 7)) >> (64 - n));
    r.position += uint32_t(n);
    return value;
}

inline void SkipBits(H264BitReader& r, uint32_t n) {
    r.position += n;
}
inline bool ReadFlag(H264BitReader& r) {
    return ReadBits(r, 1) != 0;
}

inline uint32_t ReadUe(H264BitReader& r) {
    const int zeros = CountLeadingZeros32(PeekBits32(r));
    if (zeros > 31) {
        r.invalid = true;
        r.position += 32;
        return 0;
    }
    r.position += uint32_t(zeros);
    return uint32_t(uint64_t(ReadBits(r, zeros + 1)) - 1);
}

inline int32_t ReadSe(H264BitReader& r) {
    const uint64_t k = uint64_t(ReadUe(r)) + 1;
    return (k & 1) ? -int32_t(k >> 1) : int32_t(k >> 1);
}

bool MoreRbspData(const H264BitReader& r);

} // namespace h264
