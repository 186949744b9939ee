#include "tests/h264/kernels/KernelTestSupport.h"

#include <vector>

namespace h264::test {
namespace {

// luma4x4BlkIdx of the 4x4 block at raster position (bx, by), in block units.
int blockIndex(int bx, int by) {
    return (by / 2) * 8 + (bx / 2) * 4 + (by % 2) * 2 + bx % 2;
}

// Internal strengths from the block geometry: edge e (1..3) between block columns (rows) e - 1 and e.
EdgeStrengths modelInner(const uint8_t* counts, EdgeStrengths s) {
    for (int e = 1; e < 4; ++e)
        for (int seg = 0; seg < 4; ++seg) {
            const bool v = counts[blockIndex(e - 1, seg)] || counts[blockIndex(e, seg)];
            const bool h = counts[blockIndex(seg, e - 1)] || counts[blockIndex(seg, e)];
            s.vertical[e - 1][seg] = v ? 2 : 0;
            s.horizontal[e - 1][seg] = h ? 2 : 0;
        }
    return s;
}

EdgeStrengths randomStrengths(Rng& rng) {
    EdgeStrengths s;
    rng.fill(reinterpret_cast<uint8_t*>(&s), sizeof s);
    return s;
}

std::vector<int> bytes(const EdgeStrengths& s) {
    const auto* p = reinterpret_cast<const uint8_t*>(&s);
    return {p, p + sizeof s};
}

using StrengthsTest = KernelSetTest;

TEST_P(StrengthsTest, InnerStrengthsFollowTheBlocksBesideEachEdge) {
    Rng rng(3);
    for (int iteration = 0; iteration < 3000; ++iteration) {
        uint8_t counts[16];
        for (auto& c : counts)
            c = rng.range(0, 3) == 0 ? static_cast<uint8_t>(rng.range(1, 16)) : 0;
        if (iteration < 16) { // each block alone
            std::fill(std::begin(counts), std::end(counts), 0);
            counts[iteration] = 1;
        }
        const EdgeStrengths before = randomStrengths(rng);
        EdgeStrengths s = before;
        k.innerStrengthsFromCoefficients(counts, &s);
        ASSERT_EQ(bytes(s), bytes(modelInner(counts, before))) << "iteration " << iteration;
    }
}

TEST_P(StrengthsTest, OnlyBlockFiveCodedMarksItsTwoEdges) {
    uint8_t counts[16] = {};
    counts[5] = 3;
    EdgeStrengths s{};
    k.innerStrengthsFromCoefficients(counts, &s);
    EdgeStrengths expected{};
    expected.vertical[2][0] = 2;   // (4, 5) at x = 12
    expected.horizontal[0][3] = 2; // (5, 7) at y = 4
    EXPECT_EQ(bytes(s), bytes(expected));
}

TEST_P(StrengthsTest, ClearLeavesTheMacroblockEdges) {
    Rng rng(4);
    const EdgeStrengths before = randomStrengths(rng);
    EdgeStrengths s = before;
    k.clearInnerStrengths(&s);
    EdgeStrengths expected{};
    std::memcpy(expected.left, before.left, 4);
    std::memcpy(expected.top, before.top, 4);
    EXPECT_EQ(bytes(s), bytes(expected));
}

VELOQ_KERNEL_SETS(StrengthsTest);

} // namespace
} // namespace h264::test
