// Records of the macroblock layer: what a decoded macroblock leaves for its neighbours, and the working
// record of the macroblock being decoded. The context owns them; the column rows are allocated at creation.
#pragma once

#include "h264/kernels/EdgeStrengths.h"
#include "h264/kernels/MacroblockBuffers.h"
#include "h264/kernels/PredCombine.h"

#include <cstdint>

namespace h264 {

// Internal macroblock types: P types are mb_type + 18, I types mb_type + 23 in either slice.
enum : int16_t {
    MB_P_SKIP = -1,
    MB_P16x16 = 18,
    MB_P16x8 = 19,
    MB_P8x16 = 20,
    MB_P8x8 = 21,
    MB_P8x8REF0 = 22,
    MB_I4x4 = 23,
    MB_I16x16_FIRST = 24,
    MB_IPCM = 48,
};

inline bool isIntra(int type) {
    return type >= MB_I4x4;
}

struct MacroblockMotion {
    int16_t type = MB_P_SKIP;
    int8_t refIdx[4] = {-1, -1, -1, -1}; // per 8x8 quadrant
    int32_t refPoc[4] = {};              // identity of the reference picture, per quadrant
    int16_t mv[16][2] = {};              // per 4x4 block in luma4x4BlkIdx order, quarter samples
};

// What a finished macroblock keeps for the macroblocks to its right and below (and for deblocking, which
// crosses slice edges with the real neighbour's values).
struct MacroblockInfo {
    MacroblockMotion motion;
    uint8_t qp = 0;              // for deblocking (0 for I_PCM)
    uint8_t qpc = 0;             // chroma QP for deblocking
    uint8_t totalCoeff[24] = {}; // 16 luma (luma4x4BlkIdx order), 4 Cb, 4 Cr
    uint8_t intraModes[16] = {}; // Intra4x4PredMode by luma4x4BlkIdx; 2 where not Intra_4x4
    uint8_t bottomY[16] = {};    // unfiltered bottom row
    uint8_t bottomCb[8] = {};
    uint8_t bottomCr[8] = {};
};

// The macroblock being decoded.
struct alignas(16) CurrentMacroblock {
    LumaWorkBuffer luma;
    ChromaWorkBuffer cb, cr;
    LumaResidualBlock lumaResidual;
    ChromaResidualBlock cbResidual, crResidual;
    EdgeStrengths strengths;

    int mbType = 0;
    int codedBlockPattern = 0;
    int intra16x16Mode = 0;
    int chromaMode = 0;
    uint8_t prevIntraFlag[16] = {};
    uint8_t remIntraMode[16] = {};
    uint8_t subMbType[4] = {};
    int8_t refIdx[4] = {};
    int16_t mvd[16][2] = {};
    // What the macroblock keeps for its neighbours: its entry in the column arrays, written in place (the
    // entry held the macroblock two rows up, which no later macroblock reads).
    MacroblockInfo* info = nullptr;
};

// A neighbouring partition for motion-vector prediction (A, B, and C or D in C's place).
struct NeighbourMotion {
    int8_t available = 0;
    uint8_t intra = 0;
    int8_t refIdx = -1;
    int16_t mv[2] = {};
};

struct MacroblockLayer {
    MacroblockInfo* rows[2] = {}; // per column, by row parity: the row above and the current row
    MacroblockInfo notAvailable;
    uint8_t leftY[16] = {}, leftCb[8] = {}, leftCr[8] = {}; // unfiltered right column of the left macroblock
    // Where a left macroblock that went straight into the picture left its samples (column 8 of its two
    // luma halves and of each chroma block), until an intra macroblock copies the column into leftY, leftCb
    // and leftCr; null when those hold it already.
    const uint8_t* leftInPicture[3] = {};
    uint32_t mbX = 0, mbY = 0, address = 0;
    int qp = 0, qpc = 0;
    // Availability for prediction (same slice, already decoded) of A, B, C, D.
    bool availLeft = false, availTop = false, availTopRight = false, availTopLeft = false;
    // The records of A, B, C and D as stored (whatever their slice), or notAvailable outside the picture.
    const MacroblockInfo* left = &notAvailable;
    const MacroblockInfo* top = &notAvailable;
    const MacroblockInfo* topRight = &notAvailable;
    const MacroblockInfo* topLeft = &notAvailable;
    // The same for the neighbour derivation: A, B, C, D, the current macroblock, and none.
    uint8_t slotAvailable[6] = {};
    const MacroblockMotion* slotMotion[6] = {};
    NeighbourMotion neighbours[3]; // A, B, C
    CombineContext combine;
};

} // namespace h264
