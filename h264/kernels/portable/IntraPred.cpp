#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

namespace h264::portable {

using kernels::addResidual;
using kernels::clip1;

namespace {

int avg2(int a, int b) {
    return (a + b + 1) >> 1;
}
int avg3(int a, int b, int c) {
    return (a + 2 * b + c + 2) >> 2;
}

// The neighbours of one 4x4 block, read through the map: edge[0..3] = p[-1, 3..0], edge[4] = p[-1, -1],
// edge[5..12] = p[0..7, -1], so that the diagonal modes walk one array.
struct Edge4x4 {
    int edge[13];
    int left(int y) const { return edge[3 - y]; }
    int above(int x) const { return edge[5 + x]; }
};

Edge4x4 readEdge(int block, const LumaWorkBuffer* luma) {
    const Intra4x4NeighbourTables& map = Intra4x4NeighbourMap;
    Edge4x4 e;
    for (int y = 0; y < 4; ++y)
        e.edge[3 - y] = luma->bytes[map.left[y][block]];
    e.edge[4] = luma->bytes[map.topLeft[block]];
    for (int x = 0; x < 8; ++x)
        e.edge[5 + x] = luma->bytes[map.above[x][block]];
    return e;
}

using Pred4x4 = uint8_t[4][4]; // [y][x]

void write4x4(int block, const Pred4x4& pred, LumaWorkBuffer* luma, const LumaResidualBlock* residual,
              int codedBlockPattern) {
    const int offset = Block4x4Offset[block];
    uint8_t* out = luma->bytes + offset;
    const bool coded = (codedBlockPattern >> (block / 4)) & 1;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            out[8 * y + x] =
                coded ? addResidual(pred[y][x], residual->values[offset + 8 * y + x]) : pred[y][x];
}

template <typename Predict>
void run4x4(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int codedBlockPattern,
            Predict predict) {
    const Edge4x4 e = readEdge(block, luma);
    Pred4x4 pred;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            pred[y][x] = static_cast<uint8_t>(predict(e, x, y));
    write4x4(block, pred, luma, residual, codedBlockPattern);
}

void pred4x4Vertical(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int) { return e.above(x); });
}

void pred4x4Horizontal(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int, int y) { return e.left(y); });
}

void pred4x4Dc(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    const Edge4x4 e = readEdge(block, luma);
    const bool left = luma->bytes[Intra4x4NeighbourMap.leftAvailable[block]];
    const bool above = luma->bytes[Intra4x4NeighbourMap.aboveAvailable[block]];
    int sumLeft = 0, sumAbove = 0;
    for (int i = 0; i < 4; ++i) {
        sumLeft += e.left(i);
        sumAbove += e.above(i);
    }
    const int dc = left && above ? (sumLeft + sumAbove + 4) >> 3
                   : above       ? (sumAbove + 2) >> 2
                   : left        ? (sumLeft + 2) >> 2
                                 : 128;
    Pred4x4 pred;
    for (auto& row : pred)
        for (auto& v : row)
            v = static_cast<uint8_t>(dc);
    write4x4(block, pred, luma, residual, cbp);
}

void pred4x4DiagonalDownLeft(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int y) {
        const int k = x + y;
        return k == 6 ? (e.above(6) + 3 * e.above(7) + 2) >> 2
                      : avg3(e.above(k), e.above(k + 1), e.above(k + 2));
    });
}

void pred4x4DiagonalDownRight(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    // One value per diagonal x - y, centred on the corner at edge[4].
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int y) {
        const int k = 4 + x - y;
        return avg3(e.edge[k - 1], e.edge[k], e.edge[k + 1]);
    });
}

void pred4x4VerticalRight(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int y) {
        const int z = 2 * x - y;
        if (z >= 0) {
            const int k = 5 + x - (y >> 1); // p[x - (y >> 1), -1]
            return z % 2 == 0 ? avg2(e.edge[k - 1], e.edge[k])
                              : avg3(e.edge[k - 2], e.edge[k - 1], e.edge[k]);
        }
        if (z == -1)
            return avg3(e.edge[3], e.edge[4], e.edge[5]);
        return avg3(e.edge[4 - y], e.edge[5 - y], e.edge[6 - y]);
    });
}

