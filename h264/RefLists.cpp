#include "h264/RefLists.h"

#include "h264/Context.h"
#include "h264/Marking.h"

#include <algorithm>

namespace h264 {

int InitRefPicLists(H264DecoderContext& ctx) {
    Dpb& d = ctx.dpb;
    RebuildRefLists(d);
    ComputePicNums(ctx, ctx.slice.frameNum);
    Picture** list = ctx.refList0;
    uint32_t n = 0;
    for (uint32_t i = 0; i < d.shortCount; ++i)
        list[n++] = d.shortTerm[i]->frame;
    std::sort(list, list + n, [](const Picture* a, const Picture* b) { return a->picNum > b->picNum; });
    const uint32_t shortEnd = n;
    for (uint32_t i = 0; i < d.longCount; ++i)
        list[n++] = d.longTermList[i]->frame;
    std::sort(list + shortEnd, list + n,
              [](const Picture* a, const Picture* b) { return a->longTermPicNum < b->longTermPicNum; });
    ctx.refList0Size = std::min(ctx.slice.numRefIdxL0ActiveMinus1 + 1, n);
    if (n == 0)
        return -1;
    for (uint32_t i = ctx.refList0Size; i < kMaxRefIdx; ++i)
        list[i] = list[0];
    return 0;
}

void ReorderRefPicList(H264DecoderContext& ctx) {
    const SliceHeader& s = ctx.slice;
    Picture** list = ctx.refList0;
    const uint32_t numActive = s.numRefIdxL0ActiveMinus1 + 1;
    if (s.reorderL0) {
        Dpb& d = ctx.dpb;
        const int64_t maxFrameNum = ctx.activeSps.maxFrameNum;
        const int64_t currPicNum = s.frameNum;
        int64_t picNumPred = currPicNum;
        uint32_t refIdx = 0;
        for (int i = 0; i < kMaxCommands && s.reorder[i].idc != 3; ++i) {
            const ReorderCommand& c = s.reorder[i];
            Picture* pic = nullptr;
            bool longTerm = false;
            if (c.idc == 0 || c.idc == 1) {
                const int64_t abs = int64_t(c.absDiffPicNumMinus1) + 1;
                int64_t noWrap = c.idc == 0 ? picNumPred - abs : picNumPred + abs;
                if (c.idc == 0 && noWrap < 0)
                    noWrap += maxFrameNum;
                if (c.idc == 1 && noWrap >= maxFrameNum)
                    noWrap -= maxFrameNum;
                picNumPred = noWrap;
                const int64_t picNum = noWrap > currPicNum ? noWrap - maxFrameNum : noWrap;
                for (uint32_t k = 0; k < d.shortCount && !pic; ++k)
                    if (d.shortTerm[k]->frame->picNum == picNum)
                        pic = d.shortTerm[k]->frame;
            } else if (c.idc == 2) {
                longTerm = true;
                for (uint32_t k = 0; k < d.longCount && !pic; ++k)
                    if (d.longTermList[k]->frame->longTermPicNum == int64_t(c.longTermPicNum))
                        pic = d.longTermList[k]->frame;
            }
            if (!pic || refIdx >= numActive)
                continue;
            for (uint32_t k = numActive; k > refIdx; --k)
                list[k] = list[k - 1];
            list[refIdx++] = pic;
            uint32_t out = refIdx;
            for (uint32_t k = refIdx; k <= numActive; ++k) {
                Picture* e = list[k];
                const bool same =
                    e && e->longTerm == longTerm &&
                    (longTerm ? e->longTermPicNum == pic->longTermPicNum : e->picNum == pic->picNum);
                if (e && !same)
                    list[out++] = e;
            }
            for (uint32_t k = out; k <= numActive; ++k)
                list[k] = nullptr;
        }
    }
    ctx.refList0Size = numActive;
    // An entry the reordering left empty names entry 0, so that every reference index names a picture.
    for (uint32_t i = 1; i < kMaxRefIdx; ++i)
        if (!list[i])
            list[i] = list[0];
}

} // namespace h264
