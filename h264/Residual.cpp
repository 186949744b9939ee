#include "h264/Cavlc.h"
#include "h264/CavlcTables.h"
#include "h264/Context.h"
#include "h264/MacroblockTables.h"
#include "h264/SliceData.h"

#include <array>
#include <bit>
#include <cstring>

namespace h264 {

namespace {

// Scan orders and the factor 1 for the blocks whose levels are transformed before they are scaled.
constexpr uint8_t kRasterScan[4] = {0, 1, 2, 3};
constexpr int32_t kUnitScale[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

// The coefficient counts that nC is predicted from, with a border of the left and upper neighbours' counts:
// luma at 8 (y + 1) + x + 1 for 4x4 block (x, y), Cb and Cr 2x2 grids at 40 and 48 (+ 4 (y + 1) + x + 1).
// kUnavailable marks a neighbour outside the slice or the picture.
constexpr uint8_t kUnavailable = 64;
constexpr int kChromaGrid[2] = {40, 52};

struct CountGrid {
    uint8_t n[64];

    // nA + nB < 64 when both are available; one unavailable leaves the other in the low bits; both: 128.
    int nC(int at) const {
        const int sum = n[at - 1] + n[at - (at < 40 ? 8 : 4)];
        return sum < 64 ? (sum + 1) >> 1 : sum & 63;
    }
};

constexpr int lumaAt(int blk) {
    return 8 * (kBlockY[blk] + 1) + kBlockX[blk] + 1;
}
constexpr int chromaAt(int plane, int blk) {
    return kChromaGrid[plane] + 4 * ((blk >> 1) + 1) + (blk & 1) + 1;
}

void fillGrid(const H264DecoderContext& ctx, CountGrid& g) {
    const MacroblockLayer& mb = ctx.mb;
    std::memset(g.n, 0, sizeof g.n);
    const uint8_t* top = mb.availTop ? TopInfo(ctx).totalCoeff : nullptr;
    const uint8_t* left = mb.availLeft ? LeftInfo(ctx).totalCoeff : nullptr;
    for (int i = 0; i < 4; ++i) {
        g.n[1 + i] = top ? top[kBlockAt[3][i]] : kUnavailable;
        g.n[8 * (i + 1)] = left ? left[kBlockAt[i][3]] : kUnavailable;
    }
    for (int plane = 0; plane < 2; ++plane) {
        uint8_t* c = g.n + kChromaGrid[plane];
        for (int i = 0; i < 2; ++i) {
            c[1 + i] = top ? top[16 + 4 * plane + 2 + i] : kUnavailable;
            c[4 * (i + 1)] = left ? left[16 + 4 * plane + 2 * i + 1] : kUnavailable;
        }
    }
}

// Each block's coefficients wait in one of two buffers until the next block with coefficients has been
// read, and are transformed then: the transform's wide loads would otherwise stall on the narrow stores
// that the coefficient reader has just made.
class TransformQueue {
public:
    explicit TransformQueue(const H264KernelTable& kernels) : kernels_(kernels) {}
    ~TransformQueue() { flush(); }

    // The zeroed buffer for the next block.
    int16_t* target() {
        std::memset(buffers_[which_], 0, sizeof buffers_[which_]);
        return buffers_[which_];
    }
    // The block in target() goes to `out`, once the previous one has.
    void push(int16_t* out) {
        flush();
        pending_ = out;
        which_ ^= 1;
    }
    void flush() {
        if (pending_)
            kernels_.inverseTransform4x4(buffers_[which_ ^ 1], pending_);
        pending_ = nullptr;
    }

private:
    const H264KernelTable& kernels_;
    alignas(16) int16_t buffers_[2][16];
    int16_t* pending_ = nullptr;
    int which_ = 0;
};

// A block whose only coefficient is its DC value, without the transform: all 16 residual values are equal.
void fillDcBlock(int16_t* out, int16_t dc) {
    const uint64_t value = uint16_t(DcOnlyResidual(dc)) * 0x0001000100010001u;
    for (int row = 0; row < 4; ++row)
        std::memcpy(out + 8 * row, &value, 8);
}

// The coeff_token of a block without coefficients, by nC + 1 (nC -1 is chroma DC): its length and code.
struct EmptyToken {
    uint8_t length, code;
};
constexpr std::array<EmptyToken, 18> kEmptyTokens = [] {
    std::array<EmptyToken, 18> t{};
    t[0] = {cavlc::kChromaDcTokenLen[0], cavlc::kChromaDcTokenCode[0]};
    for (int nC = 0; nC < 17; ++nC) {
        const int table = nC < 2 ? 0 : nC < 4 ? 1 : nC < 8 ? 2 : 3;
        t[nC + 1] = {cavlc::kCoeffTokenLen[table][0], cavlc::kCoeffTokenCode[table][0]};
    }
    return t;
}();

// true, with the token read, when the next block has no coefficients: about half the coded blocks of
// low-rate streams, which then need neither the block reader nor a zeroed coefficient buffer. The caller
// has zeroed their counts.
bool readEmptyBlock(H264BitReader& r, int nC) {
    const EmptyToken t = kEmptyTokens[nC + 1];
    if (PeekBits32(r) >> (32 - t.length) != t.code)
        return false;
    SkipBits(r, t.length);
    return true;
}

bool decodeLuma4x4(H264DecoderContext& ctx, CountGrid& g, TransformQueue& transforms, int blk) {
    CurrentMacroblock& c = *ctx.cur;
    const int at = lumaAt(blk);
    const int nC = g.nC(at);
    if (readEmptyBlock(ctx.reader, nC)) {
        fillDcBlock(c.lumaResidual.values + Block4x4Offset[blk], 0);
        return !ctx.reader.overrun();
    }
    int16_t* coefficients = transforms.target();
    const int tc =
        DecodeResidualBlock(ctx.reader, nC, 16, kZigzag4x4, kDequant.scale[ctx.mb.qp], coefficients);
    if (tc < 0)
        return false;
    g.n[at] = uint8_t(tc);
    c.info->totalCoeff[blk] = uint8_t(tc);
    int16_t* out = c.lumaResidual.values + Block4x4Offset[blk];
    if (tc == 0)
        fillDcBlock(out, 0);
    else
        transforms.push(out);
    return !ctx.reader.overrun();
}

bool decodeChroma(H264DecoderContext& ctx, CountGrid& g, TransformQueue& transforms) {
    CurrentMacroblock& c = *ctx.cur;
    const int pattern = c.codedBlockPattern >> 4;
    std::memset(c.info->totalCoeff + 16, 0, 8);
    if (pattern == 0)
        return true;
    const int qpc = ctx.mb.qpc, shift = qpc / 6, scale = kLevelScale[qpc % 6];
    int32_t dc[2][4];
    for (int plane = 0; plane < 2; ++plane) {
        int16_t levels[4] = {};
        if (!readEmptyBlock(ctx.reader, -1) &&
            (DecodeResidualBlock(ctx.reader, -1, 4, kRasterScan, kUnitScale, levels) < 0 ||
             ctx.reader.overrun()))
            return false;
        const int32_t c0 = levels[0], c1 = levels[1], c2 = levels[2], c3 = levels[3];
        const int32_t f[4] = {c0 + c1 + c2 + c3, c0 - c1 + c2 - c3, c0 + c1 - c2 - c3, c0 - c1 - c2 + c3};
        for (int i = 0; i < 4; ++i)
            dc[plane][i] = int32_t(uint32_t(f[i] * scale) << shift) >> 1;
    }
    const int32_t* acScale = kDequant.scale[qpc];
    for (int plane = 0; plane < 2; ++plane) {
        ChromaResidualBlock& residual = plane ? c.crResidual : c.cbResidual;
        for (int blk = 0; blk < 4; ++blk) {
            int16_t* out = residual.values + (blk >> 1) * 32 + (blk & 1) * 4;
            const int16_t dcValue = int16_t(dc[plane][blk]);
            const int at = chromaAt(plane, blk);
            if (pattern == 2 && !readEmptyBlock(ctx.reader, g.nC(at))) {
                int16_t* coefficients = transforms.target();
                const int tc =
                    DecodeResidualBlock(ctx.reader, g.nC(at), 15, kZigzag4x4 + 1, acScale, coefficients);
                if (tc < 0 || ctx.reader.overrun())
                    return false;
                g.n[at] = uint8_t(tc);
                c.info->totalCoeff[16 + 4 * plane + blk] = uint8_t(tc);
                if (tc) {
                    coefficients[0] = dcValue;
                    transforms.push(out);
                    continue;
                }
            }
            fillDcBlock(out, dcValue);
        }
    }
    return true;
}

} // namespace

bool DecodeResidual(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    CountGrid g;
    fillGrid(ctx, g);
    TransformQueue transforms(ctx.kernels);
    std::memset(c.info->totalCoeff, 0, 16);
    // The coded 8x8 quadrants as bits, visited lowest first.
    for (unsigned quadrants = unsigned(c.codedBlockPattern) & 15; quadrants; quadrants &= quadrants - 1) {
        const int first = 4 * std::countr_zero(quadrants);
        for (int blk = first; blk < first + 4; ++blk)
            if (!decodeLuma4x4(ctx, g, transforms, blk))
                return false;
    }
    return decodeChroma(ctx, g, transforms);
}

bool DecodeResidual16x16(H264DecoderContext& ctx) {
    CurrentMacroblock& c = *ctx.cur;
    CountGrid g;
    fillGrid(ctx, g);
    TransformQueue transforms(ctx.kernels);
    std::memset(c.info->totalCoeff, 0, 16);
    int16_t levels[16] = {};
    if (DecodeResidualBlock(ctx.reader, g.nC(lumaAt(0)), 16, kZigzag4x4, kUnitScale, levels) < 0 ||
        ctx.reader.overrun())
        return false;
    // Inverse Hadamard of the 4x4 DC matrix (raster order), rows then columns.
    int32_t t[16];
    for (int i = 0; i < 4; ++i) {
        const int16_t* r = levels + 4 * i;
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
    const int32_t* scale = kDequant.scale[qp];
    for (int blk = 0; blk < 16; ++blk) {
        int16_t* out = c.lumaResidual.values + Block4x4Offset[blk];
        const int16_t dcValue = int16_t(dc[4 * kBlockY[blk] + kBlockX[blk]]);
        const int at = lumaAt(blk);
        if (ac && !readEmptyBlock(ctx.reader, g.nC(at))) {
            int16_t* coefficients = transforms.target();
            const int tc = DecodeResidualBlock(ctx.reader, g.nC(at), 15, kZigzag4x4 + 1, scale, coefficients);
            if (tc < 0 || ctx.reader.overrun())
                return false;
            g.n[at] = uint8_t(tc);
            c.info->totalCoeff[blk] = uint8_t(tc);
            if (tc) {
                coefficients[0] = dcValue;
                transforms.push(out);
                continue;
            }
        }
        fillDcBlock(out, dcValue);
    }
    return decodeChroma(ctx, g, transforms);
}

} // namespace h264
