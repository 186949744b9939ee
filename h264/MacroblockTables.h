// Constant tables of the macroblock layer: scan order, block positions, coded_block_pattern mapping,
// dequantisation and the deblocking thresholds.
#pragma once

#include <cstdint>

namespace h264 {

// Raster position (4 * row + column) of each coefficient in frame zig-zag scan order.
inline constexpr uint8_t kZigzag4x4[16] = {0, 1, 4, 8, 5, 2, 3, 6, 9, 12, 13, 10, 7, 11, 14, 15};

// Column and row, in 4x4 blocks, of each luma4x4BlkIdx; and the index of the block at a position.
inline constexpr uint8_t kBlockX[16] = {0, 1, 0, 1, 2, 3, 2, 3, 0, 1, 0, 1, 2, 3, 2, 3};
inline constexpr uint8_t kBlockY[16] = {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3};
inline constexpr uint8_t kBlockAt[4][4] = {{0, 1, 4, 5}, {2, 3, 6, 7}, {8, 9, 12, 13}, {10, 11, 14, 15}};

// coded_block_pattern by code number: Intra_4x4 and inter columns.
inline constexpr uint8_t kCbpIntra[48] = {47, 31, 15, 0,  23, 27, 29, 30, 7,  11, 13, 14, 39, 43, 45, 46,
                                          16, 3,  5,  10, 12, 19, 21, 26, 28, 35, 37, 42, 44, 1,  2,  4,
                                          8,  17, 18, 20, 24, 6,  9,  22, 25, 32, 33, 34, 36, 40, 38, 41};
inline constexpr uint8_t kCbpInter[48] = {0,  16, 1,  2,  4,  8,  32, 3,  5,  10, 12, 15, 47, 7,  11, 13,
                                          14, 6,  9,  31, 35, 37, 42, 44, 33, 34, 36, 40, 39, 43, 45, 46,
                                          17, 18, 20, 24, 19, 21, 26, 28, 23, 27, 29, 30, 22, 25, 38, 41};

// QPc by qPI.
inline constexpr uint8_t ChromaQpTable[52] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25,
    26, 27, 28, 29, 29, 30, 31, 32, 32, 33, 34, 34, 35, 35, 36, 36, 37, 37, 37, 38, 38, 38, 39, 39, 39, 39};

// LevelScale values: entry QP % 6 (both coordinates even), + 2 (mixed), + 4 (both odd).
inline constexpr uint8_t kLevelScale[10] = {10, 11, 13, 14, 16, 18, 20, 23, 25, 29};
// Offset into kLevelScale of each raster position's class.
inline constexpr uint8_t kPositionClass[16] = {0, 2, 0, 2, 2, 4, 2, 4, 0, 2, 0, 2, 2, 4, 2, 4};

// The dequantisation factor of each raster position by QP: LevelScale of its class << (QP / 6).
struct DequantTable {
    int32_t scale[52][16];
};
inline constexpr DequantTable kDequant = [] {
    DequantTable t{};
    for (int qp = 0; qp < 52; ++qp)
        for (int pos = 0; pos < 16; ++pos)
            t.scale[qp][pos] = int32_t(kLevelScale[qp % 6 + kPositionClass[pos]]) << (qp / 6);
    return t;
}();

inline constexpr uint8_t kAlpha[52] = {0,  0,  0,  0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
                                       0,  0,  0,  4,   4,   5,   6,   7,   8,   9,   10,  12,  13,
                                       15, 17, 20, 22,  25,  28,  32,  36,  40,  45,  50,  56,  63,
                                       71, 80, 90, 101, 113, 127, 144, 162, 182, 203, 226, 255, 255};
inline constexpr uint8_t kBeta[52] = {0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 2,  2,
                                      2,  3,  3,  3,  3,  4,  4,  4,  6,  6,  7,  7,  8,  8,  9,  9, 10, 10,
                                      11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18};
// tC0 by indexA and bS - 1.
inline constexpr uint8_t kTc0[52][3] = {
    {0, 0, 0},   {0, 0, 0},    {0, 0, 0},    {0, 0, 0},   {0, 0, 0},  {0, 0, 0},  {0, 0, 0},   {0, 0, 0},
    {0, 0, 0},   {0, 0, 0},    {0, 0, 0},    {0, 0, 0},   {0, 0, 0},  {0, 0, 0},  {0, 0, 0},   {0, 0, 0},
    {0, 0, 0},   {0, 0, 1},    {0, 0, 1},    {0, 0, 1},   {0, 0, 1},  {0, 1, 1},  {0, 1, 1},   {1, 1, 1},
    {1, 1, 1},   {1, 1, 1},    {1, 1, 1},    {1, 1, 2},   {1, 1, 2},  {1, 1, 2},  {1, 1, 2},   {1, 2, 3},
    {1, 2, 3},   {2, 2, 3},    {2, 2, 4},    {2, 3, 4},   {2, 3, 4},  {3, 3, 5},  {3, 4, 6},   {3, 4, 6},
    {4, 5, 7},   {4, 5, 8},    {4, 6, 9},    {5, 7, 10},  {6, 8, 11}, {6, 8, 13}, {7, 10, 14}, {8, 11, 16},
    {9, 12, 18}, {10, 13, 20}, {11, 15, 23}, {13, 17, 25}};

} // namespace h264