void pred4x4HorizontalDown(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int y) {
        const int z = 2 * y - x;
        if (z >= 0) {
            const int k = 3 - (y - (x >> 1)); // p[-1, y - (x >> 1)]
            return z % 2 == 0 ? avg2(e.edge[k + 1], e.edge[k])
                              : avg3(e.edge[k + 2], e.edge[k + 1], e.edge[k]);
        }
        if (z == -1)
            return avg3(e.edge[3], e.edge[4], e.edge[5]);
        return avg3(e.edge[4 + x], e.edge[3 + x], e.edge[2 + x]);
    });
}

void pred4x4VerticalLeft(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int y) {
        const int k = x + (y >> 1);
        return y % 2 == 0 ? avg2(e.above(k), e.above(k + 1))
                          : avg3(e.above(k), e.above(k + 1), e.above(k + 2));
    });
}

void pred4x4HorizontalUp(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int cbp) {
    run4x4(block, luma, residual, cbp, [](const Edge4x4& e, int x, int y) {
        const int z = x + 2 * y;
        const int k = y + (x >> 1);
        if (z > 5)
            return e.left(3);
        if (z == 5)
            return (e.left(2) + 3 * e.left(3) + 2) >> 2;
        return z % 2 == 0 ? avg2(e.left(k), e.left(k + 1)) : avg3(e.left(k), e.left(k + 1), e.left(k + 2));
    });
}

// Intra_16x16 and chroma: prediction into the quadrant or raster layout, then residual.

int lumaIndex(int x, int y) {
    return ((y / 8) * 2 + x / 8) * 64 + (y % 8) * 8 + x % 8;
}

template <typename Predict>
void run16x16(LumaWorkBuffer* luma, LumaResidualBlock* residual, Predict predict) {
    uint8_t pred[256];
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pred[lumaIndex(x, y)] = static_cast<uint8_t>(predict(x, y));
    for (int i = 0; i < 256; ++i)
        luma->bytes[i] = addResidual(pred[i], residual->values[i]);
}

void pred16x16Vertical(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    const uint8_t* above = luma->bytes + LumaWorkBuffer::Above;
    run16x16(luma, residual, [above](int x, int) { return above[x]; });
}

void pred16x16Horizontal(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    const uint8_t* left = luma->bytes + LumaWorkBuffer::Left;
    run16x16(luma, residual, [left](int, int y) { return left[y]; });
}

void pred16x16Dc(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    const uint8_t* b = luma->bytes;
    int sumLeft = 0, sumAbove = 0;
    for (int i = 0; i < 16; ++i) {
        sumLeft += b[LumaWorkBuffer::Left + i];
        sumAbove += b[LumaWorkBuffer::Above + i];
    }
    const bool left = b[LumaWorkBuffer::LeftAvailable], above = b[LumaWorkBuffer::AboveAvailable];
    const int dc = left && above ? (sumLeft + sumAbove + 16) >> 5
                   : above       ? (sumAbove + 8) >> 4
                   : left        ? (sumLeft + 8) >> 4
                                 : 128;
    run16x16(luma, residual, [dc](int, int) { return dc; });
}

void pred16x16Plane(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    const uint8_t* b = luma->bytes;
    const uint8_t* above = b + LumaWorkBuffer::Above;
    const uint8_t* left = b + LumaWorkBuffer::Left;
    const int corner = b[LumaWorkBuffer::TopLeft];
    int h = 0, v = 0;
    for (int k = 1; k <= 8; ++k) {
        h += k * (above[7 + k] - (k == 8 ? corner : above[7 - k]));
        v += k * (left[7 + k] - (k == 8 ? corner : left[7 - k]));
    }
    const int pb = (5 * h + 32) >> 6, pc = (5 * v + 32) >> 6;
    const int a = 16 * (left[15] + above[15]);
    run16x16(luma, residual,
             [=](int x, int y) { return clip1(((a - 7 * pb + x * pb) + (16 - 7 * pc + y * pc)) >> 5); });
}

template <typename Predict>
void runChroma(ChromaWorkBuffer* plane, ChromaResidualBlock* residual, int chromaPattern, Predict predict) {
    uint8_t pred[64];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pred[8 * y + x] = static_cast<uint8_t>(predict(plane->bytes, x, y));
    for (int i = 0; i < 64; ++i)
        plane->bytes[i] = chromaPattern ? addResidual(pred[i], residual->values[i]) : pred[i];
}

