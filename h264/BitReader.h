// Bit reader over the NAL buffer. The scanner leaves at least kPadding zero bytes after every unit, so the
// 5-byte reads below stay inside the buffer as long as the position is within the unit plus that padding;
// beyond it every read yields zeros and the overrun flag tells the slice layer to stop.
#pragma once

#include <cstdint>

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
int CountLeadingZeros32(uint32_t value);

uint32_t PeekBits32(const H264BitReader& r);
uint32_t ReadBits(H264BitReader& r, int n); // n 1..32
inline void SkipBits(H264BitReader& r, uint32_t n) {
    r.position += n;
}
uint32_t ReadUe(H264BitReader& r);
int32_t ReadSe(H264BitReader& r);
inline bool ReadFlag(H264BitReader& r) {
    return ReadBits(r, 1) != 0;
}
bool MoreRbspData(const H264BitReader& r);

} // namespace h264
