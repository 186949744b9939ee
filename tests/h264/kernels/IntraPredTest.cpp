#include "tests/h264/kernels/KernelTestSupport.h"

namespace h264::test {
namespace {

// The macroblock and its neighbours as the standard sees them: p(x, y) for x = -1..19, y = -1..15.
int lumaSampleIndex(int x, int y) {
    return ((y / 8) * 2 + x / 8) * 64 + (y % 8) * 8 + x % 8;
}

int lumaNeighbour(const LumaWorkBuffer& b, int x, int y) {
    if (y == -1)
        return b.bytes[x == -1 ? 296 : x < 16 ? 272 + x : 288 + x - 16];
    if (x == -1)
        return b.bytes[256 + y];
    return b.bytes[lumaSampleIndex(x, y)];
}

int blockIndex(int bx, int by) {
    return (by / 8) * 8 + (bx / 8) * 4 + (by % 8 / 4) * 2 + bx % 8 / 4;
}

// Intra_4x4 prediction of one block, with the standard's formulas, into pred[y][x].
void modelIntra4x4(const LumaWorkBuffer& b, int block, int mode, int pred[4][4]) {
    const int bx = Block4x4Offset[block] / 64 % 2 * 8 + Block4x4Offset[block] % 8;
    const int by = Block4x4Offset[block] / 128 * 8 + Block4x4Offset[block] % 64 / 8;
    // Above-right: in the row above it is the caller's; inside the macroblock it is available only when
    // the block holding it is decoded already, else p[3, -1] stands in.
    const bool aboveRight = by == 0 || (bx + 4 < 16 && blockIndex(bx + 4, by - 1) < block);
    int top[8], left[4];
    for (int x = 0; x < 8; ++x)
        top[x] = lumaNeighbour(b, bx + (x < 4 || aboveRight ? x : 3), by - 1);
    for (int y = 0; y < 4; ++y)
        left[y] = lumaNeighbour(b, bx - 1, by + y);
    const int corner = lumaNeighbour(b, bx - 1, by - 1);
    const auto P = [&](int x, int y) { return y == -1 ? (x == -1 ? corner : top[x]) : left[y]; };
    const bool leftAvailable = bx > 0 || b.bytes[292 + by / 4];
    const bool topAvailable = by > 0 || b.bytes[297];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            int v = 0;
            switch (mode) {
            case 0:
                v = P(x, -1);
                break;
            case 1:
                v = P(-1, y);
                break;
            case 2: {
                int sumTop = 0, sumLeft = 0;
                for (int i = 0; i < 4; ++i)
                    sumTop += P(i, -1), sumLeft += P(-1, i);
                v = leftAvailable && topAvailable ? (sumTop + sumLeft + 4) >> 3
                    : leftAvailable               ? (sumLeft + 2) >> 2
                    : topAvailable                ? (sumTop + 2) >> 2
                                                  : 128;
                break;
            }
            case 3:
                v = x == 3 && y == 3 ? (P(6, -1) + 3 * P(7, -1) + 2) >> 2
                                     : (P(x + y, -1) + 2 * P(x + y + 1, -1) + P(x + y + 2, -1) + 2) >> 2;
                break;
            case 4:
                v = x > y   ? (P(x - y - 2, -1) + 2 * P(x - y - 1, -1) + P(x - y, -1) + 2) >> 2
                    : x < y ? (P(-1, y - x - 2) + 2 * P(-1, y - x - 1) + P(-1, y - x) + 2) >> 2
                            : (P(0, -1) + 2 * P(-1, -1) + P(-1, 0) + 2) >> 2;
                break;
            case 5: {
                const int z = 2 * x - y;
                if (z >= 0 && z % 2 == 0)
                    v = (P(x - (y >> 1) - 1, -1) + P(x - (y >> 1), -1) + 1) >> 1;
                else if (z > 0)
                    v = (P(x - (y >> 1) - 2, -1) + 2 * P(x - (y >> 1) - 1, -1) + P(x - (y >> 1), -1) + 2) >>
                        2;
                else if (z == -1)
                    v = (P(-1, 0) + 2 * P(-1, -1) + P(0, -1) + 2) >> 2;
                else
                    v = (P(-1, y - 1) + 2 * P(-1, y - 2) + P(-1, y - 3) + 2) >> 2;
                break;
            }
            case 6: {
                const int z = 2 * y - x;
                if (z >= 0 && z % 2 == 0)
                    v = (P(-1, y - (x >> 1) - 1) + P(-1, y - (x >> 1)) + 1) >> 1;
                else if (z > 0)
                    v = (P(-1, y - (x >> 1) - 2) + 2 * P(-1, y - (x >> 1) - 1) + P(-1, y - (x >> 1)) + 2) >>
                        2;
                else if (z == -1)
                    v = (P(-1, 0) + 2 * P(-1, -1) + P(0, -1) + 2) >> 2;
                else
                    v = (P(x - 1, -1) + 2 * P(x - 2, -1) + P(x - 3, -1) + 2) >> 2;
                break;
            }
            case 7:
                v = y % 2 == 0
                        ? (P(x + (y >> 1), -1) + P(x + (y >> 1) + 1, -1) + 1) >> 1
                        : (P(x + (y >> 1), -1) + 2 * P(x + (y >> 1) + 1, -1) + P(x + (y >> 1) + 2, -1) + 2) >>
                              2;
                break;
            default: {
                const int z = x + 2 * y;
                if (z > 5)
                    v = P(-1, 3);
                else if (z == 5)
                    v = (P(-1, 2) + 3 * P(-1, 3) + 2) >> 2;
                else if (z % 2 == 0)
                    v = (P(-1, y + (x >> 1)) + P(-1, y + (x >> 1) + 1) + 1) >> 1;
                else
                    v = (P(-1, y + (x >> 1)) + 2 * P(-1, y + (x >> 1) + 1) + P(-1, y + (x >> 1) + 2) + 2) >>
                        2;
            }
            }
            pred[y][x] = v;
        }
}

void modelIntra16x16(const LumaWorkBuffer& b, int mode, int pred[16][16]) {
    const auto P = [&](int x, int y) { return lumaNeighbour(b, x, y); };
    int sumTop = 0, sumLeft = 0;
    for (int i = 0; i < 16; ++i)
        sumTop += P(i, -1), sumLeft += P(-1, i);
    const bool leftAvailable = b.bytes[292], topAvailable = b.bytes[297];
    int h = 0, v = 0;
    for (int i = 0; i < 8; ++i) {
        h += (i + 1) * (P(8 + i, -1) - P(6 - i, -1));
        v += (i + 1) * (P(-1, 8 + i) - P(-1, 6 - i));
    }
    const int a = 16 * (P(-1, 15) + P(15, -1)), pb = (5 * h + 32) >> 6, pc = (5 * v + 32) >> 6;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            pred[y][x] = mode == 0   ? P(x, -1)
                         : mode == 1 ? P(-1, y)
                         : mode == 2 ? (leftAvailable && topAvailable ? (sumTop + sumLeft + 16) >> 5
                                        : leftAvailable               ? (sumLeft + 8) >> 4
                                        : topAvailable                ? (sumTop + 8) >> 4
                                                                      : 128)
                                     : clip1((a + pb * (x - 7) + pc * (y - 7) + 16) >> 5);
}

void modelChroma(const LumaWorkBuffer& luma, const ChromaWorkBuffer& c, int mode, int pred[8][8]) {
    const auto P = [&](int x, int y) { return c.bytes[y == -1 ? (x == -1 ? 80 : 72 + x) : 64 + y]; };
    const bool top = luma.bytes[297];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            if (mode == 0) {
                const int xo = x / 4 * 4, yo = y / 4 * 4;
                const bool left = luma.bytes[yo ? 294 : 292];
                int sumTop = 0, sumLeft = 0;
                for (int i = 0; i < 4; ++i)
                    sumTop += P(xo + i, -1), sumLeft += P(-1, yo + i);
                int v = 128;
                if (xo == yo)
                    v = left && top ? (sumTop + sumLeft + 4) >> 3
                        : left      ? (sumLeft + 2) >> 2
                        : top       ? (sumTop + 2) >> 2
                                    : 128;
                else if (xo > 0)
                    v = top ? (sumTop + 2) >> 2 : left ? (sumLeft + 2) >> 2 : 128;
                else
                    v = left ? (sumLeft + 2) >> 2 : top ? (sumTop + 2) >> 2 : 128;
                pred[y][x] = v;
            } else if (mode == 1) {
                pred[y][x] = P(-1, y);
            } else if (mode == 2) {
                pred[y][x] = P(x, -1);
            } else {
                int h = 0, v = 0;
                for (int i = 0; i < 4; ++i) {
                    h += (i + 1) * (P(4 + i, -1) - P(2 - i, -1));
                    v += (i + 1) * (P(-1, 4 + i) - P(-1, 2 - i));
                }
                const int a = 16 * (P(-1, 7) + P(7, -1)), pb = (34 * h + 32) >> 6, pc = (34 * v + 32) >> 6;
                pred[y][x] = clip1((a + pb * (x - 3) + pc * (y - 3) + 16) >> 5);
            }
        }
}

