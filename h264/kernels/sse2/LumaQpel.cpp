#include "h264/kernels/sse2/Sse2.h"

#include <initializer_list>
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

// One-pass vertical half samples of rows 0 .. rows - 1 in the columns starting at p, over a sliding
// window of six source rows.
template <int W> void verticalHalf(const uint8_t* p, int s, int rows, __m128i* out) {
    __m128i r0 = widen(loadRow<W>(p - 2 * s)), r1 = widen(loadRow<W>(p - s)), r2 = widen(loadRow<W>(p));
    __m128i r3 = widen(loadRow<W>(p + s)), r4 = widen(loadRow<W>(p + 2 * s));
    for (int y = 0; y < rows; ++y) {
        const __m128i r5 = widen(loadRow<W>(p + (y + 3) * s));
        out[y] = round5(tap6(r0, r1, r2, r3, r4, r5));
        r0 = r1, r1 = r2, r2 = r3, r3 = r4, r4 = r5;
    }
}

// Where row y of a block goes: the work buffer's quadrant layout (rows 8..15 of an 8x16 block in the
// quadrant below), or picture rows a stride apart.
struct QuadrantRows {
    uint8_t* base;
    uint8_t* operator()(int y) const { return base + 8 * y + (y >= 8 ? 64 : 0); }
};
struct PictureRows {
    uint8_t* base;
    int stride;
    uint8_t* operator()(int y) const { return base + y * stride; }
};

// Each kernel first forms the half samples its position needs for the whole block (b over the block's
// rows and, for s, one more; h in the block's columns; m one column to the right; j through a 16-bit
// first pass), then averages row by row. source and s are the area's; rows places the output (passed by
// value: the stores could alias the block record as far as the compiler knows).
template <int W, int H, int XFrac, int YFrac, typename Rows>
void interpolate(const uint8_t* source, int s, Rows rows) {
    const uint8_t* g = source + (XFrac ? 2 : 0) + (YFrac ? 2 * s : 0);
    constexpr int index = 4 * XFrac + YFrac;
    const auto uses = [](std::initializer_list<int> positions) {
        for (int p : positions)
            if (p == index)
                return true;
        return false;
    };
    constexpr bool needsB = uses({4, 5, 8, 9, 12, 13}); // b of the block's rows
    constexpr bool needsBelow = uses({7, 11, 15});      // s: b of the rows below
    constexpr bool needsH = uses({1, 2, 3, 5, 6, 7});
    constexpr bool needsM = uses({13, 14, 15});
    constexpr bool needsJ = uses({6, 9, 10, 11, 14});
    __m128i b[H + 1], h[H], m[H];
    if constexpr (needsB || needsBelow) {
        for (int r = needsB ? 0 : 1; r < H + (needsBelow ? 1 : 0); ++r)
            b[r] = round5(horizontalRaw<W>(g + r * s));
    }
    if constexpr (needsH)
        verticalHalf<W>(g, s, H, h);
    if constexpr (needsM)
        verticalHalf<W>(g + 1, s, H, m);
    alignas(16) int16_t first[needsJ ? (H + 5) * 8 : 8];
    if constexpr (needsJ) {
        for (int r = 0; r < H + 5; ++r)
            storea(first + 8 * r, horizontalRaw<W>(g + (r - 2) * s));
    }
    if constexpr (index == 0) {
        // The full-sample copy loads every row before it stores any: a reference read issued after a store
        // to the work buffer can wait for it, and the reads are what takes the time.
        __m128i loaded[H];
        for (int y = 0; y < H; ++y)
            loaded[y] = loadRow<W>(g + y * s);
        for (int y = 0; y < H; ++y)
            storeRow<W>(rows(y), loaded[y]);
        return;
    }
    for (int y = 0; y < H; ++y) {
        const uint8_t* row = g + y * s;
        __m128i out;
        if constexpr (index == 1)
            out = _mm_avg_epu8(loadRow<W>(row), h[y]);
        else if constexpr (index == 2)
            out = h[y];
        else if constexpr (index == 3)
            out = _mm_avg_epu8(loadRow<W>(row + s), h[y]);
        else if constexpr (index == 4)
            out = _mm_avg_epu8(loadRow<W>(row), b[y]);
        else if constexpr (index == 5)
            out = _mm_avg_epu8(b[y], h[y]);
        else if constexpr (index == 6)
            out = _mm_avg_epu8(h[y], centre(first, y));
        else if constexpr (index == 7)
            out = _mm_avg_epu8(h[y], b[y + 1]);
        else if constexpr (index == 8)
            out = b[y];
        else if constexpr (index == 9)
            out = _mm_avg_epu8(b[y], centre(first, y));
        else if constexpr (index == 10)
            out = centre(first, y);
        else if constexpr (index == 11)
            out = _mm_avg_epu8(centre(first, y), b[y + 1]);
        else if constexpr (index == 12)
            out = _mm_avg_epu8(loadRow<W>(row + 1), b[y]);
        else if constexpr (index == 13)
            out = _mm_avg_epu8(b[y], m[y]);
        else if constexpr (index == 14)
            out = _mm_avg_epu8(centre(first, y), m[y]);
        else
            out = _mm_avg_epu8(m[y], b[y + 1]);
        storeRow<W>(rows(y), out);
    }
}

template <int W, int H, int XFrac, int YFrac> void lumaQpel(const InterPredBlock* block) {
    interpolate<W, H, XFrac, YFrac>(block->lumaSource, block->lumaStride,
                                    QuadrantRows{block->lumaDestination});
}

// A 16x16 block into picture rows: two 8-column halves, the full-sample copy in whole rows.
template <int XFrac, int YFrac> void lumaPicture(const InterPredBlock* block, int stride) {
    const uint8_t* source = block->lumaSource;
    uint8_t* const destination = block->lumaDestination;
    const int s = block->lumaStride;
    if constexpr (XFrac == 0 && YFrac == 0) {
        __m128i loaded[16];
        for (int y = 0; y < 16; ++y)
            loaded[y] = loadu(source + y * s);
        for (int y = 0; y < 16; ++y)
            storeu(destination + y * stride, loaded[y]);
        return;
    }
    interpolate<8, 16, XFrac, YFrac>(source, s, PictureRows{destination, stride});
    interpolate<8, 16, XFrac, YFrac>(source + 8, s, PictureRows{destination + 8, stride});
}

template <int W, int H, std::size_t... I> constexpr LumaQpelKernels table(std::index_sequence<I...>) {
    return {lumaQpel<W, H, I / 4, I % 4>...};
}

template <std::size_t... I> constexpr PictureLumaKernels pictureTable(std::index_sequence<I...>) {
    return {lumaPicture<I / 4, I % 4>...};
}

} // namespace

const LumaQpelKernels LumaQpelTable4x4 = table<4, 4>(std::make_index_sequence<16>());
const LumaQpelKernels LumaQpelTable4x8 = table<4, 8>(std::make_index_sequence<16>());
const LumaQpelKernels LumaQpelTable8x16 = table<8, 16>(std::make_index_sequence<16>());
const PictureLumaKernels LumaPictureTable = pictureTable(std::make_index_sequence<16>());

} // namespace h264::sse2
