#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A memory DC with its own 32-bit bitmap, filled from a table of 0x00RRGGBB pixels.
class Canvas {
public:
    Canvas(int w, int h, std::uint32_t fillPixel = 0) : width(w), height(h) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        old = SelectObject(dc, bitmap);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                SetPixel(dc, x, y, platform::gdi::ToColorRef(fillPixel));
    }
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::uint32_t at(int x, int y) const { return platform::gdi::ToPixel(GetPixel(dc, x, y)); }
    std::vector<std::uint32_t> row(int y) const {
        std::vector<std::uint32_t> r;
        for (int x = 0; x < width; ++x)
            r.push_back(at(x, y));
        return r;
    }
    int width, height;
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ old;
};

// A 4 x 1 source: pixels 1, 2, 3, 4.
Canvas source4() {
    Canvas c(4, 1);
    for (int x = 0; x < 4; ++x)
        SetPixel(c.dc, x, 0, platform::gdi::ToColorRef(static_cast<std::uint32_t>(x + 1)));
    return c;
}

using Row = std::vector<std::uint32_t>;

TEST(BlitTest, CopiesStretchesMirrorsAndClips) {
    struct Case {
        const char* name;
        int x, w, sx, sw; // one row: destination x and width, source x and width
        Row expected;     // the 8-pixel destination row, background 0xAA
    };
    const Case cases[] = {
        {"copy", 2, 4, 0, 4, {0xAA, 0xAA, 1, 2, 3, 4, 0xAA, 0xAA}},
        {"copy clipped left", -2, 4, 0, 4, {3, 4, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {"copy clipped right", 6, 4, 0, 4, {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 1, 2}},
        {"stretch twice", 0, 8, 0, 4, {1, 1, 2, 2, 3, 3, 4, 4}},
        {"shrink half", 0, 2, 0, 4, {1, 3, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
        {"mirror", 4, -4, 0, 4, {4, 3, 2, 1, 0xAA, 0xAA, 0xAA, 0xAA}},
        {"source past its edge", 0, 4, 2, 4, {3, 4, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}},
    };
    Canvas src = source4();
    for (const Case& c : cases) {
        Canvas dst(8, 1, 0xAA);
        if (c.w == c.sw)
            EXPECT_TRUE(BitBlt(dst.dc, c.x, 0, c.w, 1, src.dc, c.sx, 0, SRCCOPY)) << c.name;
        else
            EXPECT_TRUE(StretchBlt(dst.dc, c.x, 0, c.w, 1, src.dc, c.sx, 0, c.sw, 1, SRCCOPY)) << c.name;
        EXPECT_EQ(dst.row(0), c.expected) << c.name;
    }
}

TEST(BlitTest, RasterOperationsAndTheTransparentKey) {
    Canvas src(2, 1);
    SetPixel(src.dc, 0, 0, RGB(0xFF, 0x00, 0xFF)); // the key
    SetPixel(src.dc, 1, 0, RGB(0x0F, 0xF0, 0x33));
    const std::uint32_t s = 0x0FF033, d = 0x808080;
    const struct {
        DWORD rop;
        std::uint32_t expected;
    } rops[] = {{SRCAND, d & s}, {SRCPAINT, d | s},    {SRCINVERT, d ^ s}, {DSTINVERT, ~d & 0xFFFFFF},
                {BLACKNESS, 0},  {WHITENESS, 0xFFFFFF}};
    for (const auto& r : rops) {
        Canvas dst(2, 1, d);
        EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, r.rop)) << std::hex << r.rop;
        EXPECT_EQ(dst.at(1, 0), r.expected) << std::hex << r.rop;
    }
    Canvas dst(4, 1, d);
    EXPECT_TRUE(TransparentBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, 2, 1, RGB(0xFF, 0x00, 0xFF)));
    EXPECT_EQ(dst.row(0), (Row{d, d, s, s}));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 0x12345678)); // no such operation
}

TEST(BlitTest, FillsFramesAndPixelBounds) {
    Canvas c(5, 4, 0);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT frame{0, 0, 5, 4};
    EXPECT_TRUE(FrameRect(c.dc, &frame, red));
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    RECT inside{1, 1, 9, 3}; // clipped at the right edge
    EXPECT_TRUE(FillRect(c.dc, &inside, green));
    EXPECT_EQ(c.row(0), (Row{0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}));
    EXPECT_EQ(c.row(1), (Row{0xFF0000, 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00}));
    EXPECT_EQ(c.row(3), (Row{0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000}));
    EXPECT_TRUE(FillRect(c.dc, &frame, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
    EXPECT_EQ(c.at(2, 2), 0x00FF00u);
    EXPECT_EQ(GetPixel(c.dc, 5, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(c.dc, -1, 0, 0), CLR_INVALID);
    DeleteObject(red);
    DeleteObject(green);
    EXPECT_FALSE(FillRect(c.dc, &frame, red)); // a deleted brush is refused
}

TEST(BitmapTest, DibSectionRowOrderAndGetDIBits) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bottomUp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bottomUp, nullptr);
    auto* p = static_cast<std::uint32_t*>(bits);
    p[0] = 0x111111; // memory row 0 is the bottom row
    p[2] = 0x222222;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bottomUp);
    EXPECT_EQ(GetPixel(dc, 0, 1), platform::gdi::ToColorRef(0x111111));
    EXPECT_EQ(GetPixel(dc, 0, 0), platform::gdi::ToColorRef(0x222222));

    BITMAPINFO query{};
    query.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    EXPECT_NE(GetDIBits(dc, bottomUp, 0, 2, nullptr, &query, DIB_RGB_COLORS), 0);
    EXPECT_EQ(query.bmiHeader.biBitCount, 32);
    query.bmiHeader.biHeight = -2; // ask for top-down rows
    std::uint32_t rows[4] = {};
    EXPECT_EQ(GetDIBits(dc, bottomUp, 0, 2, rows, &query, DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows[0], 0x222222u);
    EXPECT_EQ(rows[2], 0x111111u);

    BITMAP described{};
    EXPECT_EQ(GetObjectW(bottomUp, sizeof described, &described), static_cast<int>(sizeof described));
    EXPECT_EQ(described.bmWidth, 2);
    EXPECT_EQ(described.bmBits, bits);
    // Deleted while selected: the DC keeps drawing into it until it is deselected.
    EXPECT_TRUE(DeleteObject(bottomUp));
    EXPECT_NE(SetPixel(dc, 1, 1, RGB(1, 2, 3)), CLR_INVALID);
    SelectObject(dc, old);
    DeleteDC(dc);

    info.bmiHeader.biBitCount = 8;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

} // namespace
