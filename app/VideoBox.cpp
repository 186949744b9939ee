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
        if (HWND hwnd = handle_.exchange(nullptr))
            platform::dshow::UnregisterVideoSurface(hwnd);
        return LRESULT{0};
    });
    MapMessage(WM_AV_GRAPH_EVENT, [this](WPARAM w, LPARAM l) {
        CWnd* top = GetParent();
        if (top)
            top->PostMessage(WM_AV_GRAPH_EVENT, w, l);
        return LRESULT{0};
    });
}

KQ_UI_VideoBox::~KQ_UI_VideoBox() {
    if (HWND hwnd = handle_.exchange(nullptr))
        platform::dshow::UnregisterVideoSurface(hwnd);
}

BOOL KQ_UI_VideoBox::Attach(UINT id, CWnd* parent) {
    const BOOL ok = SubclassDlgItem(id, parent);
    handle_ = m_hWnd;
    if (ok)
        platform::dshow::RegisterVideoSurface(m_hWnd, this);
    return ok;
}

bool KQ_UI_VideoBox::store(std::vector<std::uint32_t> pixels, int width, int height, const RECT& source,
                           const RECT& destination, COLORREF border) {
    {
        std::lock_guard lock(mutex_);
        pixels_ = std::move(pixels);
        width_ = width;
        height_ = height;
        source_ = source;
        destination_ = destination;
        border_ = border;
    }
    requestRepaint();
    return true;
}

void KQ_UI_VideoBox::Present(const platform::dshow::VideoFrame& frame) {
    constexpr DWORD kUyvy = 0x59565955; // 'U' 'Y' 'V' 'Y'
    const int w = frame.width;
    const int h = frame.height;
    if (!frame.data || w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide || frame.pitch <= 0)
        return;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    // The frame holds `height` rows `pitch` apart, of which the last needs only its pixels.
    const std::size_t size = static_cast<std::size_t>(frame.pitch) * static_cast<std::size_t>(h - 1) +
                             static_cast<std::size_t>((w + 1) / 2) * 4;
    if (PackedYuvToRgb(frame.data, size, w, h, frame.pitch, frame.fourcc == kUyvy, pixels.data()))
        store(std::move(pixels), w, h, frame.source, frame.destination, frame.border);
}

bool KQ_UI_VideoBox::PresentFrame(const std::uint8_t* data, std::size_t size, int width, int height,
                                  int pitch, bool uyvy) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide)
        return false;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (!PackedYuvToRgb(data, size, width, height, pitch, uyvy, pixels.data()))
        return false;
    return store(std::move(pixels), width, height, RECT{0, 0, width, height}, RECT{}, 0);
}

bool KQ_UI_VideoBox::PresentRgb(const std::uint32_t* rows, int width, int height, std::size_t stride) {
    if (!rows || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        stride < static_cast<std::size_t>(width) * 4)
        return false;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        std::copy_n(reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(rows) +
                                                           static_cast<std::size_t>(y) * stride),
                    width, pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
    return store(std::move(pixels), width, height, RECT{0, 0, width, height}, RECT{}, 0);
}

void KQ_UI_VideoBox::Clear() {
    {
        std::lock_guard lock(mutex_);
        pixels_.clear();
        width_ = height_ = 0;
    }
    Invalidate(FALSE);
}

bool KQ_UI_VideoBox::HasFrame() const {
    std::lock_guard lock(mutex_);
    return width_ > 0;
}

CRect KQ_UI_VideoBox::VideoRect(const RECT& destination, int width, int height) {
    const int dw = destination.right - destination.left;
    const int dh = destination.bottom - destination.top;
    if (dw <= 0 || dh <= 0 || width <= 0 || height <= 0)
        return CRect(0, 0, width, height);
    const double scale = std::min(static_cast<double>(width) / dw, static_cast<double>(height) / dh);
    const int w = static_cast<int>(dw * scale + 0.5);
    const int h = static_cast<int>(dh * scale + 0.5);
    const int left = (width - w) / 2;
    const int top = (height - h) / 2;
    return CRect(left, top, left + w, top + h);
}

void KQ_UI_VideoBox::requestRepaint() {
    if (HWND hwnd = handle_)
        ::PostMessage(hwnd, WM_VIDEO_FRAME, 0, 0);
}

void KQ_UI_VideoBox::DrawItem(LPDRAWITEMSTRUCT item) {
    CDC& dc = *item->pDC;
    CBitmap frame;
    RECT source, destination;
    COLORREF border;
    {
        std::lock_guard lock(mutex_);
        border = border_;
        source = source_;
        destination = destination_;
        if (width_ > 0)
            frame.SetPixels(width_, height_, pixels_.data(), static_cast<std::size_t>(width_) * 4);
    }
    dc.FillSolidRect(item->rcItem, frame.IsNull() ? RGB(0, 0, 0) : border);
    if (frame.IsNull())
        return;
    const CRect client(item->rcItem);
    const CRect target = VideoRect(destination, client.Width(), client.Height());
    const CSize size = frame.GetSize();
    const CRect from = CRect(source).IsRectEmpty() ? CRect(0, 0, size.cx, size.cy) : CRect(source);
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    memory.SelectObject(&frame);
    dc.StretchBlt(target.left, target.top, target.Width(), target.Height(), &memory, from.left, from.top,
                  from.Width(), from.Height());
}
