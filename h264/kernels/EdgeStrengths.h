// Deblocking boundary strengths (bS 0..4) of one macroblock's luma edges, one byte per 4-sample
// segment. Chroma edges use the strengths of the corresponding luma segments. Owned by the decoder's
// current-macroblock record; written by the strength kernels and the decoder, read by the deblocking.
#pragma once

#include <cstdint>

namespace h264 {

struct EdgeStrengths {
    uint8_t left[4];          // left macroblock edge, rows 0-3, 4-7, 8-11, 12-15
    uint8_t top[4];           // top macroblock edge, columns 0-3 .. 12-15
    uint8_t vertical[3][4];   // internal vertical edges x = 4, 8, 12, top to bottom
    uint8_t horizontal[3][4]; // internal horizontal edges y = 4, 8, 12, left to right
};

static_assert(sizeof(EdgeStrengths) == 32);

} // namespace h264
