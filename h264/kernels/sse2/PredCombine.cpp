#include "h264/kernels/portable/Portable.h"
#include "h264/kernels/sse2/Sse2.h"

namespace h264::sse2 {

namespace {

// 16 prediction bytes (two rows) plus 16 residual values, in place.
void addRows(uint8_t* prediction, const int16_t* residual) {
    const __m128i p = loada(prediction);
    const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(p, _mm_setzero_si128()), loada(residual));
    const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(p, _mm_setzero_si128()), loada(residual + 8));
    storea(prediction, _mm_packus_epi16(lo, hi));
}

// Luma quadrant by quadrant; the chroma residual of the whole macroblock in the call for quadrant 3.
void combineResidual(const CombineRequest* request, const CombineContext* context) {
    const int q = request->quadrant & 3;
    if ((context->codedBlockPattern >> q) & 1) {
        const int16_t* residual = context->lumaResidual->values + 64 * q;
        for (int i = 0; i < 64; i += 16)
            addRows(request->luma + i, residual + i);
    }
    if (q == 3 && context->codedBlockPattern >= 16) {
        for (int i = 0; i < 64; i += 16) {
            addRows(context->cb->bytes + i, context->cbResidual->values + i);
            addRows(context->cr->bytes + i, context->crResidual->values + i);
        }
    }
}

} // namespace

const PredCombineKernels PredCombineTable = {combineResidual,
                                             combineResidual,
                                             portable::PredCombineNothing,
                                             portable::PredCombineNothing,
                                             combineResidual,
                                             portable::PredCombineWeighted,
                                             portable::PredCombineNothing,
                                             portable::PredCombineNothing,
                                             combineResidual,
                                             combineResidual,
                                             portable::PredCombineNothing,
                                             portable::PredCombineNothing};

} // namespace h264::sse2
