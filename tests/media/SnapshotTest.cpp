#include "GraphFixtures.h"

#include "media/AvGraph.h"
#include "media/GraphHelpers.h"
#include "media/Snapshot.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/Bmp.h"
#include "platform/gdi/Image.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Text.h"

#include "platform/dshow/VideoRendererHooks.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

using namespace testfilters;
using platform::ComPtr;

// This process takes its snapshots through a temporary folder of its own: these tests remove the shared
// temporary file and plant a link in its place, which must not reach the snapshots that tests in other
// processes take at the same time.
struct OwnTemporaryFolder {
    OwnTemporaryFolder() {
        if (const char* made = ::mkdtemp(pattern)) {
            folder = made;
            ::setenv("XDG_RUNTIME_DIR", made, 1);
        }
    }
    ~OwnTemporaryFolder() {
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ignored);
    }
    char pattern[32] = "/tmp/veloq-snapshot-XXXXXX";
    std::filesystem::path folder;
};
const OwnTemporaryFolder ownTemporaryFolder;

TEST(SnapshotHeaderTest, CountsPaletteMasksAndPixels) {
    struct Case {
        const char* name;
        BITMAPINFOHEADER info;
        DWORD fileSize, offset;
    };
    auto info = [](DWORD size, LONG w, LONG h, WORD bits, DWORD compression, DWORD sizeImage, DWORD used) {
        return BITMAPINFOHEADER{size, w, h, 1, bits, compression, sizeImage, 0, 0, used, 0};
    };
    const Case cases[] = {
        {"32-bit 720 x 576", info(40, 720, 576, 32, BI_RGB, 1658880, 0), 1658934, 54},
        {"8-bit, 256 colours used", info(40, 16, 16, 8, BI_RGB, 256, 256), 14 + 40 + 1024 + 256, 1078},
        {"8-bit, colours used 0: the full table", info(40, 16, 16, 8, BI_RGB, 256, 0), 14 + 40 + 1024 + 256,
         1078},
        {"4-bit with 3 colours", info(40, 8, 2, 4, BI_RGB, 8, 3), 14 + 40 + 12 + 8, 66},
        {"16-bit bit fields", info(40, 4, 4, 16, BI_BITFIELDS, 32, 0), 14 + 40 + 12 + 32, 66},
        {"24-bit, no image size: rows of 32-bit multiples", info(40, 3, -2, 24, BI_RGB, 0, 0), 14 + 40 + 24,
         54},
        {"V5 header holds its masks", info(124, 2, 2, 32, BI_BITFIELDS, 16, 0), 14 + 124 + 16, 138},
    };
    for (const Case& c : cases) {
        BITMAPFILEHEADER header{};
        DWORD image = 0;
        ASSERT_TRUE(BuildSnapshotFileHeader(c.info, &header, &image)) << c.name;
        // The packed fields are read into values: no reference may bind to them.
        const WORD type = header.bfType, reserved = header.bfReserved1 | header.bfReserved2;
        const DWORD size = header.bfSize, offset = header.bfOffBits;
        EXPECT_EQ(type, 0x4D42) << c.name;
        EXPECT_EQ(size, c.fileSize) << c.name;
        EXPECT_EQ(offset, c.offset) << c.name;
        EXPECT_EQ(image, c.fileSize - 14) << c.name;
        EXPECT_EQ(reserved, 0) << c.name;
    }
    BITMAPFILEHEADER header{};
    DWORD image = 0;
    EXPECT_FALSE(BuildSnapshotFileHeader(info(12, 2, 2, 24, BI_RGB, 0, 0), &header, &image));
    EXPECT_FALSE(BuildSnapshotFileHeader(info(40, 0, 2, 24, BI_RGB, 0, 0), &header, &image));
    EXPECT_FALSE(BuildSnapshotFileHeader(info(40, 2, 2, 8, BI_RGB, 0, 300), &header, &image));
    EXPECT_FALSE(BuildSnapshotFileHeader(info(40, 65536, 65536, 32, BI_RGB, 0, 0), &header, &image));
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(holder_.CreateGraph(), S_OK); }
    void TearDown() override {
        holder_.Stop();
        platform::dshow::SetVmr9CreationFails(false);
    }
    // The renderer of the class showing one UYVY picture.
    void show(REFCLSID renderer) {
        ASSERT_EQ(AddFilterByClsid(holder_.GetGraph(), renderer, L"renderer"), S_OK);
        auto* source = TestSource::make({{mediatest::uyvyType(kWidth, kHeight)}});
        holder_.GetGraph()->AddFilter(source, L"source");
        source->Release();
        source->pin(0)->bufferSize = kWidth * 2 * kHeight;
        IPin* in = nullptr;
        ASSERT_EQ(FindFilterPin(holder_.GetGraph(), L"renderer", nullptr, 1, &in), S_OK);
        ASSERT_EQ(ConnectPinsDirect(holder_.GetGraph(), source->pin(0), in), S_OK);
        ASSERT_EQ(holder_.Run(), S_OK);
        ASSERT_EQ(source->pin(0)->deliver(0, 1, mediatest::uyvyPattern(kWidth, kHeight)), S_OK);
    }
    // The renderer's own image, top-down.
    platform::gdi::Dib rendererImage() {
        BYTE* dib = nullptr;
        ComPtr<IVMRWindowlessControl9> nine;
        ComPtr<IVMRWindowlessControl> seven;
        if (SUCCEEDED(FindGraphInterface(holder_.GetGraph(), IID_IVMRWindowlessControl9,
                                         nine.ReleaseAndGetVoidAddressOf())))
            nine->GetCurrentImage(&dib);
        else if (SUCCEEDED(FindGraphInterface(holder_.GetGraph(), IID_IVMRWindowlessControl,
                                              seven.ReleaseAndGetVoidAddressOf())))
            seven->GetCurrentImage(&dib);
        platform::gdi::Dib image;
        image.width = kWidth;
        image.height = kHeight;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                std::uint32_t p;
                std::memcpy(&p, dib + 40 + ((kHeight - 1 - y) * kWidth + x) * 4, 4);
                image.pixels.push_back(p & 0xFFFFFF);
            }
        CoTaskMemFree(dib);
        return image;
    }
    std::wstring path(const char* name) const { return platform::BackslashPath(folder_ / name); }
    std::vector<std::uint8_t> bytes(const char* name) const {
        const std::string s = folder_.read(name);
        return std::vector<std::uint8_t>(s.begin(), s.end());
    }
    static std::filesystem::path temporaryFile() {
        wchar_t folder[1024];
        GetTempPathW(1024, folder);
        return platform::NativePath(std::wstring(folder) + L"__tmp_.bmp");
    }

    static constexpr int kWidth = 64, kHeight = 48;
    KQ_AV_Graph holder_;
    TempFolder folder_;
};

