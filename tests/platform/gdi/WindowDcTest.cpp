#include "platform/gdi/WindowDc.h"
#include "platform/win32/Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class WindowDcTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
        ASSERT_TRUE(platform::gdi::SetWindowClientSize(window_, 8, 4));
        platform::gdi::SetLayerObserver(window_, [this](HWND, const RECT& r) {
            std::lock_guard lock(mutex_);
            changes_.push_back(r);
        });
    }
    void TearDown() override {
        platform::gdi::SetLayerObserver(window_, {});
        DestroyWindow(window_);
    }
    std::uint32_t layerAt(int x, int y) {
        std::uint32_t value = 0;
        EXPECT_TRUE(platform::gdi::ReadLayer(
            window_, [&](const std::uint32_t* p, int w, int) { value = p[y * w + x]; }));
        return value;
    }
    HWND window_ = nullptr;
    std::mutex mutex_;
    std::vector<RECT> changes_;
};

TEST_F(WindowDcTest, DrawingFromAnotherThreadLandsInTheLayerOpaque) {
    RECT client{};
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.right, 8);
    EXPECT_EQ(client.bottom, 4);
    EXPECT_EQ(layerAt(1, 1), 0u); // transparent until drawn on

    // The window's own thread (this one) never pumps meanwhile: drawing needs no help from it.
    std::thread painter([this] {
        HDC dc = GetDC(window_);
        ASSERT_NE(dc, nullptr);
        HBRUSH brush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
        RECT r{1, 1, 3, 2};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EXPECT_EQ(ReleaseDC(window_, dc), 1);
    });
    painter.join();
    EXPECT_EQ(layerAt(1, 1), 0xFF102030u);
    EXPECT_EQ(layerAt(3, 1), 0u);
    {
        std::lock_guard lock(mutex_);
        ASSERT_EQ(changes_.size(), 1u);
        EXPECT_EQ(changes_[0].left, 1);
        EXPECT_EQ(changes_[0].right, 3);
    }

    EXPECT_TRUE(InvalidateRect(window_, nullptr, TRUE)); // erase: transparent again
    EXPECT_EQ(layerAt(1, 1), 0u);
    EXPECT_EQ(changes_.size(), 2u);

    // A memory DC's picture blitted onto the window, white keyed out, as the display draws into it.
    HDC window = GetDC(window_);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, 8, 4);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, 8, 4};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetPixel(memory, 5, 2, RGB(0, 0xFF, 0));
    EXPECT_TRUE(TransparentBlt(window, 0, 0, 8, 4, memory, 0, 0, 8, 4, RGB(255, 255, 255)));
    EXPECT_EQ(layerAt(5, 2), 0xFF00FF00u);
    EXPECT_EQ(layerAt(4, 2), 0u);
    EXPECT_FALSE(DeleteDC(window)); // a window DC goes back with ReleaseDC
    EXPECT_EQ(ReleaseDC(window_, window), 1);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

TEST_F(WindowDcTest, ResizeKeepsTheOverlapAndDeadWindowsHaveNoDc) {
    HDC dc = GetDC(window_);
    SetPixel(dc, 7, 3, RGB(1, 2, 3));
    SetPixel(dc, 0, 0, RGB(4, 5, 6));
    ASSERT_TRUE(platform::gdi::SetWindowClientSize(window_, 4, 8));
    EXPECT_EQ(layerAt(0, 0), 0xFF040506u);
    EXPECT_EQ(layerAt(3, 7), 0u);
    EXPECT_EQ(SetPixel(dc, 3, 7, RGB(7, 8, 9)), RGB(7, 8, 9)); // the DC follows the new size
    ReleaseDC(window_, dc);

    HWND gone = platform::CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    DestroyWindow(gone);
    EXPECT_EQ(GetDC(gone), nullptr);
    RECT r;
    EXPECT_FALSE(GetClientRect(gone, &r));
    EXPECT_FALSE(platform::gdi::SetWindowClientSize(gone, 1, 1));
}

// A layer nothing was drawn into need not be painted over its window: it is clear until drawn into, and
// clear again once erased whole (a partial erase leaves the rest as it was).
TEST_F(WindowDcTest, ALayerIsClearUntilDrawnIntoAndAgainOnceErasedWhole) {
    EXPECT_TRUE(platform::gdi::LayerIsClear(window_));
    HDC dc = GetDC(window_);
    RECT pixel{1, 1, 2, 2};
    FillRect(dc, &pixel, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window_, dc);
    EXPECT_FALSE(platform::gdi::LayerIsClear(window_));
    RECT part{0, 0, 4, 4};
    InvalidateRect(window_, &part, TRUE);
    EXPECT_FALSE(platform::gdi::LayerIsClear(window_)) << "a partial erase";
    InvalidateRect(window_, nullptr, FALSE);
    EXPECT_FALSE(platform::gdi::LayerIsClear(window_)) << "no erase";
    InvalidateRect(window_, nullptr, TRUE);
    EXPECT_TRUE(platform::gdi::LayerIsClear(window_));
    EXPECT_EQ(layerAt(1, 1), 0u);
}

} // namespace