// Residuals: small ones as coded streams give them, or any 16-bit value (the sum then wraps in 16
// bits before the clamp, as the SIMD lanes do).
int16_t residualValue(Rng& rng, bool anyValue) {
    return anyValue ? rng.value16() : static_cast<int16_t>(rng.range(-300, 300));
}

int reconstructed(int pred, int residual, bool wrap) {
    return clip1(wrap ? static_cast<int16_t>(pred + residual) : pred + residual);
}

struct Scene {
    LumaWorkBuffer luma;
    ChromaWorkBuffer cb, cr;
    LumaResidualBlock lumaResidual;
    ChromaResidualBlock cbResidual, crResidual;

    Scene(Rng& rng, Style style, bool anyResidual, int availability) {
        rng.fill(luma.bytes, LumaWorkBuffer::Size, style);
        rng.fill(cb.bytes, ChromaWorkBuffer::Size, style);
        rng.fill(cr.bytes, ChromaWorkBuffer::Size, style);
        for (auto& v : lumaResidual.values)
            v = residualValue(rng, anyResidual);
        for (auto& v : cbResidual.values)
            v = residualValue(rng, anyResidual);
        for (auto& v : crResidual.values)
            v = residualValue(rng, anyResidual);
        // availability bit 0..3: the four left bands, bit 4: above.
        for (int band = 0; band < 4; ++band)
            luma.bytes[292 + band] = (availability >> band) & 1;
        luma.bytes[297] = (availability >> 4) & 1;
        luma.bytes[298] = 1;
    }
};

