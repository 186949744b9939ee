#include "h264/kernels/Intra4x4Modes.h"
#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

namespace h264::portable {

using kernels::addResidual;
using kernels::clip1;

namespace {

// Prediction of the mode, then the residual where the block's quadrant is coded.
template <int Mode>
void pred4x4(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int codedBlockPattern) {
    uint8_t pred[16];
    kernels::predictBlock4x4<Mode>(block, luma, pred);
    const int offset = Block4x4Offset[block];
    uint8_t* out = luma->bytes + offset;
    const bool coded = (codedBlockPattern >> (block / 4)) & 1;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            out[8 * y + x] =
                coded ? addResidual(pred[4 * y + x], residual->values[offset + 8 * y + x]) : pred[4 * y + x];
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

const Intra4x4Kernels Intra4x4Table = {pred4x4<0>, pred4x4<1>, pred4x4<2>, pred4x4<3>, pred4x4<4>,
                                       pred4x4<5>, pred4x4<6>, pred4x4<7>, pred4x4<8>};
const Intra16x16Kernels Intra16x16Table = {pred16x16Vertical, pred16x16Horizontal, pred16x16Dc,
                                           pred16x16Plane};
const IntraChromaKernels IntraChromaTable = {predChromaDc, predChromaHorizontal, predChromaVertical,
                                             predChromaPlane};

} // namespace h264::portable
