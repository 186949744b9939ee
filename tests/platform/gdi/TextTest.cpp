#include "platform/win32/Text.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

struct InkBox {
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1, pixels = 0;
};

// A white 200 x 100 canvas with a selected font.
class TextCanvas : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateCompatibleBitmap(dc_, kWidth, kHeight);
        oldBitmap_ = SelectObject(dc_, bitmap_);
        clear(RGB(255, 255, 255));
    }
    void TearDown() override {
        SelectObject(dc_, oldBitmap_);
        if (oldFont_)
            SelectObject(dc_, oldFont_);
        DeleteObject(bitmap_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    void clear(COLORREF c) {
        RECT all{0, 0, kWidth, kHeight};
        HBRUSH brush = CreateSolidBrush(c);
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
    }
    void useFont(int height, int width, const wchar_t* face, LONG weight = FW_NORMAL) {
        if (oldFont_)
            SelectObject(dc_, oldFont_);
        DeleteObject(font_);
        LOGFONTW f{};
        f.lfHeight = height;
        f.lfWidth = width;
        f.lfWeight = weight;
        f.lfCharSet = DEFAULT_CHARSET;
        std::wcsncpy(f.lfFaceName, face, LF_FACESIZE - 1);
        font_ = CreateFontIndirectW(&f);
        ASSERT_NE(font_, nullptr);
        oldFont_ = SelectObject(dc_, font_);
        ASSERT_TRUE(GetTextMetricsW(dc_, &tm_));
    }
    // The pixels that are not `background`.
    InkBox ink(COLORREF background) const {
        InkBox box;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                if (GetPixel(dc_, x, y) != background) {
                    box.left = std::min(box.left, x);
                    box.right = std::max(box.right, x + 1);
                    box.top = std::min(box.top, y);
                    box.bottom = std::max(box.bottom, y + 1);
                    ++box.pixels;
                }
        return box;
    }
    int width(const std::wstring& text) const {
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size));
        return size.cx;
    }

    static constexpr int kWidth = 200, kHeight = 100;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    TEXTMETRICW tm_{};
};

TEST_F(TextCanvas, RequestedCellHeightAndAverageWidthAreHonoured) {
    struct Case {
        const wchar_t* face;
        int height, width;
    };
    const Case cases[] = {
        {L"Arial Black", 40, 20}, {L"Arial", 36, 0}, {L"Courier New", 24, 12}, {L"Tahoma", 13, 6}};
    for (const Case& c : cases) {
        useFont(c.height, c.width, c.face);
        EXPECT_EQ(tm_.tmHeight, c.height) << platform::ToUtf8(c.face);
        EXPECT_EQ(tm_.tmAscent + tm_.tmDescent, tm_.tmHeight);
        if (c.width) {
            EXPECT_EQ(tm_.tmAveCharWidth, c.width);
            // The average advance of a lower-case alphabet follows the requested width.
            const double average = width(L"abcdefghijklmnopqrstuvwxyz") / 26.0;
            EXPECT_NEAR(average, c.width, c.width * 0.25) << platform::ToUtf8(c.face);
        }
    }
    useFont(-30, 0, L"Arial"); // a negative height is the em height: the cell is taller
    EXPECT_GT(tm_.tmHeight, 30);
    EXPECT_EQ(tm_.tmHeight - tm_.tmInternalLeading, 30);
}

TEST_F(TextCanvas, TextLandsWhereItsMetricsSay) {
    useFont(40, 20, L"Arial Black");
    SetTextColor(dc_, RGB(0, 0, 0));
    SetBkMode(dc_, TRANSPARENT);
    const int x = 30, y = 20;
    ASSERT_TRUE(TextOutW(dc_, x, y, L"HH", 2));
    const InkBox box = ink(RGB(255, 255, 255));
    const int baseline = y + tm_.tmAscent;
    EXPECT_EQ(box.bottom, baseline); // capitals stand on the baseline
    EXPECT_GE(box.top, y);
    EXPECT_LT(box.top, baseline - tm_.tmAscent / 2);
    EXPECT_GE(box.left, x);
    EXPECT_LE(box.right, x + width(L"HH"));
    EXPECT_GT(box.right, x + width(L"H")); // the second H starts one advance on

    // Opaque: the cell (extent by cell height) takes the background colour.
    clear(RGB(255, 255, 255));
    SetBkMode(dc_, OPAQUE);
    SetBkColor(dc_, RGB(0, 0, 255));
    ASSERT_TRUE(TextOutW(dc_, x, y, L"HH", 2));
    EXPECT_EQ(GetPixel(dc_, x, y), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc_, x + width(L"HH") - 1, y + tm_.tmHeight - 1), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc_, x + width(L"HH"), y), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc_, x, y + tm_.tmHeight), RGB(255, 255, 255));
}

TEST_F(TextCanvas, HeavyFaceInksMoreThanRegular) {
    SetBkMode(dc_, TRANSPARENT);
    useFont(40, 20, L"Arial");
    TextOutW(dc_, 10, 10, L"Mute", 4);
    const int regular = ink(RGB(255, 255, 255)).pixels;
    clear(RGB(255, 255, 255));
    useFont(40, 20, L"Arial Black");
    TextOutW(dc_, 10, 10, L"Mute", 4);
    EXPECT_GT(ink(RGB(255, 255, 255)).pixels, regular * 5 / 4);
}

TEST_F(TextCanvas, DrawTextPlacesAndMeasures) {
    useFont(20, 0, L"Arial");
    SetBkMode(dc_, TRANSPARENT);
    RECT box{0, 0, 200, 100};
    EXPECT_EQ(DrawTextW(dc_, L"&File", -1, &box, DT_CALCRECT | DT_SINGLELINE), 20);
    EXPECT_EQ(box.right, width(L"File")); // the prefix mark takes no room
    RECT noPrefix{0, 0, 200, 100};
    DrawTextW(dc_, L"&File", -1, &noPrefix, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(noPrefix.right, width(L"&File"));

    RECT two{0, 0, 200, 100};
    EXPECT_EQ(DrawTextW(dc_, L"one\r\ntwo", -1, &two, DT_CALCRECT), 40);

    RECT centre{0, 0, 200, 100};
    ASSERT_GT(DrawTextW(dc_, L"I", 1, &centre, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
    const InkBox box1 = ink(RGB(255, 255, 255));
    EXPECT_NEAR((box1.left + box1.right) / 2.0, 100, 3);
    EXPECT_GE(box1.top, 40);
    EXPECT_LE(box1.bottom, 60);

    clear(RGB(255, 255, 255));
    RECT clipped{0, 0, 5, 100};
    DrawTextW(dc_, L"WWWW", -1, &clipped, DT_SINGLELINE);
    EXPECT_LE(ink(RGB(255, 255, 255)).right, 5);
}

} // namespace