// The DC of each 4x4 quarter, from the sums of its own four samples above and left.
void chromaDcPlane(const LumaWorkBuffer* luma, ChromaWorkBuffer* plane, ChromaResidualBlock* residual,
                   int chromaPattern) {
    const uint8_t* b = plane->bytes;
    const bool above = luma->bytes[LumaWorkBuffer::AboveAvailable];
    const bool leftTop = luma->bytes[LumaWorkBuffer::LeftAvailable];
    const bool leftBottom = luma->bytes[LumaWorkBuffer::LeftAvailable + 2];
    int sumAbove[2] = {}, sumLeft[2] = {};
    for (int i = 0; i < 8; ++i) {
        sumAbove[i / 4] += b[ChromaWorkBuffer::Above + i];
        sumLeft[i / 4] += b[ChromaWorkBuffer::Left + i];
    }
    int dc[2][2]; // [y / 4][x / 4]
    for (int qy = 0; qy < 2; ++qy)
        for (int qx = 0; qx < 2; ++qx) {
            const bool left = qy ? leftBottom : leftTop;
            const int sa = sumAbove[qx], sl = sumLeft[qy];
            int value = 128;
            if (qx == qy) {
                value = left && above ? (sa + sl + 4) >> 3
                        : left        ? (sl + 2) >> 2
                        : above       ? (sa + 2) >> 2
                                      : 128;
            } else if (qx == 1) {
                value = above ? (sa + 2) >> 2 : left ? (sl + 2) >> 2 : 128;
            } else {
                value = left ? (sl + 2) >> 2 : above ? (sa + 2) >> 2 : 128;
            }
            dc[qy][qx] = value;
        }
    runChroma(plane, residual, chromaPattern,
              [&dc](const uint8_t*, int x, int y) { return dc[y / 4][x / 4]; });
}

void predChromaDc(const LumaWorkBuffer* luma, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                  ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual, int chromaPattern) {
    chromaDcPlane(luma, cb, cbResidual, chromaPattern);
    chromaDcPlane(luma, cr, crResidual, chromaPattern);
}

void predChromaHorizontal(const LumaWorkBuffer*, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                          ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual,
                          int chromaPattern) {
    const auto predict = [](const uint8_t* b, int, int y) { return b[ChromaWorkBuffer::Left + y]; };
    runChroma(cb, cbResidual, chromaPattern, predict);
    runChroma(cr, crResidual, chromaPattern, predict);
}

void predChromaVertical(const LumaWorkBuffer*, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                        ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual, int chromaPattern) {
    const auto predict = [](const uint8_t* b, int x, int) { return b[ChromaWorkBuffer::Above + x]; };
    runChroma(cb, cbResidual, chromaPattern, predict);
    runChroma(cr, crResidual, chromaPattern, predict);
}

void chromaPlanePlane(ChromaWorkBuffer* plane, ChromaResidualBlock* residual, int chromaPattern) {
    const uint8_t* b = plane->bytes;
    const uint8_t* above = b + ChromaWorkBuffer::Above;
    const uint8_t* left = b + ChromaWorkBuffer::Left;
    const int corner = b[ChromaWorkBuffer::TopLeft];
    int h = 0, v = 0;
    for (int k = 1; k <= 4; ++k) {
        h += k * (above[3 + k] - (k == 4 ? corner : above[3 - k]));
        v += k * (left[3 + k] - (k == 4 ? corner : left[3 - k]));
    }
    const int pb = (17 * h + 16) >> 5, pc = (17 * v + 16) >> 5;
    const int a = 16 * (left[7] + above[7]);
    runChroma(plane, residual, chromaPattern, [=](const uint8_t*, int x, int y) {
        return clip1(((a - 3 * pb + x * pb) + (16 - 3 * pc + y * pc)) >> 5);
    });
}

void predChromaPlane(const LumaWorkBuffer*, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                     ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual, int chromaPattern) {
    chromaPlanePlane(cb, cbResidual, chromaPattern);
    chromaPlanePlane(cr, crResidual, chromaPattern);
}

} // namespace

const Intra4x4Kernels Intra4x4Table = {
    pred4x4Vertical,         pred4x4Horizontal,        pred4x4Dc,
    pred4x4DiagonalDownLeft, pred4x4DiagonalDownRight, pred4x4VerticalRight,
    pred4x4HorizontalDown,   pred4x4VerticalLeft,      pred4x4HorizontalUp};
const Intra16x16Kernels Intra16x16Table = {pred16x16Vertical, pred16x16Horizontal, pred16x16Dc,
                                           pred16x16Plane};
const IntraChromaKernels IntraChromaTable = {predChromaDc, predChromaHorizontal, predChromaVertical,
                                             predChromaPlane};

} // namespace h264::portable
