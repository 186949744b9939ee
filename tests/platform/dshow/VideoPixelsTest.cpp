// The program's YUV-to-RGB converter against colours of the standard and against the model written in the
// tests (both kernel sets, both byte orders), and the mixer bitmap laid over converted rows.
#include "platform/dshow/VideoPixels.h"
#include "tests/support/RgbModel.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using platform::dshow::OverlayRuns;
using platform::dshow::PixelKernels;

constexpr DWORD kUyvy = MakeFourCC('U', 'Y', 'V', 'Y');
constexpr DWORD kYuy2 = MakeFourCC('Y', 'U', 'Y', '2');

struct KernelSet {
    const char* name;
    const PixelKernels& kernels;
};

std::vector<KernelSet> kernelSets() {
    std::vector<KernelSet> sets{{"portable", platform::dshow::PortablePixelKernels()}};
    if (platform::dshow::Sse2PixelKernels().uyvy)
        sets.push_back({"SSE2", platform::dshow::Sse2PixelKernels()});
    if (platform::dshow::Avx2PixelKernels().uyvy)
        sets.push_back({"AVX2", platform::dshow::Avx2PixelKernels()});
    return sets;
}

// One pixel pair of a colour in the byte order asked for.
std::vector<BYTE> pair(bool uyvy, BYTE y, BYTE u, BYTE v) {
    return uyvy ? std::vector<BYTE>{u, y, v, y} : std::vector<BYTE>{y, u, y, v};
}

TEST(PixelKernelsTest, StudioRangeColoursComeOutAsTheStandardHasThem) {
    const struct {
        const char* name;
        BYTE y, u, v;
        std::uint32_t rgb;
    } colours[] = {{"black", 16, 128, 128, 0xFF000000u},      {"white", 235, 128, 128, 0xFFFFFFFFu},
                   {"grey", 126, 128, 128, 0xFF808080u},      {"red", 81, 90, 240, 0xFFFF0000u},
                   {"below black", 0, 128, 128, 0xFF000000u}, {"above white", 255, 128, 128, 0xFFFFFFFFu}};
    for (const KernelSet& set : kernelSets())
        for (const bool uyvy : {true, false})
            for (const auto& c : colours) {
                std::vector<BYTE> row;
                for (int i = 0; i < 16; ++i) { // 32 pixels: whole SSE2 and AVX2 steps, nothing left over
                    const auto p = pair(uyvy, c.y, c.u, c.v);
                    row.insert(row.end(), p.begin(), p.end());
                }
                std::uint32_t rgb[32] = {};
                (uyvy ? set.kernels.uyvy : set.kernels.yuy2)(row.data(), rgb, 32);
                for (std::uint32_t pixel : rgb)
                    ASSERT_EQ(pixel, c.rgb) << set.name << (uyvy ? " UYVY " : " YUY2 ") << c.name;
            }
}

TEST(PixelKernelsTest, BothKernelSetsGiveTheModelsPixelsAndWriteOnlyTheirRow) {
    std::mt19937 random(23);
    const int widths[] = {2, 4, 6, 8, 10, 14, 16, 18, 24, 30, 32, 34, 40, 46, 48, 352, 720};
    for (const KernelSet& set : kernelSets())
        for (const bool uyvy : {true, false})
            for (const int width : widths)
                for (const int fill : {-1, 0, 255}) { // random bytes, then the extremes
                    std::vector<BYTE> row(static_cast<size_t>(2 * width));
                    for (BYTE& b : row)
                        b = fill < 0 ? static_cast<BYTE>(random()) : static_cast<BYTE>(fill);
                    std::vector<std::uint32_t> rgb(static_cast<size_t>(width) + 4, 0x12345678u);
                    (uyvy ? set.kernels.uyvy : set.kernels.yuy2)(row.data(), rgb.data(), width);
                    const rgbmodel::Pixels expected =
                        rgbmodel::fromPacked(row.data(), width, 1, 2 * width, uyvy);
                    for (int x = 0; x < width; ++x)
                        ASSERT_EQ(rgb[static_cast<size_t>(x)], expected[static_cast<size_t>(x)])
                            << set.name << (uyvy ? " UYVY" : " YUY2") << " width " << width << " x " << x;
                    for (int x = width; x < width + 4; ++x)
                        ASSERT_EQ(rgb[static_cast<size_t>(x)], 0x12345678u) << set.name << " width " << width;
                }
}

