// The slice header, its checks, parameter-set activation and the new-picture test.
#pragma once

#include "h264/kernels/PredCombine.h"

#include <cstdint>

struct H264DecoderContext;

namespace h264 {

enum SliceType : uint32_t { SLICE_P = 0, SLICE_B = 1, SLICE_I = 2 };

struct ReorderCommand {
    uint32_t idc = 3;
    uint32_t absDiffPicNumMinus1 = 0;
    uint32_t longTermPicNum = 0;
};

struct MmcoCommand {
    uint32_t op = 0;
    uint32_t differenceOfPicNumsMinus1 = 0;
    uint32_t longTermPicNum = 0;
    uint32_t longTermFrameIdx = 0;
    uint32_t maxLongTermFrameIdxPlus1 = 0;
};

constexpr int kMaxCommands = 33;
constexpr int kMaxRefIdx = 33;

// The reference marking a picture is stored with: every picture keeps its own copy.
struct RefPicMarking {
    uint32_t noOutputOfPriorPics = 0;
    uint32_t longTermReference = 0;
    uint32_t adaptive = 0;
    uint32_t count = 0;
    MmcoCommand commands[kMaxCommands];
};

struct SliceHeader {
    uint32_t firstMbInSlice = 0;
    uint32_t sliceType = SLICE_I;
    uint32_t nalRefIdc = 0;
    uint32_t nalUnitType = 0;
    uint32_t ppsId = 0;
    uint32_t frameNum = 0;
    uint32_t fieldPic = 0;
    uint32_t bottomField = 0;
    uint32_t idrPicId = 65536;
    uint32_t pocLsb = 0;
    int32_t deltaPocBottom = 0;
    int32_t deltaPoc[2] = {0, 0};
    uint32_t numRefIdxOverride = 0;
    uint32_t numRefIdxL0ActiveMinus1 = 0;
    uint32_t numRefIdxL1ActiveMinus1 = 0;
    uint32_t reorderL0 = 0;
    ReorderCommand reorder[kMaxCommands];
    uint32_t weightMode = 0; // 0 none, 1 explicit
    PredWeightTable weights;
    RefPicMarking marking;
    int32_t sliceQpDelta = 0;
    int32_t sliceQp = 26;
    uint32_t disableDeblockingFilterIdc = 0;
    int32_t sliceAlphaC0OffsetDiv2 = 0;
    int32_t sliceBetaOffsetDiv2 = 0;
    uint32_t picWidthInMbs = 0;
    uint32_t picHeightInMbs = 0;
    uint32_t picSizeInMbs = 0;
};

// What the new-picture test compares against.
struct PrevSliceValues {
    uint32_t ppsId = 256;
    uint32_t frameNum = 0;
    uint32_t fieldPic = 0;
    uint32_t bottomField = 0;
    uint32_t nalRefIdc = 0;
    uint32_t nalUnitType = 0;
    int64_t idrPicId = -1;
    uint32_t pocLsb = 0;
    int32_t deltaPocBottom = 0;
    int32_t deltaPoc[2] = {0, 0};
};

enum : int32_t {
    H264ERR_SLICE_TYPE = 0x30000001,
    H264ERR_SLICE_PPS = 0x30000002,
    H264ERR_IDR_FRAME_NUM = 0x30000003,
    H264ERR_REF_LISTS = 0x30000005,
    H264ERR_START_PICTURE = 0x30000006,
    H264ERR_SLICE_NUM_REF_IDX_L0 = 0x30000007,
    H264ERR_SLICE_NUM_REF_IDX_L1 = 0x30000008,
    H264ERR_SLICE_QP = 0x30000009,
    H264ERR_WEIGHT_DENOM = 0x3000000A,
    H264ERR_WEIGHT_RANGE = 0x3000000B,
    H264ERR_DEBLOCK_IDC = 0x3000000C,
    H264ERR_DEBLOCK_OFFSET = 0x3000000D,
    H264ERR_REORDER = 0x3000000E,
    H264ERR_MMCO = 0x3000000F,
    H264ERR_HEADER_BITS = 0x30000010, // the header ran past the unit or held an over-long code
    H264ERR_B_SLICE = 0x3000001A,
    H264ERR_REDUNDANT = 0x3000001B,
    H264ERR_SLICE_DATA = 0x40000000,
};

int32_t DecodeSlice(H264DecoderContext& ctx);
int32_t ParseSliceHeader(H264DecoderContext& ctx);
bool IsNewPicture(const H264DecoderContext& ctx);
void KeepSliceValues(H264DecoderContext& ctx);

} // namespace h264
