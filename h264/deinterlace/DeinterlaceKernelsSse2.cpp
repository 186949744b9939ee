// SSE2 form of the line kernel: eight pairs (16 output pixels) per step, the same bytes as the portable form.
// A pair's 2x2 block difference is the sum of two row differences (row j and row j + 1); each line keeps the
// row j + 1 differences for the next one, so every field row is summed once per frame instead of twice.
#include "h264/deinterlace/DeinterlaceKernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace {

constexpr int kStep = 16; // output pixels, eight pairs

__m128i load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

void store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// mask ? a : b, bytewise.
__m128i select(__m128i mask, __m128i a, __m128i b) {
    return _mm_xor_si128(b, _mm_and_si128(mask, _mm_xor_si128(a, b)));
}

__m128i absDiffEpu8(__m128i p, __m128i q) {
    return _mm_or_si128(_mm_subs_epu8(p, q), _mm_subs_epu8(q, p));
}

// A pair (x, x + 1) is one 16-bit lane: the sum of its two bytes in f less that in p.
__m128i rowDifference(__m128i fv, __m128i pv) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    return _mm_add_epi16(_mm_sub_epi16(_mm_and_si128(fv, lowBytes), _mm_and_si128(pv, lowBytes)),
                         _mm_sub_epi16(_mm_srli_epi16(fv, 8), _mm_srli_epi16(pv, 8)));
}

// All ones in the lanes where |d| < kMotionThreshold: d + (threshold - 1) lies in 0 .. 2 (threshold - 1),
// unsigned.
__m128i belowThreshold(__m128i d) {
    return _mm_subs_epu16(_mm_add_epi16(d, _mm_set1_epi16(kMotionThreshold - 1)),
                          _mm_set1_epi16(2 * (kMotionThreshold - 1)));
}

// The edge-directed average at columns x .. x + 15 between rows above and below. The chosen direction has
// the least of the three distances, and a distance |q - p| is odd exactly when p + q is: so the rounded-up
// averages of all three less the parity of that least distance give the rounded-down one that was chosen.
[[gnu::always_inline]] inline __m128i interpolate(const uint8_t* above, const uint8_t* below) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i aLeft = load(above - 1), aMid = load(above), aRight = load(above + 1);
    const __m128i bLeft = load(below - 1), bMid = load(below), bRight = load(below + 1);
    const __m128i dv = absDiffEpu8(bMid, aMid);
    const __m128i d1 = absDiffEpu8(bLeft, aRight);
    const __m128i d2 = absDiffEpu8(bRight, aLeft);
    const __m128i notFirst = _mm_cmpeq_epi8(_mm_subs_epu8(dv, d1), zero); // dv <= d1
    const __m128i least = _mm_min_epu8(dv, d1);
    const __m128i notSecond = _mm_cmpeq_epi8(_mm_subs_epu8(least, d2), zero); // least <= d2
    const __m128i value =
        select(notSecond, select(notFirst, _mm_avg_epu8(aMid, bMid), _mm_avg_epu8(aRight, bLeft)),
               _mm_avg_epu8(aLeft, bRight));
    return _mm_sub_epi8(value, _mm_and_si128(_mm_min_epu8(least, d2), _mm_set1_epi8(1)));
}

// The rows one line reads and writes, as plain pointers (the stores through out and counters could alias
// a structure's members and make every step load them again).
struct LineRows {
    uint8_t* row;
    uint8_t* out;
    uint8_t* counters;
    const uint8_t* f1Top;
    const uint8_t* f1Bottom;
    const uint8_t* f2Top;
    const uint8_t* f2Bottom;
    const uint8_t* p1Bottom;
    const uint8_t* p2Bottom;
    uint8_t* f2StoreBottom;
};

// The row j + 1 differences of one step, and its counters, which the caller stores.
struct Step {
    __m128i d1, d2, counters;
};

