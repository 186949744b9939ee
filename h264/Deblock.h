// Deblocking of one macroblock right after its reconstruction, and its store into the picture.
#pragma once

#include "h264/kernels/EdgeStrengths.h"

struct H264DecoderContext;

namespace h264 {

// Whether any strength of the macroblock is non-zero.
bool AnyEdgeFiltered(const EdgeStrengths& strengths);

// Filters the current macroblock's edges (left, inner vertical, top, inner horizontal) against the
// picture and writes it into the picture.
void DeblockMacroblock(H264DecoderContext& ctx);
// Writes the current macroblock into the picture unfiltered.
void StoreMacroblock(H264DecoderContext& ctx);
// Fetches the picture lines that the next macroblocks will write, a few at a time (see StoreMacroblock).
void PrefetchPictureLines(const H264DecoderContext& ctx);

} // namespace h264
