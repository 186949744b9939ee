// Reference marking of a finished picture: IDR marking, the sliding window and memory management control
// operations. Internal to the decoded picture buffer.
#pragma once

#include <cstdint>

struct H264DecoderContext;

namespace h264 {

struct Picture;

// Marks `pic` (not yet stored) and the stored frames; true when operation 5 was executed.
bool MarkReferences(H264DecoderContext& ctx, Picture& pic);
void SlidingWindow(H264DecoderContext& ctx);
// PicNum and LongTermPicNum of every stored reference relative to frame_num `current`.
void ComputePicNums(H264DecoderContext& ctx, uint32_t current);

} // namespace h264
