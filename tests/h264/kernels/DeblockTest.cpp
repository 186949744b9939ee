#include "tests/h264/kernels/KernelTestSupport.h"

namespace h264::test {
namespace {

int absd(int a, int b) {
    return a > b ? a - b : b - a;
}

// One line across a luma edge, p[0] = p0 .. p[3] = p3, filtered as the standard gives it for bS < 4
// (normal) or bS == 4 (strong).
void modelLumaLine(int* p, int* q, bool strong, int alpha, int beta, int tc0) {
    const int p0 = p[0], p1 = p[1], p2 = p[2], p3 = p[3], q0 = q[0], q1 = q[1], q2 = q[2], q3 = q[3];
    if (!(absd(p0, q0) < alpha && absd(p1, p0) < beta && absd(q1, q0) < beta))
        return;
    const int ap = absd(p2, p0), aq = absd(q2, q0);
    if (!strong) {
        const int tc = tc0 + (ap < beta) + (aq < beta);
        const int delta = clip3(-tc, tc, (((q0 - p0) << 2) + (p1 - q1) + 4) >> 3);
        p[0] = clip1(p0 + delta);
        q[0] = clip1(q0 - delta);
        if (ap < beta)
            p[1] = p1 + clip3(-tc0, tc0, (p2 + ((p0 + q0 + 1) >> 1) - (p1 << 1)) >> 1);
        if (aq < beta)
            q[1] = q1 + clip3(-tc0, tc0, (q2 + ((p0 + q0 + 1) >> 1) - (q1 << 1)) >> 1);
        return;
    }
    const bool small = absd(p0, q0) < ((alpha >> 2) + 2);
    if (ap < beta && small) {
        p[0] = (p2 + 2 * p1 + 2 * p0 + 2 * q0 + q1 + 4) >> 3;
        p[1] = (p2 + p1 + p0 + q0 + 2) >> 2;
        p[2] = (2 * p3 + 3 * p2 + p1 + p0 + q0 + 4) >> 3;
    } else {
        p[0] = (2 * p1 + p0 + q1 + 2) >> 2;
    }
    if (aq < beta && small) {
        q[0] = (p1 + 2 * p0 + 2 * q0 + 2 * q1 + q2 + 4) >> 3;
        q[1] = (p0 + q0 + q1 + q2 + 2) >> 2;
        q[2] = (2 * q3 + 3 * q2 + q1 + q0 + p0 + 4) >> 3;
    } else {
        q[0] = (2 * q1 + q0 + p1 + 2) >> 2;
    }
}

void modelChromaLine(int* p, int* q, bool strong, int alpha, int beta, int tc0) {
    const int p0 = p[0], p1 = p[1], q0 = q[0], q1 = q[1];
    if (!(absd(p0, q0) < alpha && absd(p1, p0) < beta && absd(q1, q0) < beta))
        return;
    if (strong) {
        p[0] = (2 * p1 + p0 + q1 + 2) >> 2;
        q[0] = (2 * q1 + q0 + p1 + 2) >> 2;
        return;
    }
    const int tc = tc0 + 1;
    const int delta = clip3(-tc, tc, (((q0 - p0) << 2) + (p1 - q1) + 4) >> 3);
    p[0] = clip1(p0 + delta);
    q[0] = clip1(q0 - delta);
}

// The two sides of an edge: P rows first (p3..p0 for luma, p1 p0 for chroma), then Q rows (q0..).
// Each side is a level plus noise, so that the filters are often active.
struct EdgeCase {
    alignas(16) uint8_t p[32];
    alignas(16) uint8_t q[32];
    uint8_t alpha[4];
    uint8_t beta;
    uint8_t tc0[4];
    uint32_t alphaWord() const {
        return alpha[0] | alpha[1] << 8 | alpha[2] << 16 | uint32_t{alpha[3]} << 24;
    }
};

EdgeCase randomEdge(Rng& rng, Style style) {
    EdgeCase e;
    rng.fill(e.p, 32, style);
    rng.fill(e.q, 32, style);
    for (int i = 0; i < 4; ++i) {
        e.alpha[i] = rng.range(0, 4) == 0 ? 0 : rng.byte();
        e.tc0[i] = rng.range(0, 1) ? static_cast<uint8_t>(rng.range(0, 25)) : rng.byte();
    }
    e.beta = rng.range(0, 1) ? static_cast<uint8_t>(rng.range(0, 18)) : rng.byte();
    return e;
}

constexpr Style Styles[] = {Style::Smooth, Style::Random, Style::Extremes};

using DeblockTest = KernelSetTest;

TEST_P(DeblockTest, LumaFiltersMatchTheStandard) {
    Rng rng(5);
    for (bool strong : {false, true})
        for (Style style : Styles)
            for (int iteration = 0; iteration < 3000; ++iteration) {
                EdgeCase e = randomEdge(rng, style);
                if (strong)
                    std::fill(std::begin(e.alpha), std::end(e.alpha), e.alpha[0]);
                int expected[2][32];
                for (int i = 0; i < 8; ++i) {
                    int p[4], q[4];
                    for (int r = 0; r < 4; ++r) {
                        p[r] = e.p[8 * (3 - r) + i];
                        q[r] = e.q[8 * r + i];
                    }
                    modelLumaLine(p, q, strong, e.alpha[i / 2], e.beta, e.tc0[i / 2]);
                    for (int r = 0; r < 4; ++r) {
                        expected[0][8 * (3 - r) + i] = p[r];
                        expected[1][8 * r + i] = q[r];
                    }
                }
                // Bits above the low byte of beta and, for the strong filter, of alpha are not used.
                const uint32_t beta = e.beta | 0xA5A5A500u;
                if (strong)
                    k.filterLumaEdgeStrong(e.p, e.q, e.alphaWord(), beta);
                else
                    k.filterLumaEdgeNormal(e.p, e.q, e.alphaWord(), beta, e.tc0);
                for (int i = 0; i < 32; ++i) {
                    ASSERT_EQ(e.p[i], expected[0][i]) << "p byte " << i << " strong " << strong;
                    ASSERT_EQ(e.q[i], expected[1][i]) << "q byte " << i << " strong " << strong;
                }
            }
}

TEST_P(DeblockTest, ChromaFiltersMatchTheStandardOnBothPlanes) {
    Rng rng(6);
    for (bool strong : {false, true})
        for (int qStride : {8, 16})
            for (Style style : Styles)
                for (int iteration = 0; iteration < 2000; ++iteration) {
                    if (strong && qStride != 8)
                        continue;
                    EdgeCase cb = randomEdge(rng, style), cr = randomEdge(rng, style);
                    if (strong)
                        std::fill(std::begin(cb.alpha), std::end(cb.alpha), cb.alpha[0]);
                    int expected[2][2][32];
                    for (int plane = 0; plane < 2; ++plane) {
                        const EdgeCase& e = plane ? cr : cb;
                        for (int i = 0; i < 32; ++i) {
                            expected[plane][0][i] = e.p[i];
                            expected[plane][1][i] = e.q[i];
                        }
                        for (int i = 0; i < 8; ++i) {
                            int p[2] = {e.p[8 + i], e.p[i]}, q[2] = {e.q[i], e.q[qStride + i]};
                            modelChromaLine(p, q, strong, cb.alpha[i / 2], cb.beta, cb.tc0[i / 2]);
                            expected[plane][0][8 + i] = p[0];
                            expected[plane][1][i] = q[0];
                        }
                    }
                    if (strong)
                        k.filterChromaEdgesStrong(cb.p, cb.q, cr.p, cr.q, cb.alphaWord(), cb.beta);
                    else
                        k.filterChromaEdgesNormal(cb.p, cb.q, cr.p, cr.q, cb.alphaWord(), cb.beta, cb.tc0,
                                                  qStride);
                    for (int plane = 0; plane < 2; ++plane) {
                        const EdgeCase& e = plane ? cr : cb;
                        for (int i = 0; i < 32; ++i) {
                            ASSERT_EQ(e.p[i], expected[plane][0][i]) << "plane " << plane << " p " << i;
                            ASSERT_EQ(e.q[i], expected[plane][1][i]) << "plane " << plane << " q " << i;
                        }
                    }
                }
}

// p3..p0 and q0..q3 of all 8 samples set from one line.
EdgeCase lumaEdge(std::initializer_list<int> p3ToQ3, int alpha, int beta, int tc0) {
    EdgeCase e{};
    const int* v = p3ToQ3.begin();
    for (int i = 0; i < 8; ++i)
        for (int r = 0; r < 4; ++r) {
            e.p[8 * r + i] = static_cast<uint8_t>(v[r]);
            e.q[8 * r + i] = static_cast<uint8_t>(v[4 + r]);
        }
    std::fill(std::begin(e.alpha), std::end(e.alpha), static_cast<uint8_t>(alpha));
    std::fill(std::begin(e.tc0), std::end(e.tc0), static_cast<uint8_t>(tc0));
    e.beta = static_cast<uint8_t>(beta);
    return e;
}

TEST_P(DeblockTest, SegmentWithAlphaZeroStaysUnchanged) {
    // Active samples: delta (16 - 4 + 4) >> 3 = 2 moves p0 to 102 and q0 to 102.
    EdgeCase e = lumaEdge({100, 100, 100, 100, 104, 104, 104, 104}, 40, 10, 2);
    e.alpha[1] = 0; // samples 2 and 3
    k.filterLumaEdgeNormal(e.p, e.q, e.alphaWord(), e.beta, e.tc0);
    for (int i = 0; i < 8; ++i) {
        const bool untouched = i == 2 || i == 3;
        EXPECT_EQ(e.p[24 + i], untouched ? 100 : 102) << i;
        EXPECT_EQ(e.q[i], untouched ? 104 : 102) << i;
    }
}

TEST_P(DeblockTest, NormalFilterWithZeroTc0MovesOnlyTheEdgeSamples) {
    // ap, aq below beta: tC = 2, delta clips to 2; p1 and q1 keep their values (clip range 0).
    EdgeCase e = lumaEdge({80, 80, 80, 80, 90, 90, 90, 90}, 40, 20, 0);
    k.filterLumaEdgeNormal(e.p, e.q, e.alphaWord(), e.beta, e.tc0);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(e.p[24 + i], 82);
        EXPECT_EQ(e.q[i], 88);
        EXPECT_EQ(e.p[16 + i], 80);
        EXPECT_EQ(e.q[8 + i], 90);
    }
}

TEST_P(DeblockTest, StrongFilterAtTheCloseThresholdUsesTheWeakFormula) {
    // alpha 40: (40 >> 2) + 2 = 12 = |p0 - q0|, so both sides take (2 p1 + p0 + q1 + 2) >> 2.
    EdgeCase e = lumaEdge({100, 100, 100, 100, 112, 112, 112, 112}, 40, 20, 0);
    k.filterLumaEdgeStrong(e.p, e.q, e.alphaWord(), e.beta);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(e.p[24 + i], (200 + 100 + 112 + 2) >> 2);
        EXPECT_EQ(e.q[i], (224 + 112 + 100 + 2) >> 2);
        EXPECT_EQ(e.p[16 + i], 100);
        EXPECT_EQ(e.q[8 + i], 112);
    }
}

