#include "h264/kernels/Intra4x4Modes.h"
#include "h264/kernels/sse2/Sse2.h"

namespace h264::sse2 {

namespace {

// Intra_4x4: scalar prediction, then the residual four samples at a time.
template <int Mode>
void pred4x4(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual, int codedBlockPattern) {
    alignas(16) uint8_t pred[16];
    kernels::predictBlock4x4<Mode>(block, luma, pred);
    const int offset = Block4x4Offset[block];
    uint8_t* out = luma->bytes + offset;
    if (!((codedBlockPattern >> (block / 4)) & 1)) {
        for (int y = 0; y < 4; ++y)
            std::memcpy(out + 8 * y, pred + 4 * y, 4);
        return;
    }
    const int16_t* res = residual->values + offset;
    for (int y = 0; y < 4; y += 2) {
        const __m128i rows = _mm_unpacklo_epi64(load8(res + 8 * y), load8(res + 8 * y + 8));
        const __m128i sum = _mm_add_epi16(widen(load8(pred + 4 * y)), rows);
        const __m128i bytes = _mm_packus_epi16(sum, sum);
        store4(out + 8 * y, bytes);
        store4(out + 8 * y + 8, _mm_srli_si128(bytes, 4));
    }
}

// Intra_16x16: row y of the prediction (16 bytes) plus its residual, into the two quadrants it spans.
void storeLumaRow(LumaWorkBuffer* luma, const LumaResidualBlock* residual, int y, __m128i pred) {
    const int left = (y / 8) * 128 + (y % 8) * 8;
    const __m128i l =
        _mm_add_epi16(_mm_unpacklo_epi8(pred, _mm_setzero_si128()), loada(residual->values + left));
    const __m128i r =
        _mm_add_epi16(_mm_unpackhi_epi8(pred, _mm_setzero_si128()), loada(residual->values + left + 64));
    const __m128i bytes = _mm_packus_epi16(l, r);
    store8(luma->bytes + left, bytes);
    store8(luma->bytes + left + 64, _mm_srli_si128(bytes, 8));
}

void pred16x16Vertical(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    const __m128i above = loadu(luma->bytes + LumaWorkBuffer::Above);
    for (int y = 0; y < 16; ++y)
        storeLumaRow(luma, residual, y, above);
}

void pred16x16Horizontal(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    for (int y = 0; y < 16; ++y)
        storeLumaRow(luma, residual, y,
                     _mm_set1_epi8(static_cast<char>(luma->bytes[LumaWorkBuffer::Left + y])));
}

int sumBytes16(const uint8_t* p) {
    const __m128i s = _mm_sad_epu8(loadu(p), _mm_setzero_si128());
    return _mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_srli_si128(s, 8));
}

void pred16x16Dc(LumaWorkBuffer* luma, LumaResidualBlock* residual) {
    const uint8_t* b = luma->bytes;
    const int sumLeft = sumBytes16(b + LumaWorkBuffer::Left),
              sumAbove = sumBytes16(b + LumaWorkBuffer::Above);
    const bool left = b[LumaWorkBuffer::LeftAvailable], above = b[LumaWorkBuffer::AboveAvailable];
    const int dc = left && above ? (sumLeft + sumAbove + 16) >> 5
                   : above       ? (sumAbove + 8) >> 4
                   : left        ? (sumLeft + 8) >> 4
                                 : 128;
    const __m128i pred = _mm_set1_epi8(static_cast<char>(dc));
    for (int y = 0; y < 16; ++y)
        storeLumaRow(luma, residual, y, pred);
}

// Plane terms a - n b + x b for x = 0..7 (and 8..15) as 16-bit lanes; the caller adds the row term.
__m128i ramp(int start, int step) {
    return _mm_add_epi16(
        _mm_set1_epi16(static_cast<int16_t>(start)),
        _mm_mullo_epi16(_mm_set1_epi16(static_cast<int16_t>(step)), _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7)));
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
    // 5 H and 5 V leave the 16-bit range; b and c are formed wide, the terms themselves fit.
    const int pb = (5 * h + 32) >> 6, pc = (5 * v + 32) >> 6;
    const int a = 16 * (left[15] + above[15]);
    const __m128i rowLeft = ramp(a - 7 * pb, pb), rowRight = ramp(a + pb, pb);
    for (int y = 0; y < 16; ++y) {
        const __m128i column = _mm_set1_epi16(static_cast<int16_t>(16 - 7 * pc + y * pc));
        const __m128i l = _mm_srai_epi16(_mm_add_epi16(rowLeft, column), 5);
        const __m128i r = _mm_srai_epi16(_mm_add_epi16(rowRight, column), 5);
        storeLumaRow(luma, residual, y, _mm_packus_epi16(l, r));
    }
}

// Chroma: rows y and y + 1 of the prediction (8 bytes each), plus their residual when coded.
void storeChromaRows(ChromaWorkBuffer* plane, const ChromaResidualBlock* residual, int y, __m128i pred,
                     int chromaPattern) {
    if (chromaPattern) {
        const __m128i r0 =
            _mm_add_epi16(_mm_unpacklo_epi8(pred, _mm_setzero_si128()), loada(residual->values + 8 * y));
        const __m128i r1 =
            _mm_add_epi16(_mm_unpackhi_epi8(pred, _mm_setzero_si128()), loada(residual->values + 8 * y + 8));
        pred = _mm_packus_epi16(r0, r1);
    }
    storea(plane->bytes + 8 * y, pred);
}

