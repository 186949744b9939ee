// Per-macroblock sample and residual buffers that the reconstruction kernels read and write.
// The decoder owns them (inside its current-macroblock record) and fills the neighbour entries and
// availability bytes before calling an intra kernel; the kernels never touch the picture.
#pragma once

#include <cstdint>

namespace h264 {

// Luma work area: the 16x16 samples as four 8x8 quadrants (top-left, top-right, bottom-left,
// bottom-right; row stride 8), then the neighbours of the macroblock and their availability.
// Sample (x, y) of the macroblock is at ((y / 8) * 2 + x / 8) * 64 + (y % 8) * 8 + x % 8.
struct alignas(16) LumaWorkBuffer {
    static constexpr int Left = 256;            // (-1, y) at Left + y
    static constexpr int Above = 272;           // (x, -1) at Above + x
    static constexpr int AboveRight = 288;      // (16..19, -1)
    static constexpr int LeftAvailable = 292;   // one byte per band of four rows, 1 or 0
    static constexpr int TopLeft = 296;         // (-1, -1)
    static constexpr int AboveAvailable = 297;  // 1 or 0
    static constexpr int AlwaysAvailable = 298; // constant 1, for neighbours inside the macroblock
    static constexpr int Size = 299;

    uint8_t bytes[Size];
};

// Chroma work area of one plane: 8x8 samples in raster order (stride 8), then the neighbours.
// Availability is read from the LumaWorkBuffer: LeftAvailable + 0 for rows 0..3, + 2 for rows 4..7,
// AboveAvailable for the row above.
struct alignas(16) ChromaWorkBuffer {
    static constexpr int Left = 64;  // (-1, y) at Left + y
    static constexpr int Above = 72; // (x, -1) at Above + x
    static constexpr int TopLeft = 80;
    static constexpr int Size = 81;

    uint8_t bytes[Size];
};

// Spatial-domain residual in the quadrant layout of LumaWorkBuffer samples 0..255 (stride 8).
// Positions of blocks without coefficients hold 0. A kernel may leave intermediate sums here, so
// the decoder writes (or zeroes) every block it hands to a kernel, for every macroblock.
struct alignas(16) LumaResidualBlock {
    int16_t values[256];
};

// Residual of one chroma plane: 64 values, raster order, stride 8. Same rules as LumaResidualBlock.
struct alignas(16) ChromaResidualBlock {
    int16_t values[64];
};

// Index in LumaWorkBuffer (and LumaResidualBlock) of the top-left sample of each 4x4 block, by
// luma4x4BlkIdx.
inline constexpr uint8_t Block4x4Offset[16] = {0,   4,   32,  36,  64,  68,  96,  100,
                                               128, 132, 160, 164, 192, 196, 224, 228};

// Where an Intra_4x4 block finds its neighbours in the LumaWorkBuffer, by luma4x4BlkIdx.
// above[4..7] of blocks whose above-right block is not decoded yet all point at p[3, -1].
struct Intra4x4NeighbourTables {
    uint16_t left[4][16];  // p[-1, y]
    uint16_t above[8][16]; // p[x, -1], x = 0..7
    uint16_t topLeft[16];  // p[-1, -1]
    uint16_t leftAvailable[16];
    uint16_t aboveAvailable[16];
};

extern const Intra4x4NeighbourTables Intra4x4NeighbourMap;

} // namespace h264
