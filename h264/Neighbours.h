// Neighbouring partitions A, B and C (or D) of a partition for motion-vector prediction, found through a
// class table and neighbour descriptors instead of coordinate arithmetic.
#pragma once

struct H264DecoderContext;

namespace h264 {

// Partition codes: 0 16x16; 1, 2 the 16x8 halves; 3, 4 the 8x16 halves; for quadrant q the nine codes
// 5 + 9q (8x8), 6 + 9q and 7 + 9q (8x4), 8 + 9q and 9 + 9q (4x8), 10 + 9q + s (4x4 sub-block s).
// Fills ctx.mb.neighbours (A, B, C with D in C's place when C is not available).
void DeriveNeighbours(H264DecoderContext& ctx, int code);

} // namespace h264
