// Deblocking of one macroblock right after its reconstruction, and its store into the picture.
#pragma once

struct H264DecoderContext;

namespace h264 {

// Filters the current macroblock's edges (left, inner vertical, top, inner horizontal) against the
// picture and writes it into the picture.
void DeblockMacroblock(H264DecoderContext& ctx);
// Writes the current macroblock into the picture unfiltered.
void StoreMacroblock(H264DecoderContext& ctx);

} // namespace h264
