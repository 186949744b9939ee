// CAVLC residual decoding: coefficient tokens, levels, zero runs, dequantisation and the inverse transform
// of every block into the current macroblock's residual buffers.
#pragma once

#include <cstdint>

struct H264DecoderContext;

namespace h264 {

struct H264BitReader;

// One residual_block of maxNumCoeff coefficients (16, 15 or 4; nC -1 is chroma DC): the level at scan index
// k goes to coefficients[scan[k]] as level * scale[scan[k]], wrapped to 16 bits. Positions without a level
// are not written, so the caller zeroes the block first. TotalCoeff, or -1 on a coding error.
int DecodeResidualBlock(H264BitReader& r, int nC, int maxNumCoeff, const uint8_t* scan, const int32_t* scale,
                        int16_t* coefficients);

// The residual of an Intra_4x4 or inter macroblock (luma by coded_block_pattern, then chroma); the
// residual of an Intra_16x16 macroblock. Both leave every residual block that a kernel will read written.
// false on a coding error.
bool DecodeResidual(H264DecoderContext& ctx);
bool DecodeResidual16x16(H264DecoderContext& ctx);

} // namespace h264
