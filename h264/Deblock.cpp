#include "h264/Deblock.h"

#include "h264/MacroblockTables.h"
#include "h264/SliceData.h"

#include <array>
#include <cstring>

namespace h264 {

namespace {

int clip51(int v) {
    return v < 0 ? 0 : v > 51 ? 51 : v;
}

struct Thresholds {
    uint32_t alpha; // one value
    uint32_t beta;
    int indexA;
};

Thresholds thresholds(const H264DecoderContext& ctx, int qp) {
    const int indexA = clip51(qp + 2 * ctx.slice.sliceAlphaC0OffsetDiv2);
    const int indexB = clip51(qp + 2 * ctx.slice.sliceBetaOffsetDiv2);
    return {kAlpha[indexA], kBeta[indexB], indexA};
}

// The four strengths of an edge as one word: they were stored as words (or wider), which a load of the same
// width reads without waiting for the store.
uint32_t edgeWord(const uint8_t* bs) {
    uint32_t word;
    std::memcpy(&word, bs, 4);
    return word;
}

bool allZero(const uint8_t* bs) {
    return edgeWord(bs) == 0;
}

bool anyNonZero(const uint8_t (*edges)[4]) {
    return (edgeWord(edges[0]) | edgeWord(edges[1]) | edgeWord(edges[2])) != 0;
}

// tC0 by indexA and bS 0..3 (0 for bS 0), and alpha kept only where bS is not 0: the normal filter's
// segments are set up without a test per segment, whose strengths change from edge to edge.
constexpr std::array<std::array<uint8_t, 4>, 52> kTc0ByStrength = [] {
    std::array<std::array<uint8_t, 4>, 52> t{};
    for (int indexA = 0; indexA < 52; ++indexA)
        for (int bs = 1; bs < 4; ++bs)
            t[indexA][bs] = kTc0[indexA][bs - 1];
    return t;
}();

uint32_t alphaWhereFiltered(uint32_t alpha, uint8_t bs) {
    return alpha & (0u - uint32_t(bs != 0));
}

// Luma: one 8-sample call covers segments bs[0] and bs[1].
void filterLuma(const H264KernelTable& k, uint8_t* p, uint8_t* q, const uint8_t* bs, const Thresholds& t) {
    if ((bs[0] | bs[1]) == 0 || t.alpha == 0)
        return;
    if (bs[0] == 4) {
        k.filterLumaEdgeStrong(p, q, t.alpha * 0x01010101u, t.beta);
        return;
    }
    uint8_t tc0[4];
    uint32_t alpha = 0;
    for (int s = 0; s < 2; ++s) {
        alpha |= alphaWhereFiltered(t.alpha, bs[s]) * 0x0101u << (16 * s);
        tc0[2 * s] = tc0[2 * s + 1] = kTc0ByStrength[t.indexA][bs[s]];
    }
    k.filterLumaEdgeNormal(p, q, alpha, t.beta, tc0);
}

// Chroma: one call covers the 8 samples of both planes along an edge of four segments.
void filterChroma(const H264KernelTable& k, uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ,
                  const uint8_t* bs, const Thresholds& t) {
    if (allZero(bs) || t.alpha == 0)
        return;
    if (bs[0] == 4) {
        k.filterChromaEdgesStrong(cbP, cbQ, crP, crQ, t.alpha * 0x01010101u, t.beta);
        return;
    }
    uint8_t tc0[4];
    uint32_t alpha = 0;
    for (int s = 0; s < 4; ++s) {
        alpha |= alphaWhereFiltered(t.alpha, bs[s]) << (8 * s);
        tc0[s] = kTc0ByStrength[t.indexA][bs[s]];
    }
    k.filterChromaEdgesNormal(cbP, cbQ, crP, crQ, alpha, t.beta, tc0, 8);
}

} // namespace

bool AnyEdgeFiltered(const EdgeStrengths& bs) {
    return (edgeWord(bs.left) | edgeWord(bs.top)) != 0 || anyNonZero(bs.vertical) ||
           anyNonZero(bs.horizontal);
}

void StoreMacroblock(H264DecoderContext& ctx) {
    const CurrentMacroblock& c = *ctx.cur;
    const MacroblockLayer& mb = ctx.mb;
    const int index = ctx.current->bufferIndex;
    const uint32_t stride = ctx.lumaStride, chromaStride = stride / 2;
    uint8_t* y = ctx.planeY[index] + size_t(16 * mb.mbY) * stride + 16 * mb.mbX;
    const size_t chromaOffset = size_t(8 * mb.mbY) * chromaStride + 8 * mb.mbX;
    ctx.kernels.storeLumaMacroblock(y, &c.luma, int(stride));
    ctx.kernels.storeChromaMacroblock(ctx.planeCb[index] + chromaOffset, ctx.planeCr[index] + chromaOffset,
                                      &c.cb, &c.cr, int(chromaStride));
    PrefetchPictureLines(ctx);
}

void PrefetchPictureLines(const H264DecoderContext& ctx) {
#if defined(__GNUC__)
    // The picture lines the next macroblocks will write, a cache line ahead, fetched now (four luma rows and
    // one row of each chroma plane per macroblock in turn): otherwise their stores wait for the lines and
    // fill the store buffer, and every later store waits behind them.
    const MacroblockLayer& mb = ctx.mb;
    const int index = ctx.current->bufferIndex;
    const uint32_t stride = ctx.lumaStride, chromaStride = stride / 2;
    const uint8_t* y = ctx.planeY[index] + size_t(16 * mb.mbY) * stride + 16 * mb.mbX;
    const size_t chromaOffset = size_t(8 * mb.mbY) * chromaStride + 8 * mb.mbX;
    const uint32_t lumaRow = (mb.mbX & 3) * 4, chromaRow = mb.mbX & 7;
    for (uint32_t r = lumaRow; r < lumaRow + 4; ++r)
        __builtin_prefetch(y + r * stride + 64, 1);
    __builtin_prefetch(ctx.planeCb[index] + chromaOffset + chromaRow * chromaStride + 64, 1);
    __builtin_prefetch(ctx.planeCr[index] + chromaOffset + chromaRow * chromaStride + 64, 1);
#else
    (void)ctx;
#endif
}

void DeblockMacroblock(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    const MacroblockLayer& mb = ctx.mb;
    const H264KernelTable& k = ctx.kernels;
    const EdgeStrengths& bs = c.strengths;
    // Nothing to filter: the macroblock is only stored.
    if (!AnyEdgeFiltered(bs)) {
        StoreMacroblock(ctx);
        return;
    }
    const int index = ctx.current->bufferIndex;
    const int stride = int(ctx.lumaStride), chromaStride = stride / 2;
    uint8_t* picY = ctx.planeY[index] + size_t(16 * mb.mbY) * stride + 16 * mb.mbX;
    const size_t chromaOffset = size_t(8 * mb.mbY) * chromaStride + 8 * mb.mbX;
    uint8_t* picCb = ctx.planeCb[index] + chromaOffset;
    uint8_t* picCr = ctx.planeCr[index] + chromaOffset;
    uint8_t* luma = c.luma.bytes;
    uint8_t* cb = c.cb.bytes;
    uint8_t* cr = c.cr.bytes;
    const Thresholds inner = thresholds(ctx, c.info->qp), innerChroma = thresholds(ctx, c.info->qpc);
    alignas(16) uint8_t edge[64];
    alignas(16) uint8_t edge2[64];

    // An edge is filtered only where a strength is non-zero and its alpha is not 0 (luma and chroma alphas
    // come from different QPs, so either may be the one that is 0). A pass with nothing to filter skips its
    // transposes too: transposing twice gives the block back.
    Thresholds left{}, leftChroma{}, top{}, topChroma{};
    const bool leftEdge = !allZero(bs.left);
    if (leftEdge) {
        const MacroblockInfo& l = LeftInfo(ctx);
        left = thresholds(ctx, (l.qp + c.info->qp + 1) >> 1);
        leftChroma = thresholds(ctx, (l.qpc + c.info->qpc + 1) >> 1);
    }
    const bool topEdge = !allZero(bs.top);
    if (topEdge) {
        const MacroblockInfo& t = TopInfo(ctx);
        top = thresholds(ctx, (t.qp + c.info->qp + 1) >> 1);
        topChroma = thresholds(ctx, (t.qpc + c.info->qpc + 1) >> 1);
    }
    const bool innerActive = inner.alpha != 0 || innerChroma.alpha != 0;
    const bool verticalInner = innerActive && anyNonZero(bs.vertical);
    const bool horizontalInner = innerActive && anyNonZero(bs.horizontal);
    const bool leftActive = leftEdge && (left.alpha != 0 || leftChroma.alpha != 0);
    const bool topActive = topEdge && (top.alpha != 0 || topChroma.alpha != 0);

    // Vertical edges, on transposed blocks.
    if (leftActive || verticalInner) {
        for (int q = 0; q < 4; ++q)
            k.transpose8x8(luma + 64 * q);
        k.transpose8x8(cb);
        k.transpose8x8(cr);
        if (leftActive) {
            k.gatherEdgeColumns(picY - 4, picY - 4 + 8 * stride, edge, stride);
            filterLuma(k, edge, luma, bs.left, left);
            filterLuma(k, edge + 32, luma + 128, bs.left + 2, left);
            k.scatterEdgeColumns(picY - 4, picY - 4 + 8 * stride, edge, stride);
            k.gatherEdgeColumns(picCb - 4, picCr - 4, edge2, chromaStride);
            filterChroma(k, edge2 + 16, cb, edge2 + 48, cr, bs.left, leftChroma);
            k.scatterEdgeColumns(picCb - 4, picCr - 4, edge2, chromaStride);
        }
        if (verticalInner) {
            for (int half = 0; half < 2; ++half) {
                uint8_t* l = luma + 128 * half;
                filterLuma(k, l, l + 32, bs.vertical[0] + 2 * half, inner);
                filterLuma(k, l + 32, l + 64, bs.vertical[1] + 2 * half, inner);
                filterLuma(k, l + 64, l + 96, bs.vertical[2] + 2 * half, inner);
            }
            filterChroma(k, cb + 16, cb + 32, cr + 16, cr + 32, bs.vertical[1], innerChroma);
        }
        for (int q = 0; q < 4; ++q)
            k.transpose8x8(luma + 64 * q);
        k.transpose8x8(cb);
        k.transpose8x8(cr);
    }

    // Horizontal edges.
    if (topActive) {
        k.gatherLumaRows(edge, edge + 32, picY - 4 * stride, stride);
        filterLuma(k, edge, luma, bs.top, top);
        filterLuma(k, edge + 32, luma + 64, bs.top + 2, top);
        k.scatterLumaRows(edge + 8, edge + 40, picY - 3 * stride, stride);
        k.gatherChromaRows(edge2, picCb - 2 * chromaStride, chromaStride);
        k.gatherChromaRows(edge2 + 16, picCr - 2 * chromaStride, chromaStride);
        filterChroma(k, edge2, cb, edge2 + 16, cr, bs.top, topChroma);
        k.copyRow8(edge2 + 8, picCb - chromaStride);
        k.copyRow8(edge2 + 24, picCr - chromaStride);
    }
    if (horizontalInner) {
        for (int half = 0; half < 2; ++half) {
            uint8_t* l = luma + 64 * half;
            filterLuma(k, l, l + 32, bs.horizontal[0] + 2 * half, inner);
            filterLuma(k, l + 32, l + 128, bs.horizontal[1] + 2 * half, inner);
            filterLuma(k, l + 128, l + 160, bs.horizontal[2] + 2 * half, inner);
        }
        filterChroma(k, cb + 16, cb + 32, cr + 16, cr + 32, bs.horizontal[1], innerChroma);
    }
    StoreMacroblock(ctx);
}

} // namespace h264
