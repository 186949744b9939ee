#include "h264/SliceData.h"

#include "h264/Cavlc.h"
#include "h264/Deblock.h"
#include "h264/Inter.h"
#include "h264/Intra.h"
#include "h264/MacroblockTables.h"

#include <bit>
#include <cstring>

namespace h264 {

namespace {

bool readFailed(const H264BitReader& r) {
    return r.invalid || r.overrun();
}

void setQp(H264DecoderContext& ctx, int qp) {
    MacroblockLayer& mb = ctx.mb;
    mb.qp = qp;
    int i = qp + ctx.activePps.chromaQpIndexOffset;
    i = i < 0 ? 0 : i > 51 ? 51 : i;
    mb.qpc = ChromaQpTable[i];
}

// The neighbours' records and availability. Inside the picture (most macroblocks) all four records exist
// and only the slice start decides availability.
void setupNeighbours(H264DecoderContext& ctx) {
    MacroblockLayer& mb = ctx.mb;
    const uint32_t w = ctx.slice.picWidthInMbs, first = ctx.slice.firstMbInSlice, a = mb.address, x = mb.mbX;
    MacroblockInfo* row = mb.rows[mb.mbY & 1];
    const MacroblockInfo* above = mb.rows[(mb.mbY + 1) & 1];
    if (x > 0 && x + 1 < w && mb.mbY > 0) {
        mb.availLeft = a - 1 >= first;
        mb.availTop = a - w >= first;
        mb.availTopRight = a - w + 1 >= first;
        mb.availTopLeft = a - w - 1 >= first;
        mb.left = &row[x - 1];
        mb.top = &above[x];
        mb.topRight = &above[x + 1];
        mb.topLeft = &above[x - 1];
    } else {
        mb.availLeft = x > 0 && a - 1 >= first;
        mb.availTop = mb.mbY > 0 && a - w >= first;
        mb.availTopRight = mb.mbY > 0 && x + 1 < w && a - w + 1 >= first;
        mb.availTopLeft = mb.mbY > 0 && x > 0 && a - w - 1 >= first;
        mb.left = x > 0 ? &row[x - 1] : &mb.notAvailable;
        mb.top = mb.mbY > 0 ? &above[x] : &mb.notAvailable;
        mb.topRight = mb.mbY > 0 && x + 1 < w ? &above[x + 1] : &mb.notAvailable;
        mb.topLeft = mb.mbY > 0 && x > 0 ? &above[x - 1] : &mb.notAvailable;
    }
    mb.slotAvailable[0] = mb.availLeft, mb.slotMotion[0] = &mb.left->motion;
    mb.slotAvailable[1] = mb.availTop, mb.slotMotion[1] = &mb.top->motion;
    mb.slotAvailable[2] = mb.availTopRight, mb.slotMotion[2] = &mb.topRight->motion;
    mb.slotAvailable[3] = mb.availTopLeft, mb.slotMotion[3] = &mb.topLeft->motion;
    ctx.cur->info = &row[x];
    mb.slotMotion[4] = &row[x].motion;
}

// mb_qp_delta, when the pattern calls for it; false when it lies outside -26..25.
bool readQpDelta(H264DecoderContext& ctx) {
    if (ctx.cur->codedBlockPattern == 0)
        return true;
    const int32_t delta = ReadSe(ctx.reader);
    if (delta < -26 || delta > 25)
        return false;
    setQp(ctx, (ctx.mb.qp + delta + 52) % 52);
    return true;
}

bool readCbp(H264DecoderContext& ctx, const uint8_t* table) {
    const uint32_t code = ReadUe(ctx.reader);
    if (code > 47)
        return false;
    ctx.cur->codedBlockPattern = table[code];
    return true;
}

int8_t readRefIdx(H264BitReader& r, uint32_t n) {
    if (n == 0)
        return 0;
    if (n == 1)
        return int8_t(!ReadBits(r, 1));
    return int8_t(ReadUe(r) & 31);
}

void readMvd(H264BitReader& r, int16_t* mvd) {
    mvd[0] = int16_t(ReadSe(r));
    mvd[1] = int16_t(ReadSe(r));
}

bool parseInter(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    H264BitReader& r = ctx.reader;
    const uint32_t n = ctx.slice.numRefIdxL0ActiveMinus1;
    bool ok = true;
    switch (c.mbType) {
    case MB_P16x16:
        if (n > 1) {
            const uint32_t v = ReadUe(r);
            ok = v <= n;
            c.refIdx[0] = int8_t(v & 31);
        } else {
            c.refIdx[0] = readRefIdx(r, n);
        }
        readMvd(r, c.mvd[0]);
        break;
    case MB_P16x8:
    case MB_P8x16:
        c.refIdx[0] = readRefIdx(r, n);
        c.refIdx[1] = readRefIdx(r, n);
        readMvd(r, c.mvd[0]);
        readMvd(r, c.mvd[1]);
        break;
    default: { // P_8x8, P_8x8ref0
        for (int q = 0; q < 4; ++q) {
            const uint32_t sub = ReadUe(r);
            ok = ok && sub <= 3;
            c.subMbType[q] = uint8_t(sub & 3);
        }
        for (int q = 0; q < 4; ++q)
            c.refIdx[q] = c.mbType == MB_P8x8REF0 ? 0 : readRefIdx(r, n);
        static constexpr int kParts[4] = {1, 2, 2, 4};
        for (int q = 0; q < 4; ++q)
            for (int s = 0; s < kParts[c.subMbType[q]]; ++s)
                readMvd(r, c.mvd[4 * q + s]);
        break;
    }
    }
    return ok && readCbp(ctx, kCbpInter) && readQpDelta(ctx);
}

bool parseIntra4x4(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    H264BitReader& r = ctx.reader;
    for (int blk = 0; blk < 16; ++blk) {
        c.prevIntraFlag[blk] = uint8_t(ReadBits(r, 1));
        if (!c.prevIntraFlag[blk])
            c.remIntraMode[blk] = uint8_t(ReadBits(r, 3));
    }
    const uint32_t chroma = ReadUe(r);
    c.chromaMode = int(chroma & 3);
    return chroma <= 3 && readCbp(ctx, kCbpIntra) && readQpDelta(ctx);
}

bool parseIntra16x16(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    const int a = c.mbType - 18;
    c.codedBlockPattern = a > 17 ? 15 + 16 * (((a - 2) >> 2) & 3) : 16 * (((a - 6) >> 2) & 3);
    c.intra16x16Mode = (a - 6) & 3;
    const uint32_t chroma = ReadUe(ctx.reader);
    c.chromaMode = int(chroma & 3);
    if (chroma > 3)
        return false;
    const int32_t delta = ReadSe(ctx.reader);
    if (delta < -26 || delta > 25)
        return false;
    setQp(ctx, (ctx.mb.qp + delta + 52) % 52);
    return true;
}

void resetInfo(H264DecoderContext& ctx, int type) {
    MacroblockInfo& info = *ctx.cur->info;
    info.motion.type = int16_t(type);
    std::memset(info.intraModes, 2, sizeof info.intraModes);
}

int decodeMacroblock(H264DecoderContext& ctx, bool pSlice) {
    CurrentMacroblock& c = *ctx.cur;
    H264BitReader& r = ctx.reader;
    const uint32_t code = ReadUe(r);
    if (code > (pSlice ? 30u : 25u) || readFailed(r))
        return MB_ERR_PARSE;
    c.mbType = int(code) + (pSlice ? 18 : 23);
    resetInfo(ctx, c.mbType);
    if (c.mbType == MB_IPCM)
        return DecodeIPcm(ctx) ? 0 : MB_ERR_PARSE;

    bool parsed = false;
    if (c.mbType == MB_I4x4)
        parsed = parseIntra4x4(ctx);
    else if (isIntra(c.mbType))
        parsed = parseIntra16x16(ctx);
    else
        parsed = parseInter(ctx);
    if (!parsed || readFailed(r))
        return MB_ERR_PARSE;
    const bool residual =
        c.mbType == MB_I4x4 || !isIntra(c.mbType) ? DecodeResidual(ctx) : DecodeResidual16x16(ctx);
    if (!residual || readFailed(r))
        return MB_ERR_RESIDUAL;
    c.info->qp = uint8_t(ctx.mb.qp);
    c.info->qpc = uint8_t(ctx.mb.qpc);
    if (isIntra(c.mbType))
        return ReconstructIntraMacroblock(ctx) ? MB_ERR_RECONSTRUCTION : 0;
    PredictInterMacroblock(ctx);
    return 0;
}

// true when the macroblock went straight into the picture.
bool decodeSkipped(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    c.mbType = MB_P_SKIP;
    c.codedBlockPattern = 0;
    resetInfo(ctx, MB_P_SKIP);
    std::memset(c.info->totalCoeff, 0, sizeof c.info->totalCoeff);
    c.info->qp = uint8_t(ctx.mb.qp);
    c.info->qpc = uint8_t(ctx.mb.qpc);
    return PredictPSkip(ctx);
}

// Column 7 of 8 rows `stride` apart, built in a register and stored at once.
void storeRightColumn(uint8_t* out, const uint8_t* block, size_t stride) {
    uint64_t column = 0;
    for (int row = 0; row < 8; ++row)
        column |= uint64_t(block[stride * row + 7])
                  << (std::endian::native == std::endian::little ? 8 * row : 56 - 8 * row);
    std::memcpy(out, &column, 8);
}

// The unfiltered edges of a macroblock in the work buffers.
void keepWorkBufferEdges(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    MacroblockLayer& mb = ctx.mb;
    MacroblockInfo& kept = *c.info;
    const uint8_t* y = c.luma.bytes;
    std::memcpy(kept.bottomY, y + 128 + 56, 8);
    std::memcpy(kept.bottomY + 8, y + 192 + 56, 8);
    std::memcpy(kept.bottomCb, c.cb.bytes + 56, 8);
    std::memcpy(kept.bottomCr, c.cr.bytes + 56, 8);
    storeRightColumn(mb.leftY, y + 64, 8);
    storeRightColumn(mb.leftY + 8, y + 192, 8);
    storeRightColumn(mb.leftCb, c.cb.bytes, 8);
    storeRightColumn(mb.leftCr, c.cr.bytes, 8);
    mb.leftInPicture[0] = nullptr;
}

// The edges of a macroblock predicted straight into the picture, where nothing has filtered them yet: the
// bottom rows now (the next macroblock's deblocking filters them before the macroblock below reads them),
// the right column only when the next macroblock needs it.
void keepPictureEdges(H264DecoderContext& ctx) {
    MacroblockLayer& mb = ctx.mb;
    MacroblockInfo& kept = *ctx.cur->info;
    const int index = ctx.current->bufferIndex;
    const size_t stride = ctx.lumaStride, chromaStride = stride / 2;
    const uint8_t* y = ctx.planeY[index] + 16 * mb.mbY * stride + 16 * mb.mbX;
    const size_t chromaOffset = 8 * mb.mbY * chromaStride + 8 * mb.mbX;
    const uint8_t* cb = ctx.planeCb[index] + chromaOffset;
    const uint8_t* cr = ctx.planeCr[index] + chromaOffset;
    std::memcpy(kept.bottomY, y + 15 * stride, 16);
    std::memcpy(kept.bottomCb, cb + 7 * chromaStride, 8);
    std::memcpy(kept.bottomCr, cr + 7 * chromaStride, 8);
    mb.leftInPicture[0] = y + 8;
    mb.leftInPicture[1] = cb;
    mb.leftInPicture[2] = cr;
}

// Keeps the macroblock's unfiltered edges for its neighbours, deblocks (or stores) it unless it is in the
// picture already, and moves on. true when the picture is complete.
bool finishMacroblock(H264DecoderContext& ctx, bool inPicture) {
    MacroblockLayer& mb = ctx.mb;
    if (inPicture) {
        keepPictureEdges(ctx);
        PrefetchPictureLines(ctx);
    } else {
        keepWorkBufferEdges(ctx);
        if (ctx.slice.disableDeblockingFilterIdc == 1)
            StoreMacroblock(ctx);
        else
            DeblockMacroblock(ctx);
    }
    ++mb.address;
    if (++mb.mbX == ctx.slice.picWidthInMbs) {
        mb.mbX = 0;
        ++mb.mbY;
    }
    return mb.mbY >= ctx.slice.picHeightInMbs;
}

int decodeMacroblocks(H264DecoderContext& ctx) {
    const SliceHeader& s = ctx.slice;
    MacroblockLayer& mb = ctx.mb;
    H264BitReader& r = ctx.reader;
    if (s.firstMbInSlice >= s.picSizeInMbs)
        return 1;
    mb.address = s.firstMbInSlice;
    mb.mbX = s.firstMbInSlice % s.picWidthInMbs;
    mb.mbY = s.firstMbInSlice / s.picWidthInMbs;
    setQp(ctx, s.sliceQp);
    mb.slotAvailable[4] = 1; // the current macroblock
    mb.slotAvailable[5] = 0, mb.slotMotion[5] = &mb.notAvailable.motion;
    CombineContext& cc = mb.combine;
    cc.weights = &s.weights;
    cc.lumaResidual = &ctx.cur->lumaResidual;
    cc.cbResidual = &ctx.cur->cbResidual;
    cc.crResidual = &ctx.cur->crResidual;
    cc.cb = &ctx.cur->cb;
    cc.cr = &ctx.cur->cr;
    const bool pSlice = s.sliceType == SLICE_P;
    for (;;) {
        if (pSlice) {
            const uint32_t run = ReadUe(r);
            if (readFailed(r))
                return MB_ERR_BITS;
            if (uint64_t(mb.address) + run > s.picSizeInMbs)
                return 1;
            for (uint32_t i = 0; i < run; ++i) {
                setupNeighbours(ctx);
                ++ctx.mbsDecoded;
                if (finishMacroblock(ctx, decodeSkipped(ctx)))
                    return 0;
            }
            if (!MoreRbspData(r))
                return 0;
        }
        setupNeighbours(ctx);
        ++ctx.mbsDecoded;
        if (const int err = decodeMacroblock(ctx, pSlice))
            return err;
        if (readFailed(r))
            return MB_ERR_BITS;
        if (finishMacroblock(ctx, false) || !MoreRbspData(r))
            return 0;
    }
}

} // namespace

void KeepLeftColumns(H264DecoderContext& ctx) {
    MacroblockLayer& mb = ctx.mb;
    if (!mb.leftInPicture[0])
        return;
    const size_t stride = ctx.lumaStride, chromaStride = stride / 2;
    storeRightColumn(mb.leftY, mb.leftInPicture[0], stride);
    storeRightColumn(mb.leftY + 8, mb.leftInPicture[0] + 8 * stride, stride);
    storeRightColumn(mb.leftCb, mb.leftInPicture[1], chromaStride);
    storeRightColumn(mb.leftCr, mb.leftInPicture[2], chromaStride);
    mb.leftInPicture[0] = nullptr;
}

// The column a slice's last macroblock left in the picture is copied before anything else can write there.
int DecodeSliceData(H264DecoderContext& ctx) {
    const int result = decodeMacroblocks(ctx);
    KeepLeftColumns(ctx);
    return result;
}

} // namespace h264