TEST_F(SnapshotTest, BitmapAndJpegDecodeBackToTheRenderersImage) {
    for (const CLSID* renderer : {&CLSID_VideoMixingRenderer9, &CLSID_VideoMixingRenderer}) {
        RemoveAllFilters(holder_.GetGraph());
        show(*renderer);
        const platform::gdi::Dib expected = rendererImage();
        ASSERT_EQ(holder_.SaveSnapshot(path("shot.bmp").c_str()), S_OK);
        ASSERT_EQ(holder_.SaveSnapshot(path("shot.JPG").c_str()), S_OK);

        const auto bmp = platform::gdi::DecodeBmp(bytes("shot.bmp"));
        ASSERT_TRUE(bmp);
        EXPECT_EQ(bmp->pixels, expected.pixels);
        const auto jpeg = platform::gdi::DecodeJpeg(bytes("shot.JPG"));
        ASSERT_TRUE(jpeg);
        ASSERT_EQ(jpeg->pixels.size(), expected.pixels.size());
        double error = 0;
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            for (int shift = 0; shift <= 16; shift += 8)
                error += std::abs(static_cast<int>((jpeg->pixels[i] >> shift) & 0xFF) -
                                  static_cast<int>((expected.pixels[i] >> shift) & 0xFF));
        EXPECT_LT(error / (3.0 * expected.pixels.size()), 4.0); // a close likeness, as JPEG keeps

        // Both came through the same temporary bitmap: header, info header, the 32-bit pixels.
        std::ifstream temporary(temporaryFile(), std::ios::binary);
        const std::string file((std::istreambuf_iterator<char>(temporary)), {});
        ASSERT_EQ(file.size(), 14u + 40 + kWidth * kHeight * 4);
        BITMAPFILEHEADER header;
        std::memcpy(&header, file.data(), 14);
        const DWORD offset = header.bfOffBits, size = header.bfSize;
        EXPECT_EQ(offset, 54u);
        EXPECT_EQ(size, file.size());
    }
}

TEST_F(SnapshotTest, FailuresWriteNothingWhereTheyShouldNot) {
    EXPECT_EQ(holder_.SaveSnapshot(path("none.bmp").c_str()), E_FAIL); // no renderer
    EXPECT_FALSE(folder_.exists("none.bmp"));
    ASSERT_EQ(AddFilterByClsid(holder_.GetGraph(), CLSID_VideoMixingRenderer9, L"idle"), S_OK);
    EXPECT_EQ(holder_.SaveSnapshot(path("none.bmp").c_str()), E_FAIL); // no picture yet
    EXPECT_FALSE(folder_.exists("none.bmp"));
    RemoveAllFilters(holder_.GetGraph());

    show(CLSID_VideoMixingRenderer9);
    std::filesystem::remove(temporaryFile());
    EXPECT_EQ(holder_.SaveSnapshot(path("shot.png").c_str()), E_FAIL); // no encoder claims .png
    EXPECT_FALSE(folder_.exists("shot.png"));
    EXPECT_TRUE(std::filesystem::exists(temporaryFile())); // written all the same

    // A link in the temporary file's place is never followed.
    folder_.write("victim", "untouched");
    std::filesystem::remove(temporaryFile());
    std::filesystem::create_symlink(folder_ / "victim", temporaryFile());
    EXPECT_EQ(holder_.SaveSnapshot(path("shot.bmp").c_str()), E_FAIL);
    EXPECT_EQ(folder_.read("victim"), "untouched");
    EXPECT_FALSE(folder_.exists("shot.bmp"));
    std::filesystem::remove(temporaryFile());
    EXPECT_EQ(holder_.SaveSnapshot(path("shot.bmp").c_str()), S_OK);
}

} // namespace
