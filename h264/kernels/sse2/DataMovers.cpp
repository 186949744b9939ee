#include "h264/kernels/sse2/Sse2.h"

namespace h264::sse2 {

void Transpose8x8(uint8_t* block) {
    const __m128i a = _mm_unpacklo_epi8(load8(block), load8(block + 8));
    const __m128i b = _mm_unpacklo_epi8(load8(block + 16), load8(block + 24));
    const __m128i c = _mm_unpacklo_epi8(load8(block + 32), load8(block + 40));
    const __m128i d = _mm_unpacklo_epi8(load8(block + 48), load8(block + 56));
    const __m128i e = _mm_unpacklo_epi16(a, b), f = _mm_unpackhi_epi16(a, b);
    const __m128i g = _mm_unpacklo_epi16(c, d), h = _mm_unpackhi_epi16(c, d);
    storea(block, _mm_unpacklo_epi32(e, g));
    storea(block + 16, _mm_unpackhi_epi32(e, g));
    storea(block + 32, _mm_unpacklo_epi32(f, h));
    storea(block + 48, _mm_unpackhi_epi32(f, h));
}

namespace {

// 4 bytes of 8 rows, transposed into 4 rows of 8 (two 16-byte halves).
void gather4x8(const uint8_t* source, int stride, uint8_t* destination) {
    const auto row = [&](int r) { return load4(source + r * stride); };
    const __m128i a = _mm_unpacklo_epi8(row(0), row(1)), b = _mm_unpacklo_epi8(row(2), row(3));
    const __m128i c = _mm_unpacklo_epi8(row(4), row(5)), d = _mm_unpacklo_epi8(row(6), row(7));
    const __m128i e = _mm_unpacklo_epi16(a, b), f = _mm_unpacklo_epi16(c, d);
    storeu(destination, _mm_unpacklo_epi32(e, f));
    storeu(destination + 16, _mm_unpackhi_epi32(e, f));
}

void scatter4x8(uint8_t* destination, int stride, const uint8_t* source) {
    const __m128i x0 = loadu(source), x1 = loadu(source + 16);
    const __m128i a = _mm_unpacklo_epi8(x0, x1), b = _mm_unpackhi_epi8(x0, x1);
    __m128i rows[2] = {_mm_unpacklo_epi8(a, b), _mm_unpackhi_epi8(a, b)}; // 4 bytes per source row
    for (int r = 0; r < 8; ++r) {
        store4(destination + r * stride, rows[r / 4]);
        rows[r / 4] = _mm_srli_si128(rows[r / 4], 4);
    }
}

} // namespace

void GatherEdgeColumns(const uint8_t* first, const uint8_t* second, uint8_t* destination, int stride) {
    gather4x8(first, stride, destination);
    gather4x8(second, stride, destination + 32);
}

void ScatterEdgeColumns(uint8_t* first, uint8_t* second, const uint8_t* source, int stride) {
    scatter4x8(first, stride, source);
    scatter4x8(second, stride, source + 32);
}

void GatherChromaRows(uint8_t* destination, const uint8_t* source, int stride) {
    storeu(destination, _mm_unpacklo_epi64(load8(source), load8(source + stride)));
}

void CopyRow8(const uint8_t* source, uint8_t* destination) {
    store8(destination, load8(source));
}

void GatherLumaRows(uint8_t* left, uint8_t* right, const uint8_t* source, int stride) {
    for (int r = 0; r < 4; r += 2) {
        const __m128i a = loadu(source + r * stride), b = loadu(source + (r + 1) * stride);
        storeu(left + 8 * r, _mm_unpacklo_epi64(a, b));
        storeu(right + 8 * r, _mm_unpackhi_epi64(a, b));
    }
}

void ScatterLumaRows(const uint8_t* left, const uint8_t* right, uint8_t* destination, int stride) {
    for (int r = 0; r < 3; ++r)
        storeu(destination + r * stride, _mm_unpacklo_epi64(load8(left + 8 * r), load8(right + 8 * r)));
}

void StoreLumaMacroblock(uint8_t* destination, const LumaWorkBuffer* luma, int stride) {
    for (int y = 0; y < 16; y += 2) {
        const uint8_t* rows = luma->bytes + (y / 8) * 128 + (y % 8) * 8;
        const __m128i left = loada(rows), right = loada(rows + 64);
        storeu(destination + y * stride, _mm_unpacklo_epi64(left, right));
        storeu(destination + (y + 1) * stride, _mm_unpackhi_epi64(left, right));
    }
}

void StoreChromaMacroblock(uint8_t* cbDestination, uint8_t* crDestination, const ChromaWorkBuffer* cb,
                           const ChromaWorkBuffer* cr, int stride) {
    for (int y = 0; y < 8; y += 2) {
        const __m128i u = loada(cb->bytes + 8 * y), v = loada(cr->bytes + 8 * y);
        store8(cbDestination + y * stride, u);
        store8(cbDestination + (y + 1) * stride, _mm_srli_si128(u, 8));
        store8(crDestination + y * stride, v);
        store8(crDestination + (y + 1) * stride, _mm_srli_si128(v, 8));
    }
}

} // namespace h264::sse2
