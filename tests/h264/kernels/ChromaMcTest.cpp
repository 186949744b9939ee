#include "tests/h264/kernels/GuardedArea.h"
#include "tests/h264/kernels/KernelTestSupport.h"

#include <vector>

namespace h264::test {
namespace {

struct Width {
    int columns, rows;
    const ChromaMcKernels* (*table)(const H264KernelTable&);
};

const Width Widths[] = {{2, 2, [](const H264KernelTable&) { return &ChromaMcTable2; }},
                        {4, 2, [](const H264KernelTable& t) { return t.chromaMc4; }},
                        {8, 4, [](const H264KernelTable& t) { return t.chromaMc8; }}};

int modelChroma(const uint8_t* a, int stride, int xFrac, int yFrac) {
    const auto at = [&](int x, int y) { return (x && !xFrac) || (y && !yFrac) ? 0 : int{a[y * stride + x]}; };
    return ((8 - xFrac) * (8 - yFrac) * at(0, 0) + xFrac * (8 - yFrac) * at(1, 0) +
            (8 - xFrac) * yFrac * at(0, 1) + xFrac * yFrac * at(1, 1) + 32) >>
           6;
}

// The fraction pairs of a case: 0 none, 1 horizontal only, 2 vertical only, 3 both.
std::vector<std::pair<int, int>> fractions(int kase) {
    std::vector<std::pair<int, int>> out;
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y)
            if ((x != 0) + 2 * (y != 0) == kase)
                out.emplace_back(x, y);
    return out;
}

// Runs one kernel on Cb and Cr areas and checks both 8x8 destinations byte by byte.
void checkBlock(const H264KernelTable& k, const Width& w, int kase, int xFrac, int yFrac, uint8_t* cb,
                uint8_t* cr, int stride, int destinationOffset) {
    uint8_t out[2][64];
    std::memset(out, 0xC3, sizeof out);
    InterPredBlock block{};
    block.cbSource = cb;
    block.crSource = cr;
    block.chromaStride = stride;
    block.xFracC = static_cast<int16_t>(xFrac);
    block.yFracC = static_cast<int16_t>(yFrac);
    block.cbDestination = out[0] + destinationOffset;
    block.crDestination = out[1] + destinationOffset;
    (*w.table(k))[kase](&block);
    for (int plane = 0; plane < 2; ++plane)
        for (int i = 0; i < 64; ++i) {
            const int x = i % 8 - destinationOffset % 8, y = i / 8 - destinationOffset / 8;
            const bool inside = x >= 0 && x < w.columns && y >= 0 && y < w.rows;
            const uint8_t* source = plane ? cr : cb;
            const int expected = inside ? modelChroma(source + y * stride + x, stride, xFrac, yFrac) : 0xC3;
            ASSERT_EQ(out[plane][i], expected) << "width " << w.columns << " fractions " << xFrac << ","
                                               << yFrac << " plane " << plane << " byte " << i;
        }
}

using ChromaMcTest = KernelSetTest;

TEST_P(ChromaMcTest, EveryWidthCaseAndFractionMatchesTheFormulaReadingOnlyItsArea) {
    Rng rng(30);
    for (const Width& w : Widths)
        for (int kase = 0; kase < 4; ++kase)
            for (auto [xFrac, yFrac] : fractions(kase))
                for (Style style : {Style::Random, Style::Extremes})
                    for (auto side : {GuardedArea::Side::Before, GuardedArea::Side::After}) {
                        const int columns = w.columns + (xFrac != 0), rows = w.rows + (yFrac != 0);
                        GuardedArea cb(columns, rows, side), cr(columns, rows, side);
                        rng.fill(cb.data(), cb.size(), style);
                        rng.fill(cr.data(), cr.size(), style);
                        const int offset = 8 * rng.range(0, 8 - w.rows) + rng.range(0, 8 - w.columns);
                        checkBlock(k, w, kase, xFrac, yFrac, cb.data(), cr.data(), cb.stride(), offset);
                    }
}

TEST_P(ChromaMcTest, FlatAreasAndTheOneBrightCorner) {
    std::vector<uint8_t> cb(32 * 8), cr(32 * 8);
    for (const Width& w : Widths)
        for (int kase = 0; kase < 4; ++kase)
            for (auto [xFrac, yFrac] : fractions(kase))
                for (int v : {0, 255}) {
                    std::fill(cb.begin(), cb.end(), static_cast<uint8_t>(v));
                    std::fill(cr.begin(), cr.end(), static_cast<uint8_t>(255 - v));
                    checkBlock(k, w, kase, xFrac, yFrac, cb.data(), cr.data(), 32, 0);
                }
    // A = 255 with B = C = D = 0 at fractions (1, 1): (49 * 255 + 32) >> 6.
    std::fill(cb.begin(), cb.end(), uint8_t{0});
    cb[0] = 255;
    for (const Width& w : Widths) {
        uint8_t out[2][64] = {};
        InterPredBlock block{};
        block.cbSource = block.crSource = cb.data();
        block.chromaStride = 32;
        block.xFracC = block.yFracC = 1;
        block.cbDestination = out[0];
        block.crDestination = out[1];
        (*w.table(k))[3](&block);
        EXPECT_EQ(out[0][0], 195);
        EXPECT_EQ(out[1][0], 195);
    }
}

VELOQ_KERNEL_SETS(ChromaMcTest);

using ChromaMcDiffTest = KernelDiffTest;

TEST_F(ChromaMcDiffTest, Sse2EqualsPortableForWidthsFourAndEight) {
    Rng rng(31);
    std::vector<uint8_t> cb(24 * 10), cr(24 * 10);
    for (int iteration = 0; iteration < 400; ++iteration)
        for (int width : {4, 8})
            for (int kase = 0; kase < 4; ++kase)
                for (auto [xFrac, yFrac] : fractions(kase)) {
                    rng.fill(cb.data(), static_cast<int>(cb.size()), static_cast<Style>(iteration % 3));
                    rng.fill(cr.data(), static_cast<int>(cr.size()), static_cast<Style>(iteration % 3));
                    uint8_t a[2][64] = {}, b[2][64] = {};
                    InterPredBlock block{};
                    block.cbSource = cb.data() + rng.range(0, 8);
                    block.crSource = cr.data() + rng.range(0, 8);
                    block.chromaStride = 24;
                    block.xFracC = static_cast<int16_t>(xFrac);
                    block.yFracC = static_cast<int16_t>(yFrac);
                    block.cbDestination = a[0];
                    block.crDestination = a[1];
                    (*(width == 4 ? portable.chromaMc4 : portable.chromaMc8))[kase](&block);
                    block.cbDestination = b[0];
                    block.crDestination = b[1];
                    (*(width == 4 ? sse2.chromaMc4 : sse2.chromaMc8))[kase](&block);
                    ASSERT_EQ(std::memcmp(a, b, sizeof a), 0)
                        << "width " << width << " " << xFrac << "," << yFrac;
                }
}

} // namespace
} // namespace h264::test