// Sixteen pixels at column x of one line; diff1 and diff2 hold the row j differences of the line's pairs,
// each pair's 16 bits at its two columns.
[[gnu::always_inline]] inline Step step(const LineRows& r, const uint8_t* diff1, const uint8_t* diff2,
                                        int x) {
    const __m128i next1 = rowDifference(load(r.f1Bottom + x), load(r.p1Bottom + x));
    const __m128i f2Next = load(r.f2Bottom + x);
    store(r.f2StoreBottom + x, f2Next);
    const __m128i next2 = rowDifference(f2Next, load(r.p2Bottom + x));
    const __m128i still = _mm_cmpeq_epi16(_mm_or_si128(belowThreshold(_mm_add_epi16(load(diff1 + x), next1)),
                                                       belowThreshold(_mm_add_epi16(load(diff2 + x), next2))),
                                          _mm_setzero_si128());
    // The counter of a pair is the 16-bit value at its even column (its odd byte is zero).
    const __m128i count = load(r.counters + x);
    const __m128i weave = _mm_and_si128(still, _mm_cmpgt_epi16(count, _mm_set1_epi16(kStillCount - 2)));
    const __m128i kept = _mm_and_si128(
        still, _mm_min_epi16(_mm_add_epi16(count, _mm_set1_epi16(1)), _mm_set1_epi16(kStillCount - 1)));
    store(r.row + x, load(r.f1Top + x));
    // Still areas weave whole steps and moving ones interpolate them: each skips the other's work.
    const int woven = _mm_movemask_epi8(weave);
    if (woven == 0xFFFF) {
        store(r.out + x, load(r.f2Top + x));
    } else if (woven == 0) {
        store(r.out + x, interpolate(r.f1Top + x, r.f1Bottom + x));
    } else {
        store(r.out + x, select(weave, load(r.f2Top + x), interpolate(r.f1Top + x, r.f1Bottom + x)));
    }
    return {next1, next2, kept};
}

void interpolateLinesSse2(uint8_t* out, ptrdiff_t outStride, const FieldPlanes& src, int lines, int pairs) {
    if (pairs < kStep / 2) {
        interpolateLinesPortable(out, outStride, src, lines, pairs);
        return;
    }
    const int end = 2 * pairs + 2;
    // The last step ends at the line's end and overlaps the one before it, where it gives the same bytes.
    const int last = end - kStep;
    // Row differences of the pairs, addressed like the field rows.
    uint8_t diff1[2 * kMaxLinePairs + 2], diff2[2 * kMaxLinePairs + 2];
    for (int x = 2;; x += kStep) {
        x = x > last ? last : x;
        store(diff1 + x, rowDifference(load(src.f1 + x), load(src.p1 + x)));
        const __m128i f2Row = load(src.f2 + x);
        store(src.f2Store + x, f2Row);
        store(diff2 + x, rowDifference(f2Row, load(src.p2 + x)));
        if (x == last) {
            break;
        }
    }
    const ptrdiff_t stride = src.stride;
    for (int i = 0; i < lines; ++i) {
        const ptrdiff_t top = i * stride, bottom = top + stride;
        uint8_t* const row = out + 2 * i * outStride;
        const LineRows r = {
            row,          row + outStride, src.counters + top, src.f1 + top,    src.f1 + bottom,
            src.f2 + top, src.f2 + bottom, src.p1 + bottom,    src.p2 + bottom, src.f2Store + bottom};
        // The last step reads the counters and row j differences before the others overwrite them.
        const Step tail = step(r, diff1, diff2, last);
        for (int x = 2; x < last; x += kStep) {
            const Step s = step(r, diff1, diff2, x);
            store(diff1 + x, s.d1);
            store(diff2 + x, s.d2);
            store(r.counters + x, s.counters);
        }
        store(diff1 + last, tail.d1);
        store(diff2 + last, tail.d2);
        store(r.counters + last, tail.counters);
    }
}

} // namespace

extern const DeinterlaceKernels kDeinterlaceSse2 = {interpolateLinesSse2};

#endif
