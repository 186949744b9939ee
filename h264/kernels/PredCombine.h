// Records of the prediction-combining kernels (inter prediction plus residual, optional explicit
// weighting). The decoder fills a CombineRequest per quadrant and keeps one CombineContext, whose
// pointers stay valid for the decoder's life.
#pragma once

#include <cstdint>

#include "h264/kernels/MacroblockBuffers.h"

namespace h264 {

struct CombineRequest {
    uint8_t* luma;    // LumaWorkBuffer + 64 * quadrant
    uint8_t* cb;      // Cb ChromaWorkBuffer + 0, 4, 32, 36 for quadrants 0..3
    uint8_t* cr;      // Cr ChromaWorkBuffer, same offsets
    int32_t quadrant; // 0..3: top-left, top-right, bottom-left, bottom-right
};

// Explicit list-0 weights of one reference index. An index without weights has weight 2^denom and
// offset 0. Components: 0 Cb, 1 Cr.
struct ExplicitWeight {
    int32_t lumaWeight;
    int32_t lumaOffset;
    int32_t chromaWeight[2];
    int32_t chromaOffset[2];
};

// The slice's explicit weighting values (denominators 0..7, weights and offsets -128..127).
struct PredWeightTable {
    int32_t lumaLog2Denom;
    int32_t chromaLog2Denom;
    ExplicitWeight list0[32];
};

// What the combining kernels read beyond the request. The decoder keeps one in its context: the
// pointers are set once at creation, the pattern and reference indices per inter macroblock.
struct CombineContext {
    int32_t codedBlockPattern; // bit q: quadrant q has luma residual; 16 or more: chroma residual
    int8_t refIdx[4];          // list-0 reference index per quadrant
    LumaResidualBlock* lumaResidual;
    ChromaResidualBlock* cbResidual;
    ChromaResidualBlock* crResidual;
    ChromaWorkBuffer* cb;           // the macroblock's chroma work buffers: the SSE2 kernel adds all chroma
    ChromaWorkBuffer* cr;           // residual in the call for quadrant 3
    const PredWeightTable* weights; // the slice's explicit weights
};

} // namespace h264