constexpr Style Styles[] = {Style::Random, Style::Extremes, Style::Smooth};

using IntraPredTest = KernelSetTest;

TEST_P(IntraPredTest, Intra4x4EveryModeBlockAndAvailabilityMatchesTheStandard) {
    Rng rng(12);
    for (int mode = 0; mode < 9; ++mode)
        for (int block = 0; block < 16; ++block)
            for (int availability = 0; availability < 32; ++availability)
                for (Style style : Styles) {
                    const bool anyResidual = availability % 2;
                    Scene s(rng, style, anyResidual, availability);
                    const int cbp = rng.range(0, 15);
                    const LumaWorkBuffer before = s.luma;
                    int pred[4][4];
                    modelIntra4x4(before, block, mode, pred);
                    (*k.intra4x4)[mode](block, &s.luma, &s.lumaResidual, cbp);
                    const int offset = Block4x4Offset[block];
                    for (int i = 0; i < LumaWorkBuffer::Size; ++i) {
                        const int x = i % 8, y = i % 64 / 8;
                        const bool inBlock = i >= offset && i < offset + 28 && x >= offset % 8 &&
                                             x < offset % 8 + 4 && y >= offset % 64 / 8 &&
                                             y < offset % 64 / 8 + 4;
                        int expected = before.bytes[i];
                        if (inBlock) {
                            const int p = pred[y - offset % 64 / 8][x - offset % 8];
                            expected = (cbp >> (block / 4)) & 1
                                           ? reconstructed(p, s.lumaResidual.values[i], true)
                                           : p;
                        }
                        ASSERT_EQ(s.luma.bytes[i], expected)
                            << "mode " << mode << " block " << block << " availability " << availability
                            << " index " << i;
                    }
                }
}

