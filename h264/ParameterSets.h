// Sequence and picture parameter sets, the private SEI, and the NAL-layer result codes.
#pragma once

#include <cstdint>

struct H264DecoderContext;

namespace h264 {

struct Sps {
    uint32_t profileIdc = 0;
    uint32_t constraintFlags = 0; // constraint_set0..3, bit 0 = set0
    uint32_t levelIdc = 0;
    uint32_t id = 32; // 32: never received
    uint32_t log2MaxFrameNumMinus4 = 0;
    uint32_t maxFrameNum = 16;
    uint32_t pocType = 0;
    uint32_t log2MaxPocLsbMinus4 = 0;
    uint32_t deltaPicOrderAlwaysZero = 0;
    int32_t offsetForNonRefPic = 0;
    int32_t offsetForTopToBottomField = 0;
    uint32_t numRefFramesInPocCycle = 0;
    int32_t offsetForRefFrame[256] = {};
    uint32_t numRefFrames = 0;
    uint32_t dpbSize = 0;
    uint32_t gapsAllowed = 0;
    uint32_t widthInMbsMinus1 = 0;
    uint32_t heightInMapUnitsMinus1 = 0;
    uint32_t frameMbsOnly = 1;
    uint32_t direct8x8Inference = 0;
    uint32_t width = 0;  // luma samples
    uint32_t height = 0; // luma rows
    uint32_t frameCropping = 0;
    uint32_t cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
    uint32_t changed = 0;
};

struct Pps {
    const Sps* sps = nullptr;
    uint32_t id = 256; // 256: never received
    uint32_t spsId = 0;
    uint32_t picOrderPresent = 0;
    uint32_t numRefIdxL0ActiveMinus1 = 0;
    uint32_t numRefIdxL1ActiveMinus1 = 0;
    uint32_t weightedPred = 0;
    int32_t picInitQpMinus26 = 0;
    int32_t picInitQsMinus26 = 0;
    int32_t chromaQpIndexOffset = 0;
    uint32_t deblockingFilterControlPresent = 0;
    uint32_t constrainedIntraPred = 0;
    uint32_t redundantPicCntPresent = 0;
    uint32_t changed = 0;
};

// Results of DecodeNalUnit; none reaches the caller of H264DecoderDecode.
enum : int32_t {
    NAL_END_OF_STREAM = 1,
    NAL_NEW_PICTURE = 2, // a slice that opened a picture, or an SEI
    NAL_SAME_PICTURE = 3,
    NAL_SPS_STORED = 7,
    NAL_PPS_STORED = 8,
    NAL_IGNORED = 9,
};

enum : int32_t {
    H264ERR_NAL_TYPE = 0x10000001,
    H264ERR_NOT_DECODING = 0x10000004,
    H264ERR_SPS_ID = 0x20000001,
    H264ERR_LOG2_MAX_FRAME_NUM = 0x20000002,
    H264ERR_NUM_REF_FRAMES = 0x20000003,
    H264ERR_POC_TYPE = 0x20000004,
    H264ERR_POC_CYCLE = 0x20000005,
    H264ERR_CROP = 0x20000006,
    H264ERR_LOG2_MAX_POC_LSB = 0x20000007,
    H264ERR_HIGH_PROFILE = 0x20000008,
    H264ERR_PS_BITS = 0x20000009, // the set ran past the unit or held an over-long code
    H264ERR_DPB_FRAMES = 0x2000000A,
    H264ERR_FIELDS = 0x2000000B,
    H264ERR_PICTURE_SIZE = 0x2000000C,
    H264ERR_PPS_ID = 0x20000011,
    H264ERR_PPS_SPS = 0x20000012,
    H264ERR_INIT_QP = 0x20000013,
    H264ERR_INIT_QS = 0x20000014,
    H264ERR_CHROMA_QP_OFFSET = 0x20000015,
    H264ERR_NUM_REF_IDX_L0 = 0x20000016,
    H264ERR_NUM_REF_IDX_L1 = 0x20000017,
    H264ERR_SLICE_GROUPS = 0x2000001A,
    H264ERR_CABAC = 0x2000001B,
    H264ERR_WEIGHTED_BIPRED = 0x2000001C,
};

int32_t ParseSps(H264DecoderContext& ctx);
int32_t ParsePps(H264DecoderContext& ctx);
void ParsePrivateSei(H264DecoderContext& ctx);

} // namespace h264
