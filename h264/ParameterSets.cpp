#include "h264/ParameterSets.h"

#include "h264/Context.h"

#include <algorithm>

namespace h264 {

namespace {

bool isHighFamily(uint32_t profileIdc) {
    switch (profileIdc) {
    case 100:
    case 110:
    case 122:
    case 244:
    case 44:
    case 83:
    case 86:
    case 118:
    case 128:
    case 138:
    case 139:
    case 134:
    case 135:
        return true;
    default:
        return false;
    }
}

// MaxDpb in bytes by level_idc; 0 for a level without an entry.
uint32_t maxDpbBytes(uint32_t levelIdc) {
    switch (levelIdc) {
    case 10:
        return 152064;
    case 11:
        return 345600;
    case 12:
    case 13:
    case 20:
        return 912384;
    case 21:
        return 1824768;
    case 22:
    case 30:
        return 3110400;
    case 31:
        return 6912000;
    case 32:
        return 7864320;
    case 40:
    case 41:
    case 42:
        return 12582912;
    case 50:
        return 42393600;
    case 51:
        return 70778880;
    default:
        return 0;
    }
}

bool readFailed(const H264BitReader& r) {
    return r.invalid || r.overrun();
}

} // namespace

int32_t ParseSps(H264DecoderContext& ctx) {
    H264BitReader& r = ctx.reader;
    Sps s;
    s.profileIdc = ReadBits(r, 8);
    s.constraintFlags = 0;
    for (int i = 0; i < 4; ++i)
        s.constraintFlags |= ReadBits(r, 1) << i;
    ReadBits(r, 4);
    s.levelIdc = ReadBits(r, 8);
    s.id = ReadUe(r);
    if (s.id > 31)
        return H264ERR_SPS_ID;
    if (isHighFamily(s.profileIdc))
        return H264ERR_HIGH_PROFILE;
    s.log2MaxFrameNumMinus4 = ReadUe(r);
    if (s.log2MaxFrameNumMinus4 > 12)
        return H264ERR_LOG2_MAX_FRAME_NUM;
    s.maxFrameNum = 1u << (s.log2MaxFrameNumMinus4 + 4);
    s.pocType = ReadUe(r);
    if (s.pocType > 2)
        return H264ERR_POC_TYPE;
    if (s.pocType == 0) {
        s.log2MaxPocLsbMinus4 = ReadUe(r);
        if (s.log2MaxPocLsbMinus4 > 12)
            return H264ERR_LOG2_MAX_POC_LSB;
    } else if (s.pocType == 1) {
        s.deltaPicOrderAlwaysZero = ReadBits(r, 1);
        s.offsetForNonRefPic = ReadSe(r);
        s.offsetForTopToBottomField = ReadSe(r);
        s.numRefFramesInPocCycle = ReadUe(r);
        if (s.numRefFramesInPocCycle > 256)
            return H264ERR_POC_CYCLE;
        for (uint32_t i = 0; i < s.numRefFramesInPocCycle; ++i)
            s.offsetForRefFrame[i] = ReadSe(r);
    }
    s.numRefFrames = ReadUe(r);
    if (s.numRefFrames > 16)
        return H264ERR_NUM_REF_FRAMES;
    if (s.numRefFrames > ctx.dpbFrames)
        return H264ERR_DPB_FRAMES;
    s.gapsAllowed = ReadBits(r, 1);
    s.widthInMbsMinus1 = ReadUe(r);
    s.heightInMapUnitsMinus1 = ReadUe(r);
    s.frameMbsOnly = ReadBits(r, 1);
    if (!s.frameMbsOnly) {
        ReadBits(r, 1);
        return H264ERR_FIELDS;
    }
    // Compared on the minus1 values so that no sum can wrap.
    if (s.widthInMbsMinus1 >= ctx.maxWidthInMbs || s.heightInMapUnitsMinus1 >= ctx.maxHeightInMbs ||
        s.widthInMbsMinus1 == 0 || s.heightInMapUnitsMinus1 == 0)
        return H264ERR_PICTURE_SIZE;
    const uint32_t widthInMbs = s.widthInMbsMinus1 + 1, heightInMbs = s.heightInMapUnitsMinus1 + 1;
    s.width = 16 * widthInMbs;
    s.height = 16 * heightInMbs;
    s.direct8x8Inference = ReadBits(r, 1);
    s.frameCropping = ReadBits(r, 1);
    if (s.frameCropping) {
        s.cropLeft = ReadUe(r);
        s.cropRight = ReadUe(r);
        s.cropTop = ReadUe(r);
        s.cropBottom = ReadUe(r);
        // Offsets count pairs of samples (4:2:0 frames); the cropped picture must keep at least one.
        if (2 * (uint64_t(s.cropLeft) + s.cropRight) >= s.width ||
            2 * (uint64_t(s.cropTop) + s.cropBottom) >= s.height)
            return H264ERR_CROP;
    }
    if (readFailed(r))
        return H264ERR_PS_BITS;

    uint32_t limit = 16;
    if (const uint32_t bytes = maxDpbBytes(s.levelIdc))
        limit = std::min<uint32_t>(16, bytes / (384 * widthInMbs * heightInMbs));
    s.dpbSize = std::max(s.numRefFrames, std::min(limit, 2 * ctx.dpbFrames));
    s.dpbSize = std::clamp<uint32_t>(s.dpbSize, 1, kMaxFrameStores);
    s.changed = 1;
    ctx.spsTable[s.id] = s;
    return 0;
}

int32_t ParsePps(H264DecoderContext& ctx) {
    H264BitReader& r = ctx.reader;
    Pps p;
    p.id = ReadUe(r);
    if (p.id > 255)
        return H264ERR_PPS_ID;
    p.spsId = ReadUe(r);
    if (p.spsId > 31 || ctx.spsTable[p.spsId].id != p.spsId)
        return H264ERR_PPS_SPS;
    p.sps = &ctx.spsTable[p.spsId];
    if (ReadBits(r, 1))
        return H264ERR_CABAC;
    p.picOrderPresent = ReadBits(r, 1);
    if (ReadUe(r) != 0)
        return H264ERR_SLICE_GROUPS;
    p.numRefIdxL0ActiveMinus1 = ReadUe(r);
    p.numRefIdxL1ActiveMinus1 = ReadUe(r);
    if (p.numRefIdxL0ActiveMinus1 > 31)
        return H264ERR_NUM_REF_IDX_L0;
    if (p.numRefIdxL1ActiveMinus1 > 31)
        return H264ERR_NUM_REF_IDX_L1;
    p.weightedPred = ReadBits(r, 1);
    if (ReadBits(r, 2) != 0)
        return H264ERR_WEIGHTED_BIPRED;
    p.picInitQpMinus26 = ReadSe(r);
    p.picInitQsMinus26 = ReadSe(r);
    p.chromaQpIndexOffset = ReadSe(r);
    p.deblockingFilterControlPresent = ReadBits(r, 1);
    p.constrainedIntraPred = ReadBits(r, 1);
    p.redundantPicCntPresent = ReadBits(r, 1);
    if (p.picInitQpMinus26 < -26 || p.picInitQpMinus26 > 25)
        return H264ERR_INIT_QP;
    if (p.picInitQsMinus26 < -26 || p.picInitQsMinus26 > 25)
        return H264ERR_INIT_QS;
    if (p.chromaQpIndexOffset < -12 || p.chromaQpIndexOffset > 12)
        return H264ERR_CHROMA_QP_OFFSET;
    if (readFailed(r))
        return H264ERR_PS_BITS;
    p.changed = 1;
    ctx.ppsTable[p.id] = p;
    return 0;
}

void ParsePrivateSei(H264DecoderContext& ctx) {
    H264BitReader& r = ctx.reader;
    const uint32_t v = ReadBits(r, 24);
    const uint32_t byte2 = (v >> 8) & 0xFF, byte3 = v & 0xFF;
    if ((v & 0xFFFF00) == 0xE00100) {
        ctx.fieldPairFlag = byte3 & 1;
    } else if ((v & 0xFF0000) == 0xF00000) {
        UserDataRecord& u = ctx.userData;
        u.type = 0xF0;
        u.data = u.bytes;
        u.bytes[0] = uint8_t(byte3);
        // The unit holds (bitCount / 8 + 1) bytes: the header, the three read above, then the rest.
        const uint32_t unitBytes = (r.bitCount >> 3) + 1;
        const uint32_t available = unitBytes > 4 ? unitBytes - 4 : 0;
        const uint32_t more = std::min(byte2 > 1 ? byte2 - 1 : 0, available);
        for (uint32_t i = 0; i < more; ++i)
            u.bytes[1 + i] = uint8_t(ReadBits(r, 8));
        u.length = byte2 > 1 ? 1 + more : byte2;
    }
}

} // namespace h264
