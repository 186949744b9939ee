#include "h264/BitReader.h"

namespace h264 {

bool MoreRbspData(const H264BitReader& r) {
    const int64_t left = int64_t(r.bitCount) + 8 - int64_t(r.position);
    if (left > 8)
        return true;
    if (left <= 0)
        return false;
    const uint32_t bits = uint32_t((PeekBytes64(r) << (r.position & 7)) >> (64 - left));
    return bits != (1u << (left - 1));
}

} // namespace h264
