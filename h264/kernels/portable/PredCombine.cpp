#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

namespace h264::portable {

using kernels::addResidual;
using kernels::ChromaQuadrantOffset;
using kernels::clip1;

namespace {

// rows x width samples (stride 8) plus their residual (stride 8).
void addBlock(uint8_t* __restrict samples, const int16_t* __restrict residual, int rows, int width) {
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x)
            samples[8 * y + x] = addResidual(samples[8 * y + x], residual[8 * y + x]);
}

void combineResidual(const CombineRequest* request, const CombineContext* context) {
    const int q = request->quadrant & 3;
    if ((context->codedBlockPattern >> q) & 1)
        addBlock(request->luma, context->lumaResidual->values + 64 * q, 8, 8);
    if (context->codedBlockPattern >= 16) {
        const int offset = ChromaQuadrantOffset[q];
        addBlock(request->cb, context->cbResidual->values + offset, 4, 4);
        addBlock(request->cr, context->crResidual->values + offset, 4, 4);
    }
}

// One component's explicit weighting, its values held to the ranges a slice can give (weights -128..127
// or the default 2^denom up to 128, offsets -128..127, denominator 0..7), so that no product overflows
// whatever the caller passes.
struct Weighting {
    int weight, offset, shift, round;
    Weighting(int32_t w, int32_t o, int32_t denom)
        : weight(kernels::clip3(-128, 128, w)), offset(kernels::clip3(-128, 127, o)),
          shift(kernels::clip3(0, 7, denom)), round(shift ? 1 << (shift - 1) : 0) {}
    int operator()(int p) const { return clip1(((p * weight + round) >> shift) + offset); }
};

// Weighted prediction of rows x width samples (stride 8), then the residual (stride 8) when coded.
void weightBlock(uint8_t* __restrict samples, const int16_t* __restrict residual, int rows, int width,
                 const Weighting& weighting, bool coded) {
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < width; ++x)
            samples[8 * y + x] = static_cast<uint8_t>(weighting(samples[8 * y + x]));
    if (coded)
        addBlock(samples, residual, rows, width);
}

} // namespace

void PredCombineWeighted(const CombineRequest* request, const CombineContext* context) {
    const int q = request->quadrant & 3;
    const PredWeightTable& table = *context->weights;
    const ExplicitWeight& w = table.list0[context->refIdx[q] & 31];
    weightBlock(request->luma, context->lumaResidual->values + 64 * q, 8, 8,
                Weighting(w.lumaWeight, w.lumaOffset, table.lumaLog2Denom),
                (context->codedBlockPattern >> q) & 1);
    const bool chromaCoded = context->codedBlockPattern >= 16;
    const int offset = ChromaQuadrantOffset[q];
    weightBlock(request->cb, context->cbResidual->values + offset, 4, 4,
                Weighting(w.chromaWeight[0], w.chromaOffset[0], table.chromaLog2Denom), chromaCoded);
    weightBlock(request->cr, context->crResidual->values + offset, 4, 4,
                Weighting(w.chromaWeight[1], w.chromaOffset[1], table.chromaLog2Denom), chromaCoded);
}

void PredCombineNothing(const CombineRequest*, const CombineContext*) {}

const PredCombineKernels PredCombineTable = {combineResidual,    combineResidual,    PredCombineNothing,
                                             PredCombineNothing, combineResidual,    PredCombineWeighted,
                                             PredCombineNothing, PredCombineNothing, combineResidual,
                                             combineResidual,    PredCombineNothing, PredCombineNothing};

} // namespace h264::portable
