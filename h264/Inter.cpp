#include "h264/Inter.h"

#include "h264/Deblock.h"
#include "h264/Neighbours.h"
#include "h264/RefFetch.h"
#include "h264/SliceData.h"

#include <array>
#include <bit>
#include <cstring>

namespace h264 {

namespace {

struct Geometry {
    int x, y, w, h;
};

constexpr Geometry geometry(int code) {
    switch (code) {
    case 0:
        return {0, 0, 16, 16};
    case 1:
        return {0, 0, 16, 8};
    case 2:
        return {0, 8, 16, 8};
    case 3:
        return {0, 0, 8, 16};
    case 4:
        return {8, 0, 8, 16};
    default:
        break;
    }
    const int q = (code - 5) / 9, k = (code - 5) % 9, qx = 8 * (q & 1), qy = 8 * (q >> 1);
    switch (k) {
    case 0:
        return {qx, qy, 8, 8};
    case 1:
        return {qx, qy, 8, 4};
    case 2:
        return {qx, qy + 4, 8, 4};
    case 3:
        return {qx, qy, 4, 8};
    case 4:
        return {qx + 4, qy, 4, 8};
    default:
        return {qx + 4 * ((k - 5) & 1), qy + 4 * ((k - 5) >> 1), 4, 4};
    }
}

constexpr std::array<Geometry, 41> kGeometry = [] {
    std::array<Geometry, 41> t{};
    for (int code = 0; code < 41; ++code)
        t[code] = geometry(code);
    return t;
}();

int16_t median(int16_t a, int16_t b, int16_t c) {
    const int16_t lo = a < b ? a : b, hi = a < b ? b : a;
    const int16_t m = hi < c ? hi : c;
    return lo > m ? lo : m;
}

// A motion vector in quarter samples, passed by value: a pair in memory that was just written as two
// halves would stall the wider load that reads it back.
struct Vector {
    int16_t x, y;
};
static_assert(sizeof(Vector) == 4);

Vector predictMotionVector(const NeighbourMotion* n, int refIdx) {
    const NeighbourMotion &a = n[0], &b = n[1], &c = n[2];
    if (a.refIdx < 0 && b.refIdx < 0 && c.refIdx < 0)
        return {0, 0};
    if (a.available && !b.available && !c.available)
        return {a.mv[0], a.mv[1]};
    const int matches = (a.refIdx == refIdx) + (b.refIdx == refIdx) + (c.refIdx == refIdx);
    if (matches == 1) {
        const NeighbourMotion& m = a.refIdx == refIdx ? a : b.refIdx == refIdx ? b : c;
        return {m.mv[0], m.mv[1]};
    }
    return {median(a.mv[0], b.mv[0], c.mv[0]), median(a.mv[1], b.mv[1], c.mv[1])};
}

const Picture* reference(const H264DecoderContext& ctx, int refIdx) {
    const Picture* p = ctx.refList0[refIdx & 31];
    return p ? p : ctx.refList0[0];
}

// The 4x4 blocks (luma4x4BlkIdx bits) each partition code covers.
constexpr std::array<uint16_t, 41> buildCoverage() {
    std::array<uint16_t, 41> t{};
    for (int code = 0; code < 41; ++code) {
        const Geometry g = geometry(code);
        for (int by = g.y / 4; by < (g.y + g.h) / 4; ++by)
            for (int bx = g.x / 4; bx < (g.x + g.w) / 4; ++bx)
                t[code] |= uint16_t(1u << (4 * ((by >> 1) * 2 + (bx >> 1)) + 2 * (by & 1) + (bx & 1)));
    }
    return t;
}
constexpr std::array<uint16_t, 41> kCoverage = buildCoverage();

// The same as word masks, all ones for each 4x4 block (and each quadrant) a partition covers: the motion of a
// partition is merged into the record without a test per block, which would follow the partition shapes.
struct CoverageMasks {
    uint32_t blocks[16];
    uint32_t quadrants[4];
};
constexpr std::array<CoverageMasks, 41> kCoverageMasks = [] {
    std::array<CoverageMasks, 41> t{};
    for (int code = 0; code < 41; ++code) {
        for (int blk = 0; blk < 16; ++blk)
            t[code].blocks[blk] = kCoverage[code] >> blk & 1 ? ~0u : 0u;
        for (int q = 0; q < 4; ++q)
            t[code].quadrants[q] = kCoverage[code] >> (4 * q) & 15 ? ~0u : 0u;
    }
    return t;
}();

// Stores the partition's motion into the current record.
void storeMotion(H264DecoderContext& ctx, int code, int refIdx, Vector mv) {
    MacroblockMotion& m = ctx.cur->info->motion;
    const int32_t poc = reference(ctx, refIdx)->poc;
    // Each vector as one 4-byte store, as the neighbour derivation copies it.
    uint32_t packed;
    std::memcpy(&packed, &mv, 4);
    if (code == 0) {
        // One store per field, in the widths the neighbours read them with.
        const int8_t refs[4] = {int8_t(refIdx), int8_t(refIdx), int8_t(refIdx), int8_t(refIdx)};
        std::memcpy(m.refIdx, refs, 4);
        for (int q = 0; q < 4; ++q)
            m.refPoc[q] = poc;
        for (int blk = 0; blk < 16; ++blk)
            std::memcpy(m.mv[blk], &packed, 4);
        return;
    }
    const CoverageMasks& cover = kCoverageMasks[code];
    for (int blk = 0; blk < 16; ++blk) {
        uint32_t v;
        std::memcpy(&v, m.mv[blk], 4);
        v = (v & ~cover.blocks[blk]) | (packed & cover.blocks[blk]);
        std::memcpy(m.mv[blk], &v, 4);
    }
    for (int q = 0; q < 4; ++q) {
        const uint32_t keep = ~cover.quadrants[q];
        m.refIdx[q] = int8_t((uint32_t(uint8_t(m.refIdx[q])) & keep) | (uint32_t(uint8_t(refIdx)) & ~keep));
        m.refPoc[q] = int32_t((uint32_t(m.refPoc[q]) & keep) | (uint32_t(poc) & ~keep));
    }
}

// A block's reference area in one plane: the plane itself where the area lies inside it (the usual case,
// kept free of the request record), else a padded copy in `pad`.
struct Area {
    const uint8_t* samples;
    int32_t stride;
};

struct AreaGeometry {
    int32_t x0, y0, width, height, planeWidth, planeHeight;

