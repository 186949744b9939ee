#include "UiFixture.h"

#include "platform/mfc/Controls.h"
#include "platform/mfc/Dc.h"

#include <QImage>
#include <QWidget>

#include <set>

namespace {

class DrawTest : public UiTest {};

// A window that paints a picture through a memory context: the key colour of TransparentBlt lets the
// background through, the rest lands where the blit put it.
class Canvas : public CWnd {
public:
    CBitmap picture;

protected:
    BOOL OnEraseBkgnd(CDC* dc) override {
        RECT r;
        GetClientRect(&r);
        dc->FillSolidRect(r, RGB(0, 0, 0));
        return TRUE;
    }
    void OnPaint() override {
        CPaintDC dc(this);
        CDC memory;
        memory.CreateCompatibleDC(&dc);
        CBitmap* old = memory.SelectObject(&picture);
        dc.BitBlt(0, 0, 4, 4, &memory, 0, 0);
        dc.TransparentBlt(10, 0, 4, 4, &memory, 0, 0, 4, 4, RGB(255, 0, 255));
        dc.StretchBlt(20, 0, 8, 8, &memory, 0, 0, 4, 4);
        memory.SelectObject(old);
    }
};

TEST_F(DrawTest, BlitsPlaceTheirPixelsAndTransparentBlitSkipsTheKey) {
    Canvas canvas;
    std::vector<std::uint32_t> pixels(16, 0xFF00FF);
    pixels[0] = 0x00FF00;
    pixels[15] = 0x0000FF;
    ASSERT_TRUE(canvas.picture.SetPixels(4, 4, pixels.data(), 16));
    ASSERT_TRUE(canvas.CreateEx(0, L"Canvas", L"", WS_POPUP | WS_VISIBLE, RECT{0, 0, 40, 20}, nullptr, 0));
    const QImage shot = canvas.part()->face->grab().toImage();
    EXPECT_EQ(shot.pixel(0, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(shot.pixel(1, 1) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(shot.pixel(10, 0) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(shot.pixel(11, 1) & 0xFFFFFF, 0x000000u); // key: the black background shows
    EXPECT_EQ(shot.pixel(13, 3) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shot.pixel(27, 7) & 0xFFFFFF, 0x0000FFu); // stretched 2x
    EXPECT_EQ(shot.pixel(30, 0) & 0xFFFFFF, 0x000000u);
}

// A picture of two pixels, black and white, stretched to 16 x 1: whole pixels by default, the shades in
// between in HALFTONE mode.
TEST_F(DrawTest, HalftoneStretchingFiltersThePicture) {
    for (const int mode : {COLORONCOLOR, HALFTONE}) {
        SCOPED_TRACE(mode);
        const std::uint32_t two[2] = {0x000000, 0xFFFFFF};
        CBitmap source, target;
        ASSERT_TRUE(source.SetPixels(2, 1, two, 8));
        ASSERT_TRUE(target.CreateBitmap(16, 1));
        CDC from, to;
        from.CreateCompatibleDC(nullptr);
        to.CreateCompatibleDC(nullptr);
        from.SelectObject(&source);
        to.SelectObject(&target);
        EXPECT_EQ(to.SetStretchBltMode(mode), COLORONCOLOR);
        ASSERT_TRUE(to.StretchBlt(0, 0, 16, 1, &from, 0, 0, 2, 1));
        to.SelectObject(static_cast<CBitmap*>(nullptr));
        std::set<COLORREF> shades;
        for (int x = 0; x < 16; ++x)
            shades.insert(target.GetPixel(x, 0));
        EXPECT_EQ(target.GetPixel(0, 0), RGB(0, 0, 0));
        EXPECT_EQ(target.GetPixel(15, 0), RGB(255, 255, 255));
        if (mode == HALFTONE)
            EXPECT_GT(shades.size(), 4u);
        else
            EXPECT_EQ(shades.size(), 2u);
    }
}

TEST_F(DrawTest, TextIsMeasuredAndDrawnInsideItsRectangle) {
    CBitmap target;
    ASSERT_TRUE(target.CreateBitmap(120, 40, RGB(255, 255, 255)));
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    dc.SelectObject(&target);
    CFont font;
    font.CreateFont(14, L"Arial", true);
    dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
    RECT measure{0, 0, 120, 40};
    dc.DrawText(L"Login", &measure, DT_SINGLELINE | DT_CALCRECT);
    EXPECT_GT(measure.right, 20);
    EXPECT_LT(measure.right, 80);
    EXPECT_GE(measure.bottom, 14);
    RECT box{60, 10, 120, 30};
    dc.DrawText(L"Login", &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    dc.SelectObject(static_cast<CBitmap*>(nullptr));
    int dark = 0, outside = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (GetRValue(target.GetPixel(x, y)) < 128)
                (x >= 60 && y >= 10 && y < 30 ? dark : outside)++;
    EXPECT_GT(dark, 30);
    EXPECT_EQ(outside, 0);
}

} // namespace
