#include "platform/gdi/Bmp.h"
#include "platform/gdi/Image.h"
#include "platform/win32/Text.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using platform::gdi::Dib;

// Builds a bitmap file from header fields, an optional palette or mask block and raw rows.
struct BmpBuilder {
    int headerSize = 40;
    int width = 2;
    int height = 2; // negative: top-down
    int bitCount = 24;
    std::uint32_t compression = BI_RGB;
    std::uint32_t coloursUsed = 0;
    std::vector<std::uint8_t> table; // palette entries or masks, after the header
    std::vector<std::uint8_t> pixels;

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> f(14 + static_cast<size_t>(headerSize), 0);
        auto put16 = [&f](size_t at, std::uint32_t v) {
            f[at] = static_cast<std::uint8_t>(v);
            f[at + 1] = static_cast<std::uint8_t>(v >> 8);
        };
        auto put32 = [&](size_t at, std::uint32_t v) {
            put16(at, v);
            put16(at + 2, v >> 16);
        };
        f[0] = 'B';
        f[1] = 'M';
        put32(14, static_cast<std::uint32_t>(headerSize));
        if (headerSize == 12) {
            put16(18, static_cast<std::uint32_t>(width));
            put16(20, static_cast<std::uint32_t>(height));
            put16(22, 1);
            put16(24, static_cast<std::uint32_t>(bitCount));
        } else {
            put32(18, static_cast<std::uint32_t>(width));
            put32(22, static_cast<std::uint32_t>(height));
            put16(26, 1);
            put16(28, static_cast<std::uint32_t>(bitCount));
            put32(30, compression);
            put32(46, coloursUsed);
        }
        f.insert(f.end(), table.begin(), table.end());
        put32(10, static_cast<std::uint32_t>(f.size()));
        f.insert(f.end(), pixels.begin(), pixels.end());
        put32(2, static_cast<std::uint32_t>(f.size()));
        return f;
    }
};

std::vector<std::uint8_t> palette(std::initializer_list<std::uint32_t> colours, size_t entrySize = 4) {
    std::vector<std::uint8_t> t;
    for (std::uint32_t c : colours) {
        t.push_back(static_cast<std::uint8_t>(c));
        t.push_back(static_cast<std::uint8_t>(c >> 8));
        t.push_back(static_cast<std::uint8_t>(c >> 16));
        if (entrySize == 4)
            t.push_back(0);
    }
    return t;
}