    bool inside() const {
        return x0 >= 0 && y0 >= 0 && x0 + width <= planeWidth && y0 + height <= planeHeight;
    }
};

// Kept out of line, so that the usual inside case of referenceArea inlines into its callers.
[[gnu::noinline]] Area paddedArea(const uint8_t* plane, int32_t stride, const AreaGeometry& a, uint8_t* pad) {
    RefFetchRequest q;
    q.plane = plane;
    q.area = pad;
    q.width = a.width, q.height = a.height;
    q.x0 = a.x0, q.y0 = a.y0;
    q.planeWidth = a.planeWidth, q.planeHeight = a.planeHeight;
    FetchPaddedBlock(CrossingIndex(q), q, stride);
    return {q.area, q.areaStride};
}

Area referenceArea(const uint8_t* plane, int32_t stride, const AreaGeometry& a, bool inside, uint8_t* pad) {
    if (inside)
        return {plane + int64_t(a.y0) * stride + a.x0, stride};
    return paddedArea(plane, stride, a, pad);
}

// The reference rows that a macroblock `ahead` steps further right will probably read (the same vector):
// each row is a separate cache line, too far from the last one for the processor's own prefetching. The
// callers look 128 samples ahead, eight luma macroblocks, time enough for a line from memory; two
// macroblocks were too few. Only the macroblocks whose area that far on ends in a new line have something
// to fetch.
// The block's `Rows` rows are fetched in one unrolled run and the margin rows of a sub-sample vector after
// them: a loop over all of them ends at a different count from one vector to the next, and its exit is then
// mispredicted. Always inlined: the compiler takes a separate function that only prefetches for one without
// effects and drops its calls.
#if defined(__GNUC__)
template <int32_t Rows>
[[gnu::always_inline]] inline void prefetchAhead(Area area, int32_t width, int32_t height, int32_t step,
                                                 int32_t ahead) {
    const uint8_t* end = area.samples + width - 1 + ahead * step;
    if (((reinterpret_cast<uintptr_t>(end) ^ reinterpret_cast<uintptr_t>(end - step)) & ~uintptr_t(63)) == 0)
        return;
#pragma GCC unroll 16
    for (int32_t r = 0; r < Rows; ++r)
        __builtin_prefetch(end + r * area.stride);
    for (int32_t r = Rows; r < height; ++r)
        __builtin_prefetch(end + r * area.stride);
}
#else
template <int32_t Rows> void prefetchAhead(Area, int32_t, int32_t, int32_t, int32_t) {}
#endif

int lumaOffset(int x, int y) {
    return ((y >> 3) * 2 + (x >> 3)) * 64 + (y & 7) * 8 + (x & 7);
}

// What a prediction fills: one partition of the work buffers; the whole 16x16 partition (code 0) of P_Skip
// and P_L0_16x16, most macroblocks, with its geometry known at compile time; or the whole macroblock straight
// in the picture.
enum class Target { Partition, Whole, Picture };

template <Target T> void predictSamples(H264DecoderContext& ctx, int code, int refIdx, Vector mv) {
    constexpr bool Whole = T != Target::Partition;
    if constexpr (Whole)
        code = 0;
    const Geometry g = Whole ? kGeometry[0] : kGeometry[code];
    const int bufferIndex = reference(ctx, refIdx)->bufferIndex;
    const H264KernelTable& k = ctx.kernels;
    CurrentMacroblock& c = *ctx.cur;
    const MacroblockLayer& mb = ctx.mb;
    const int32_t stride = int32_t(ctx.lumaStride), chromaStride = stride / 2;
    const int32_t width = int32_t(16 * ctx.slice.picWidthInMbs),
                  height = int32_t(16 * ctx.slice.picHeightInMbs);
    alignas(16) uint8_t lumaPad[22 * kPaddedStride];
    alignas(16) uint8_t cbPad[10 * kPaddedStride];
    alignas(16) uint8_t crPad[10 * kPaddedStride];
    InterPredBlock b;
    b.mvX = mv.x;
    b.mvY = mv.y;
    b.referenceFrame = bufferIndex;

    const int index = 4 * (mv.x & 3) + (mv.y & 3), cls = LumaMarginClass[index];
    const AreaGeometry la{int32_t(16 * mb.mbX) + g.x + (mv.x >> 2) - (cls & 1 ? 2 : 0),
                          int32_t(16 * mb.mbY) + g.y + (mv.y >> 2) - (cls & 2 ? 2 : 0),
                          g.w + (cls & 1 ? 5 : 0),
                          g.h + (cls & 2 ? 5 : 0),
                          width,
                          height};
    const bool lumaInside = la.inside();
    const Area luma = referenceArea(ctx.planeY[bufferIndex], stride, la, lumaInside, lumaPad);
    b.lumaAreaCode = 4 * code + cls;

    b.xFracC = int16_t(mv.x & 7);
    b.yFracC = int16_t(mv.y & 7);
    const int chromaCase = (b.xFracC != 0) + 2 * (b.yFracC != 0);
    const AreaGeometry ca{int32_t(8 * mb.mbX) + g.x / 2 + (mv.x >> 3),
                          int32_t(8 * mb.mbY) + g.y / 2 + (mv.y >> 3),
                          g.w / 2 + (chromaCase & 1),
                          g.h / 2 + (chromaCase >> 1),
                          width / 2,
                          height / 2};
    const bool chromaInside = ca.inside();
    const Area cb = referenceArea(ctx.planeCb[bufferIndex], chromaStride, ca, chromaInside, cbPad);
    const Area cr = referenceArea(ctx.planeCr[bufferIndex], chromaStride, ca, chromaInside, crPad);
    b.chromaAreaCode = 4 * code + chromaCase;
    if (code == 0 && lumaInside && chromaInside) {
        prefetchAhead<16>(luma, la.width, la.height, 16, 8);
        prefetchAhead<8>(cb, ca.width, ca.height, 8, 16);
        prefetchAhead<8>(cr, ca.width, ca.height, 8, 16);
    }

    b.lumaStride = luma.stride;
    b.chromaStride = cb.stride;
    if constexpr (T == Target::Picture) {
        const int picture = ctx.current->bufferIndex;
        const size_t chromaOffset = size_t(8 * mb.mbY) * chromaStride + 8 * mb.mbX;
        b.lumaSource = const_cast<uint8_t*>(luma.samples);
        b.lumaDestination = ctx.planeY[picture] + size_t(16 * mb.mbY) * stride + 16 * mb.mbX;
        (*ctx.pictureMc->luma)[index](&b, stride);
        b.cbSource = const_cast<uint8_t*>(cb.samples);
        b.crSource = const_cast<uint8_t*>(cr.samples);
        b.cbDestination = ctx.planeCb[picture] + chromaOffset;
        b.crDestination = ctx.planeCr[picture] + chromaOffset;
        (*ctx.pictureMc->chroma)[chromaCase](&b, chromaStride);
        return;
    }
    const uint8_t* lumaSource = luma.samples;
    uint8_t* lumaDest = c.luma.bytes + lumaOffset(g.x, g.y);
    const auto lumaCalls = [&](const LumaQpelKernels* table, int sourceStep, const int* destSteps,
                               int calls) {
        for (int i = 0; i < calls; ++i) {
            b.lumaSource = const_cast<uint8_t*>(lumaSource) + sourceStep * i;
            b.lumaDestination = lumaDest + destSteps[i];
            (*table)[index](&b);
        }
    };
    static constexpr int kSteps64[2] = {0, 64}, kSteps16x8[4] = {0, 4, 64, 68}, kSteps4[2] = {0, 4};
    if (g.w == 16 && g.h == 16)
        lumaCalls(k.lumaQpel8x16, 8, kSteps64, 2);
    else if (g.w == 16)
        lumaCalls(k.lumaQpel4x8, 4, kSteps16x8, 4);
    else if (g.w == 8 && g.h == 16)
        lumaCalls(k.lumaQpel8x16, 0, kSteps4, 1);
    else if (g.w == 8)
        lumaCalls(g.h == 8 ? k.lumaQpel4x8 : k.lumaQpel4x4, 4, kSteps4, 2);
    else
        lumaCalls(g.h == 8 ? k.lumaQpel4x8 : k.lumaQpel4x4, 0, kSteps4, 1);

    const int chromaDest = (g.y / 2) * 8 + g.x / 2;
    const ChromaMcKernels* table = g.w == 16 ? k.chromaMc8 : g.w == 8 ? k.chromaMc4 : &ChromaMcTable2;
    const int rowsPerCall = g.w == 16 ? 4 : 2;
    for (int row = 0; row < g.h / 2; row += rowsPerCall) {
        b.cbSource = const_cast<uint8_t*>(cb.samples) + row * b.chromaStride;
        b.crSource = const_cast<uint8_t*>(cr.samples) + row * b.chromaStride;
        b.cbDestination = c.cb.bytes + chromaDest + 8 * row;
        b.crDestination = c.cr.bytes + chromaDest + 8 * row;
        (*table)[chromaCase](&b);
    }
}

void predictPartition(H264DecoderContext& ctx, int code, int refIdx, const int16_t* mvd, int direction) {
    DeriveNeighbours(ctx, code);
    const NeighbourMotion* n = ctx.mb.neighbours;
    // Directional prediction of 16x8 and 8x16 halves: 0 none, else the neighbour (A 0, B 1, C 2) + 1.
    const Vector mvp = direction && n[direction - 1].refIdx == refIdx
                           ? Vector{n[direction - 1].mv[0], n[direction - 1].mv[1]}
                           : predictMotionVector(n, refIdx);
    const Vector mv{int16_t(uint16_t(mvp.x) + uint16_t(mvd[0])), int16_t(uint16_t(mvp.y) + uint16_t(mvd[1]))};
    storeMotion(ctx, code, refIdx, mv);
    if (code == 0)
        predictSamples<Target::Whole>(ctx, 0, refIdx, mv);
    else
        predictSamples<Target::Partition>(ctx, code, refIdx, mv);
}

// Quadrants whose kernel call would change nothing (no residual, no weighting) are not called: a P_Skip
// macroblock's prediction is its picture.
void combine(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    CombineContext& cc = ctx.mb.combine;
    const int pattern = c.mbType == MB_P_SKIP ? 0 : c.codedBlockPattern;
    const bool weighted = ctx.slice.weightMode != 0;
    if (pattern == 0 && !weighted)
        return;
    cc.codedBlockPattern = pattern;
    std::memcpy(cc.refIdx, c.info->motion.refIdx, 4);
    static constexpr int kChromaOffset[4] = {0, 4, 32, 36};
    const PredCombineKernel kernel = (*ctx.kernels.predCombine)[4 * ctx.slice.weightMode + 1];
    // The quadrants to call as bits, visited lowest first: a test per quadrant would follow the pattern.
    for (unsigned quadrants = weighted || pattern >= 16 ? 15u : unsigned(pattern); quadrants;
         quadrants &= quadrants - 1) {
        const int q = std::countr_zero(quadrants);
        const CombineRequest request{c.luma.bytes + 64 * q, c.cb.bytes + kChromaOffset[q],
                                     c.cr.bytes + kChromaOffset[q], q};
        kernel(&request, &cc);
    }
}

// 1 when block p of `a` and block q of `b` use different reference pictures or vectors 4 or more quarter
// samples apart, else 0.
uint8_t motionDiffers(const MacroblockMotion& a, int p, const MacroblockMotion& b, int q) {
    // |d| >= 4 as one unsigned comparison.
    const uint32_t dx = uint32_t(a.mv[p][0] - b.mv[q][0] + 3), dy = uint32_t(a.mv[p][1] - b.mv[q][1] + 3);
    return (a.refPoc[p >> 2] != b.refPoc[q >> 2]) | (dx > 6) | (dy > 6);
}

// P_Skip and P_L0_16x16 macroblocks have one vector and one reference for all their blocks.
bool uniformMotion(const MacroblockMotion& m) {
    return m.type == MB_P_SKIP || m.type == MB_P16x16;
}

// The four strengths of the segments between blocks pairs[s][0] of `neighbour` and pairs[s][1] of `current`:
// 2 where either block has coefficients, else the motion test (made once when both macroblocks have uniform
// motion). Built in a register and stored at once: the deblocking reads each edge's four bytes as one word
// right after.
void storeEdge(uint8_t* out, bool none, const MacroblockInfo& neighbour, const MacroblockInfo& current,
               const uint8_t (*pairs)[2]) {
    uint32_t word = 0;
    if (!none && isIntra(neighbour.motion.type)) {
        word = 0x04040404u;
    } else if (!none) {
        const bool uniform = uniformMotion(neighbour.motion) && uniformMotion(current.motion);
        const uint8_t shared = uniform ? motionDiffers(neighbour.motion, 0, current.motion, 0) : 0;
        for (int s = 0; s < 4; ++s) {
            const int p = pairs[s][0], q = pairs[s][1];
            const uint8_t bs = neighbour.totalCoeff[p] | current.totalCoeff[q] ? 2
                               : uniform                                       ? shared
                                         : motionDiffers(neighbour.motion, p, current.motion, q);
            word |= uint32_t(bs) << (std::endian::native == std::endian::little ? 8 * s : 24 - 8 * s);
        }
    }
    std::memcpy(out, &word, 4);
}

// The same for a P_Skip macroblock, which has no coefficients and one vector: only the neighbour's four
// blocks along the edge (its right column for the left edge, its bottom row for the top edge) are read,
// their counts gathered into one word (2 in each byte whose block has coefficients).
template <bool Left>
void storeSkipEdge(uint8_t* out, bool none, const MacroblockInfo& neighbour,
                   const MacroblockMotion& current) {
    static constexpr int kBlocks[4] = {Left ? 5 : 10, Left ? 7 : 11, Left ? 13 : 14, 15};
    constexpr bool little = std::endian::native == std::endian::little;
    uint32_t word = 0;
    if (!none && isIntra(neighbour.motion.type)) {
        word = 0x04040404u;
    } else if (!none) {
        uint32_t counts = 0, moved = 0;
        for (int s = 0; s < 4; ++s)
            counts |= uint32_t(neighbour.totalCoeff[kBlocks[s]]) << (little ? 8 * s : 24 - 8 * s);
        if (uniformMotion(neighbour.motion)) {
            moved = motionDiffers(neighbour.motion, 0, current, 0) * 0x01010101u;
        } else {
            for (int s = 0; s < 4; ++s)
                moved |= uint32_t(motionDiffers(neighbour.motion, kBlocks[s], current, 0))
                         << (little ? 8 * s : 24 - 8 * s);
        }
        // Counts are at most 16: adding 0x7F carries into a byte's top bit exactly when it is not 0.
        const uint32_t coded = ((counts + 0x7F7F7F7Fu) & 0x80808080u) >> 6;
        word = coded | (moved & ~(coded >> 1));
    }
    std::memcpy(out, &word, 4);
}

void edgeStrengths(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    EdgeStrengths& bs = c.strengths;
    const MacroblockLayer& mb = ctx.mb;
    const bool sliceEdges = ctx.slice.disableDeblockingFilterIdc == 2;
    static constexpr uint8_t kLeftPairs[4][2] = {{5, 0}, {7, 2}, {13, 8}, {15, 10}};
    static constexpr uint8_t kTopPairs[4][2] = {{10, 0}, {11, 1}, {14, 4}, {15, 5}};
    const bool noLeft = mb.mbX == 0 || (sliceEdges && !mb.availLeft);
    const bool noTop = mb.mbY == 0 || (sliceEdges && !mb.availTop);
    if (c.mbType == MB_P_SKIP) {
        storeSkipEdge<true>(bs.left, noLeft, LeftInfo(ctx), c.info->motion);
        storeSkipEdge<false>(bs.top, noTop, TopInfo(ctx), c.info->motion);
        ctx.kernels.clearInnerStrengths(&bs);
        return;
    }
    storeEdge(bs.left, noLeft, LeftInfo(ctx), *c.info, kLeftPairs);
    storeEdge(bs.top, noTop, TopInfo(ctx), *c.info, kTopPairs);
    if (c.mbType == MB_P16x16) {
        ctx.kernels.innerStrengthsFromCoefficients(c.info->totalCoeff, &bs);
    } else {
        static constexpr uint8_t kInner[6][4][2] = {
            {{0, 1}, {2, 3}, {8, 9}, {10, 11}},   {{1, 4}, {3, 6}, {9, 12}, {11, 14}},
            {{4, 5}, {6, 7}, {12, 13}, {14, 15}}, {{0, 2}, {1, 3}, {4, 6}, {5, 7}},
            {{2, 8}, {3, 9}, {6, 12}, {7, 13}},   {{8, 10}, {9, 11}, {12, 14}, {13, 15}}};
        for (int e = 0; e < 6; ++e)
            storeEdge(e < 3 ? bs.vertical[e] : bs.horizontal[e - 3], false, *c.info, *c.info, kInner[e]);
    }
}

void finishInter(H264DecoderContext& ctx) {
    combine(ctx);
    if (ctx.slice.disableDeblockingFilterIdc != 1)
        edgeStrengths(ctx);
}

} // namespace

void PredictInterMacroblock(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    switch (c.mbType) {
    case MB_P16x16:
        predictPartition(ctx, 0, c.refIdx[0], c.mvd[0], 0);
        break;
    case MB_P16x8:
        predictPartition(ctx, 1, c.refIdx[0], c.mvd[0], 2);
        predictPartition(ctx, 2, c.refIdx[1], c.mvd[1], 1);
        break;
    case MB_P8x16:
        predictPartition(ctx, 3, c.refIdx[0], c.mvd[0], 1);
        predictPartition(ctx, 4, c.refIdx[1], c.mvd[1], 3);
        break;
    default: {
        // Every quadrant's reference is known before the first sub-partition is predicted.
        MacroblockMotion& m = c.info->motion;
        for (int q = 0; q < 4; ++q) {
            m.refIdx[q] = c.refIdx[q];
            m.refPoc[q] = reference(ctx, c.refIdx[q])->poc;
        }
        static constexpr int kFirstCode[4] = {0, 1, 3, 5}, kParts[4] = {1, 2, 2, 4};
        for (int q = 0; q < 4; ++q) {
            const int sub = c.subMbType[q];
            for (int s = 0; s < kParts[sub]; ++s)
                predictPartition(ctx, 5 + 9 * q + kFirstCode[sub] + s, c.refIdx[q], c.mvd[4 * q + s], 0);
        }
        break;
    }
    }
    finishInter(ctx);
}

bool PredictPSkip(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    DeriveNeighbours(ctx, 0);
    const NeighbourMotion* n = ctx.mb.neighbours;
    const bool zeroA = n[0].refIdx == 0 && n[0].mv[0] == 0 && n[0].mv[1] == 0;
    const bool zeroB = n[1].refIdx == 0 && n[1].mv[0] == 0 && n[1].mv[1] == 0;
    const Vector mv =
        n[0].available && n[1].available && !zeroA && !zeroB ? predictMotionVector(n, 0) : Vector{0, 0};
    c.refIdx[0] = c.refIdx[1] = c.refIdx[2] = c.refIdx[3] = 0;
    storeMotion(ctx, 0, 0, mv);
    // Without weighting the prediction is the macroblock; when none of its edges is filtered either, it goes
    // straight into the picture.
    const bool deblocked = ctx.slice.disableDeblockingFilterIdc != 1;
    if (deblocked)
        edgeStrengths(ctx);
    if (ctx.slice.weightMode == 0 && (!deblocked || !AnyEdgeFiltered(c.strengths))) {
        predictSamples<Target::Picture>(ctx, 0, 0, mv);
        return true;
    }
    predictSamples<Target::Whole>(ctx, 0, 0, mv);
    combine(ctx);
    return false;
}

} // namespace h264
