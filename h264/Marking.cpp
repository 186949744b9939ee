#include "h264/Marking.h"

#include "h264/Context.h"

namespace h264 {

namespace {

void unmark(FrameStore& f) {
    f.reference = false;
    f.longTerm = false;
    f.frame->usedForReference = false;
    f.frame->longTerm = false;
}

FrameStore* findShort(Dpb& d, int32_t picNum) {
    for (uint32_t i = 0; i < d.shortCount; ++i)
        if (d.shortTerm[i]->frame->picNum == picNum)
            return d.shortTerm[i];
    return nullptr;
}

FrameStore* findLong(Dpb& d, int32_t longTermPicNum) {
    for (uint32_t i = 0; i < d.longCount; ++i)
        if (d.longTermList[i]->frame->longTermPicNum == longTermPicNum)
            return d.longTermList[i];
    return nullptr;
}

void unmarkLongIdx(Dpb& d, uint32_t idx, const FrameStore* except) {
    for (uint32_t i = 0; i < d.longCount; ++i)
        if (d.longTermList[i] != except && d.longTermList[i]->longTermFrameIdx == idx)
            unmark(*d.longTermList[i]);
    RebuildRefLists(d);
}

void makeLong(FrameStore& f, uint32_t idx) {
    f.longTerm = true;
    f.longTermFrameIdx = idx;
    f.frame->longTerm = true;
    f.frame->longTermFrameIdx = idx;
    f.frame->longTermPicNum = int32_t(idx);
}

void idrMarking(H264DecoderContext& ctx, Picture& pic) {
    Dpb& d = ctx.dpb;
    if (!pic.marking.noOutputOfPriorPics) {
        FlushDpb(ctx);
    } else {
        for (uint32_t i = 0; i < d.used; ++i) {
            Picture* p = d.stores[i].frame;
            p->held = false;
            if (p->outputState == OUTPUT_DECODING)
                p->outputState = OUTPUT_FREE;
            d.stores[i] = FrameStore{};
        }
        d.used = 0;
        RebuildRefLists(d);
    }
    d.lastOutputPoc = int32_t(0x80000001);
    if (pic.marking.longTermReference) {
        pic.longTerm = true;
        pic.longTermFrameIdx = 0;
        d.maxLongTermFrameIdx = 0;
    } else {
        d.maxLongTermFrameIdx = -1;
    }
}

bool executeMmco(H264DecoderContext& ctx, Picture& pic) {
    Dpb& d = ctx.dpb;
    const int32_t currPicNum = int32_t(pic.frameNum);
    bool mmco5 = false;
    for (uint32_t i = 0; i < pic.marking.count; ++i) {
        const MmcoCommand& c = pic.marking.commands[i];
        const int32_t picNumX = currPicNum - int32_t(c.differenceOfPicNumsMinus1 + 1);
        switch (c.op) {
        case 1:
            if (FrameStore* f = findShort(d, picNumX))
                unmark(*f);
            RebuildRefLists(d);
            break;
        case 2:
            if (FrameStore* f = findLong(d, int32_t(c.longTermPicNum)))
                unmark(*f);
            RebuildRefLists(d);
            break;
        case 3:
            if (FrameStore* f = findShort(d, picNumX)) {
                unmarkLongIdx(d, c.longTermFrameIdx, f);
                makeLong(*f, c.longTermFrameIdx);
            }
            RebuildRefLists(d);
            break;
        case 4:
            d.maxLongTermFrameIdx = int64_t(c.maxLongTermFrameIdxPlus1) - 1;
            for (uint32_t k = 0; k < d.longCount; ++k)
                if (int64_t(d.longTermList[k]->longTermFrameIdx) > d.maxLongTermFrameIdx)
                    unmark(*d.longTermList[k]);
            RebuildRefLists(d);
            break;
        case 5:
            for (uint32_t k = 0; k < d.used; ++k)
                if (d.stores[k].reference)
                    unmark(d.stores[k]);
            d.maxLongTermFrameIdx = -1;
            mmco5 = true;
            RebuildRefLists(d);
            break;
        case 6:
            unmarkLongIdx(d, c.longTermFrameIdx, nullptr);
            pic.longTerm = true;
            pic.longTermFrameIdx = c.longTermFrameIdx;
            pic.longTermPicNum = int32_t(c.longTermFrameIdx);
            break;
        default:
            break;
        }
    }
    return mmco5;
}

} // namespace

void ComputePicNums(H264DecoderContext& ctx, uint32_t current) {
    Dpb& d = ctx.dpb;
    const uint32_t maxFrameNum = ctx.activeSps.maxFrameNum;
    for (uint32_t i = 0; i < d.shortCount; ++i) {
        FrameStore& f = *d.shortTerm[i];
        f.frameNumWrap =
            f.frameNum > current ? int32_t(f.frameNum) - int32_t(maxFrameNum) : int32_t(f.frameNum);
        f.frame->picNum = f.frameNumWrap;
    }
    for (uint32_t i = 0; i < d.longCount; ++i)
        d.longTermList[i]->frame->longTermPicNum = int32_t(d.longTermList[i]->longTermFrameIdx);
}

void SlidingWindow(H264DecoderContext& ctx) {
    Dpb& d = ctx.dpb;
    const int64_t n = ctx.activeSps.numRefFrames;
    if (d.longCount != 0 && n <= d.longCount) {
        int64_t drop = int64_t(d.longCount) - n + 1;
        for (uint32_t i = 0; i < d.longCount && drop > 0; ++i, --drop)
            unmark(*d.longTermList[i]);
        RebuildRefLists(d);
    }
    while (d.shortCount > 0 && int64_t(d.shortCount) > n - int64_t(d.longCount)) {
        unmark(*d.shortTerm[0]);
        RebuildRefLists(d);
    }
    if (d.shortCount > 0 && int64_t(d.shortCount) == n - int64_t(d.longCount)) {
        unmark(*d.shortTerm[0]);
        RebuildRefLists(d);
    }
}

bool MarkReferences(H264DecoderContext& ctx, Picture& pic) {
    Dpb& d = ctx.dpb;
    RebuildRefLists(d);
    ComputePicNums(ctx, pic.frameNum);
    bool mmco5 = false;
    if (pic.idr) {
        idrMarking(ctx, pic);
    } else if (pic.usedForReference) {
        if (pic.marking.adaptive)
            mmco5 = executeMmco(ctx, pic);
        else
            SlidingWindow(ctx);
        if (pic.marking.adaptive && d.shortCount + d.longCount > ctx.activeSps.numRefFrames)
            SlidingWindow(ctx);
    }
    return mmco5;
}

} // namespace h264
