#include "h264/kernels/sse2/Sse2.h"

#include <cstddef>

namespace h264::sse2 {

namespace {

// Transposes four rows of four 16-bit values (low halves of r0..r3).
void transpose4(__m128i& r0, __m128i& r1, __m128i& r2, __m128i& r3) {
    const __m128i t0 = _mm_unpacklo_epi16(r0, r1);
    const __m128i t1 = _mm_unpacklo_epi16(r2, r3);
    const __m128i c01 = _mm_unpacklo_epi32(t0, t1);
    const __m128i c23 = _mm_unpackhi_epi32(t0, t1);
    r0 = c01;
    r1 = _mm_srli_si128(c01, 8);
    r2 = c23;
    r3 = _mm_srli_si128(c23, 8);
}

// The 4-point transform with each lane an independent line: in0..in3 are the line's elements.
void butterfly(__m128i& in0, __m128i& in1, __m128i& in2, __m128i& in3) {
    const __m128i e0 = _mm_add_epi16(in0, in2);
    const __m128i e1 = _mm_sub_epi16(in0, in2);
    const __m128i e2 = _mm_sub_epi16(_mm_srai_epi16(in1, 1), in3);
    const __m128i e3 = _mm_add_epi16(in1, _mm_srai_epi16(in3, 1));
    in0 = _mm_add_epi16(e0, e3);
    in1 = _mm_add_epi16(e1, e2);
    in2 = _mm_sub_epi16(e1, e2);
    in3 = _mm_sub_epi16(e0, e3);
}

} // namespace

void InverseTransform4x4(const int16_t* coefficients, int16_t* out) {
    __m128i a0 = load8(coefficients), a1 = load8(coefficients + 4);
    __m128i a2 = load8(coefficients + 8), a3 = load8(coefficients + 12);
    transpose4(a0, a1, a2, a3); // lane r of ak: element k of row r
    butterfly(a0, a1, a2, a3);
    transpose4(a0, a1, a2, a3); // lane k of ar: element r of column k
    // The rounding term rides on row 0: every output contains it once, and 16-bit sums wrap alike.
    a0 = _mm_add_epi16(a0, _mm_set1_epi16(32));
    butterfly(a0, a1, a2, a3);
    store8(out, _mm_srai_epi16(a0, 6));
    store8(out + 8, _mm_srai_epi16(a1, 6));
    store8(out + 16, _mm_srai_epi16(a2, 6));
    store8(out + 24, _mm_srai_epi16(a3, 6));
}

void ClearInnerStrengths(EdgeStrengths* strengths) {
    uint8_t* inner = reinterpret_cast<uint8_t*>(strengths) + offsetof(EdgeStrengths, vertical);
    storeu(inner, _mm_setzero_si128());
    store8(inner + 16, _mm_setzero_si128());
}

void InnerStrengthsFromCoefficients(const uint8_t* counts, EdgeStrengths* strengths) {
    const __m128i zero = _mm_setzero_si128();
    // 0xFF for blocks with coefficients, in luma4x4BlkIdx order.
    __m128i coded = _mm_xor_si128(_mm_cmpeq_epi8(loadu(counts), zero), _mm_set1_epi8(-1));
    // Raster order of the 4x4 grid: swap the middle pairs of each half (blocks 2,3 <-> 4,5 and 10,11 <->
    // 12,13).
    coded = _mm_shufflelo_epi16(coded, _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i raster = _mm_shufflehi_epi16(coded, _MM_SHUFFLE(3, 1, 2, 0));
    // Horizontal edges: row r with row r + 1, four bytes per edge.
    const __m128i horizontal = _mm_or_si128(raster, _mm_srli_si128(raster, 4));
    // Vertical edges: the same on the transposed grid.
    const __m128i ab = _mm_unpacklo_epi8(raster, _mm_srli_si128(raster, 4));
    const __m128i cd = _mm_unpacklo_epi8(_mm_srli_si128(raster, 8), _mm_srli_si128(raster, 12));
    const __m128i columns = _mm_unpacklo_epi16(ab, cd);
    const __m128i vertical = _mm_or_si128(columns, _mm_srli_si128(columns, 4));
    const __m128i two = _mm_set1_epi8(2);
    const __m128i low12 = _mm_srli_si128(_mm_set1_epi8(-1), 4);
    const __m128i first = _mm_or_si128(_mm_and_si128(vertical, low12), _mm_slli_si128(horizontal, 12));
    uint8_t* inner = reinterpret_cast<uint8_t*>(strengths) + offsetof(EdgeStrengths, vertical);
    storeu(inner, _mm_and_si128(first, two));
    store8(inner + 16, _mm_and_si128(_mm_srli_si128(horizontal, 4), two));
}

} // namespace h264::sse2
