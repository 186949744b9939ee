#include "h264/Cavlc.h"
#include "h264/Context.h"
#include "h264/MacroblockTables.h"
#include "h264/SliceData.h"

#include <cstring>

namespace h264 {

namespace {

int predictNc(int a, bool haveA, int b, bool haveB) {
    if (haveA && haveB)
        return (a + b + 1) >> 1;
    return haveA ? a : haveB ? b : 0;
}

int lumaNc(const H264DecoderContext& ctx, int blk) {
    const MacroblockLayer& mb = ctx.mb;
    const uint8_t* counts = ctx.cur->info.totalCoeff;
    const int x = kBlockX[blk], y = kBlockY[blk];
    int a = 0, b = 0;
    bool haveA = true, haveB = true;
    if (x > 0)
        a = counts[kBlockAt[y][x - 1]];
    else if ((haveA = mb.availLeft))
        a = LeftInfo(ctx).totalCoeff[kBlockAt[y][3]];
    if (y > 0)
        b = counts[kBlockAt[y - 1][x]];
    else if ((haveB = mb.availTop))
        b = TopInfo(ctx).totalCoeff[kBlockAt[3][x]];
    return predictNc(a, haveA, b, haveB);
}

int chromaNc(const H264DecoderContext& ctx, int plane, int blk) {
    const MacroblockLayer& mb = ctx.mb;
    const uint8_t* counts = ctx.cur->info.totalCoeff + 16 + 4 * plane;
    const int x = blk & 1, y = blk >> 1;
    int a = 0, b = 0;
    bool haveA = true, haveB = true;
    if (x > 0)
        a = counts[blk - 1];
    else if ((haveA = mb.availLeft))
        a = LeftInfo(ctx).totalCoeff[16 + 4 * plane + 2 * y + 1];
    if (y > 0)
        b = counts[blk - 2];
    else if ((haveB = mb.availTop))
        b = TopInfo(ctx).totalCoeff[16 + 4 * plane + 2 + x];
    return predictNc(a, haveA, b, haveB);
}

void zeroBlock(int16_t* out) {
    for (int row = 0; row < 4; ++row)
        std::memset(out + 8 * row, 0, 4 * sizeof(int16_t));
}

// Places the scan-ordered levels of positions first..15, dequantised, into the raster coefficients.
void dequantise(int16_t* coefficients, const int16_t* levels, int first, int qp) {
    const int shift = qp / 6, m = qp % 6;
    for (int k = first; k < 16; ++k) {
        if (!levels[k - first])
            continue;
        const int pos = kZigzag4x4[k];
        coefficients[pos] =
            int16_t(int32_t(uint32_t(levels[k - first] * kLevelScale[m + kPositionClass[pos]]) << shift));
    }
}

bool decodeLuma4x4(H264DecoderContext& ctx, int blk) {
    CurrentMacroblock& c = *ctx.cur;
    int16_t levels[16];
    int tc = 0;
    if (!DecodeResidualBlock(ctx.reader, lumaNc(ctx, blk), 16, levels, &tc))
        return false;
    c.info.totalCoeff[blk] = uint8_t(tc);
    int16_t* out = c.lumaResidual.values + Block4x4Offset[blk];
    if (tc == 0) {
        zeroBlock(out);
        return true;
    }
    std::memset(c.coefficients, 0, sizeof c.coefficients);
    dequantise(c.coefficients, levels, 0, ctx.mb.qp);
    ctx.kernels.inverseTransform4x4(c.coefficients, out);
    return !ctx.reader.overrun();
}

bool decodeChroma(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    const int pattern = c.codedBlockPattern >> 4;
    std::memset(c.info.totalCoeff + 16, 0, 8);
    if (pattern == 0)
        return true;
    const int qpc = ctx.mb.qpc, shift = qpc / 6, scale = kLevelScale[qpc % 6];
    int32_t dc[2][4];
    for (int plane = 0; plane < 2; ++plane) {
        int16_t levels[16];
        int tc = 0;
        if (!DecodeResidualBlock(ctx.reader, -1, 4, levels, &tc) || ctx.reader.overrun())
            return false;
        const int32_t c0 = levels[0], c1 = levels[1], c2 = levels[2], c3 = levels[3];
        const int32_t f[4] = {c0 + c1 + c2 + c3, c0 - c1 + c2 - c3, c0 + c1 - c2 - c3, c0 - c1 - c2 + c3};
        for (int i = 0; i < 4; ++i)
            dc[plane][i] = int32_t(uint32_t(f[i] * scale) << shift) >> 1;
    }
    for (int plane = 0; plane < 2; ++plane) {
        ChromaResidualBlock& residual = plane ? c.crResidual : c.cbResidual;
        for (int blk = 0; blk < 4; ++blk) {
            std::memset(c.coefficients, 0, sizeof c.coefficients);
            if (pattern == 2) {
                int16_t levels[16];
                int tc = 0;
                if (!DecodeResidualBlock(ctx.reader, chromaNc(ctx, plane, blk), 15, levels, &tc) ||
                    ctx.reader.overrun())
                    return false;
                c.info.totalCoeff[16 + 4 * plane + blk] = uint8_t(tc);
                dequantise(c.coefficients, levels, 1, qpc);
            }
            c.coefficients[0] = int16_t(dc[plane][blk]);
            ctx.kernels.inverseTransform4x4(c.coefficients,
                                            residual.values + (blk >> 1) * 32 + (blk & 1) * 4);
        }
    }
    return true;
}

} // namespace

bool DecodeResidual(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    std::memset(c.info.totalCoeff, 0, 16);
    for (int blk = 0; blk < 16; ++blk) {
        if (!(c.codedBlockPattern >> (blk >> 2) & 1)) {
            blk |= 3;
            continue;
        }
        if (!decodeLuma4x4(ctx, blk))
            return false;
    }
    return decodeChroma(ctx);
}

bool DecodeResidual16x16(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    std::memset(c.info.totalCoeff, 0, 16);
    int16_t levels[16];
    int tc = 0;
    if (!DecodeResidualBlock(ctx.reader, lumaNc(ctx, 0), 16, levels, &tc) || ctx.reader.overrun())
        return false;
    int32_t m[16] = {};
    for (int k = 0; k < 16; ++k)
        m[kZigzag4x4[k]] = levels[k];
    // Inverse Hadamard of the 4x4 DC matrix, rows then columns.
    int32_t t[16];
    for (int i = 0; i < 4; ++i) {
        const int32_t* r = m + 4 * i;
        const int32_t e0 = r[0] + r[1], e1 = r[0] - r[1], e2 = r[2] + r[3], e3 = r[2] - r[3];
        t[4 * i + 0] = e0 + e2;
        t[4 * i + 1] = e0 - e2;
        t[4 * i + 2] = e1 - e3;
        t[4 * i + 3] = e1 + e3;
    }
    const int qp = ctx.mb.qp, k = qp / 6;
    const int32_t v0 = kLevelScale[qp % 6];
    int32_t dc[16];
    for (int j = 0; j < 4; ++j) {
        const int32_t e0 = t[j] + t[4 + j], e1 = t[j] - t[4 + j], e2 = t[8 + j] + t[12 + j],
                      e3 = t[8 + j] - t[12 + j];
        const int32_t f[4] = {e0 + e2, e0 - e2, e1 - e3, e1 + e3};
        for (int i = 0; i < 4; ++i) {
            const int32_t p = int32_t(uint32_t(f[i]) * uint32_t(v0));
            dc[4 * i + j] = k >= 2 ? int32_t(uint32_t(p) << (k - 2)) : (p + (k == 1 ? 1 : 2)) >> (2 - k);
        }
    }
    const bool ac = (c.codedBlockPattern & 15) != 0;
    for (int blk = 0; blk < 16; ++blk) {
        std::memset(c.coefficients, 0, sizeof c.coefficients);
        if (ac) {
            if (!DecodeResidualBlock(ctx.reader, lumaNc(ctx, blk), 15, levels, &tc) || ctx.reader.overrun())
                return false;
            c.info.totalCoeff[blk] = uint8_t(tc);
            dequantise(c.coefficients, levels, 1, qp);
        }
        c.coefficients[0] = int16_t(dc[4 * kBlockY[blk] + kBlockX[blk]]);
        ctx.kernels.inverseTransform4x4(c.coefficients, c.lumaResidual.values + Block4x4Offset[blk]);
    }
    return decodeChroma(ctx);
}

} // namespace h264
