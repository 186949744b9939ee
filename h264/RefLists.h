// Reference picture list 0 of P slices: the initial list and its reordering.
#pragma once

struct H264DecoderContext;

namespace h264 {

// 0, or -1 when the buffer holds no reference frame.
int InitRefPicLists(H264DecoderContext& ctx);
// Applies the slice's reordering commands and gives the list its active length.
void ReorderRefPicList(H264DecoderContext& ctx);

} // namespace h264
