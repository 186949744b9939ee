#include "h264/RefFetch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using h264::RefFetchRequest;

// Areas of every size up to 21 x 21 placed inside, across and far beyond each edge and corner of a small
// plane (with a wider stride): every sample of the result is the plane sample at the clamped position, and
// an area inside the plane is not copied.
TEST(RefFetch, EverySampleIsTheNearestPlaneSample) {
    constexpr int32_t width = 32, height = 16, stride = 48;
    std::mt19937 random(3);
    std::vector<uint8_t> plane(size_t(stride) * height);
    for (uint8_t& v : plane)
        v = uint8_t(random());
    const int32_t offsets[] = {-1000, -25, -21, -3, -1, 0, 1, 5, 11, 15, 16, 17, 31, 32, 40, 1000};
    for (int32_t w = 1; w <= 21; w += 4) {
        for (int32_t h = 1; h <= 21; h += 5) {
            for (const int32_t x0 : offsets) {
                for (const int32_t y0 : offsets) {
                    alignas(16) uint8_t pad[22 * h264::kPaddedStride + 8];
                    std::fill(std::begin(pad), std::end(pad), 0xEE);
                    RefFetchRequest q;
                    q.plane = plane.data();
                    q.area = pad;
                    q.width = w, q.height = h, q.x0 = x0, q.y0 = y0;
                    q.planeWidth = width, q.planeHeight = height;
                    const int crossing = h264::CrossingIndex(q);
                    if ((crossing & 3) == 3 || (crossing & 12) == 12)
                        continue; // both opposite edges: not possible with the decoder's plane sizes
                    h264::FetchRefBlock(crossing, q, stride);
                    if (crossing == 0) {
                        EXPECT_EQ(q.area, plane.data() + y0 * stride + x0);
                        EXPECT_EQ(q.areaStride, stride);
                    } else {
                        EXPECT_EQ(q.area, pad);
                        EXPECT_EQ(q.areaStride, h264::kPaddedStride);
                        EXPECT_EQ(pad[(h - 1) * h264::kPaddedStride + w], 0xEE); // nothing past the row
                    }
                    for (int32_t r = 0; r < h; ++r)
                        for (int32_t c = 0; c < w; ++c) {
                            const int32_t y = std::clamp(y0 + r, 0, height - 1),
                                          x = std::clamp(x0 + c, 0, width - 1);
                            ASSERT_EQ(q.area[r * q.areaStride + c], plane[size_t(y) * stride + x])
                                << w << "x" << h << " at " << x0 << "," << y0 << " sample " << c << "," << r;
                        }
                }
            }
        }
    }
}

} // namespace
