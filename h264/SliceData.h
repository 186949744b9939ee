// The slice data layer: the macroblock loop of I and P slices, the macroblock syntax, and the finish step
// that keeps each macroblock's edges and motion for its neighbours.
#pragma once

#include "h264/Context.h"

namespace h264 {

// 0 when the slice ended normally; 1 when first_mb_in_slice lies outside the picture or a skip run passes
// its end; otherwise the error bits of the failing macroblock.
int DecodeSliceData(H264DecoderContext& ctx);

// Copies the right column of a left macroblock that went straight into the picture into the left columns
// of MacroblockLayer, where intra prediction reads them. The picture holds that column unfiltered until the
// next macroblock is deblocked, so only macroblocks that read it pay for the copy.
void KeepLeftColumns(H264DecoderContext& ctx);

// Error bits of a macroblock.
enum : int {
    MB_ERR_RECONSTRUCTION = 2,
    MB_ERR_RESIDUAL = 4,
    MB_ERR_PARSE = 8,
    MB_ERR_BITS = 16, // the macroblock ran past the unit or held an over-long code
};

// The finished neighbours of the current macroblock as stored (the real neighbours, whatever their slice);
// callers check the availability flags of MacroblockLayer first.
inline const MacroblockInfo& LeftInfo(const H264DecoderContext& ctx) {
    return *ctx.mb.left;
}
inline const MacroblockInfo& TopInfo(const H264DecoderContext& ctx) {
    return *ctx.mb.top;
}
inline const MacroblockInfo& TopRightInfo(const H264DecoderContext& ctx) {
    return *ctx.mb.topRight;
}
inline const MacroblockInfo& TopLeftInfo(const H264DecoderContext& ctx) {
    return *ctx.mb.topLeft;
}

} // namespace h264
