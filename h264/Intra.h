// Intra macroblocks: I_PCM samples, the neighbour strip and the intra prediction kernels, and the edge
// strengths of intra macroblocks.
#pragma once

struct H264DecoderContext;

namespace h264 {

// false when the unit does not hold the 384 samples.
bool DecodeIPcm(H264DecoderContext& ctx);
// 0, or 1 when a mode needs a neighbour that is not available (the macroblock is predicted all the same).
int ReconstructIntraMacroblock(H264DecoderContext& ctx);
void SetIntraEdgeStrengths(H264DecoderContext& ctx);

} // namespace h264
