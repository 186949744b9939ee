#include "h264/Dpb.h"

#include "h264/Context.h"
#include "h264/Marking.h"
#include "h264/Poc.h"

namespace h264 {

namespace {

void queueOutput(H264DecoderContext& ctx, Picture& pic) {
    OutputQueue& q = ctx.outputQueue;
    if (pic.nonExisting) {
        pic.outputState = OUTPUT_FREE;
        return;
    }
    if ((q.write + 1) % kOutputQueueSize == q.read) {
        // 63 pictures wait: this one is dropped rather than overwriting the oldest.
        pic.outputState = OUTPUT_FREE;
        ++ctx.diagnostics.queueOverflows;
        return;
    }
    q.entries[q.write] = pic.bufferIndex;
    q.write = (q.write + 1) % kOutputQueueSize;
    pic.outputState = OUTPUT_QUEUED;
}

void removeStore(Dpb& d, uint32_t index) {
    d.stores[index].frame->held = false;
    for (uint32_t i = index; i + 1 < d.used; ++i)
        d.stores[i] = d.stores[i + 1];
    d.stores[--d.used] = FrameStore{};
}

// Removes the first store that has been output and no longer serves as a reference.
bool removeUnused(Dpb& d) {
    for (uint32_t i = 0; i < d.used; ++i) {
        if (d.stores[i].outputDone && !d.stores[i].reference) {
            removeStore(d, i);
            return true;
        }
    }
    return false;
}

// Order counts are 32-bit and wrap on long streams without an IDR picture; the pictures a buffer holds are
// close in order, so the one whose distance to the other is negative comes first.
bool pocBefore(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b)) < 0;
}

// The store not yet output with the smallest order count (first in stored order on ties), or -1.
int smallestWaiting(const Dpb& d) {
    int best = -1;
    for (uint32_t i = 0; i < d.used; ++i)
        if (!d.stores[i].outputDone && (best < 0 || pocBefore(d.stores[i].poc, d.stores[best].poc)))
            best = int(i);
    return best;
}

void outputStore(H264DecoderContext& ctx, uint32_t index) {
    Dpb& d = ctx.dpb;
    FrameStore& f = d.stores[index];
    queueOutput(ctx, *f.frame);
    f.outputDone = true;
    d.lastOutputPoc = f.poc;
    if (!f.reference)
        removeStore(d, index);
}

// A full buffer from which nothing can leave the normal way gives up its oldest short-term reference, else
// its oldest long-term one, so that the stream goes on.
void evictReference(H264DecoderContext& ctx) {
    Dpb& d = ctx.dpb;
    FrameStore* victim = d.shortCount ? d.shortTerm[0] : d.longCount ? d.longTermList[0] : &d.stores[0];
    const uint32_t index = uint32_t(victim - d.stores);
    if (!victim->outputDone)
        queueOutput(ctx, *victim->frame);
    victim->reference = victim->longTerm = false;
    victim->frame->usedForReference = victim->frame->longTerm = false;
    removeStore(d, index);
    RebuildRefLists(d);
    ++ctx.diagnostics.forcedEvictions;
}

void insertStore(H264DecoderContext& ctx, Picture& pic, bool outputDone) {
    Dpb& d = ctx.dpb;
    if (d.used >= kMaxFrameStores || d.used >= d.size)
        if (!removeUnused(d))
            evictReference(ctx);
    FrameStore& f = d.stores[d.used++];
    f = FrameStore{};
    f.frame = &pic;
    f.outputDone = outputDone;
    f.reference = pic.usedForReference;
    f.longTerm = pic.longTerm;
    f.frameNum = pic.frameNum;
    f.longTermFrameIdx = pic.longTermFrameIdx;
    f.poc = pic.poc;
    pic.held = true;
    RebuildRefLists(d);
}

void storePicture(H264DecoderContext& ctx, Picture& pic) {
    Dpb& d = ctx.dpb;
    const bool mmco5 = MarkReferences(ctx, pic);
    if (mmco5) {
        pic.frameNum = 0;
        pic.picNum = 0;
        const int32_t base = pic.poc;
        pic.topPoc = int32_t(uint32_t(pic.topPoc) - uint32_t(base));
        pic.bottomPoc = int32_t(uint32_t(pic.bottomPoc) - uint32_t(base));
        pic.poc = pic.topPoc < pic.bottomPoc ? pic.topPoc : pic.bottomPoc;
        FlushDpb(ctx);
        d.prevRefFrameNum = 0;
        d.prevPocMsb = 0;
        d.prevPocLsb = pic.topPoc;
        d.prevFrameNumOffset = 0;
        d.prevFrameNum = 0;
    }
    if (d.used >= d.size)
        removeUnused(d);

    if (!ctx.zeroCopy) {
        // Pictures leave in decoding order, each as soon as it is finished.
        pic.held = false;
        queueOutput(ctx, pic);
        if (pic.usedForReference)
            insertStore(ctx, pic, true);
        return;
    }
    while (d.used >= d.size) {
        const int best = smallestWaiting(d);
        if (!pic.usedForReference && (best < 0 || pocBefore(pic.poc, d.stores[best].poc))) {
            pic.held = false;
            queueOutput(ctx, pic);
            return;
        }
        if (best < 0)
            break;
        outputStore(ctx, uint32_t(best));
    }
    insertStore(ctx, pic, false);
}

