#include "app/VideoBox.h"

#include "app/UiMessages.h"

#include <algorithm>

namespace {

constexpr UINT WM_VIDEO_FRAME = WM_APP + 0x31; // to the box itself: a new frame is there
constexpr int kMaxSide = 4096;

std::uint32_t rgbOf(int y, int u, int v) {
    const int c = 298 * (y - 16);
    const int d = u - 128;
    const int e = v - 128;
    const int r = std::clamp((c + 409 * e + 128) >> 8, 0, 255);
    const int g = std::clamp((c - 100 * d - 208 * e + 128) >> 8, 0, 255);
    const int b = std::clamp((c + 516 * d + 128) >> 8, 0, 255);
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}

} // namespace

bool PackedYuvToRgb(const std::uint8_t* source, std::size_t sourceSize, int width, int height, int pitch,
                    bool uyvy, std::uint32_t* rgb) {
    if (!source || !rgb || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>((width + 1) / 2) * 4;
    if (pitch < 0 || static_cast<std::size_t>(pitch) < rowBytes ||
        sourceSize < static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height - 1) + rowBytes)
        return false;
    const int yAt = uyvy ? 1 : 0;
    const int uAt = uyvy ? 0 : 1;
    const int vAt = uyvy ? 2 : 3;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* s = source + static_cast<std::size_t>(row) * static_cast<std::size_t>(pitch);
        std::uint32_t* d = rgb + static_cast<std::size_t>(row) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; x += 2, s += 4) {
            const int u = s[uAt];
            const int v = s[vAt];
            d[x] = rgbOf(s[yAt], u, v);
            if (x + 1 < width)
                d[x + 1] = rgbOf(s[yAt + 2], u, v);
        }
    }
    return true;
}

KQ_UI_VideoBox::KQ_UI_VideoBox() {
    MapMessage(WM_VIDEO_FRAME, [this](WPARAM, LPARAM) {
        Invalidate(FALSE);
        return LRESULT{0};
    });
    MapMessage(WM_DESTROY, [this](WPARAM, LPARAM) {
        handle_ = nullptr;
        return LRESULT{0};
    });
    MapMessage(WM_AV_GRAPH_EVENT, [this](WPARAM w, LPARAM l) {
        CWnd* top = GetParent();
        if (top)
            top->PostMessage(WM_AV_GRAPH_EVENT, w, l);
        return LRESULT{0};
    });
}

BOOL KQ_UI_VideoBox::Attach(UINT id, CWnd* parent) {
    const BOOL ok = SubclassDlgItem(id, parent);
    handle_ = m_hWnd;
    return ok;
}

void KQ_UI_VideoBox::SetRedirect(KQ_UI_VideoBox* other) {
    redirect_ = other == this ? nullptr : other;
    Invalidate(FALSE);
}

bool KQ_UI_VideoBox::PresentFrame(const std::uint8_t* data, std::size_t size, int width, int height,
                                  int pitch, bool uyvy) {
    if (KQ_UI_VideoBox* other = redirect_)
        return other->PresentFrame(data, size, width, height, pitch, uyvy);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (!PackedYuvToRgb(data, size, width, height, pitch, uyvy, pixels.data()))
        return false;
    {
        std::lock_guard lock(mutex_);
        pixels_ = std::move(pixels);
        width_ = width;
        height_ = height;
    }
    requestRepaint();
    return true;
}

bool KQ_UI_VideoBox::PresentRgb(const std::uint32_t* rows, int width, int height, std::size_t stride) {
    if (KQ_UI_VideoBox* other = redirect_)
        return other->PresentRgb(rows, width, height, stride);
    if (!rows || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        stride < static_cast<std::size_t>(width) * 4)
        return false;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(rows) +
                                                           static_cast<std::size_t>(y) * stride),
                    width, pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    {
        std::lock_guard lock(mutex_);
        pixels_ = std::move(pixels);
        width_ = width;
        height_ = height;
    }
    requestRepaint();
    return true;
}

void KQ_UI_VideoBox::Clear() {
    {
        std::lock_guard lock(mutex_);
        pixels_.clear();
        width_ = height_ = 0;
    }
    Invalidate(FALSE);
}

void KQ_UI_VideoBox::SetVideoRect(const RECT& rect) {
    videoRect_ = rect;
    Invalidate(FALSE);
}

bool KQ_UI_VideoBox::HasFrame() const {
    std::lock_guard lock(mutex_);
    return width_ > 0;
}

void KQ_UI_VideoBox::requestRepaint() {
    if (HWND hwnd = handle_)
        ::PostMessage(hwnd, WM_VIDEO_FRAME, 0, 0);
}

void KQ_UI_VideoBox::DrawItem(LPDRAWITEMSTRUCT item) {
    CDC& dc = *item->pDC;
    dc.FillSolidRect(item->rcItem, RGB(0, 0, 0));
    CBitmap frame;
    {
        std::lock_guard lock(mutex_);
        if (width_ == 0)
            return;
        frame.SetPixels(width_, height_, pixels_.data(), static_cast<std::size_t>(width_) * 4);
    }
    const CRect target = videoRect_.IsRectEmpty() ? CRect(item->rcItem) : videoRect_;
    const CSize size = frame.GetSize();
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    memory.SelectObject(&frame);
    dc.StretchBlt(target.left, target.top, target.Width(), target.Height(), &memory, 0, 0, size.cx, size.cy);
}