TEST(BmpTest, DecodesEveryUncompressedForm) {
    struct Case {
        const char* name;
        BmpBuilder bmp;
        std::vector<std::uint32_t> expected; // 2 x 2, top-down
    };
    const std::vector<std::uint32_t> pattern{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    std::vector<Case> cases;
    {
        BmpBuilder b;
        b.bitCount = 24; // bottom-up: the first stored row is the bottom one
        b.pixels = {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0};
        cases.push_back({"24-bit bottom-up", b, pattern});
    }
    {
        BmpBuilder b;
        b.bitCount = 32;
        b.height = -2;
        b.pixels = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
        cases.push_back({"32-bit top-down", b, pattern});
    }
    {
        BmpBuilder b;
        b.bitCount = 8;
        b.coloursUsed = 4;
        b.table = palette({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
        b.pixels = {2, 3, 0, 0, 0, 1, 0, 0};
        cases.push_back({"8-bit palette", b, pattern});
    }
    {
        BmpBuilder b;
        b.bitCount = 4;
        b.table = palette({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF});
        b.pixels = {0x23, 0, 0, 0, 0x01, 0, 0, 0};
        cases.push_back({"4-bit palette of 16 (4 given)", b, pattern});
    }
    {
        BmpBuilder b;
        b.bitCount = 1;
        b.coloursUsed = 2;
        b.table = palette({0x000000, 0xFFFFFF});
        b.pixels = {0x40, 0, 0, 0, 0x80, 0, 0, 0};
        cases.push_back({"1-bit", b, {0xFFFFFF, 0, 0, 0xFFFFFF}});
    }
    {
        BmpBuilder b;
        b.bitCount = 16; // 5:5:5
        b.pixels = {0x1F, 0x00, 0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03};
        cases.push_back({"16-bit 5:5:5", b, pattern});
    }
    {
        BmpBuilder b;
        b.bitCount = 16;
        b.compression = BI_BITFIELDS;
        b.table = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}; // 5:6:5
        b.pixels = {0x1F, 0x00, 0xFF, 0xFF, 0x00, 0xF8, 0xE0, 0x07};
        cases.push_back({"16-bit 5:6:5 bit fields", b, pattern});
    }
    {
        BmpBuilder b;
        b.headerSize = 12;
        b.bitCount = 8;
        b.table = palette({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, 3);
        b.table.resize(256 * 3, 0);
        b.pixels = {2, 3, 0, 0, 0, 1, 0, 0};
        cases.push_back({"core header", b, pattern});
    }
    for (const Case& c : cases) {
        const auto dib = platform::gdi::DecodeBmp(c.bmp.build());
        ASSERT_TRUE(dib) << c.name;
        EXPECT_EQ(dib->width, 2) << c.name;
        EXPECT_EQ(dib->height, 2) << c.name;
        EXPECT_EQ(dib->pixels, c.expected) << c.name;
    }
}

TEST(BmpTest, MalformedFilesAreRefused) {
    BmpBuilder good;
    good.pixels.assign(16, 0);
    ASSERT_TRUE(platform::gdi::DecodeBmp(good.build()));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto with = [&](const char* name, auto change) {
        BmpBuilder b = good;
        change(b);
        cases.push_back({name, b.build()});
    };
    with("pixels cut short", [](BmpBuilder& b) { b.pixels.resize(15); });
    with("huge width", [](BmpBuilder& b) { b.width = 0x7FFFFFFF; });
    with("zero height", [](BmpBuilder& b) { b.height = 0; });
    with("odd header size", [](BmpBuilder& b) { b.headerSize = 41; });
    with("run-length coded", [](BmpBuilder& b) { b.compression = BI_RLE8, b.bitCount = 8; });
    with("palette past the end", [](BmpBuilder& b) {
        b.bitCount = 8;
        b.coloursUsed = 200;
        b.pixels.assign(8, 0);
    });
    with("bit count 7", [](BmpBuilder& b) { b.bitCount = 7; });
    std::vector<std::uint8_t> offsetPastEnd = good.build();
    offsetPastEnd[10] = 0xFF;
    offsetPastEnd[11] = 0xFF;
    cases.push_back({"pixel offset past the end", offsetPastEnd});
    cases.push_back({"not a bitmap", {'P', 'K', 3, 4}});
    for (const Case& c : cases)
        EXPECT_FALSE(platform::gdi::DecodeBmp(c.bytes)) << c.name;
}

Dib gradient(int w, int h) {
    Dib d;
    d.width = w;
    d.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            d.pixels.push_back(static_cast<std::uint32_t>((x * 255 / w) << 16 | (y * 255 / h) << 8 | 0x40));
    return d;
}

TEST(ImageTest, SavedFileTakesTheEncoderOfItsExtension) {
    TempFolder folder;
    const Dib picture = gradient(64, 48);
    ASSERT_TRUE(
        platform::gdi::WriteBmpFile(platform::BackslashPath(folder / "source.bmp").c_str(), picture, 32));
    CImage image;
    ASSERT_EQ(image.Load(platform::BackslashPath(folder / "source.bmp").c_str()), S_OK);
    EXPECT_EQ(image.GetWidth(), 64);
    EXPECT_EQ(image.GetHeight(), 48);

    struct Case {
        const char* name;
        HRESULT result;
        char firstByte; // 'B' for a bitmap, '\xFF' for a JPEG
    };
    const Case cases[] = {{"a.bmp", S_OK, 'B'},        {"b.BMP", S_OK, 'B'}, {"c.jpg", S_OK, '\xFF'},
                          {"d.JpEg", S_OK, '\xFF'},    {"e.png", E_FAIL, 0}, {"noextension", E_FAIL, 0},
                          {"dir.jpg\\file", E_FAIL, 0}};
    for (const Case& c : cases) {
        const std::wstring path = platform::BackslashPath(folder.root()) + L"\\" + platform::FromUtf8(c.name);
        EXPECT_EQ(image.Save(path.c_str()), c.result) << c.name;
        if (c.result == S_OK) {
            EXPECT_EQ(folder.read(c.name)[0], c.firstByte) << c.name;
        }
    }
    const std::string bmp = folder.read("a.bmp");
    const auto back =
        platform::gdi::DecodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(bmp.data()), bmp.size()));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, picture.pixels);
    const std::string jpeg = folder.read("c.jpg");
    const auto decoded =
        platform::gdi::DecodeJpeg(std::span(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size()));
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->pixels.size(), picture.pixels.size());
    int worst = 0;
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        for (int shift = 0; shift <= 16; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>((decoded->pixels[i] >> shift) & 0xFF) -
                                             static_cast<int>((picture.pixels[i] >> shift) & 0xFF)));
    EXPECT_LE(worst, 12);

    CImage reloaded; // the JPEG loads through the same class
    EXPECT_EQ(reloaded.Load(platform::BackslashPath(folder / "c.jpg").c_str()), S_OK);
    EXPECT_EQ(reloaded.GetWidth(), 64);
    EXPECT_EQ(reloaded.Load(platform::BackslashPath(folder / "absent.bmp").c_str()), E_FAIL);
    EXPECT_TRUE(reloaded.IsNull());
    EXPECT_EQ(reloaded.Save(platform::BackslashPath(folder / "x.bmp").c_str()), E_FAIL);
}

TEST(ImageTest, LoadImageMakesADibSectionAndScales) {
    TempFolder folder;
    ASSERT_TRUE(platform::gdi::WriteBmpFile(platform::BackslashPath(folder / "skin.bmp").c_str(),
                                            gradient(8, 4), 24));
    HBITMAP same = static_cast<HBITMAP>(LoadImageW(
        nullptr, platform::BackslashPath(folder / "skin.bmp").c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(same, nullptr);
    const auto pixels = platform::gdi::ReadBitmap(same);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->pixels, gradient(8, 4).pixels);
    HBITMAP scaled = static_cast<HBITMAP>(LoadImageW(
        nullptr, platform::BackslashPath(folder / "skin.bmp").c_str(), IMAGE_BITMAP, 16, 8, LR_LOADFROMFILE));
    BITMAP info{};
    ASSERT_TRUE(GetObjectW(scaled, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 16);
    EXPECT_EQ(info.bmHeight, 8);
    EXPECT_EQ(LoadImageW(nullptr, L"absent.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    DeleteObject(same);
    DeleteObject(scaled);
}

} // namespace