__m128i twoRows(uint64_t first, uint64_t second) {
    return _mm_set_epi64x(static_cast<int64_t>(second), static_cast<int64_t>(first));
}

uint64_t repeated(int byte) {
    return 0x0101010101010101ull * static_cast<uint8_t>(byte);
}

void chromaDcPlane(const LumaWorkBuffer* luma, ChromaWorkBuffer* plane, const ChromaResidualBlock* residual,
                   int chromaPattern) {
    const uint8_t* b = plane->bytes;
    const bool above = luma->bytes[LumaWorkBuffer::AboveAvailable];
    const bool leftBand[2] = {luma->bytes[LumaWorkBuffer::LeftAvailable] != 0,
                              luma->bytes[LumaWorkBuffer::LeftAvailable + 2] != 0};
    int sumAbove[2] = {}, sumLeft[2] = {};
    for (int i = 0; i < 8; ++i) {
        sumAbove[i / 4] += b[ChromaWorkBuffer::Above + i];
        sumLeft[i / 4] += b[ChromaWorkBuffer::Left + i];
    }
    uint64_t rows[2];
    for (int qy = 0; qy < 2; ++qy) {
        int dc[2];
        for (int qx = 0; qx < 2; ++qx) {
            const bool left = leftBand[qy];
            const int sa = sumAbove[qx], sl = sumLeft[qy];
            if (qx == qy)
                dc[qx] = left && above ? (sa + sl + 4) >> 3
                         : left        ? (sl + 2) >> 2
                         : above       ? (sa + 2) >> 2
                                       : 128;
            else if (qx == 1)
                dc[qx] = above ? (sa + 2) >> 2 : left ? (sl + 2) >> 2 : 128;
            else
                dc[qx] = left ? (sl + 2) >> 2 : above ? (sa + 2) >> 2 : 128;
        }
        rows[qy] = (repeated(dc[0]) & 0xFFFFFFFFull) | (repeated(dc[1]) << 32);
    }
    for (int y = 0; y < 8; y += 2)
        storeChromaRows(plane, residual, y, twoRows(rows[y / 4], rows[y / 4]), chromaPattern);
}

void predChromaDc(const LumaWorkBuffer* luma, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                  ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual, int chromaPattern) {
    chromaDcPlane(luma, cb, cbResidual, chromaPattern);
    chromaDcPlane(luma, cr, crResidual, chromaPattern);
}

void chromaHorizontalPlane(ChromaWorkBuffer* plane, const ChromaResidualBlock* residual, int chromaPattern) {
    const uint8_t* left = plane->bytes + ChromaWorkBuffer::Left;
    for (int y = 0; y < 8; y += 2)
        storeChromaRows(plane, residual, y, twoRows(repeated(left[y]), repeated(left[y + 1])), chromaPattern);
}

void predChromaHorizontal(const LumaWorkBuffer*, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                          ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual,
                          int chromaPattern) {
    chromaHorizontalPlane(cb, cbResidual, chromaPattern);
    chromaHorizontalPlane(cr, crResidual, chromaPattern);
}

void chromaVerticalPlane(ChromaWorkBuffer* plane, const ChromaResidualBlock* residual, int chromaPattern) {
    const __m128i above = load8(plane->bytes + ChromaWorkBuffer::Above);
    const __m128i pred = _mm_unpacklo_epi64(above, above);
    for (int y = 0; y < 8; y += 2)
        storeChromaRows(plane, residual, y, pred, chromaPattern);
}

void predChromaVertical(const LumaWorkBuffer*, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                        ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual, int chromaPattern) {
    chromaVerticalPlane(cb, cbResidual, chromaPattern);
    chromaVerticalPlane(cr, crResidual, chromaPattern);
}

void chromaPlanePlane(ChromaWorkBuffer* plane, const ChromaResidualBlock* residual, int chromaPattern) {
    const uint8_t* b = plane->bytes;
    const uint8_t* above = b + ChromaWorkBuffer::Above;
    const uint8_t* left = b + ChromaWorkBuffer::Left;
    const int corner = b[ChromaWorkBuffer::TopLeft];
    int h = 0, v = 0;
    for (int k = 1; k <= 4; ++k) {
        h += k * (above[3 + k] - (k == 4 ? corner : above[3 - k]));
        v += k * (left[3 + k] - (k == 4 ? corner : left[3 - k]));
    }
    // 17 H and 17 V leave the 16-bit range; b and c are formed wide.
    const int pb = (17 * h + 16) >> 5, pc = (17 * v + 16) >> 5;
    const int a = 16 * (left[7] + above[7]);
    const __m128i row = ramp(a - 3 * pb, pb);
    for (int y = 0; y < 8; y += 2) {
        const __m128i c0 = _mm_set1_epi16(static_cast<int16_t>(16 - 3 * pc + y * pc));
        const __m128i c1 = _mm_set1_epi16(static_cast<int16_t>(16 - 3 * pc + (y + 1) * pc));
        const __m128i r0 = _mm_srai_epi16(_mm_add_epi16(row, c0), 5);
        const __m128i r1 = _mm_srai_epi16(_mm_add_epi16(row, c1), 5);
        storeChromaRows(plane, residual, y, _mm_packus_epi16(r0, r1), chromaPattern);
    }
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

} // namespace h264::sse2
