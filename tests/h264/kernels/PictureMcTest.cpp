// The kernels that predict a whole macroblock straight into the picture give the samples of the work-buffer
// kernels they stand in for (two 8x16 luma calls; two 8x4 chroma calls), in picture rows, read only their
// source area and write nothing but the macroblock; and the SSE2 set gives the portable set's bytes.
#include "tests/h264/kernels/GuardedArea.h"
#include "tests/h264/kernels/KernelTestSupport.h"

#include <vector>

namespace h264::test {
namespace {

const PictureMcKernels& pictureSet(const std::string& name) {
    return name == "sse2" ? Sse2PictureMc : PortablePictureMc;
}

constexpr uint8_t kUntouched = 0xC3;

// A picture plane with a frame around the macroblock: `size` x `size` samples at (3, 2) of rows `stride`
// apart.
struct PicturePlane {
    int size, stride;
    std::vector<uint8_t> bytes;

    PicturePlane(int size, int stride) : size(size), stride(stride), bytes(stride * (size + 4), kUntouched) {}
    uint8_t* macroblock() { return bytes.data() + 2 * stride + 3; }
    // Every byte: the expected sample inside the macroblock (raster, size per row), kUntouched outside.
    void expectHolds(const uint8_t* expected, const std::string& what) const {
        for (int i = 0; i < int(bytes.size()); ++i) {
            const int x = i % stride - 3, y = i / stride - 2;
            const bool inside = x >= 0 && x < size && y >= 0 && y < size;
            ASSERT_EQ(bytes[i], inside ? expected[y * size + x] : kUntouched) << what << " byte " << i;
        }
    }
};

// The 16x16 luma prediction of the work-buffer kernels, in raster order.
std::vector<uint8_t> workBufferLuma(const H264KernelTable& k, int index, const uint8_t* area, int stride) {
    uint8_t work[256];
    InterPredBlock block{};
    block.lumaStride = stride;
    for (int half = 0; half < 2; ++half) {
        block.lumaSource = const_cast<uint8_t*>(area) + 8 * half;
        block.lumaDestination = work + 64 * half;
        (*k.lumaQpel8x16)[index](&block);
    }
    std::vector<uint8_t> raster(256);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            raster[16 * y + x] = work[((y >> 3) * 2 + (x >> 3)) * 64 + (y & 7) * 8 + (x & 7)];
    return raster;
}

void checkLuma(const H264KernelTable& k, const PictureMcKernels& picture, int index, const uint8_t* area,
               int stride) {
    const std::vector<uint8_t> expected = workBufferLuma(k, index, area, stride);
    PicturePlane plane(16, 29);
    InterPredBlock block{};
    block.lumaSource = const_cast<uint8_t*>(area);
    block.lumaStride = stride;
    block.lumaDestination = plane.macroblock();
    (*picture.luma)[index](&block, plane.stride);
    plane.expectHolds(expected.data(), "luma index " + std::to_string(index));
}

// Cb and Cr of the work-buffer kernels (8x8 each, raster).
std::vector<uint8_t> workBufferChroma(const H264KernelTable& k, int kase, const InterPredBlock& source) {
    std::vector<uint8_t> out(128);
    InterPredBlock block = source;
    for (int half = 0; half < 2; ++half) {
        block.cbSource = source.cbSource + 4 * half * source.chromaStride;
        block.crSource = source.crSource + 4 * half * source.chromaStride;
        block.cbDestination = out.data() + 32 * half;
        block.crDestination = out.data() + 64 + 32 * half;
        (*k.chromaMc8)[kase](&block);
    }
    return out;
}

void checkChroma(const H264KernelTable& k, const PictureMcKernels& picture, int xFrac, int yFrac,
                 uint8_t* cbArea, uint8_t* crArea, int stride) {
    const int kase = (xFrac != 0) + 2 * (yFrac != 0);
    InterPredBlock block{};
    block.cbSource = cbArea;
    block.crSource = crArea;
    block.chromaStride = stride;
    block.xFracC = static_cast<int16_t>(xFrac);
    block.yFracC = static_cast<int16_t>(yFrac);
    const std::vector<uint8_t> expected = workBufferChroma(k, kase, block);
    PicturePlane cb(8, 13), cr(8, 13);
    block.cbDestination = cb.macroblock();
    block.crDestination = cr.macroblock();
    (*picture.chroma)[kase](&block, cb.stride);
    const std::string what = "chroma fractions " + std::to_string(xFrac) + "," + std::to_string(yFrac);
    cb.expectHolds(expected.data(), what + " Cb");
    cr.expectHolds(expected.data() + 64, what + " Cr");
}

class PictureMcTest : public KernelSetTest {
protected:
    const PictureMcKernels& picture = pictureSet(GetParam());
};

TEST_P(PictureMcTest, LumaEqualsTheWorkBufferKernelsReadingOnlyItsArea) {
    Rng rng(40);
    for (int index = 0; index < 16; ++index)
        for (Style style : {Style::Random, Style::Extremes, Style::Smooth})
            for (auto side : {GuardedArea::Side::Before, GuardedArea::Side::After}) {
                GuardedArea area(16 + (index / 4 ? 5 : 0), 16 + (index % 4 ? 5 : 0), side);
                rng.fill(area.data(), area.size(), style);
                checkLuma(k, picture, index, area.data(), area.stride());
            }
}

TEST_P(PictureMcTest, LumaFromAWidePlaneAndFlatAreas) {
    Rng rng(41);
    std::vector<uint8_t> plane(64 * 26);
    for (int index = 0; index < 16; ++index)
        for (int flat : {0, 255, -1}) {
            if (flat < 0)
                rng.fill(plane.data(), static_cast<int>(plane.size()));
            else
                std::fill(plane.begin(), plane.end(), static_cast<uint8_t>(flat));
            checkLuma(k, picture, index, plane.data() + 5, 64);
        }
}

TEST_P(PictureMcTest, ChromaEqualsTheWorkBufferKernelsReadingOnlyItsArea) {
    Rng rng(42);
    for (int xFrac = 0; xFrac < 8; ++xFrac)
        for (int yFrac = 0; yFrac < 8; ++yFrac)
            for (Style style : {Style::Random, Style::Extremes})
                for (auto side : {GuardedArea::Side::Before, GuardedArea::Side::After}) {
                    const int columns = 8 + (xFrac ? 1 : 0), rows = 8 + (yFrac ? 1 : 0);
                    GuardedArea cb(columns, rows, side), cr(columns, rows, side);
                    rng.fill(cb.data(), cb.size(), style);
                    rng.fill(cr.data(), cr.size(), style);
                    checkChroma(k, picture, xFrac, yFrac, cb.data(), cr.data(), cb.stride());
                }
}

VELOQ_KERNEL_SETS(PictureMcTest);

using PictureMcDiffTest = KernelDiffTest;

TEST_F(PictureMcDiffTest, Sse2EqualsPortableForEveryEntry) {
    Rng rng(43);
    std::vector<uint8_t> source(48 * 32), cbSource(24 * 12), crSource(24 * 12);
    for (int iteration = 0; iteration < 200; ++iteration) {
        const Style style = static_cast<Style>(iteration % 3);
        rng.fill(source.data(), static_cast<int>(source.size()), style);
        rng.fill(cbSource.data(), static_cast<int>(cbSource.size()), style);
        rng.fill(crSource.data(), static_cast<int>(crSource.size()), style);
        for (int index = 0; index < 16; ++index) {
            PicturePlane a(16, 32), b(16, 32);
            InterPredBlock block{};
            block.lumaSource = source.data() + rng.range(0, 8);
            block.lumaStride = 48;
            block.lumaDestination = a.macroblock();
            (*PortablePictureMc.luma)[index](&block, a.stride);
            block.lumaDestination = b.macroblock();
            (*Sse2PictureMc.luma)[index](&block, b.stride);
            ASSERT_EQ(a.bytes, b.bytes) << "luma index " << index;
        }
        for (int kase = 0; kase < 4; ++kase) {
            PicturePlane cb[2] = {{8, 16}, {8, 16}}, cr[2] = {{8, 16}, {8, 16}};
            InterPredBlock block{};
            block.cbSource = cbSource.data() + rng.range(0, 4);
            block.crSource = crSource.data() + rng.range(0, 4);
            block.chromaStride = 24;
            block.xFracC = static_cast<int16_t>(kase & 1 ? rng.range(1, 7) : 0);
            block.yFracC = static_cast<int16_t>(kase & 2 ? rng.range(1, 7) : 0);
            const PictureMcKernels* sets[2] = {&PortablePictureMc, &Sse2PictureMc};
            for (int set = 0; set < 2; ++set) {
                block.cbDestination = cb[set].macroblock();
                block.crDestination = cr[set].macroblock();
                (*sets[set]->chroma)[kase](&block, cb[set].stride);
            }
            ASSERT_EQ(cb[0].bytes, cb[1].bytes) << "Cb case " << kase;
            ASSERT_EQ(cr[0].bytes, cr[1].bytes) << "Cr case " << kase;
        }
    }
}

} // namespace
} // namespace h264::test
