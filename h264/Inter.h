// Inter prediction of P macroblocks: motion vectors, the reference fetch, interpolation, the residual
// combine and the motion-based edge strengths.
#pragma once

struct H264DecoderContext;

namespace h264 {

// Predicts and reconstructs the current inter macroblock from its parsed reference indices and vector
// differences (types P_L0_16x16 to P_8x8ref0).
void PredictInterMacroblock(H264DecoderContext& ctx);
void PredictPSkip(H264DecoderContext& ctx);

} // namespace h264
