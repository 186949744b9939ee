#include "h264/SliceHeader.h"

#include "h264/Context.h"
#include "h264/RefLists.h"
#include "h264/SliceData.h"

namespace h264 {

namespace {

constexpr uint8_t kSliceTypeMap[10] = {SLICE_P, SLICE_B, SLICE_I, SLICE_P, SLICE_I,
                                       SLICE_P, SLICE_B, SLICE_I, SLICE_P, SLICE_I};

bool inRange(int32_t v, int32_t lo, int32_t hi) {
    return v >= lo && v <= hi;
}

void activate(H264DecoderContext& ctx, uint32_t ppsId) {
    Pps& pps = ctx.ppsTable[ppsId];
    if (pps.changed || ppsId != ctx.activePpsId) {
        ctx.activePps = pps;
        ctx.activePpsId = ppsId;
        pps.changed = 0;
    }
    Sps& sps = ctx.spsTable[pps.spsId];
    if (sps.changed || pps.spsId != ctx.activeSpsId) {
        ctx.lumaStride = 16 * (sps.widthInMbsMinus1 + 1);
        ctx.activeSps = sps;
        ctx.activeSpsId = pps.spsId;
        ctx.dpb.size = sps.dpbSize;
        sps.changed = 0;
        ctx.prev.idrPicId = -1;
    }
}

int32_t parseWeights(H264BitReader& r, SliceHeader& s) {
    PredWeightTable& t = s.weights;
    const uint32_t lumaDenom = ReadUe(r), chromaDenom = ReadUe(r);
    if (lumaDenom > 7 || chromaDenom > 7)
        return H264ERR_WEIGHT_DENOM;
    t.lumaLog2Denom = int32_t(lumaDenom);
    t.chromaLog2Denom = int32_t(chromaDenom);
    // Indices past the active ones (a reference index is read in 5 bits) get the default weights.
    for (ExplicitWeight& w : t.list0)
        w = ExplicitWeight{1 << lumaDenom, 0, {1 << chromaDenom, 1 << chromaDenom}, {0, 0}};
    for (uint32_t i = 0; i <= s.numRefIdxL0ActiveMinus1; ++i) {
        ExplicitWeight& w = t.list0[i];
        if (ReadFlag(r)) {
            w.lumaWeight = ReadSe(r);
            w.lumaOffset = ReadSe(r);
            if (!inRange(w.lumaWeight, -128, 127) || !inRange(w.lumaOffset, -128, 127))
                return H264ERR_WEIGHT_RANGE;
        }
        if (ReadFlag(r)) {
            for (int c = 0; c < 2; ++c) {
                w.chromaWeight[c] = ReadSe(r);
                w.chromaOffset[c] = ReadSe(r);
                if (!inRange(w.chromaWeight[c], -128, 127) || !inRange(w.chromaOffset[c], -128, 127))
                    return H264ERR_WEIGHT_RANGE;
            }
        }
    }
    return 0;
}

int32_t parseMarking(H264BitReader& r, SliceHeader& s, uint32_t maxPicNum) {
    RefPicMarking& m = s.marking;
    m.count = 0;
    if (s.nalUnitType == 5) {
        m.noOutputOfPriorPics = ReadBits(r, 1);
        m.longTermReference = ReadBits(r, 1);
        m.adaptive = 0;
        return 0;
    }
    m.adaptive = ReadBits(r, 1);
    if (!m.adaptive)
        return 0;
    while (m.count < kMaxCommands) {
        MmcoCommand& c = m.commands[m.count++];
        c = MmcoCommand{};
        c.op = ReadUe(r);
        if (c.op == 1 || c.op == 3) {
            c.differenceOfPicNumsMinus1 = ReadUe(r);
            if (c.differenceOfPicNumsMinus1 >= maxPicNum)
                return H264ERR_MMCO;
        }
        if (c.op == 2)
            c.longTermPicNum = ReadUe(r);
        if (c.op == 3 || c.op == 6)
            c.longTermFrameIdx = ReadUe(r);
        if (c.op == 4)
            c.maxLongTermFrameIdxPlus1 = ReadUe(r);
        if (c.op == 0 || r.invalid || r.overrun())
            break;
    }
    m.commands[kMaxCommands - 1].op = 0;
    return 0;
}

} // namespace

int32_t ParseSliceHeader(H264DecoderContext& ctx) {
    H264BitReader& r = ctx.reader;
    SliceHeader& s = ctx.slice;
    s.marking.count = 0;
    s.marking.noOutputOfPriorPics = s.marking.longTermReference = 0;
    s.firstMbInSlice = ReadUe(r);
    const uint32_t sliceType = ReadUe(r);
    if (sliceType > 9)
        return H264ERR_SLICE_TYPE;
    s.sliceType = kSliceTypeMap[sliceType];
    if (s.sliceType == SLICE_B)
        return H264ERR_B_SLICE;
    s.ppsId = ReadUe(r);
    if (s.ppsId > 255 || ctx.ppsTable[s.ppsId].id != s.ppsId)
        return H264ERR_SLICE_PPS;
    const uint32_t spsId = ctx.ppsTable[s.ppsId].spsId;
    if (spsId > 31 || ctx.spsTable[spsId].id != spsId)
        return H264ERR_PPS_SPS;
    activate(ctx, s.ppsId);
    const Sps& sps = ctx.activeSps;
    const Pps& pps = ctx.activePps;

    s.frameNum = ReadBits(r, int(sps.log2MaxFrameNumMinus4 + 4));
    if (s.nalUnitType == 5 && s.frameNum != 0)
        return H264ERR_IDR_FRAME_NUM;
    s.fieldPic = 0;
    s.bottomField = 0;
    s.picWidthInMbs = sps.widthInMbsMinus1 + 1;
    s.picHeightInMbs = sps.heightInMapUnitsMinus1 + 1;
    s.picSizeInMbs = s.picWidthInMbs * s.picHeightInMbs;
    s.idrPicId = s.nalUnitType == 5 ? ReadUe(r) : 65536;
    s.pocLsb = 0;
    s.deltaPocBottom = 0;
    if (sps.pocType == 0) {
        s.pocLsb = ReadBits(r, int(sps.log2MaxPocLsbMinus4 + 4));
        if (pps.picOrderPresent)
            s.deltaPocBottom = ReadSe(r);
    }
    s.deltaPoc[0] = s.deltaPoc[1] = 0;
    if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
        s.deltaPoc[0] = ReadSe(r);
        if (pps.picOrderPresent)
            s.deltaPoc[1] = ReadSe(r);
    }
    if (pps.redundantPicCntPresent && ReadUe(r) != 0)
        return H264ERR_REDUNDANT;

