// The decoder's table of kernels: every inner loop of reconstruction, deblocking and inter prediction
// runs through it, so the portable and the SSE2 set are interchangeable and give identical pictures.
// The decoder owns one table per context and fills it once at creation; the kernel sets themselves
// are static, stateless and safe to call from any thread.
#pragma once

#include <array>
#include <cstdint>

#include "h264/kernels/EdgeStrengths.h"
#include "h264/kernels/InterPredBlock.h"
#include "h264/kernels/MacroblockBuffers.h"
#include "h264/kernels/PredCombine.h"

namespace h264 {

// 16 dequantised coefficients (raster, 4 per row) in; the 4x4 residual out, overwriting 4 rows of 4 at a
// row stride of 8 values. Arithmetic wraps in 16 bits.
using InverseTransformKernel = void (*)(const int16_t* coefficients, int16_t* out);
// What InverseTransform4x4 writes at all 16 positions of a block whose only coefficient is the DC value dc,
// in both sets: the decoder fills such blocks without the transform.
inline int16_t DcOnlyResidual(int16_t dc) {
    return int16_t(int16_t(dc + 32) >> 6);
}
using ClearInnerStrengthsKernel = void (*)(EdgeStrengths* strengths);
// counts: the 16 luma total_coeff bytes in luma4x4BlkIdx order.
using InnerStrengthsKernel = void (*)(const uint8_t* counts, EdgeStrengths* strengths);
// 64 bytes, stride 8, 16-byte aligned; transposed in place.
using TransposeKernel = void (*)(uint8_t* block);

// Luma edge filters on 8 samples: p is row p3 (p3, p2, p1, p0 at 0, 8, 16, 24), q is row q0 (q0..q3 at
// 0, 8, 16, 24). alpha: byte k (least significant first) is alpha for samples 2k and 2k + 1 (0 leaves
// them unchanged); beta: low byte. tc0: 4 bytes paired like alpha.
using LumaEdgeNormalKernel = void (*)(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta,
                                      const uint8_t* tc0);
// alpha: one value in all four bytes, used for all 8 samples.
using LumaEdgeStrongKernel = void (*)(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta);
// Chroma edge filters on 8 Cb and 8 Cr samples: p is row p1 (p0 at 8), q is row q0 (q1 at qStride for
// the normal filter, at 8 for the strong one). Thresholds as for luma; byte k covers samples 2k, 2k + 1.
using ChromaEdgeNormalKernel = void (*)(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ,
                                        uint32_t alpha, uint32_t beta, const uint8_t* tc0, int qStride);
using ChromaEdgeStrongKernel = void (*)(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ,
                                        uint32_t alpha, uint32_t beta);

// 4 bytes from each of 8 rows of first (then of second) written transposed: destination row c holds
// byte c of rows 0..7 of first (rows 4..7: of second). destination: 64 bytes, 16-byte aligned.
using GatherEdgeColumnsKernel = void (*)(const uint8_t* first, const uint8_t* second, uint8_t* destination,
                                         int stride);
// The inverse of GatherEdgeColumns.
using ScatterEdgeColumnsKernel = void (*)(uint8_t* first, uint8_t* second, const uint8_t* source, int stride);
// 8 bytes from each of two consecutive source rows into 16 bytes.
using GatherChromaRowsKernel = void (*)(uint8_t* destination, const uint8_t* source, int stride);
using CopyRow8Kernel = void (*)(const uint8_t* source, uint8_t* destination);
// 4 rows of 16 bytes split into two blocks of 4 rows of 8 (each 16-byte aligned).
using GatherLumaRowsKernel = void (*)(uint8_t* left, uint8_t* right, const uint8_t* source, int stride);
// Rows 0..2 of the two 8-wide blocks (stride 8) joined into 3 rows of 16 bytes at the destination.
using ScatterLumaRowsKernel = void (*)(const uint8_t* left, const uint8_t* right, uint8_t* destination,
                                       int stride);
using StoreLumaKernel = void (*)(uint8_t* destination, const LumaWorkBuffer* luma, int stride);
using StoreChromaKernel = void (*)(uint8_t* cbDestination, uint8_t* crDestination, const ChromaWorkBuffer* cb,
                                   const ChromaWorkBuffer* cr, int stride);
// Slots that only macroblock-pair decoding would call; they hold a kernel that does nothing.
using UnusedKernel = void (*)();

// Intra prediction plus residual (16-bit wrapping sum, clamped to 0..255). Intra_4x4: block is
// luma4x4BlkIdx; the residual is added when bit block / 4 of codedBlockPattern is set.
using Intra4x4Kernel = void (*)(int block, LumaWorkBuffer* luma, LumaResidualBlock* residual,
                                int codedBlockPattern);
// Intra_16x16: the residual is always added.
using Intra16x16Kernel = void (*)(LumaWorkBuffer* luma, LumaResidualBlock* residual);
// Both chroma planes with one mode; residuals added when chromaPattern (coded_block_pattern >> 4) is not 0.
// Only the DC mode reads the LumaWorkBuffer (availability bytes).
using IntraChromaKernel = void (*)(const LumaWorkBuffer* luma, ChromaWorkBuffer* cb, ChromaWorkBuffer* cr,
                                   ChromaResidualBlock* cbResidual, ChromaResidualBlock* crResidual,
                                   int chromaPattern);

// Inter prediction of one block: reads the source fields of the block and writes the destinations.
using LumaQpelKernel = void (*)(const InterPredBlock* block);
using ChromaMcKernel = void (*)(const InterPredBlock* block);
using PredCombineKernel = void (*)(const CombineRequest* request, const CombineContext* context);

using Intra4x4Kernels = std::array<Intra4x4Kernel, 9>;       // by Intra4x4PredMode
using Intra16x16Kernels = std::array<Intra16x16Kernel, 4>;   // by Intra16x16PredMode
using IntraChromaKernels = std::array<IntraChromaKernel, 4>; // by intra_chroma_pred_mode
using LumaQpelKernels = std::array<LumaQpelKernel, 16>;      // by 4 * (mvX & 3) + (mvY & 3)
using ChromaMcKernels = std::array<ChromaMcKernel, 4>;       // 0 copy, 1 horizontal, 2 vertical, 3 both
// By 4 * weighting mode + column; the decoder calls entry 1 (no weighting) and 5 (explicit weighting).
// Entries 0, 4, 8 and 9 hold the unweighted kernel too; the others (list 1 and bi-prediction) do nothing.
using PredCombineKernels = std::array<PredCombineKernel, 12>;

struct H264KernelTable {
    InverseTransformKernel inverseTransform4x4;          // 0
    ClearInnerStrengthsKernel clearInnerStrengths;       // 1
    InnerStrengthsKernel innerStrengthsFromCoefficients; // 2
    TransposeKernel transpose8x8;                        // 3
    LumaEdgeNormalKernel filterLumaEdgeNormal;           // 4
    UnusedKernel unused5;                                // 5
    LumaEdgeStrongKernel filterLumaEdgeStrong;           // 6
    ChromaEdgeNormalKernel filterChromaEdgesNormal;      // 7
    ChromaEdgeStrongKernel filterChromaEdgesStrong;      // 8
    UnusedKernel unused9to14[6];                         // 9..14
    GatherEdgeColumnsKernel gatherEdgeColumns;           // 15
    UnusedKernel unused16;                               // 16
    ScatterEdgeColumnsKernel scatterEdgeColumns;         // 17
    GatherChromaRowsKernel gatherChromaRows;             // 18
    CopyRow8Kernel copyRow8;                             // 19
    GatherLumaRowsKernel gatherLumaRows;                 // 20
    ScatterLumaRowsKernel scatterLumaRows;               // 21
    StoreLumaKernel storeLumaMacroblock;                 // 22
    StoreChromaKernel storeChromaMacroblock;             // 23
    const Intra4x4Kernels* intra4x4;                     // 24
    const Intra16x16Kernels* intra16x16;                 // 25
    const IntraChromaKernels* intraChroma;               // 26
    const LumaQpelKernels* lumaQpel4x4;                  // 27
    const LumaQpelKernels* lumaQpel4x8;                  // 28
    const LumaQpelKernels* lumaQpel8x16;                 // 29
    const ChromaMcKernels* chromaMc4;                    // 30: blocks 4 wide, 2 rows
    const ChromaMcKernels* chromaMc8;                    // 31: blocks 8 wide, 4 rows
    const PredCombineKernels* predCombine;               // 32
};

static_assert(sizeof(H264KernelTable) == 33 * sizeof(void*));

// The whole portable set; the SSE2 set (x86-64), bit-identical to it on every input.
void FillPortableKernels(H264KernelTable& table);
void FillSse2Kernels(H264KernelTable& table);

// Chroma blocks 2 wide and 2 rows: one set only, used directly by the inter prediction.
extern const ChromaMcKernels ChromaMcTable2;

// Whole-macroblock inter prediction straight into the picture, for a macroblock that needs no work buffer
// (no residual, no weighting, no edge to filter): the samples that the 8x16 luma kernels and the 8-wide
// chroma kernels give, written to picture rows instead. Luma: 16 x 16 from the luma source (an area of the
// 8x16 kernels' margins, 16 columns wide plus them) to lumaDestination, rows `stride` apart. Chroma: 8 x 8
// of Cb and of Cr, rows `stride` apart.
using PictureLumaKernel = void (*)(const InterPredBlock* block, int stride);
using PictureChromaKernel = void (*)(const InterPredBlock* block, int stride);

using PictureLumaKernels = std::array<PictureLumaKernel, 16>;    // by 4 * (mvX & 3) + (mvY & 3)
using PictureChromaKernels = std::array<PictureChromaKernel, 4>; // 0 copy, 1 horizontal, 2 vertical, 3 both

struct PictureMcKernels {
    const PictureLumaKernels* luma;
    const PictureChromaKernels* chroma;
};

// The two sets of these kernels, bit-identical; the decoder takes the one of its kernel table's set.
extern const PictureMcKernels PortablePictureMc;
extern const PictureMcKernels Sse2PictureMc;

} // namespace h264
