#include "h264/kernels/sse2/Sse2.h"

namespace h264::sse2 {

namespace {

// The filters work on 8 samples in 16-bit lanes, where every intermediate of the standard's formulas
// is exact for any byte input.
__m128i row(const uint8_t* p) {
    return widen(load8(p));
}
void storeRow(uint8_t* p, __m128i v) {
    store8(p, _mm_packus_epi16(v, v));
}
__m128i absDiff(__m128i a, __m128i b) {
    return _mm_max_epi16(_mm_sub_epi16(a, b), _mm_sub_epi16(b, a));
}
__m128i select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}
__m128i clip(__m128i v, __m128i limit) {
    return _mm_min_epi16(_mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), limit)), limit);
}

// Byte k of a 32-bit word for lanes 2k and 2k + 1.
__m128i pairLanes(uint32_t word) {
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(word));
    return widen(_mm_unpacklo_epi8(bytes, bytes));
}

__m128i pairLanes(const uint8_t* fourBytes) {
    uint32_t word;
    std::memcpy(&word, fourBytes, 4);
    return pairLanes(word);
}

// (2 a + b + c + 2) >> 2: the edge sample of the chroma and the weak luma bS 4 filters.
__m128i weakEdge(__m128i a, __m128i b, __m128i c) {
    return _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(a, 1), b), _mm_add_epi16(c, _mm_set1_epi16(2))), 2);
}

__m128i active(__m128i p1, __m128i p0, __m128i q0, __m128i q1, __m128i alpha, __m128i beta) {
    const __m128i edge = _mm_cmpgt_epi16(alpha, absDiff(p0, q0));
    const __m128i side =
        _mm_and_si128(_mm_cmpgt_epi16(beta, absDiff(p1, p0)), _mm_cmpgt_epi16(beta, absDiff(q1, q0)));
    return _mm_and_si128(edge, side);
}

__m128i normalDelta(__m128i p1, __m128i p0, __m128i q0, __m128i q1, __m128i tc) {
    const __m128i d = _mm_add_epi16(_mm_slli_epi16(_mm_sub_epi16(q0, p0), 2), _mm_sub_epi16(p1, q1));
    return clip(_mm_srai_epi16(_mm_add_epi16(d, _mm_set1_epi16(4)), 3), tc);
}

void chromaNormal(uint8_t* p, uint8_t* q, __m128i alpha, __m128i beta, __m128i tc, int qStride) {
    const __m128i p1 = row(p), p0 = row(p + 8), q0 = row(q), q1 = row(q + qStride);
    const __m128i mask = active(p1, p0, q0, q1, alpha, beta);
    const __m128i delta = _mm_and_si128(normalDelta(p1, p0, q0, q1, tc), mask);
    storeRow(p + 8, _mm_add_epi16(p0, delta));
    storeRow(q, _mm_sub_epi16(q0, delta));
}

void chromaStrong(uint8_t* p, uint8_t* q, __m128i alpha, __m128i beta) {
    const __m128i p1 = row(p), p0 = row(p + 8), q0 = row(q), q1 = row(q + 8);
    const __m128i mask = active(p1, p0, q0, q1, alpha, beta);
    storeRow(p + 8, select(mask, weakEdge(p1, p0, q1), p0));
    storeRow(q, select(mask, weakEdge(q1, q0, p1), q0));
}

// One side of the bS 4 luma filter: x3..x0 on this side, y0 and y1 on the other (the Q side is the P side
// with p and q exchanged); writes x0, x1 and x2 at their rows.
void strongSide(uint8_t* x0Row, uint8_t* x1Row, uint8_t* x2Row, __m128i x3, __m128i x2, __m128i x1,
                __m128i x0, __m128i y0, __m128i y1, __m128i beta, __m128i close, __m128i mask) {
    const __m128i strong = _mm_and_si128(_mm_and_si128(close, _mm_cmpgt_epi16(beta, absDiff(x2, x0))), mask);
    const __m128i weak = _mm_andnot_si128(strong, mask);
    const __m128i two = _mm_set1_epi16(2), four = _mm_set1_epi16(4);
    const __m128i inner = _mm_add_epi16(x1, _mm_add_epi16(x0, y0)); // x1 + x0 + y0
    const __m128i sum4 = _mm_add_epi16(x2, inner);                  // x2 + x1 + x0 + y0
    const __m128i new0 = _mm_srli_epi16(
        _mm_add_epi16(_mm_add_epi16(x2, _mm_slli_epi16(inner, 1)), _mm_add_epi16(y1, four)), 3);
    const __m128i new1 = _mm_srli_epi16(_mm_add_epi16(sum4, two), 2);
    const __m128i new2 =
        _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_slli_epi16(_mm_add_epi16(x3, x2), 1), sum4), four), 3);
    storeRow(x0Row, select(strong, new0, select(weak, weakEdge(x1, x0, y1), x0)));
    storeRow(x1Row, select(strong, new1, x1));
    storeRow(x2Row, select(strong, new2, x2));
}

} // namespace