TEST(PixelKernelsTest, PicturesConvertAtTheirPitchAndWhatDoesNotFitIsRefused) {
    std::vector<BYTE> rows(3 * 20, 0xEE); // three rows of four pixels, 20 bytes apart: padding of 12
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 2; ++i) {
            const auto p = pair(true, static_cast<BYTE>(16 + 100 * y), 128, 128);
            std::copy(p.begin(), p.end(), rows.begin() + y * 20 + 4 * i);
        }
    std::uint32_t rgb[12] = {};
    ASSERT_TRUE(platform::dshow::ConvertPackedPicture(kUyvy, 4, 3, 20, rows.data(), rgb, 4));
    EXPECT_EQ(rgb[0], rgbmodel::pixel(16, 128, 128));
    EXPECT_EQ(rgb[7], rgbmodel::pixel(116, 128, 128));
    EXPECT_EQ(rgb[11], rgbmodel::pixel(216, 128, 128));
    EXPECT_FALSE(platform::dshow::ConvertPackedPicture(kUyvy, 3, 3, 20, rows.data(), rgb, 4)) << "odd width";
    EXPECT_FALSE(platform::dshow::ConvertPackedPicture(kYuy2, 4, 3, 6, rows.data(), rgb, 4)) << "pitch";
    EXPECT_FALSE(
        platform::dshow::ConvertPackedPicture(MakeFourCC('Y', 'V', '1', '2'), 4, 3, 20, rows.data(), rgb, 4));
    EXPECT_FALSE(platform::dshow::ConvertPackedPicture(kUyvy, 4, 3, 20, nullptr, rgb, 4));
}

// A row of the picture after the overlay, from a picture of one colour.
std::vector<std::uint32_t> blended(const OverlayRuns& runs, int width, int y, std::uint32_t colour) {
    std::vector<std::uint32_t> row(static_cast<size_t>(width), colour);
    runs.BlendRow(y, row.data());
    return row;
}

TEST(OverlayRunsTest, KeyedPixelsLeaveThePictureAndTheOthersReplaceIt) {
    constexpr std::uint32_t grey = 0xFF404040u, W = 0xFFFFFFFFu, R = 0xFFFF0000u;
    platform::dshow::Overlay overlay;
    overlay.keyed = true;
    overlay.key = 0;
    // Two by two bitmap pixels (white, key / key, red) over the top right quarter of an 8 x 4 picture.
    overlay.bitmap = {2, 2, {0xFFFFFF, 0, 0, 0xFF0000}};
    overlay.left = 0.5f;
    overlay.bottom = 0.5f;
    OverlayRuns runs;
    runs.Prepare(overlay, 8, 4);
    ASSERT_TRUE(runs.PreparedFor(8, 4));
    EXPECT_EQ(blended(runs, 8, 0, grey),
              (std::vector<std::uint32_t>{grey, grey, grey, grey, W, W, grey, grey}));
    EXPECT_EQ(blended(runs, 8, 1, grey),
              (std::vector<std::uint32_t>{grey, grey, grey, grey, grey, grey, R, R}));
    EXPECT_EQ(blended(runs, 8, 2, grey), std::vector<std::uint32_t>(8, grey));

    overlay.alpha = 0.5f; // half way: 0x40 + (0xFF - 0x40) / 2
    runs.Prepare(overlay, 8, 4);
    EXPECT_EQ(blended(runs, 8, 0, grey)[4], 0xFF9F9F9Fu);
    EXPECT_EQ(blended(runs, 8, 1, grey)[7], 0xFF9F2020u);

    overlay.alpha = 0; // nothing to blend
    runs.Prepare(overlay, 8, 4);
    EXPECT_TRUE(runs.Empty());
    overlay.alpha = 1;
    overlay.keyed = false; // every pixel counts, the black ones too
    runs.Prepare(overlay, 8, 4);
    EXPECT_EQ(blended(runs, 8, 0, grey)[6], 0xFF000000u);
    EXPECT_FALSE(runs.PreparedFor(16, 4));
}

} // namespace
