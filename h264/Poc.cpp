#include "h264/Poc.h"

#include "h264/Context.h"

namespace h264 {

namespace {

int32_t wrap32(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}

int64_t frameNumOffset(const H264DecoderContext& ctx, uint32_t frameNum, bool idr) {
    if (idr)
        return 0;
    const Dpb& d = ctx.dpb;
    return d.prevFrameNum > frameNum ? d.prevFrameNumOffset + ctx.activeSps.maxFrameNum
                                     : d.prevFrameNumOffset;
}

} // namespace

PocResult ComputePoc(H264DecoderContext& ctx, uint32_t frameNum, uint32_t nalRefIdc, bool gapFrame) {
    const Sps& sps = ctx.activeSps;
    const SliceHeader& s = ctx.slice;
    Dpb& d = ctx.dpb;
    const bool idr = !gapFrame && s.nalUnitType == 5;
    PocResult p;
    if (sps.pocType == 0) {
        if (gapFrame) {
            p.poc = d.lastPoc[0], p.top = d.lastPoc[1], p.bottom = d.lastPoc[2];
            return p;
        }
        if (idr)
            d.prevPocMsb = d.prevPocLsb = 0;
        const int64_t maxLsb = int64_t(1) << (sps.log2MaxPocLsbMinus4 + 4);
        const int64_t lsb = s.pocLsb;
        int64_t msb = d.prevPocMsb;
        if (lsb < d.prevPocLsb && d.prevPocLsb - lsb >= maxLsb / 2)
            msb += maxLsb;
        else if (lsb > d.prevPocLsb && lsb - d.prevPocLsb > maxLsb / 2)
            msb -= maxLsb;
        p.top = wrap32(msb + lsb);
        p.bottom = wrap32(int64_t(p.top) + s.deltaPocBottom);
        if (nalRefIdc != 0) {
            // Kept as a 32-bit quantity so that the counter cannot run away.
            d.prevPocMsb = wrap32(msb);
            d.prevPocLsb = lsb;
        }
    } else {
        const int64_t offset = frameNumOffset(ctx, frameNum, idr);
        const int32_t delta0 = gapFrame ? 0 : s.deltaPoc[0], delta1 = gapFrame ? 0 : s.deltaPoc[1];
        if (sps.pocType == 1) {
            const uint32_t cycle = sps.numRefFramesInPocCycle;
            int64_t absFrameNum = cycle != 0 ? offset + frameNum : 0;
            if (nalRefIdc == 0 && absFrameNum > 0)
                --absFrameNum;
            uint32_t expected = 0;
            if (absFrameNum > 0) {
                uint32_t perCycle = 0;
                for (uint32_t i = 0; i < cycle; ++i)
                    perCycle += uint32_t(sps.offsetForRefFrame[i]);
                const int64_t cycleCnt = (absFrameNum - 1) / cycle;
                const uint32_t inCycle = uint32_t((absFrameNum - 1) % cycle);
                expected = uint32_t(uint64_t(cycleCnt)) * perCycle;
                for (uint32_t i = 0; i <= inCycle; ++i)
                    expected += uint32_t(sps.offsetForRefFrame[i]);
            }
            if (nalRefIdc == 0)
                expected += uint32_t(sps.offsetForNonRefPic);
            p.top = wrap32(int64_t(int32_t(expected)) + delta0);
            p.bottom = wrap32(int64_t(p.top) + sps.offsetForTopToBottomField + delta1);
        } else {
            const int64_t twice = 2 * (offset + frameNum);
            p.top = p.bottom = idr ? 0 : wrap32(nalRefIdc == 0 ? twice - 1 : twice);
        }
        d.prevFrameNumOffset = offset;
        d.prevFrameNum = frameNum;
    }
    p.poc = p.top < p.bottom ? p.top : p.bottom;
    d.lastPoc[0] = p.poc, d.lastPoc[1] = p.top, d.lastPoc[2] = p.bottom;
    return p;
}

} // namespace h264
