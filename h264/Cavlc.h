// CAVLC residual decoding: coefficient tokens, levels, zero runs, dequantisation and the inverse transform
// of every block into the current macroblock's residual buffers.
#pragma once

#include <cstdint>

struct H264DecoderContext;

namespace h264 {

struct H264BitReader;

// One residual_block: levels in scan order (index 0 = first coefficient of the block's scan range) into
// the 16 entries of `coefficients` (zeroed first), TotalCoeff into `totalCoeff`. nC -1 is chroma DC. false on
// a coding error.
bool DecodeResidualBlock(H264BitReader& r, int nC, int maxNumCoeff, int16_t* coefficients, int* totalCoeff);

// The residual of an Intra_4x4 or inter macroblock (luma by coded_block_pattern, then chroma); the
// residual of an Intra_16x16 macroblock. Both leave every residual block that a kernel will read written.
// false on a coding error.
bool DecodeResidual(H264DecoderContext& ctx);
bool DecodeResidual16x16(H264DecoderContext& ctx);

} // namespace h264
