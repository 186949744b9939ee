// The reference area a block's interpolation reads: the plane itself when the area lies inside it, or a
// padded copy whose samples outside the plane repeat the nearest edge sample.
#pragma once

#include <cstdint>

namespace h264 {

struct RefFetchRequest {
    const uint8_t* plane = nullptr;
    uint8_t* area = nullptr; // in: the padded buffer (rows of 24 bytes); out: the area's top-left sample
    int32_t areaStride = 0;  // out
    int32_t width = 0, height = 0; // at most 21
    int32_t x0 = 0, y0 = 0;        // may lie anywhere
    int32_t planeWidth = 0, planeHeight = 0;
};

constexpr int32_t kPaddedStride = 24;

// Crossing index: 1 left, 2 right, 4 top, 8 bottom.
inline int CrossingIndex(const RefFetchRequest& q) {
    return (q.x0 < 0 ? 1 : 0) | (q.x0 + q.width > q.planeWidth ? 2 : 0) | (q.y0 < 0 ? 4 : 0) |
           (q.y0 + q.height > q.planeHeight ? 8 : 0);
}

// Entry `crossing` (1..15) of the fetch table.
void FetchPaddedBlock(int crossing, RefFetchRequest& request, int32_t planeStride);

// Entry `crossing` of the fetch table; entry 0, the area inside the plane, is only an address.
inline void FetchRefBlock(int crossing, RefFetchRequest& request, int32_t planeStride) {
    if (crossing == 0) {
        request.area = const_cast<uint8_t*>(request.plane) + int64_t(request.y0) * planeStride + request.x0;
        request.areaStride = planeStride;
        return;
    }
    FetchPaddedBlock(crossing, request, planeStride);
}

} // namespace h264
