// SSE2 form of the line kernel: eight pairs (16 output pixels) per step, the same bytes as the portable form.
#include "h264/deinterlace/DeinterlaceKernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace {

__m128i load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

__m128i select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// A pair (x, x + 1) is one 16-bit lane: the sum of its two bytes in each lane.
__m128i pairSums(__m128i v) {
    return _mm_add_epi16(_mm_and_si128(v, _mm_set1_epi16(0x00FF)), _mm_srli_epi16(v, 8));
}

__m128i blockSums(const FieldRows& f, int x) {
    return _mm_add_epi16(pairSums(load(f.top + x)), pairSums(load(f.bottom + x)));
}

__m128i absEpi16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

__m128i absDiffEpu8(__m128i p, __m128i q) {
    return _mm_or_si128(_mm_subs_epu8(p, q), _mm_subs_epu8(q, p));
}

// All ones where p < q, unsigned bytes.
__m128i lessEpu8(__m128i p, __m128i q) {
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    return _mm_cmpgt_epi8(_mm_xor_si128(q, bias), _mm_xor_si128(p, bias));
}

// (p + q) >> 1: the rounding-up average less the half that it rounded.
__m128i floorAverage(__m128i p, __m128i q) {
    return _mm_sub_epi8(_mm_avg_epu8(p, q), _mm_and_si128(_mm_xor_si128(p, q), _mm_set1_epi8(1)));
}

__m128i interpolate(const uint8_t* above, const uint8_t* below, int x) {
    const __m128i aLeft = load(above + x - 1), aMid = load(above + x), aRight = load(above + x + 1);
    const __m128i bLeft = load(below + x - 1), bMid = load(below + x), bRight = load(below + x + 1);
    const __m128i dv = absDiffEpu8(bMid, aMid);
    const __m128i d1 = absDiffEpu8(bLeft, aRight);
    const __m128i d2 = absDiffEpu8(bRight, aLeft);
    const __m128i firstDiagonal = lessEpu8(d1, dv);
    const __m128i secondDiagonal = lessEpu8(d2, _mm_min_epu8(dv, d1));
    const __m128i value = select(firstDiagonal, floorAverage(aRight, bLeft), floorAverage(aMid, bMid));
    return select(secondDiagonal, floorAverage(aLeft, bRight), value);
}

void interpolateLineSse2(uint8_t* out, uint8_t* counters, const LineSources& src, int pairs) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i belowThreshold = _mm_set1_epi16(kMotionThreshold - 1);
    const __m128i held = _mm_set1_epi16(kStillCount - 1);
    const int end = 2 * pairs + 2;
    int x = 2;
    for (; x + 16 <= end; x += 16) {
        const __m128i a = _mm_sub_epi16(blockSums(src.f2, x), blockSums(src.p2, x));
        const __m128i b = _mm_sub_epi16(blockSums(src.f1, x), blockSums(src.p1, x));
        const __m128i motion = _mm_or_si128(_mm_cmpgt_epi16(absEpi16(a), belowThreshold),
                                            _mm_cmpgt_epi16(absEpi16(b), belowThreshold));
        // The counter of a pair is the byte at its even column; the odd bytes are kept as they are.
        const __m128i stored = load(counters + x);
        const __m128i count = _mm_and_si128(stored, lowBytes);
        const __m128i weave =
            _mm_andnot_si128(motion, _mm_cmpgt_epi16(count, _mm_set1_epi16(kStillCount - 2)));
        const __m128i next =
            _mm_andnot_si128(motion, _mm_min_epi16(_mm_add_epi16(count, _mm_set1_epi16(1)), held));
        store(counters + x, _mm_or_si128(_mm_andnot_si128(lowBytes, stored), next));
        store(out + x, select(weave, load(src.f2.top + x), interpolate(src.f1.top, src.f1.bottom, x)));
    }
    interpolatePairsPortable(out, counters, src, x, end);
}

} // namespace

extern const DeinterlaceKernels kDeinterlaceSse2 = {interpolateLineSse2};

#endif