TEST_P(IntraPredTest, Intra16x16EveryModeAndAvailabilityMatchesTheStandard) {
    Rng rng(13);
    for (int mode = 0; mode < 4; ++mode)
        for (int availability = 0; availability < 32; ++availability)
            for (Style style : Styles)
                for (int iteration = 0; iteration < 4; ++iteration) {
                    const bool anyResidual = iteration % 2;
                    Scene s(rng, style, anyResidual, availability);
                    const LumaWorkBuffer before = s.luma;
                    int pred[16][16];
                    modelIntra16x16(before, mode, pred);
                    (*k.intra16x16)[mode](&s.luma, &s.lumaResidual);
                    for (int y = 0; y < 16; ++y)
                        for (int x = 0; x < 16; ++x) {
                            const int i = lumaSampleIndex(x, y);
                            ASSERT_EQ(s.luma.bytes[i],
                                      reconstructed(pred[y][x], s.lumaResidual.values[i], true))
                                << "mode " << mode << " x " << x << " y " << y;
                        }
                    for (int i = 256; i < LumaWorkBuffer::Size; ++i)
                        ASSERT_EQ(s.luma.bytes[i], before.bytes[i]);
                }
}

TEST_P(IntraPredTest, ChromaEveryModeAndAvailabilityMatchesTheStandard) {
    Rng rng(14);
    for (int mode = 0; mode < 4; ++mode)
        for (int availability = 0; availability < 32; ++availability)
            for (Style style : Styles)
                for (int chromaPattern : {0, 1, 2}) {
                    Scene s(rng, style, availability % 2, availability);
                    const Scene before = s;
                    int pred[2][8][8];
                    modelChroma(before.luma, before.cb, mode, pred[0]);
                    modelChroma(before.luma, before.cr, mode, pred[1]);
                    (*k.intraChroma)[mode](&s.luma, &s.cb, &s.cr, &s.cbResidual, &s.crResidual,
                                           chromaPattern);
                    for (int plane = 0; plane < 2; ++plane) {
                        const ChromaWorkBuffer& out = plane ? s.cr : s.cb;
                        const ChromaWorkBuffer& in = plane ? before.cr : before.cb;
                        const ChromaResidualBlock& residual = plane ? before.crResidual : before.cbResidual;
                        for (int i = 0; i < 64; ++i) {
                            const int p = pred[plane][i / 8][i % 8];
                            ASSERT_EQ(out.bytes[i],
                                      chromaPattern ? reconstructed(p, residual.values[i], true) : p)
                                << "mode " << mode << " plane " << plane << " index " << i;
                        }
                        for (int i = 64; i < ChromaWorkBuffer::Size; ++i)
                            ASSERT_EQ(out.bytes[i], in.bytes[i]);
                    }
                    ASSERT_EQ(std::memcmp(s.luma.bytes, before.luma.bytes, LumaWorkBuffer::Size), 0);
                }
}

