#include "tests/h264/kernels/KernelTestSupport.h"

#include <vector>

namespace h264::test {
namespace {

constexpr uint8_t Guard = 0xC3;

// A picture-like area with a stride and guard bytes all around, to see what a mover touches.
struct Plane {
    static constexpr int Stride = 48, Rows = 24, Origin = 4 * Stride + 16;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(Stride * Rows, Guard);
    uint8_t* at(int x, int y) { return bytes.data() + Origin + y * Stride + x; }
};

using DataMoversTest = KernelSetTest;

TEST_P(DataMoversTest, TransposeSwapsRowsAndColumns) {
    Rng rng(8);
    alignas(16) uint8_t block[64], original[64];
    rng.fill(original, 64);
    std::memcpy(block, original, 64);
    k.transpose8x8(block);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            ASSERT_EQ(block[8 * r + c], original[8 * c + r]);
}

TEST_P(DataMoversTest, EdgeColumnsGatherTransposedAndScatterBack) {
    Rng rng(9);
    Plane plane;
    rng.fill(plane.at(0, 0), 16 * Plane::Stride);
    const Plane original = plane;
    alignas(16) uint8_t columns[64];
    // The four columns left of an edge at x = 4, rows 0..7 and 8..15.
    k.gatherEdgeColumns(plane.at(0, 0), plane.at(0, 8), columns, Plane::Stride);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 8; ++r) {
            ASSERT_EQ(columns[8 * c + r], *plane.at(c, r));
            ASSERT_EQ(columns[32 + 8 * c + r], *plane.at(c, 8 + r));
        }
    for (auto& v : columns)
        v = static_cast<uint8_t>(~v);
    k.scatterEdgeColumns(plane.at(0, 0), plane.at(0, 8), columns, Plane::Stride);
    for (int y = -4; y < 20; ++y)
        for (int x = -16; x < 32; ++x) {
            const uint8_t before = *const_cast<Plane&>(original).at(x, y);
            const bool inside = x >= 0 && x < 4 && y >= 0 && y < 16;
            ASSERT_EQ(*plane.at(x, y), inside ? static_cast<uint8_t>(~before) : before) << x << "," << y;
        }
}

TEST_P(DataMoversTest, RowMoversCopyExactlyTheirRows) {
    Rng rng(10);
    Plane plane;
    rng.fill(plane.at(0, 0), 16 * Plane::Stride);
    const Plane original = plane;

    alignas(16) uint8_t chroma[16 + 8];
    std::fill(std::begin(chroma), std::end(chroma), Guard);
    k.gatherChromaRows(chroma, plane.at(8, 2), Plane::Stride);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(chroma[i], *plane.at(8 + i % 8, 2 + i / 8));
    ASSERT_EQ(chroma[16], Guard);

    uint8_t row[16];
    std::fill(std::begin(row), std::end(row), Guard);
    k.copyRow8(plane.at(3, 5), row);
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(row[i], i < 8 ? *plane.at(3 + i, 5) : Guard);

    alignas(16) uint8_t left[40], right[40];
    std::fill(std::begin(left), std::end(left), Guard);
    std::fill(std::begin(right), std::end(right), Guard);
    k.gatherLumaRows(left, right, plane.at(16, 1), Plane::Stride);
    for (int r = 0; r < 4; ++r)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(left[8 * r + x], *plane.at(16 + x, 1 + r));
            ASSERT_EQ(right[8 * r + x], *plane.at(24 + x, 1 + r));
        }
    ASSERT_EQ(left[32], Guard);
    ASSERT_EQ(right[32], Guard);

    // Write back rows 1..3 of the blocks (p2, p1, p0) into picture rows 2..4: exactly three rows.
    for (auto& v : left)
        v = static_cast<uint8_t>(v + 1);
    for (auto& v : right)
        v = static_cast<uint8_t>(v + 2);
    k.scatterLumaRows(left + 8, right + 8, plane.at(16, 2), Plane::Stride);
    for (int y = -4; y < 20; ++y)
        for (int x = -16; x < 32; ++x) {
            const uint8_t before = *const_cast<Plane&>(original).at(x, y);
            const bool inside = x >= 16 && x < 32 && y >= 2 && y < 5;
            const uint8_t expected = !inside  ? before
                                     : x < 24 ? left[8 * (y - 1) + x - 16]
                                              : right[8 * (y - 1) + x - 24];
            ASSERT_EQ(*plane.at(x, y), expected) << x << "," << y;
        }
}

TEST_P(DataMoversTest, StoresWriteTheMacroblockAndNothingElse) {
    Rng rng(11);
    LumaWorkBuffer luma;
    ChromaWorkBuffer cb, cr;
    rng.fill(luma.bytes, LumaWorkBuffer::Size);
    rng.fill(cb.bytes, ChromaWorkBuffer::Size);
    rng.fill(cr.bytes, ChromaWorkBuffer::Size);
    Plane y, u, v;
    k.storeLumaMacroblock(y.at(0, 0), &luma, Plane::Stride);
    k.storeChromaMacroblock(u.at(8, 1), v.at(8, 1), &cb, &cr, Plane::Stride);
    for (int row = -4; row < 20; ++row)
        for (int x = -16; x < 32; ++x) {
            const bool inLuma = x >= 0 && x < 16 && row >= 0 && row < 16;
            const int lumaIndex = ((row / 8) * 2 + x / 8) * 64 + (row % 8) * 8 + x % 8;
            ASSERT_EQ(*y.at(x, row), inLuma ? luma.bytes[lumaIndex] : Guard) << x << "," << row;
            const bool inChroma = x >= 8 && x < 16 && row >= 1 && row < 9;
            const int chromaIndex = 8 * (row - 1) + x - 8;
            ASSERT_EQ(*u.at(x, row), inChroma ? cb.bytes[chromaIndex] : Guard);
            ASSERT_EQ(*v.at(x, row), inChroma ? cr.bytes[chromaIndex] : Guard);
        }
}

VELOQ_KERNEL_SETS(DataMoversTest);

} // namespace
} // namespace h264::test