Picture* takeFrameBuffer(H264DecoderContext& ctx) {
    for (uint32_t i = 0; i < ctx.numFrameBuffers; ++i) {
        Picture& p = ctx.pictures[i];
        if (!p.held && p.outputState == OUTPUT_FREE) {
            PrepareFrameBuffer(ctx, i);
            p.outputState = OUTPUT_DECODING;
            p.held = true;
            p.nonExisting = false;
            p.incomplete = false;
            p.userValue1 = ctx.userValue1;
            p.userValue2 = ctx.userValue2;
            return &p;
        }
    }
    return nullptr;
}

void fillFromSlice(H264DecoderContext& ctx, Picture& p, uint32_t frameNum, bool reference) {
    const Sps& sps = ctx.activeSps;
    p.frameNum = frameNum;
    p.picNum = int32_t(frameNum);
    p.usedForReference = reference;
    p.longTerm = false;
    p.longTermFrameIdx = 0;
    p.picSizeInMbs = ctx.slice.picSizeInMbs;
    p.width = int32_t(sps.width);
    p.height = int32_t(sps.height);
    p.crop[0] = int32_t(sps.cropLeft), p.crop[1] = int32_t(sps.cropRight);
    p.crop[2] = int32_t(sps.cropTop), p.crop[3] = int32_t(sps.cropBottom);
    p.marking = RefPicMarking{};
}

void fillGap(H264DecoderContext& ctx, uint32_t frameNum) {
    const uint32_t maxFrameNum = ctx.activeSps.maxFrameNum;
    Dpb& d = ctx.dpb;
    const uint32_t missing = (frameNum + maxFrameNum - (d.prevRefFrameNum + 1) % maxFrameNum) % maxFrameNum;
    // Only the last num_ref_frames made-up frames can survive the sliding window; earlier ones only move
    // the order-count state on.
    const uint32_t keep = ctx.activeSps.numRefFrames;
    uint32_t unused = (d.prevRefFrameNum + 1) % maxFrameNum;
    for (uint32_t k = 0; k < missing; ++k, unused = (unused + 1) % maxFrameNum) {
        if (missing - k > keep) {
            ComputePoc(ctx, unused, 1, true);
            d.prevRefFrameNum = unused;
            continue;
        }
        Picture* p = takeFrameBuffer(ctx);
        if (!p)
            return;
        fillFromSlice(ctx, *p, unused, true);
        const PocResult poc = ComputePoc(ctx, unused, 1, true);
        p->poc = poc.poc, p->topPoc = poc.top, p->bottomPoc = poc.bottom;
        p->nonExisting = true;
        p->idr = false;
        p->nalUnitType = 1;
        p->kind = 0;
        p->userData = nullptr;
        storePicture(ctx, *p);
        d.prevRefFrameNum = unused;
        ++ctx.diagnostics.gapFrames;
    }
}

} // namespace

void RebuildRefLists(Dpb& d) {
    d.shortCount = d.longCount = 0;
    for (uint32_t i = 0; i < d.used; ++i) {
        FrameStore& f = d.stores[i];
        if (f.reference && !f.longTerm)
            d.shortTerm[d.shortCount++] = &f;
        else if (f.reference && f.longTerm)
            d.longTermList[d.longCount++] = &f;
    }
}

void FinishPicture(H264DecoderContext& ctx) {
    Picture* pic = ctx.current;
    if (!pic)
        return;
    ctx.current = nullptr;
    if (ctx.mbsDecoded < pic->picSizeInMbs) {
        pic->incomplete = true;
        ++ctx.diagnostics.incompletePictures;
    }
    ctx.mbsDecoded = 0;
    storePicture(ctx, *pic);
}

int StartPicture(H264DecoderContext& ctx) {
    FinishPicture(ctx);
    const SliceHeader& s = ctx.slice;
    const Sps& sps = ctx.activeSps;
    Dpb& d = ctx.dpb;
    const bool idr = s.nalUnitType == 5;
    if (idr)
        d.prevRefFrameNum = 0;
    const uint32_t next = (d.prevRefFrameNum + 1) % sps.maxFrameNum;
    if (!idr && s.frameNum != d.prevRefFrameNum && s.frameNum != next) {
        if (!sps.gapsAllowed) {
            if (s.frameNum < next)
                return -1;
        } else {
            fillGap(ctx, s.frameNum);
        }
    }
    if (s.nalRefIdc != 0)
        d.prevRefFrameNum = s.frameNum;

    Picture* p = takeFrameBuffer(ctx);
    if (!p)
        return -1;
    const PocResult poc = ComputePoc(ctx, s.frameNum, s.nalRefIdc, false);
    fillFromSlice(ctx, *p, s.frameNum, s.nalRefIdc != 0);
    p->poc = poc.poc, p->topPoc = poc.top, p->bottomPoc = poc.bottom;
    p->nalUnitType = s.nalUnitType;
    p->idr = idr;
    p->kind = int32_t(((s.frameNum & 1) + 1) * ctx.fieldPairFlag);
    p->userData = ctx.userData.type ? &ctx.userData : nullptr;
    ctx.current = p;
    ctx.mbsDecoded = 0;
    ++ctx.diagnostics.pictures;
    return 0;
}

void FlushDpb(H264DecoderContext& ctx) {
    Dpb& d = ctx.dpb;
    for (uint32_t i = 0; i < d.used; ++i) {
        d.stores[i].reference = d.stores[i].longTerm = false;
        d.stores[i].frame->usedForReference = d.stores[i].frame->longTerm = false;
    }
    while (removeUnused(d)) {
    }
    while (d.used) {
        const int best = smallestWaiting(d);
        if (best < 0)
            break;
        outputStore(ctx, uint32_t(best));
    }
    while (d.used)
        removeStore(d, 0);
    RebuildRefLists(d);
    d.lastOutputPoc = int32_t(0x80000001);
}

} // namespace h264
