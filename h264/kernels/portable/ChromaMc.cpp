#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

namespace h264 {
namespace portable {
namespace {

using kernels::wrap16;

// Case 0 copy, 1 horizontal, 2 vertical, 3 both, on one plane: W x R samples from source (stride s) to
// destination rows outStride apart.
template <int W, int R, int Case>
void chromaPlane(const uint8_t* source, int s, int xFrac, int yFrac, uint8_t* destination, int outStride) {
    for (int y = 0; y < R; ++y) {
        const uint8_t* row = source + y * s;
        for (int x = 0; x < W; ++x) {
            const int a = row[x];
            int value = a;
            if constexpr (Case == 1) {
                value = a + (((row[x + 1] - a) * xFrac + 4) >> 3);
            } else if constexpr (Case == 2) {
                value = a + (((row[s + x] - a) * yFrac + 4) >> 3);
            } else if constexpr (Case == 3) {
                const int b = row[x + 1], c = row[s + x], d = row[s + x + 1];
                // The SIMD form's 16-bit lanes: intermediate terms wrap, the final sum (32 .. 16352) is
                // exact.
                const int sum = wrap16(64 * a + wrap16(xFrac * yFrac * (a + d - b - c)) +
                                       wrap16(8 * (yFrac * (c - a) + xFrac * (b - a))) + 32);
                value = sum >> 6;
            }
            destination[y * outStride + x] = static_cast<uint8_t>(value);
        }
    }
}

// Into the work buffers (stride 8), or with R 8 into picture rows.
template <int W, int R, int Case> void chromaMc(const InterPredBlock* block, int stride) {
    chromaPlane<W, R, Case>(block->cbSource, block->chromaStride, block->xFracC, block->yFracC,
                            block->cbDestination, stride);
    chromaPlane<W, R, Case>(block->crSource, block->chromaStride, block->xFracC, block->yFracC,
                            block->crDestination, stride);
}

template <int W, int R, int Case> void chromaMc(const InterPredBlock* block) {
    chromaMc<W, R, Case>(block, 8);
}

template <int W, int R> constexpr ChromaMcKernels table() {
    return {chromaMc<W, R, 0>, chromaMc<W, R, 1>, chromaMc<W, R, 2>, chromaMc<W, R, 3>};
}

} // namespace

const ChromaMcKernels ChromaMcTable4 = table<4, 2>();
const ChromaMcKernels ChromaMcTable8 = table<8, 4>();
const PictureChromaKernels ChromaPictureTable = {chromaMc<8, 8, 0>, chromaMc<8, 8, 1>, chromaMc<8, 8, 2>,
                                                 chromaMc<8, 8, 3>};

} // namespace portable

const ChromaMcKernels ChromaMcTable2 = portable::table<2, 2>();

} // namespace h264
