#include "tests/h264/kernels/GuardedArea.h"
#include "tests/h264/kernels/KernelTestSupport.h"

#include <functional>
#include <vector>

namespace h264::test {
namespace {

struct Shape {
    const char* name;
    int width, height;
    const LumaQpelKernels* H264KernelTable::*table;
};

constexpr Shape Shapes[] = {{"4x4", 4, 4, &H264KernelTable::lumaQpel4x4},
                            {"4x8", 4, 8, &H264KernelTable::lumaQpel4x8},
                            {"8x16", 8, 16, &H264KernelTable::lumaQpel8x16}};

// The standard's luma sample interpolation at fractional position (xFrac, yFrac) of the block sample
// (x, y), with ref(x, y) the full samples around G = ref(0, 0).
int modelQpel(const std::function<int(int, int)>& ref, int x, int y, int xFrac, int yFrac) {
    const auto tapRow = [&](int xx, int yy) {
        return ref(xx - 2, yy) - 5 * ref(xx - 1, yy) + 20 * ref(xx, yy) + 20 * ref(xx + 1, yy) -
               5 * ref(xx + 2, yy) + ref(xx + 3, yy);
    };
    const auto tapColumn = [&](int xx, int yy) {
        return ref(xx, yy - 2) - 5 * ref(xx, yy - 1) + 20 * ref(xx, yy) + 20 * ref(xx, yy + 1) -
               5 * ref(xx, yy + 2) + ref(xx, yy + 3);
    };
    const auto b = [&](int xx, int yy) { return clip1((tapRow(xx, yy) + 16) >> 5); };
    const auto h = [&](int xx, int yy) { return clip1((tapColumn(xx, yy) + 16) >> 5); };
    const auto j = [&](int xx, int yy) {
        const int j1 = tapRow(xx, yy - 2) - 5 * tapRow(xx, yy - 1) + 20 * tapRow(xx, yy) +
                       20 * tapRow(xx, yy + 1) - 5 * tapRow(xx, yy + 2) + tapRow(xx, yy + 3);
        return clip1((j1 + 512) >> 10);
    };
    // Only the samples a position needs are read: the area holds no others.
    const auto G = [&] { return ref(x, y); };
    const auto H = [&] { return ref(x + 1, y); };
    const auto M = [&] { return ref(x, y + 1); };
    const auto bb = [&] { return b(x, y); };
    const auto hh = [&] { return h(x, y); };
    const auto ss = [&] { return b(x, y + 1); };
    const auto mm = [&] { return h(x + 1, y); };
    const auto jj = [&] { return j(x, y); };
    const auto avg = [](int p, int q) { return (p + q + 1) >> 1; };
    switch (4 * xFrac + yFrac) {
    case 0:
        return G();
    case 1:
        return avg(G(), hh()); // d
    case 2:
        return hh(); // h
    case 3:
        return avg(M(), hh()); // n
    case 4:
        return avg(G(), bb()); // a
    case 5:
        return avg(bb(), hh()); // e
    case 6:
        return avg(hh(), jj()); // i
    case 7:
        return avg(hh(), ss()); // p
    case 8:
        return bb(); // b
    case 9:
        return avg(bb(), jj()); // f
    case 10:
        return jj(); // j
    case 11:
        return avg(jj(), ss()); // q
    case 12:
        return avg(H(), bb()); // c
    case 13:
        return avg(bb(), mm()); // g
    case 14:
        return avg(jj(), mm()); // k
    default:
        return avg(mm(), ss()); // r
    }
}

// Where row r of a block lands in the 256-byte quadrant layout, relative to the destination.
int destinationRow(const Shape& shape, int r) {
    return shape.width == 8 && r >= 8 ? 128 + 8 * (r - 8) : 8 * r;
}

// Runs one kernel over the source area (area cols x rows at area, given stride) and checks every byte of
// the work buffer against the model.
void checkBlock(const H264KernelTable& k, const Shape& shape, int index, const uint8_t* area, int stride,
                int destinationOffset) {
    const int xFrac = index / 4, yFrac = index % 4;
    const uint8_t* g = area + (xFrac ? 2 : 0) + (yFrac ? 2 * stride : 0);
    const auto ref = [&](int x, int y) { return int{g[y * stride + x]}; };
    uint8_t work[256];
    std::memset(work, 0xC3, sizeof work);
    InterPredBlock block{};
    block.lumaSource = const_cast<uint8_t*>(area);
    block.lumaStride = stride;
    block.lumaDestination = work + destinationOffset;
    (*(k.*shape.table))[index](&block);
    std::vector<int> expected(256, 0xC3);
    for (int y = 0; y < shape.height; ++y)
        for (int x = 0; x < shape.width; ++x)
            expected[destinationOffset + destinationRow(shape, y) + x] = modelQpel(ref, x, y, xFrac, yFrac);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(work[i], expected[i]) << shape.name << " index " << index << " byte " << i;
}

int areaColumns(const Shape& shape, int index) {
    return shape.width + (index / 4 ? 5 : 0);
}
int areaRows(const Shape& shape, int index) {
    return shape.height + (index % 4 ? 5 : 0);
}

using LumaQpelTest = KernelSetTest;

TEST_P(LumaQpelTest, EveryShapeAndPositionMatchesTheStandardReadingOnlyItsArea) {
    Rng rng(20);
    for (const Shape& shape : Shapes)
        for (int index = 0; index < 16; ++index)
            for (Style style : {Style::Random, Style::Extremes, Style::Smooth})
                for (auto side : {GuardedArea::Side::Before, GuardedArea::Side::After}) {
                    GuardedArea area(areaColumns(shape, index), areaRows(shape, index), side);
                    rng.fill(area.data(), area.size(), style);
                    const int offsets4[] = {0, 4, 32, 36, 64, 68, 128, 196};
                    const int offset = shape.width == 8    ? (rng.range(0, 1) ? 64 : 0)
                                       : shape.height == 8 ? (rng.range(0, 1) ? 4 : 128)
                                                           : offsets4[rng.range(0, 7)];
                    checkBlock(k, shape, index, area.data(), area.stride(), offset);
                }
}

TEST_P(LumaQpelTest, WideStrideAndFlatAreas) {
    Rng rng(21);
    std::vector<uint8_t> plane(64 * 24);
    for (const Shape& shape : Shapes)
        for (int index = 0; index < 16; ++index) {
            for (int flat : {0, 255, -1}) {
                if (flat < 0)
                    rng.fill(plane.data(), static_cast<int>(plane.size()));
                else
                    std::fill(plane.begin(), plane.end(), static_cast<uint8_t>(flat));
                checkBlock(k, shape, index, plane.data() + 3, 64, 0);
            }
        }
}

// Rows weighted 1 and 20 by the centre filter hold 255 0 255 255 0 255 ..., the rows weighted -5 the
// complement: the centre's raw sum reaches its extreme (and the complementary area the other one).
TEST_P(LumaQpelTest, CentreSampleAtItsExtremeSums) {
    for (bool complement : {false, true}) {
        for (const Shape& shape : Shapes)
            for (int index : {6, 9, 10, 11, 14}) {
                const int columns = areaColumns(shape, index), rows = areaRows(shape, index);
                std::vector<uint8_t> area(columns * rows);
                for (int r = 0; r < rows; ++r) {
                    const bool minusFive = r % 6 == 1 || r % 6 == 4;
                    for (int c = 0; c < columns; ++c) {
                        const bool high = c % 3 != 1;
                        area[r * columns + c] = (high != minusFive) != complement ? 255 : 0;
                    }
                }
                checkBlock(k, shape, index, area.data(), columns, 0);
                if (index == 10) {
                    uint8_t work[256];
                    InterPredBlock block{};
                    block.lumaSource = area.data();
                    block.lumaStride = columns;
                    block.lumaDestination = work;
                    (*(k.*shape.table))[index](&block);
                    EXPECT_EQ(work[0], complement ? 0 : 255) << shape.name;
                }
            }
    }
}

VELOQ_KERNEL_SETS(LumaQpelTest);

using LumaQpelDiffTest = KernelDiffTest;

TEST_F(LumaQpelDiffTest, Sse2EqualsPortableForEveryEntry) {
    Rng rng(22);
    std::vector<uint8_t> plane(48 * 32);
    for (int iteration = 0; iteration < 300; ++iteration)
        for (const Shape& shape : Shapes)
            for (int index = 0; index < 16; ++index) {
                rng.fill(plane.data(), static_cast<int>(plane.size()), static_cast<Style>(iteration % 3));
                uint8_t a[256], b[256];
                std::memset(a, 0, sizeof a);
                std::memset(b, 0, sizeof b);
                InterPredBlock block{};
                block.lumaSource = plane.data() + rng.range(0, 8);
                block.lumaStride = 48;
                block.lumaDestination = a;
                (*(portable.*shape.table))[index](&block);
                block.lumaDestination = b;
                (*(sse2.*shape.table))[index](&block);
                ASSERT_EQ(std::memcmp(a, b, 256), 0) << shape.name << " index " << index;
            }
}

} // namespace
} // namespace h264::test