    s.numRefIdxOverride = 0;
    s.numRefIdxL0ActiveMinus1 = pps.numRefIdxL0ActiveMinus1;
    s.numRefIdxL1ActiveMinus1 = pps.numRefIdxL1ActiveMinus1;
    s.reorderL0 = 0;
    s.reorder[0].idc = 3;
    if (s.sliceType == SLICE_P) {
        s.numRefIdxOverride = ReadBits(r, 1);
        if (s.numRefIdxOverride) {
            s.numRefIdxL0ActiveMinus1 = ReadUe(r);
            if (s.numRefIdxL0ActiveMinus1 > 31)
                return H264ERR_SLICE_NUM_REF_IDX_L0;
        }
        s.reorderL0 = ReadBits(r, 1);
        if (s.reorderL0) {
            for (int i = 0; i < kMaxCommands; ++i) {
                ReorderCommand& c = s.reorder[i];
                c = ReorderCommand{};
                c.idc = ReadUe(r);
                if (c.idc == 0 || c.idc == 1) {
                    c.absDiffPicNumMinus1 = ReadUe(r);
                    if (c.absDiffPicNumMinus1 >= sps.maxFrameNum)
                        return H264ERR_REORDER;
                } else if (c.idc == 2) {
                    c.longTermPicNum = ReadUe(r);
                }
                if (c.idc == 3 || r.invalid || r.overrun())
                    break;
            }
            s.reorder[kMaxCommands - 1].idc = 3;
        }
    }
    s.weightMode = (pps.weightedPred && s.sliceType == SLICE_P) ? 1 : 0;
    if (s.weightMode == 1)
        if (const int32_t err = parseWeights(r, s))
            return err;
    if (s.nalRefIdc != 0)
        if (const int32_t err = parseMarking(r, s, sps.maxFrameNum))
            return err;
    s.sliceQpDelta = ReadSe(r);
    s.sliceQp = 26 + pps.picInitQpMinus26 + s.sliceQpDelta;
    if (!inRange(s.sliceQp, 0, 51))
        return H264ERR_SLICE_QP;
    s.disableDeblockingFilterIdc = 0;
    s.sliceAlphaC0OffsetDiv2 = s.sliceBetaOffsetDiv2 = 0;
    if (pps.deblockingFilterControlPresent) {
        s.disableDeblockingFilterIdc = ReadUe(r);
        if (s.disableDeblockingFilterIdc > 2)
            return H264ERR_DEBLOCK_IDC;
        if (s.disableDeblockingFilterIdc != 1) {
            s.sliceAlphaC0OffsetDiv2 = ReadSe(r);
            s.sliceBetaOffsetDiv2 = ReadSe(r);
            if (!inRange(s.sliceAlphaC0OffsetDiv2, -6, 6) || !inRange(s.sliceBetaOffsetDiv2, -6, 6))
                return H264ERR_DEBLOCK_OFFSET;
        }
    }
    if (r.invalid || r.overrun())
        return H264ERR_HEADER_BITS;
    return 0;
}

