#include "h264/Intra.h"

#include "h264/MacroblockTables.h"
#include "h264/SliceData.h"

#include <cstring>

namespace h264 {

namespace {

// Availability of a neighbour for intra prediction: with constrained intra prediction only intra
// macroblocks count.
bool intraAvailable(const H264DecoderContext& ctx, bool available, const MacroblockInfo& info) {
    return available && (!ctx.activePps.constrainedIntraPred || isIntra(info.motion.type));
}

struct Availability {
    bool left, top;
};

Availability fillNeighbourStrip(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    const MacroblockLayer& mb = ctx.mb;
    const MacroblockInfo &left = LeftInfo(ctx), &top = TopInfo(ctx), &topLeft = TopLeftInfo(ctx),
                         &topRight = TopRightInfo(ctx);
    const Availability a{intraAvailable(ctx, mb.availLeft, left), intraAvailable(ctx, mb.availTop, top)};
    KeepLeftColumns(ctx);
    uint8_t* y = c.luma.bytes;
    std::memcpy(y + LumaWorkBuffer::Left, mb.leftY, 16);
    std::memcpy(y + LumaWorkBuffer::Above, top.bottomY, 16);
    if (intraAvailable(ctx, mb.availTopRight, topRight))
        std::memcpy(y + LumaWorkBuffer::AboveRight, topRight.bottomY, 4);
    else
        std::memset(y + LumaWorkBuffer::AboveRight, top.bottomY[15], 4);
    y[LumaWorkBuffer::TopLeft] = topLeft.bottomY[15];
    std::memset(y + LumaWorkBuffer::LeftAvailable, a.left, 4);
    y[LumaWorkBuffer::AboveAvailable] = a.top;
    y[LumaWorkBuffer::AlwaysAvailable] = 1;
    const uint8_t* leftChroma[2] = {mb.leftCb, mb.leftCr};
    const uint8_t* topChroma[2] = {top.bottomCb, top.bottomCr};
    const uint8_t corner[2] = {topLeft.bottomCb[7], topLeft.bottomCr[7]};
    ChromaWorkBuffer* planes[2] = {&c.cb, &c.cr};
    for (int p = 0; p < 2; ++p) {
        std::memcpy(planes[p]->bytes + ChromaWorkBuffer::Left, leftChroma[p], 8);
        std::memcpy(planes[p]->bytes + ChromaWorkBuffer::Above, topChroma[p], 8);
        planes[p]->bytes[ChromaWorkBuffer::TopLeft] = corner[p];
    }
    return a;
}

bool chromaModeMissing(int mode, Availability a) {
    return (mode == 1 && !a.left) || (mode == 2 && !a.top);
}

int reconstruct4x4(H264DecoderContext& ctx, Availability a) {
    CurrentMacroblock& c = *ctx.cur;
    const MacroblockInfo &left = LeftInfo(ctx), &top = TopInfo(ctx);
    uint8_t* modes = c.info->intraModes;
    int error = 0;
    for (int blk = 0; blk < 16; ++blk) {
        const int x = kBlockX[blk], y = kBlockY[blk];
        const bool haveLeft = x > 0 || a.left, haveTop = y > 0 || a.top;
        int predicted = 2;
        if (haveLeft && haveTop) {
            const int modeA = x > 0 ? modes[kBlockAt[y][x - 1]] : left.intraModes[kBlockAt[y][3]];
            const int modeB = y > 0 ? modes[kBlockAt[y - 1][x]] : top.intraModes[kBlockAt[3][x]];
            predicted = modeA < modeB ? modeA : modeB;
        }
        const int rem = c.remIntraMode[blk];
        const int mode = c.prevIntraFlag[blk] ? predicted : rem >= predicted ? rem + 1 : rem;
        modes[blk] = uint8_t(mode);
        if (!haveLeft && (mode == 1 || mode == 4 || mode == 5 || mode == 6 || mode == 8))
            error = 1;
        if (!haveTop && mode != 1 && mode != 2 && mode != 8)
            error = 1;
        (*ctx.kernels.intra4x4)[mode](blk, &c.luma, &c.lumaResidual, c.codedBlockPattern);
    }
    return error;
}

} // namespace

void SetIntraEdgeStrengths(H264DecoderContext& ctx) {
    EdgeStrengths& bs = ctx.cur->strengths;
    const MacroblockLayer& mb = ctx.mb;
    const bool sliceEdges = ctx.slice.disableDeblockingFilterIdc == 2;
    std::memset(bs.left, mb.mbX == 0 || (sliceEdges && !mb.availLeft) ? 0 : 4, 4);
    std::memset(bs.top, mb.mbY == 0 || (sliceEdges && !mb.availTop) ? 0 : 4, 4);
    std::memset(bs.vertical, 3, sizeof bs.vertical);
    std::memset(bs.horizontal, 3, sizeof bs.horizontal);
}

bool DecodeIPcm(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    H264BitReader& r = ctx.reader;
    r.position = (r.position + 7) & ~7u;
    const uint32_t first = r.position >> 3, unitBytes = (r.bitCount >> 3) + 1;
    if (first + 384 > unitBytes)
        return false;
    if (ctx.slice.disableDeblockingFilterIdc != 1)
        SetIntraEdgeStrengths(ctx);
    int offset = ctx.activePps.chromaQpIndexOffset;
    c.info->qp = 0;
    c.info->qpc = ChromaQpTable[offset < 0 ? 0 : offset];
    std::memset(c.info->totalCoeff, 16, sizeof c.info->totalCoeff);
    const uint8_t* samples = r.buffer + first;
    for (int row = 0; row < 16; ++row)
        for (int col = 0; col < 16; ++col)
            c.luma.bytes[((row >> 3) * 2 + (col >> 3)) * 64 + (row & 7) * 8 + (col & 7)] =
                samples[16 * row + col];
    std::memcpy(c.cb.bytes, samples + 256, 64);
    std::memcpy(c.cr.bytes, samples + 320, 64);
    r.position += 3072;
    return true;
}

int ReconstructIntraMacroblock(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    if (ctx.slice.disableDeblockingFilterIdc != 1)
        SetIntraEdgeStrengths(ctx);
    const Availability a = fillNeighbourStrip(ctx);
    int error = 0;
    if (c.mbType == MB_I4x4) {
        error = reconstruct4x4(ctx, a);
    } else {
        const int mode = c.intra16x16Mode;
        error = (mode == 0 && !a.top) || (mode == 1 && !a.left);
        (*ctx.kernels.intra16x16)[mode](&c.luma, &c.lumaResidual);
    }
    (*ctx.kernels.intraChroma)[c.chromaMode](&c.luma, &c.cb, &c.cr, &c.cbResidual, &c.crResidual,
                                             c.codedBlockPattern >> 4);
    return error || chromaModeMissing(c.chromaMode, a);
}

} // namespace h264
