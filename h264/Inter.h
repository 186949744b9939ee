// Inter prediction of P macroblocks: motion vectors, the reference fetch, interpolation, the residual
// combine and the motion-based edge strengths.
#pragma once

struct H264DecoderContext;

namespace h264 {

// Predicts and reconstructs the current inter macroblock from its parsed reference indices and vector
// differences (types P_L0_16x16 to P_8x8ref0).
void PredictInterMacroblock(H264DecoderContext& ctx);
// A P_Skip macroblock; true when it was predicted straight into the picture (no weighting and no edge to
// filter), which leaves nothing to deblock or store.
bool PredictPSkip(H264DecoderContext& ctx);

} // namespace h264