bool IsNewPicture(const H264DecoderContext& ctx) {
    const SliceHeader& s = ctx.slice;
    const PrevSliceValues& p = ctx.prev;
    if (!ctx.current)
        return true;
    if (s.ppsId != p.ppsId || s.frameNum != p.frameNum || s.fieldPic != p.fieldPic)
        return true;
    if (s.fieldPic && p.fieldPic && s.bottomField != p.bottomField)
        return true;
    if ((s.nalRefIdc == 0) != (p.nalRefIdc == 0))
        return true;
    if (s.nalUnitType != p.nalUnitType)
        return true;
    if (s.nalUnitType == 5 && p.nalUnitType == 5 && int64_t(s.idrPicId) != p.idrPicId)
        return true;
    if (ctx.activeSps.pocType == 0 && (s.pocLsb != p.pocLsb || s.deltaPocBottom != p.deltaPocBottom))
        return true;
    if (ctx.activeSps.pocType == 1 && (s.deltaPoc[0] != p.deltaPoc[0] || s.deltaPoc[1] != p.deltaPoc[1]))
        return true;
    return s.firstMbInSlice == 0 && ctx.mbsDecoded >= s.picSizeInMbs;
}

void KeepSliceValues(H264DecoderContext& ctx) {
    const SliceHeader& s = ctx.slice;
    PrevSliceValues& p = ctx.prev;
    p.ppsId = s.ppsId;
    p.frameNum = s.frameNum;
    p.fieldPic = s.fieldPic;
    if (s.fieldPic)
        p.bottomField = s.bottomField;
    p.nalRefIdc = ctx.nalRefIdc;
    p.nalUnitType = s.nalUnitType;
    if (s.nalUnitType == 5)
        p.idrPicId = s.idrPicId;
    if (ctx.activeSps.pocType == 0) {
        p.pocLsb = s.pocLsb;
        p.deltaPocBottom = s.deltaPocBottom;
    }
    if (ctx.activeSps.pocType == 1) {
        p.deltaPoc[0] = s.deltaPoc[0];
        p.deltaPoc[1] = s.deltaPoc[1];
    }
}

int32_t DecodeSlice(H264DecoderContext& ctx) {
    SliceHeader& s = ctx.slice;
    if (ctx.psState == PS_PPS && s.nalUnitType == 5)
        ctx.psState = PS_DECODING;
    if (ctx.psState < PS_PPS)
        return H264ERR_NOT_DECODING;
    if (const int32_t err = ParseSliceHeader(ctx))
        return err;
    if (ctx.psState < PS_DECODING && s.sliceType != SLICE_I)
        return H264ERR_NOT_DECODING;
    ctx.psState = PS_DECODING;

    int32_t result = NAL_SAME_PICTURE;
    if (IsNewPicture(ctx)) {
        if (StartPicture(ctx) != 0) {
            ctx.psState = PS_PPS;
            return H264ERR_START_PICTURE;
        }
        result = NAL_NEW_PICTURE;
    }
    // The picture is marked with the commands of its own slices.
    if (s.nalRefIdc != 0 || s.nalUnitType == 5)
        ctx.current->marking = s.marking;

    ctx.refList0Size = 0;
    if (s.sliceType == SLICE_P) {
        if (InitRefPicLists(ctx) != 0)
            return H264ERR_REF_LISTS;
        ReorderRefPicList(ctx);
    }
    if (const int32_t n = DecodeSliceData(ctx))
        return H264ERR_SLICE_DATA + n;
    return result;
}

} // namespace h264
