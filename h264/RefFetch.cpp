#include "h264/RefFetch.h"

#include <algorithm>
#include <cstring>

namespace h264 {

namespace {

int32_t clampTo(int32_t v, int32_t limit) {
    return v < 0 ? 0 : v >= limit ? limit - 1 : v;
}

void direct(RefFetchRequest& q, int32_t stride) {
    q.area = const_cast<uint8_t*>(q.plane) + int64_t(q.y0) * stride + q.x0;
    q.areaStride = stride;
}

// One routine per clamped axis set, so no sample tests the axes its index does not name. A clamped row is
// the plane row's samples inside the plane, with the edge sample repeated on either side of them.
template <bool clampX, bool clampY> void padded(RefFetchRequest& q, int32_t stride) {
    // Columns c < before repeat column 0, columns c >= after repeat column planeWidth - 1.
    const int32_t before = clampX ? std::clamp(-q.x0, 0, q.width) : 0;
    const int32_t after = clampX ? std::clamp(q.planeWidth - q.x0, before, q.width) : q.width;
    for (int32_t r = 0; r < q.height; ++r) {
        const int32_t y = clampY ? clampTo(q.y0 + r, q.planeHeight) : q.y0 + r;
        const uint8_t* row = q.plane + int64_t(y) * stride;
        uint8_t* out = q.area + r * kPaddedStride;
        if (!clampX) {
            std::memcpy(out, row + q.x0, size_t(q.width));
            continue;
        }
        if (before > 0)
            std::memset(out, row[0], size_t(before));
        if (after > before)
            std::memcpy(out + before, row + q.x0 + before, size_t(after - before));
        if (q.width > after)
            std::memset(out + after, row[q.planeWidth - 1], size_t(q.width - after));
    }
    q.areaStride = kPaddedStride;
}

using FetchRoutine = void (*)(RefFetchRequest&, int32_t);

// Indices naming two opposite edges cannot arise (planes are at least 32 samples wide and high) and
// fall back to clamping both axes.
constexpr FetchRoutine kFetchTable[16] = {
    direct,
    padded<true, false>,
    padded<true, false>,
    padded<true, true>,
    padded<false, true>,
    padded<true, true>,
    padded<true, true>,
    padded<true, true>,
    padded<false, true>,
    padded<true, true>,
    padded<true, true>,
    padded<true, true>,
    padded<false, true>,
    padded<true, true>,
    padded<true, true>,
    padded<true, true>,
};

} // namespace

void FetchPaddedBlock(int crossing, RefFetchRequest& request, int32_t planeStride) {
    kFetchTable[crossing & 15](request, planeStride);
}

} // namespace h264