TEST_P(IntraPredTest, DcWithoutNeighboursPredicts128) {
    Rng rng(15);
    Scene s(rng, Style::Random, false, 0);
    for (int i = 0; i < 16; ++i)
        s.lumaResidual.values[i % 4 + 8 * (i / 4)] = static_cast<int16_t>(i - 8);
    (*k.intra4x4)[2](0, &s.luma, &s.lumaResidual, 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(s.luma.bytes[i % 4 + 8 * (i / 4)], 128 + i - 8);
    (*k.intraChroma)[0](&s.luma, &s.cb, &s.cr, &s.cbResidual, &s.crResidual, 0);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(s.cb.bytes[i], 128);
}

TEST_P(IntraPredTest, UncodedQuadrantIgnoresStaleResidual) {
    Rng rng(16);
    Scene s(rng, Style::Random, false, 31);
    for (auto& v : s.lumaResidual.values)
        v = 77;
    int pred6[4][4], pred15[4][4];
    modelIntra4x4(s.luma, 6, 0, pred6);
    modelIntra4x4(s.luma, 15, 0, pred15);
    (*k.intra4x4)[0](6, &s.luma, &s.lumaResidual, 0x2);  // quadrant 1 coded
    (*k.intra4x4)[0](15, &s.luma, &s.lumaResidual, 0x7); // quadrant 3 not coded
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(s.luma.bytes[Block4x4Offset[6] + 8 * y + x], clip1(pred6[y][x] + 77));
            EXPECT_EQ(s.luma.bytes[Block4x4Offset[15] + 8 * y + x], pred15[y][x]);
        }
}

TEST_P(IntraPredTest, PlaneOnASteepRampClampsBeforeTheResidual) {
    Rng rng(17);
    Scene s(rng, Style::Random, false, 31);
    for (int i = 0; i < 16; ++i) {
        s.luma.bytes[272 + i] = i < 8 ? 0 : 255;
        s.luma.bytes[256 + i] = i < 8 ? 0 : 255;
    }
    s.luma.bytes[296] = 0;
    for (auto& v : s.lumaResidual.values)
        v = -20;
    (*k.intra16x16)[3](&s.luma, &s.lumaResidual);
    // The bottom-right sample predicts far above 255: 255 - 20.
    EXPECT_EQ(s.luma.bytes[lumaSampleIndex(15, 15)], 235);
    EXPECT_EQ(s.luma.bytes[lumaSampleIndex(0, 0)], 0);
}

VELOQ_KERNEL_SETS(IntraPredTest);

using IntraPredDiffTest = KernelDiffTest;

TEST_F(IntraPredDiffTest, Sse2EqualsPortableInEveryModeOnAnyInput) {
    Rng rng(18);
    for (int iteration = 0; iteration < 3000; ++iteration) {
        const Style style = Styles[iteration % 3];
        const Scene s(rng, style, iteration % 2, rng.range(0, 31));
        Scene a = s, b = s;
        const int block = rng.range(0, 15), cbp = rng.range(0, 47);
        const int mode4 = iteration % 9, mode16 = iteration % 4, modeC = (iteration / 4) % 4;
        (*portable.intra4x4)[mode4](block, &a.luma, &a.lumaResidual, cbp);
        (*sse2.intra4x4)[mode4](block, &b.luma, &b.lumaResidual, cbp);
        ASSERT_EQ(std::memcmp(a.luma.bytes, b.luma.bytes, LumaWorkBuffer::Size), 0) << "4x4 mode " << mode4;
        a = s, b = s;
        (*portable.intra16x16)[mode16](&a.luma, &a.lumaResidual);
        (*sse2.intra16x16)[mode16](&b.luma, &b.lumaResidual);
        ASSERT_EQ(std::memcmp(a.luma.bytes, b.luma.bytes, LumaWorkBuffer::Size), 0)
            << "16x16 mode " << mode16;
        a = s, b = s;
        (*portable.intraChroma)[modeC](&a.luma, &a.cb, &a.cr, &a.cbResidual, &a.crResidual, cbp >> 4);
        (*sse2.intraChroma)[modeC](&b.luma, &b.cb, &b.cr, &b.cbResidual, &b.crResidual, cbp >> 4);
        ASSERT_EQ(std::memcmp(a.cb.bytes, b.cb.bytes, ChromaWorkBuffer::Size), 0) << "chroma mode " << modeC;
        ASSERT_EQ(std::memcmp(a.cr.bytes, b.cr.bytes, ChromaWorkBuffer::Size), 0) << "chroma mode " << modeC;
    }
}

} // namespace
} // namespace h264::test
