// The nine Intra_4x4 predictors (internal to h264/kernels). Both kernel sets compute the predicted
// values with this scalar code and differ only in how they add the residual.
#pragma once

#include <cstdint>

#include "h264/kernels/MacroblockBuffers.h"

namespace h264::kernels {

// The neighbours of one block, read through the map: edge[0..3] = p[-1, 3..0], edge[4] = p[-1, -1],
// edge[5..12] = p[0..7, -1], so that the diagonal modes walk one array.
struct Edge4x4 {
    int edge[13];
    int left(int y) const { return edge[3 - y]; }
    int above(int x) const { return edge[5 + x]; }
};

inline Edge4x4 readEdge4x4(int block, const LumaWorkBuffer* luma) {
    const Intra4x4NeighbourTables& map = Intra4x4NeighbourMap;
    Edge4x4 e;
    for (int y = 0; y < 4; ++y)
        e.edge[3 - y] = luma->bytes[map.left[y][block]];
    e.edge[4] = luma->bytes[map.topLeft[block]];
    for (int x = 0; x < 8; ++x)
        e.edge[5 + x] = luma->bytes[map.above[x][block]];
    return e;
}

inline int avg2(int a, int b) {
    return (a + b + 1) >> 1;
}
inline int avg3(int a, int b, int c) {
    return (a + 2 * b + c + 2) >> 2;
}

inline int predictDc4x4(const Edge4x4& e, bool left, bool above) {
    int sumLeft = 0, sumAbove = 0;
    for (int i = 0; i < 4; ++i) {
        sumLeft += e.left(i);
        sumAbove += e.above(i);
    }
    return left && above ? (sumLeft + sumAbove + 4) >> 3
           : above       ? (sumAbove + 2) >> 2
           : left        ? (sumLeft + 2) >> 2
                         : 128;
}

// Sample (x, y) of mode Mode; DC and diagonal down right are whole-block cases of predictBlock4x4.
template <int Mode> int predict4x4(const Edge4x4& e, int x, int y) {
    static_assert(Mode != 2 && Mode != 4);
    if constexpr (Mode == 0) {
        return e.above(x);
    } else if constexpr (Mode == 1) {
        return e.left(y);
    } else if constexpr (Mode == 3) { // diagonal down left
        const int k = x + y;
        return k == 6 ? (e.above(6) + 3 * e.above(7) + 2) >> 2
                      : avg3(e.above(k), e.above(k + 1), e.above(k + 2));
    } else if constexpr (Mode == 5) { // vertical right
        const int z = 2 * x - y;
        if (z >= 0) {
            const int k = 5 + x - (y >> 1); // p[x - (y >> 1), -1]
            return z % 2 == 0 ? avg2(e.edge[k - 1], e.edge[k])
                              : avg3(e.edge[k - 2], e.edge[k - 1], e.edge[k]);
        }
        if (z == -1)
            return avg3(e.edge[3], e.edge[4], e.edge[5]);
        return avg3(e.edge[4 - y], e.edge[5 - y], e.edge[6 - y]);
    } else if constexpr (Mode == 6) { // horizontal down
        const int z = 2 * y - x;
        if (z >= 0) {
            const int k = 3 - (y - (x >> 1)); // p[-1, y - (x >> 1)]
            return z % 2 == 0 ? avg2(e.edge[k + 1], e.edge[k])
                              : avg3(e.edge[k + 2], e.edge[k + 1], e.edge[k]);
        }
        if (z == -1)
            return avg3(e.edge[3], e.edge[4], e.edge[5]);
        return avg3(e.edge[4 + x], e.edge[3 + x], e.edge[2 + x]);
    } else if constexpr (Mode == 7) { // vertical left
        const int k = x + (y >> 1);
        return y % 2 == 0 ? avg2(e.above(k), e.above(k + 1))
                          : avg3(e.above(k), e.above(k + 1), e.above(k + 2));
    } else { // horizontal up
        const int z = x + 2 * y;
        const int k = y + (x >> 1);
        if (z > 5)
            return e.left(3);
        if (z == 5)
            return (e.left(2) + 3 * e.left(3) + 2) >> 2;
        return z % 2 == 0 ? avg2(e.left(k), e.left(k + 1)) : avg3(e.left(k), e.left(k + 1), e.left(k + 2));
    }
}

// The 16 predicted samples of a block in raster order.
template <int Mode> void predictBlock4x4(int block, const LumaWorkBuffer* luma, uint8_t pred[16]) {
    const Edge4x4 e = readEdge4x4(block, luma);
    if constexpr (Mode == 4) {
        // Diagonal down right: one value per diagonal x - y, centred on the corner. (Written with the
        // values first: gcc 12 -O2 vectorises the per-sample form wrongly.)
        int diagonal[7];
        for (int d = 0; d < 7; ++d)
            diagonal[d] = avg3(e.edge[d], e.edge[d + 1], e.edge[d + 2]);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                pred[4 * y + x] = static_cast<uint8_t>(diagonal[3 + x - y]);
    } else if constexpr (Mode == 2) {
        const int dc = predictDc4x4(e, luma->bytes[Intra4x4NeighbourMap.leftAvailable[block]],
                                    luma->bytes[Intra4x4NeighbourMap.aboveAvailable[block]]);
        for (int i = 0; i < 16; ++i)
            pred[i] = static_cast<uint8_t>(dc);
    } else {
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                pred[4 * y + x] = static_cast<uint8_t>(predict4x4<Mode>(e, x, y));
    }
}

} // namespace h264::kernels
