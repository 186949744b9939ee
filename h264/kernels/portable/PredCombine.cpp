#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

namespace h264::portable {

using kernels::addResidual;
using kernels::ChromaQuadrantOffset;
using kernels::clip1;

namespace {

void combineResidual(const CombineRequest* request, const CombineContext* context) {
    const int q = request->quadrant & 3;
    if ((context->codedBlockPattern >> q) & 1) {
        const int16_t* residual = context->lumaResidual->values + 64 * q;
        for (int i = 0; i < 64; ++i)
            request->luma[i] = addResidual(request->luma[i], residual[i]);
    }
    if (context->codedBlockPattern >= 16) {
        const int offset = ChromaQuadrantOffset[q];
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int i = 8 * y + x;
                request->cb[i] = addResidual(request->cb[i], context->cbResidual->values[offset + i]);
                request->cr[i] = addResidual(request->cr[i], context->crResidual->values[offset + i]);
            }
    }
}

// Explicit weighted sample prediction of one sample; wide arithmetic, so out-of-range weights can't overflow.
int weighted(int p, int32_t weight, int32_t offset, int denom) {
    const int64_t scaled = int64_t{p} * weight;
    const int64_t v = (denom >= 1 ? (scaled + (int64_t{1} << (denom - 1))) >> denom : scaled) + offset;
    return v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(v);
}

} // namespace

void PredCombineWeighted(const CombineRequest* request, const CombineContext* context) {
    const int q = request->quadrant & 3;
    const PredWeightTable& table = *context->weights;
    const ExplicitWeight& w = table.list0[context->refIdx[q] & 31];
    const int lumaDenom = table.lumaLog2Denom & 7, chromaDenom = table.chromaLog2Denom & 7;
    const bool lumaCoded = (context->codedBlockPattern >> q) & 1;
    const int16_t* residual = context->lumaResidual->values + 64 * q;
    for (int i = 0; i < 64; ++i) {
        const int p = weighted(request->luma[i], w.lumaWeight, w.lumaOffset, lumaDenom);
        request->luma[i] = lumaCoded ? addResidual(p, residual[i]) : static_cast<uint8_t>(p);
    }
    const bool chromaCoded = context->codedBlockPattern >= 16;
    const int offset = ChromaQuadrantOffset[q];
    uint8_t* planes[2] = {request->cb, request->cr};
    const ChromaResidualBlock* residuals[2] = {context->cbResidual, context->crResidual};
    for (int c = 0; c < 2; ++c)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                uint8_t& sample = planes[c][8 * y + x];
                const int p = weighted(sample, w.chromaWeight[c], w.chromaOffset[c], chromaDenom);
                sample = chromaCoded ? addResidual(p, residuals[c]->values[offset + 8 * y + x])
                                     : static_cast<uint8_t>(p);
            }
}

void PredCombineNothing(const CombineRequest*, const CombineContext*) {}

const PredCombineKernels PredCombineTable = {combineResidual,    combineResidual,    PredCombineNothing,
                                             PredCombineNothing, combineResidual,    PredCombineWeighted,
                                             PredCombineNothing, PredCombineNothing, combineResidual,
                                             combineResidual,    PredCombineNothing, PredCombineNothing};

} // namespace h264::portable