void FilterLumaEdgeNormal(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta, const uint8_t* tc0) {
    const __m128i p2 = row(p + 8), p1 = row(p + 16), p0 = row(p + 24);
    const __m128i q0 = row(q), q1 = row(q + 8), q2 = row(q + 16);
    const __m128i b = _mm_set1_epi16(static_cast<int16_t>(beta & 0xFF));
    const __m128i mask = active(p1, p0, q0, q1, pairLanes(alpha), b);
    const __m128i c0 = pairLanes(tc0);
    const __m128i filterP1 = _mm_and_si128(_mm_cmpgt_epi16(b, absDiff(p2, p0)), mask);
    const __m128i filterQ1 = _mm_and_si128(_mm_cmpgt_epi16(b, absDiff(q2, q0)), mask);
    // The masks are -1 where set: subtracting them adds one each.
    const __m128i tc = _mm_sub_epi16(_mm_sub_epi16(c0, filterP1), filterQ1);
    const __m128i delta = _mm_and_si128(normalDelta(p1, p0, q0, q1, tc), mask);
    const __m128i average = _mm_avg_epu16(p0, q0);
    const __m128i dp1 =
        clip(_mm_srai_epi16(_mm_sub_epi16(_mm_add_epi16(p2, average), _mm_slli_epi16(p1, 1)), 1), c0);
    const __m128i dq1 =
        clip(_mm_srai_epi16(_mm_sub_epi16(_mm_add_epi16(q2, average), _mm_slli_epi16(q1, 1)), 1), c0);
    storeRow(p + 24, _mm_add_epi16(p0, delta));
    storeRow(q, _mm_sub_epi16(q0, delta));
    storeRow(p + 16, _mm_add_epi16(p1, _mm_and_si128(dp1, filterP1)));
    storeRow(q + 8, _mm_add_epi16(q1, _mm_and_si128(dq1, filterQ1)));
}

void FilterLumaEdgeStrong(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta) {
    const __m128i p3 = row(p), p2 = row(p + 8), p1 = row(p + 16), p0 = row(p + 24);
    const __m128i q0 = row(q), q1 = row(q + 8), q2 = row(q + 16), q3 = row(q + 24);
    const int a = alpha & 0xFF;
    const __m128i b = _mm_set1_epi16(static_cast<int16_t>(beta & 0xFF));
    const __m128i mask = active(p1, p0, q0, q1, _mm_set1_epi16(static_cast<int16_t>(a)), b);
    const __m128i close =
        _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<int16_t>((a >> 2) + 2)), absDiff(p0, q0));
    strongSide(p + 24, p + 16, p + 8, p3, p2, p1, p0, q0, q1, b, close, mask);
    strongSide(q, q + 8, q + 16, q3, q2, q1, q0, p0, p1, b, close, mask);
}

void FilterChromaEdgesNormal(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta, const uint8_t* tc0, int qStride) {
    const __m128i a = pairLanes(alpha), b = _mm_set1_epi16(static_cast<int16_t>(beta & 0xFF));
    const __m128i tc = _mm_add_epi16(pairLanes(tc0), _mm_set1_epi16(1));
    chromaNormal(cbP, cbQ, a, b, tc, qStride);
    chromaNormal(crP, crQ, a, b, tc, qStride);
}

void FilterChromaEdgesStrong(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta) {
    const __m128i a = _mm_set1_epi16(static_cast<int16_t>(alpha & 0xFF));
    const __m128i b = _mm_set1_epi16(static_cast<int16_t>(beta & 0xFF));
    chromaStrong(cbP, cbQ, a, b);
    chromaStrong(crP, crQ, a, b);
}

} // namespace h264::sse2
