// The SSE2 kernel set (internal to h264/kernels): what FillSse2Kernels puts in the table. Every kernel
// gives the bytes its portable twin gives, on any input. SSE2 only (no MMX registers), so no x87 state
// is left behind.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "h264/kernels/KernelTable.h"

namespace h264::sse2 {

void InverseTransform4x4(const int16_t* coefficients, int16_t* out);
void ClearInnerStrengths(EdgeStrengths* strengths);
void InnerStrengthsFromCoefficients(const uint8_t* counts, EdgeStrengths* strengths);

void FilterLumaEdgeNormal(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta, const uint8_t* tc0);
void FilterLumaEdgeStrong(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta);
void FilterChromaEdgesNormal(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta, const uint8_t* tc0, int qStride);
void FilterChromaEdgesStrong(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta);

void Transpose8x8(uint8_t* block);
void GatherEdgeColumns(const uint8_t* first, const uint8_t* second, uint8_t* destination, int stride);
void ScatterEdgeColumns(uint8_t* first, uint8_t* second, const uint8_t* source, int stride);
void GatherChromaRows(uint8_t* destination, const uint8_t* source, int stride);
void CopyRow8(const uint8_t* source, uint8_t* destination);
void GatherLumaRows(uint8_t* left, uint8_t* right, const uint8_t* source, int stride);
void ScatterLumaRows(const uint8_t* left, const uint8_t* right, uint8_t* destination, int stride);
void StoreLumaMacroblock(uint8_t* destination, const LumaWorkBuffer* luma, int stride);
void StoreChromaMacroblock(uint8_t* cbDestination, uint8_t* crDestination, const ChromaWorkBuffer* cb,
                           const ChromaWorkBuffer* cr, int stride);

extern const Intra4x4Kernels Intra4x4Table;
extern const Intra16x16Kernels Intra16x16Table;
extern const IntraChromaKernels IntraChromaTable;
extern const LumaQpelKernels LumaQpelTable4x4;
extern const LumaQpelKernels LumaQpelTable4x8;
extern const LumaQpelKernels LumaQpelTable8x16;
extern const ChromaMcKernels ChromaMcTable4;
extern const ChromaMcKernels ChromaMcTable8;
extern const PredCombineKernels PredCombineTable;
extern const PictureLumaKernels LumaPictureTable;
extern const PictureChromaKernels ChromaPictureTable;

// Loads and stores of 4 and 8 bytes at any address (picture rows and source areas have no alignment).
inline __m128i load4(const void* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}
inline void store4(void* p, __m128i v) {
    const int32_t x = _mm_cvtsi128_si32(v);
    std::memcpy(p, &x, 4);
}
inline __m128i load8(const void* p) {
    return _mm_loadl_epi64(static_cast<const __m128i*>(p));
}
inline void store8(void* p, __m128i v) {
    _mm_storel_epi64(static_cast<__m128i*>(p), v);
}
inline __m128i loadu(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
inline void storeu(void* p, __m128i v) {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}
// Work buffers and residual blocks are 16-byte aligned records.
inline __m128i loada(const void* p) {
    return _mm_load_si128(static_cast<const __m128i*>(p));
}
inline void storea(void* p, __m128i v) {
    _mm_store_si128(static_cast<__m128i*>(p), v);
}
// The low 8 bytes widened to 16-bit lanes.
inline __m128i widen(__m128i v) {
    return _mm_unpacklo_epi8(v, _mm_setzero_si128());
}

} // namespace h264::sse2
