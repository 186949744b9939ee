#include "tests/h264/kernels/KernelTestSupport.h"

namespace h264::test {
namespace {

// The standard's residual transform in 32-bit arithmetic: rows, then columns, then (x + 32) >> 6.
void modelTransform(const int16_t* c, int* out) {
    int f[16], g[16];
    const auto pass = [](const int* in, int step, int* res) {
        const int e0 = in[0] + in[2 * step], e1 = in[0] - in[2 * step];
        const int e2 = (in[step] >> 1) - in[3 * step], e3 = in[step] + (in[3 * step] >> 1);
        res[0] = e0 + e3;
        res[step] = e1 + e2;
        res[2 * step] = e1 - e2;
        res[3 * step] = e0 - e3;
    };
    int in[16];
    for (int i = 0; i < 16; ++i)
        in[i] = c[i];
    for (int r = 0; r < 4; ++r)
        pass(in + 4 * r, 1, f + 4 * r);
    for (int k = 0; k < 4; ++k)
        pass(f + k, 4, g + k);
    for (int i = 0; i < 16; ++i)
        out[i] = (g[i] + 32) >> 6;
}

constexpr int16_t Sentinel = 0x5A5A;

using TransformTest = KernelSetTest;

TEST_P(TransformTest, MatchesTheStandardOnConformingCoefficientsAndWritesOnlyItsBlock) {
    Rng rng(1);
    for (int iteration = 0; iteration < 2000; ++iteration) {
        // Up to 2600 in magnitude keeps every 16-bit intermediate exact.
        const int bound = iteration % 2 ? 2600 : 64;
        int16_t coefficients[16];
        for (auto& c : coefficients)
            c = static_cast<int16_t>(rng.range(-bound, bound));
        alignas(16) int16_t out[8 * 4 + 8];
        std::fill(std::begin(out), std::end(out), Sentinel);
        k.inverseTransform4x4(coefficients, out);
        int expected[16];
        modelTransform(coefficients, expected);
        for (int r = 0; r < 4; ++r)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(out[8 * r + x], x < 4 ? expected[4 * r + x] : Sentinel)
                    << "row " << r << " col " << x;
        for (int i = 32; i < 40; ++i)
            ASSERT_EQ(out[i], Sentinel);
    }
}

TEST_P(TransformTest, LoneDcGivesRoundedDcEverywhere) {
    for (int d : {-2048, -33, -32, -1, 0, 31, 32, 95, 96, 1000, 2047}) {
        int16_t coefficients[16] = {static_cast<int16_t>(d)};
        alignas(16) int16_t out[32] = {};
        k.inverseTransform4x4(coefficients, out);
        for (int r = 0; r < 4; ++r)
            for (int x = 0; x < 4; ++x)
                ASSERT_EQ(out[8 * r + x], (d + 32) >> 6) << "d " << d;
    }
}

TEST_P(TransformTest, DcOnlyBlocksGiveTheDecodersShortcutForEveryValue) {
    for (int d = -32768; d <= 32767; ++d) {
        int16_t coefficients[16] = {static_cast<int16_t>(d)};
        alignas(16) int16_t out[32] = {};
        k.inverseTransform4x4(coefficients, out);
        for (int r = 0; r < 4; ++r)
            for (int x = 0; x < 4; ++x)
                ASSERT_EQ(out[8 * r + x], DcOnlyResidual(static_cast<int16_t>(d))) << "d " << d;
    }
}

TEST_P(TransformTest, OverwritesWhatTheBlockHeld) {
    int16_t coefficients[16] = {};
    alignas(16) int16_t out[32];
    std::fill(std::begin(out), std::end(out), int16_t{1234});
    k.inverseTransform4x4(coefficients, out);
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(out[8 * r + x], 0);
}

VELOQ_KERNEL_SETS(TransformTest);

using TransformDiffTest = KernelDiffTest;

TEST_F(TransformDiffTest, Sse2WrapsLikePortableOnAnyCoefficients) {
    Rng rng(2);
    for (int iteration = 0; iteration < 20000; ++iteration) {
        int16_t coefficients[16];
        for (auto& c : coefficients)
            c = iteration % 3 == 0 ? (rng.range(0, 1) ? int16_t{32767} : int16_t{-32768}) : rng.value16();
        alignas(16) int16_t a[40], b[40];
        std::fill(std::begin(a), std::end(a), Sentinel);
        std::fill(std::begin(b), std::end(b), Sentinel);
        portable.inverseTransform4x4(coefficients, a);
        sse2.inverseTransform4x4(coefficients, b);
        ASSERT_TRUE(sameBytes(a, b)) << "iteration " << iteration;
    }
}

} // namespace
} // namespace h264::test
