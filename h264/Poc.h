// Picture order counts of frames (types 0, 1 and 2). The arithmetic wraps in 32 bits instead of
// overflowing, so hostile offsets give odd orders but never undefined behaviour.
#pragma once

#include <cstdint>

struct H264DecoderContext;

namespace h264 {

struct PocResult {
    int32_t top = 0, bottom = 0, poc = 0;
};

// Order counts of a picture with the current slice's header values; frameNum and nalRefIdc are given apart
// so that frames made up for a frame_num gap can use it. Updates the carried values of types 1 and 2, and
// those of type 0 for reference pictures.
PocResult ComputePoc(H264DecoderContext& ctx, uint32_t frameNum, uint32_t nalRefIdc, bool gapFrame);

} // namespace h264