VELOQ_KERNEL_SETS(DeblockTest);

using DeblockDiffTest = KernelDiffTest;

TEST_F(DeblockDiffTest, Sse2EqualsPortableOnRandomThresholdsAndStrengths) {
    Rng rng(7);
    for (Style style : Styles)
        for (int iteration = 0; iteration < 20000; ++iteration) {
            const EdgeCase luma = randomEdge(rng, style), cb = randomEdge(rng, style),
                           cr = randomEdge(rng, style);
            const uint32_t beta = cb.beta | static_cast<uint32_t>(rng.byte()) << 8;
            const int kernel = iteration % 4;
            EdgeCase a[3] = {luma, cb, cr}, b[3] = {luma, cb, cr};
            for (auto* set : {&a, &b}) {
                const H264KernelTable& t = set == &a ? portable : sse2;
                EdgeCase* e = *set;
                switch (kernel) {
                case 0:
                    t.filterLumaEdgeNormal(e[0].p, e[0].q, luma.alphaWord(), beta, luma.tc0);
                    break;
                case 1:
                    t.filterLumaEdgeStrong(e[0].p, e[0].q, luma.alphaWord(), beta);
                    break;
                case 2:
                    t.filterChromaEdgesNormal(e[1].p, e[1].q, e[2].p, e[2].q, cb.alphaWord(), beta, cb.tc0,
                                              iteration % 8 < 4 ? 8 : 16);
                    break;
                default:
                    t.filterChromaEdgesStrong(e[1].p, e[1].q, e[2].p, e[2].q, cb.alphaWord(), beta);
                    break;
                }
            }
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(sameBytes(a[i].p, b[i].p)) << "kernel " << kernel << " iteration " << iteration;
                ASSERT_TRUE(sameBytes(a[i].q, b[i].q)) << "kernel " << kernel << " iteration " << iteration;
            }
        }
}

} // namespace
} // namespace h264::test
