#include "h264/kernels/sse2/Sse2.h"

#include <utility>

namespace h264::sse2 {

namespace {

// Block rows in 16-bit lanes: 4 lanes used for 4-column shapes, 8 for the 8-column one. Loads never
// reach past the source area.
template <int W> __m128i loadRow(const uint8_t* p) {
    if constexpr (W == 4)
        return load4(p);
    else
        return load8(p);
}

template <int W> void storeRow(uint8_t* p, __m128i bytes) {
    if constexpr (W == 4)
        store4(p, bytes);
    else
        store8(p, bytes);
}

// (E + J) + 5 (4 (G + H) - (F + I)), the raw 6-tap sum.
__m128i tap6(__m128i e, __m128i f, __m128i g, __m128i h, __m128i i, __m128i j) {
    const __m128i inner = _mm_sub_epi16(_mm_slli_epi16(_mm_add_epi16(g, h), 2), _mm_add_epi16(f, i));
    return _mm_add_epi16(_mm_add_epi16(e, j), _mm_mullo_epi16(inner, _mm_set1_epi16(5)));
}

// Raw horizontal sums of one row; p points at G. Reads columns -2 .. W + 2.
template <int W> __m128i horizontalRaw(const uint8_t* p) {
    // Bytes -2 .. 5 and 3 .. W + 2 overlap in 3 .. 5 with equal values, so OR joins them.
    const __m128i tail = W == 4 ? load4(p + 3) : load8(p + 3);
    const __m128i v = _mm_or_si128(load8(p - 2), _mm_slli_si128(tail, 5));
    return tap6(widen(v), widen(_mm_srli_si128(v, 1)), widen(_mm_srli_si128(v, 2)),
                widen(_mm_srli_si128(v, 3)), widen(_mm_srli_si128(v, 4)), widen(_mm_srli_si128(v, 5)));
}

// Raw vertical sums in the columns starting at p (W of them); reads rows -2 .. 3.
template <int W> __m128i verticalRaw(const uint8_t* p, int s) {
    return tap6(widen(loadRow<W>(p - 2 * s)), widen(loadRow<W>(p - s)), widen(loadRow<W>(p)),
                widen(loadRow<W>(p + s)), widen(loadRow<W>(p + 2 * s)), widen(loadRow<W>(p + 3 * s)));
}

// One-pass half sample: (sum + 16) >> 5, clipped by the saturating pack.
__m128i round5(__m128i raw) {
    const __m128i v = _mm_srai_epi16(_mm_add_epi16(raw, _mm_set1_epi16(16)), 5);
    return _mm_packus_epi16(v, v);
}

// Second pass of the centre sample over six first-pass rows, in 16 bits:
// ((((A - B) >> 2) - B) +sat C) >> 2, then (t + C + 32) >> 6, equal to (A - 5B + 20C + 512) >> 10 clipped.
__m128i centre(const int16_t* first, int row) {
    const auto at = [&](int r) { return loada(first + 8 * (row + r)); };
    const __m128i a = _mm_add_epi16(at(0), at(5));
    const __m128i b = _mm_add_epi16(at(1), at(4));
    const __m128i c = _mm_add_epi16(at(2), at(3));
    __m128i t = _mm_sub_epi16(_mm_srai_epi16(_mm_sub_epi16(a, b), 2), b);
    t = _mm_srai_epi16(_mm_adds_epi16(t, c), 2);
    t = _mm_srai_epi16(_mm_add_epi16(_mm_add_epi16(t, c), _mm_set1_epi16(32)), 6);
    return _mm_packus_epi16(t, t);
}

template <int W, int H, int XFrac, int YFrac> void lumaQpel(const InterPredBlock* block) {
    const int s = block->lumaStride;
    const uint8_t* g = block->lumaSource + (XFrac ? 2 : 0) + (YFrac ? 2 * s : 0);
    constexpr int index = 4 * XFrac + YFrac;
    constexpr bool needsCentre = (XFrac == 2 && YFrac != 0) || (YFrac == 2 && XFrac != 0);
    alignas(16) int16_t first[needsCentre ? (H + 5) * 8 : 8];
    if constexpr (needsCentre) {
        for (int r = 0; r < H + 5; ++r)
            storea(first + 8 * r, horizontalRaw<W>(g + (r - 2) * s));
    }
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = g + y * s;
        const auto full = [&] { return loadRow<W>(row); };
        const auto below = [&] { return loadRow<W>(row + s); };
        const auto right = [&] { return loadRow<W>(row + 1); };
        const auto b = [&] { return round5(horizontalRaw<W>(row)); };
        const auto sBelow = [&] { return round5(horizontalRaw<W>(row + s)); };
        const auto h = [&] { return round5(verticalRaw<W>(row, s)); };
        const auto m = [&] { return round5(verticalRaw<W>(row + 1, s)); };
        const auto j = [&] { return centre(first, y); };
        __m128i out;
        if constexpr (index == 0)
            out = full();
        else if constexpr (index == 1)
            out = _mm_avg_epu8(full(), h());
        else if constexpr (index == 2)
            out = h();
        else if constexpr (index == 3)
            out = _mm_avg_epu8(below(), h());
        else if constexpr (index == 4)
            out = _mm_avg_epu8(full(), b());
        else if constexpr (index == 5)
            out = _mm_avg_epu8(b(), h());
        else if constexpr (index == 6)
            out = _mm_avg_epu8(h(), j());
        else if constexpr (index == 7)
            out = _mm_avg_epu8(h(), sBelow());
        else if constexpr (index == 8)
            out = b();
        else if constexpr (index == 9)
            out = _mm_avg_epu8(b(), j());
        else if constexpr (index == 10)
            out = j();
        else if constexpr (index == 11)
            out = _mm_avg_epu8(j(), sBelow());
        else if constexpr (index == 12)
            out = _mm_avg_epu8(right(), b());
        else if constexpr (index == 13)
            out = _mm_avg_epu8(b(), m());
        else if constexpr (index == 14)
            out = _mm_avg_epu8(j(), m());
        else
            out = _mm_avg_epu8(m(), sBelow());
        storeRow<W>(block->lumaDestination + 8 * y + (y >= 8 ? 64 : 0), out);
    }
}

template <int W, int H, std::size_t... I> constexpr LumaQpelKernels table(std::index_sequence<I...>) {
    return {lumaQpel<W, H, I / 4, I % 4>...};
}

} // namespace

const LumaQpelKernels LumaQpelTable4x4 = table<4, 4>(std::make_index_sequence<16>());
const LumaQpelKernels LumaQpelTable4x8 = table<4, 8>(std::make_index_sequence<16>());
const LumaQpelKernels LumaQpelTable8x16 = table<8, 16>(std::make_index_sequence<16>());

} // namespace h264::sse2
