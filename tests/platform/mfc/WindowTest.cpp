#include "UiFixture.h"

#include "platform/mfc/Controls.h"
#include "platform/mfc/Region.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <thread>
#include <vector>

namespace {

// A dialog with a few controls of each kind, and one owner-drawn button it subclasses.
DialogTemplate sampleTemplate() {
    DialogTemplate t;
    t.id = 900;
    t.caption = L"Sample";
    t.cx = 200;
    t.cy = 100;
    t.items = {
        {L"Button", 1, 10, 80, 50, 14, WS_VISIBLE | BS_DEFPUSHBUTTON, L"OK"},
        {L"Button", 10, 10, 10, 40, 20, WS_VISIBLE | BS_OWNERDRAW, L""},
        {L"Static", 11, 60, 10, 100, 8, WS_VISIBLE, L"Label"},
        {L"Edit", 12, 60, 24, 100, 12, WS_VISIBLE | ES_AUTOHSCROLL, L""},
        {L"ComboBox", 13, 60, 40, 100, 60, WS_VISIBLE | CBS_DROPDOWN, L""},
        {L"SysIPAddress32", 14, 60, 56, 100, 12, 0, L""},
    };
    return t;
}

class OwnerButton : public CButton {
public:
    std::vector<UINT> states;

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override {
        states.push_back(item->itemState);
        item->pDC->FillSolidRect(item->rcItem,
                                 (item->itemState & ODS_SELECTED) ? RGB(255, 0, 0) : RGB(0, 0, 255));
    }
};

class SampleDialog : public CDialog {
public:
    SampleDialog() : CDialog(sampleTemplate()) {
        MapCommand(10, [this] { ++clicks; });
        MapMessage(WM_APP + 5, [this](WPARAM w, LPARAM) {
            posted.push_back(static_cast<int>(w));
            return LRESULT{0};
        });
    }
    BOOL OnInitDialog() override {
        button.SubclassDlgItem(10, this);
        return TRUE;
    }
    OwnerButton button;
    int clicks = 0;
    std::vector<int> posted;
    std::vector<UINT_PTR> timers;

protected:
    void OnTimer(UINT_PTR id) override { timers.push_back(id); }
};

class WindowTest : public UiTest {};

TEST_F(WindowTest, TemplateControlsTakeTheirClassesAndPixelRectangles) {
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    RECT client;
    dialog.GetClientRect(&client);
    EXPECT_EQ(client.right, 300);  // 200 dialog units at 6 pixels per 4 units
    EXPECT_EQ(client.bottom, 163); // 100 units at 13 pixels per 8
    EXPECT_NE(dynamic_cast<CComboBox*>(dialog.GetDlgItem(13)), nullptr);
    EXPECT_NE(dynamic_cast<CIPAddressCtrl*>(dialog.GetDlgItem(14)), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(10), &dialog.button);
    RECT r;
    dialog.GetDlgItem(12)->GetWindowRect(&r);
    dialog.ScreenToClient(&r);
    EXPECT_EQ(CRect(r), CRect(90, 39, 240, 59));
    EXPECT_FALSE(dialog.GetDlgItem(14)->GetStyle() & WS_VISIBLE);
    EXPECT_TRUE(dialog.GetDlgItem(11)->GetStyle() & WS_VISIBLE);
    EXPECT_EQ(dialog.GetDlgItem(11)->GetWindowText(), L"Label");
}

TEST_F(WindowTest, OwnerDrawnButtonClicksOnlyWhenReleasedOverItAndEnabled) {
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(SW_SHOW);
    CButton& b = dialog.button;
    b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(b.IsPushed());
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(dialog.clicks, 1);
    b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 5));
    EXPECT_FALSE(b.IsPushed());
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
    EXPECT_EQ(dialog.clicks, 1);
    b.EnableWindow(FALSE);
    b.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    b.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(dialog.clicks, 1);
    EXPECT_TRUE(b.GetStyle() & WS_DISABLED);
}

