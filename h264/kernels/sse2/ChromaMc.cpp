#include "h264/kernels/sse2/Sse2.h"

namespace h264::sse2 {

namespace {

template <int W> __m128i loadRow(const uint8_t* p) {
    if constexpr (W == 4)
        return widen(load4(p));
    else
        return widen(load8(p));
}

template <int W> void storeRow(uint8_t* p, __m128i v) {
    const __m128i bytes = _mm_packus_epi16(v, v);
    if constexpr (W == 4)
        store4(p, bytes);
    else
        store8(p, bytes);
}

// One plane of a W x R block; A at source, B to its right, C below, D below-right. Output rows outStride
// apart.
template <int W, int R, int Case>
void chromaPlane(const uint8_t* source, int s, int xFrac, int yFrac, uint8_t* out, int outStride) {
    const __m128i x = _mm_set1_epi16(static_cast<int16_t>(xFrac)),
                  y = _mm_set1_epi16(static_cast<int16_t>(yFrac));
    const __m128i eight = _mm_set1_epi16(8);
    for (int r = 0; r < R; ++r) {
        const uint8_t* p = source + r * s;
        uint8_t* o = out + r * outStride;
        if constexpr (Case == 0) {
            if constexpr (W == 4)
                store4(o, load4(p));
            else
                store8(o, load8(p));
        } else if constexpr (Case == 1 || Case == 2) {
            const __m128i f = Case == 1 ? x : y;
            const __m128i a = loadRow<W>(p), b = loadRow<W>(Case == 1 ? p + 1 : p + s);
            const __m128i sum =
                _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(eight, f), a), _mm_mullo_epi16(f, b));
            storeRow<W>(o, _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(4)), 3));
        } else {
            const __m128i a = loadRow<W>(p), b = loadRow<W>(p + 1), c = loadRow<W>(p + s),
                          d = loadRow<W>(p + s + 1);
            __m128i sum;
            if constexpr (W == 4) {
                // Four weighted products: at most 64 * 255 + 32, inside a signed lane.
                const __m128i nx = _mm_sub_epi16(eight, x), ny = _mm_sub_epi16(eight, y);
                sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_mullo_epi16(nx, ny), a),
                                                  _mm_mullo_epi16(_mm_mullo_epi16(x, ny), b)),
                                    _mm_add_epi16(_mm_mullo_epi16(_mm_mullo_epi16(nx, y), c),
                                                  _mm_mullo_epi16(_mm_mullo_epi16(x, y), d)));
            } else {
                // 64 A + x y (A + D - B - C) + 8 (y (C - A) + x (B - A)): the terms wrap in 16 bits, the sum
                // (32 .. 16352 with the rounding) does not.
                const __m128i cross = _mm_mullo_epi16(
                    _mm_mullo_epi16(x, y), _mm_sub_epi16(_mm_add_epi16(a, d), _mm_add_epi16(b, c)));
                const __m128i linear = _mm_add_epi16(_mm_mullo_epi16(y, _mm_sub_epi16(c, a)),
                                                     _mm_mullo_epi16(x, _mm_sub_epi16(b, a)));
                sum = _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(a, 6), cross), _mm_slli_epi16(linear, 3));
            }
            storeRow<W>(o, _mm_srai_epi16(_mm_add_epi16(sum, _mm_set1_epi16(32)), 6));
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

} // namespace h264::sse2
