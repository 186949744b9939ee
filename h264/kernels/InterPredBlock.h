// One partition (or sub-partition) on its way through the reference fetch and the interpolation
// kernels. The decoder builds it on the stack per partition; the kernels only read it.
#pragma once

#include <cstdint>

namespace h264 {

struct InterPredBlock {
    // On input to the fetch: the partition's padded-copy buffers (luma 22 rows, chroma 10 rows, 24
    // bytes each). After the fetch: the top-left sample of each source area, in the reference plane or
    // in the padded copy. The kernels read the areas and never write through these pointers.
    uint8_t* lumaSource;
    uint8_t* cbSource;
    uint8_t* crSource;
    int32_t lumaStride;   // plane stride, or 24 for a padded copy
    int32_t chromaStride; // shared by the Cb and Cr areas
    int16_t mvX;          // quarter luma samples
    int16_t mvY;
    int32_t referenceFrame;   // frame-buffer index of the reference picture
    int32_t lumaAreaCode;     // 4 * partition code + margin class
    int32_t chromaAreaCode;   // 4 * partition code + chroma case
    int16_t xFracC;           // mvX & 7
    int16_t yFracC;           // mvY & 7
    uint8_t* lumaDestination; // into the LumaWorkBuffer samples
    uint8_t* cbDestination;   // into the Cb ChromaWorkBuffer samples (stride 8)
    uint8_t* crDestination;
};

// Margin class of each luma kernel index 4 * (mvX & 3) + (mvY & 3): bit 0 horizontal margins
// (2 columns left, 3 right), bit 1 vertical margins (2 rows above, 3 below).
inline constexpr uint8_t LumaMarginClass[16] = {0, 2, 2, 2, 1, 3, 3, 3, 1, 3, 3, 3, 1, 3, 3, 3};

} // namespace h264