TEST_F(WindowTest, PostsFromWorkersAndTimersReachTheWindowThroughTheToolkitLoop) {
    platform::SetTimeScale(20.0);
    SampleDialog dialog;
    ASSERT_TRUE(dialog.Create());
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w)
        workers.emplace_back([hwnd = dialog.m_hWnd, w] {
            for (int i = 0; i < 50; ++i)
                PostMessage(hwnd, WM_APP + 5, static_cast<WPARAM>(w * 100 + i), 0);
        });
    for (auto& t : workers)
        t.join();
    dialog.SetTimer(7, 200, nullptr);
    EXPECT_TRUE(
        platform::mfc::PumpUiUntil([&] { return dialog.posted.size() == 200 && dialog.timers.size() >= 2; }));
    dialog.KillTimer(7);
    int last[4] = {-1, -1, -1, -1};
    for (int v : dialog.posted) {
        EXPECT_GT(v % 100, last[v / 100]);
        last[v / 100] = v % 100;
    }
    EXPECT_EQ(dialog.timers.front(), 7u);
    platform::SetTimeScale(1.0);
}

TEST_F(WindowTest, DestroyingTheDialogDestroysItsControlsAndTheirHandles) {
    auto dialog = std::make_unique<SampleDialog>();
    ASSERT_TRUE(dialog->Create());
    const HWND combo = dialog->GetDlgItem(13)->m_hWnd;
    const HWND button = dialog->button.m_hWnd;
    dialog->DestroyWindow();
    EXPECT_FALSE(IsWindow(combo));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_EQ(dialog->button.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandle(button), nullptr);
    EXPECT_FALSE(PostMessage(button, WM_APP, 0, 0));
    dialog.reset();
}

TEST_F(WindowTest, CaptionlessWindowIsDraggedByItsSurfaceAndSizedByItsCorner) {
    class Captionless : public CWnd {
    protected:
        LRESULT OnNcHitTest(POINT screen) override {
            RECT r;
            GetWindowRect(&r);
            if (screen.x >= r.right - 20 && screen.y >= r.bottom - 20)
                return HTBOTTOMRIGHT;
            return HTCAPTION;
        }
    } window;
    ASSERT_TRUE(
        window.CreateEx(0, L"Plain", L"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 300, 250}, nullptr, 0));
    QWidget* face = window.part()->face;
    auto press = [&](QPoint local, QPoint to) {
        QMouseEvent down(QEvent::MouseButtonPress, local, face->mapToGlobal(local), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(face, &down);
        const QPoint moved = local + to;
        QMouseEvent move(QEvent::MouseMove, moved, face->mapToGlobal(local) + to, Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(face, &move);
        QMouseEvent up(QEvent::MouseButtonRelease, moved, face->mapToGlobal(local) + to, Qt::LeftButton,
                       Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(face, &up);
    };
    press(QPoint(50, 50), QPoint(30, 20));
    RECT r;
    window.GetWindowRect(&r);
    EXPECT_EQ(r.left, 130);
    EXPECT_EQ(r.top, 120);
    press(QPoint(195, 145), QPoint(40, 10));
    window.GetWindowRect(&r);
    EXPECT_EQ(r.right - r.left, 240);
    EXPECT_EQ(r.bottom - r.top, 160);
}

TEST_F(WindowTest, RegionFromBitmapLeavesOutTheKeyColour) {
    CBitmap shape;
    ASSERT_TRUE(shape.CreateBitmap(8, 6, RGB(1, 254, 1)));
    std::vector<std::uint32_t> pixels(48, 0x01FE01); // 0x00RRGGBB of the key
    for (int y = 1; y < 5; ++y)
        for (int x = 2; x < 6; ++x)
            pixels[static_cast<std::size_t>(y * 8 + x)] = 0x336699;
    pixels[2 * 8 + 3] = 0x01FE01; // a hole
    ASSERT_TRUE(shape.SetPixels(8, 6, pixels.data(), 32));
    CRgn region;
    ASSERT_TRUE(region.CreateFromBitmap(shape, RGB(1, 254, 1)));
    EXPECT_TRUE(region.PtInRegion(2, 1));
    EXPECT_TRUE(region.PtInRegion(5, 4));
    EXPECT_FALSE(region.PtInRegion(3, 2));
    EXPECT_FALSE(region.PtInRegion(1, 1));
    EXPECT_FALSE(region.PtInRegion(2, 5));
    EXPECT_LE(region.rects().size(), 4u);
}

} // namespace
