#include "h264/deinterlace/DeinterlaceKernels.h"

#include <cstdlib>
#include <cstring>

namespace {

// Rows j and j + 1 of one field.
struct FieldRows {
    const uint8_t* top;
    const uint8_t* bottom;
};

struct LineSources {
    FieldRows f1;
    FieldRows f2;
    FieldRows p1;
    FieldRows p2;
};

int pairSum(const FieldRows& f, int x) {
    return f.top[x] + f.top[x + 1] + f.bottom[x] + f.bottom[x + 1];
}

// Edge-directed average of the first-field rows around column c: vertical, or the diagonal whose two
// samples differ least; ties keep vertical, then the first diagonal.
uint8_t interpolate(const uint8_t* above, const uint8_t* below, int c) {
    int m = std::abs(below[c] - above[c]);
    int value = (above[c] + below[c]) >> 1;
    const int d1 = std::abs(below[c - 1] - above[c + 1]);
    if (d1 < m) {
        m = d1;
        value = (above[c + 1] + below[c - 1]) >> 1;
    }
    const int d2 = std::abs(below[c + 1] - above[c - 1]);
    if (d2 < m) {
        value = (above[c - 1] + below[c + 1]) >> 1;
    }
    return static_cast<uint8_t>(value);
}

// The pairs at x = 2, 4, ..., end - 2 of one line, and of the first field's row above it.
void interpolateLine(uint8_t* row, uint8_t* out, uint8_t* counters, const LineSources& src, int end) {
    for (int x = 2; x < end; x += 2) {
        row[x] = src.f1.top[x];
        row[x + 1] = src.f1.top[x + 1];
        const int a = pairSum(src.f2, x) - pairSum(src.p2, x);
        const int b = pairSum(src.f1, x) - pairSum(src.p1, x);
        bool weave = false;
        if (std::abs(a) >= kMotionThreshold || std::abs(b) >= kMotionThreshold) {
            counters[x] = 0;
        } else if (const int count = counters[x] + 1; count < kStillCount) {
            counters[x] = static_cast<uint8_t>(count);
        } else {
            counters[x] = kStillCount - 1;
            weave = true;
        }
        if (weave) {
            out[x] = src.f2.top[x];
            out[x + 1] = src.f2.top[x + 1];
        } else {
            out[x] = interpolate(src.f1.top, src.f1.bottom, x);
            out[x + 1] = interpolate(src.f1.top, src.f1.bottom, x + 1);
        }
    }
}

} // namespace

void interpolateLinesPortable(uint8_t* out, ptrdiff_t outStride, const FieldPlanes& src, int lines,
                              int pairs) {
    const size_t f2Bytes = 2 * static_cast<size_t>(pairs);
    std::memcpy(src.f2Store + 2, src.f2 + 2, f2Bytes);
    for (int i = 0; i < lines; ++i) {
        const ptrdiff_t top = i * src.stride, bottom = top + src.stride;
        const LineSources line = {
            {src.f1 + top, src.f1 + bottom},
            {src.f2 + top, src.f2 + bottom},
            {src.p1 + top, src.p1 + bottom},
            {src.p2 + top, src.p2 + bottom},
        };
        uint8_t* const row = out + 2 * i * outStride;
        interpolateLine(row, row + outStride, src.counters + top, line, 2 * pairs + 2);
        std::memcpy(src.f2Store + bottom + 2, src.f2 + bottom + 2, f2Bytes);
    }
}

extern const DeinterlaceKernels kDeinterlacePortable = {interpolateLinesPortable};
