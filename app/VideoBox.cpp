#include "app/VideoBox.h"

#include "app/UiMessages.h"
#include "platform/dshow/VideoPixels.h"
#include "platform/mfc/PictureWindow.h"

#include <algorithm>

namespace {

constexpr int kMaxSide = 4096;

} // namespace

KQ_UI_VideoBox::KQ_UI_VideoBox() {
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
    const BOOL ok = SubclassDlgItem(id, parent) && platform::mfc::ShowPictures(*this);
    handle_ = m_hWnd;
    if (ok) {
        CRect client;
        GetClientRect(&client);
        clientWidth_ = client.Width();
        clientHeight_ = client.Height();
        platform::dshow::RegisterVideoSurface(m_hWnd, this);
    }
    return ok;
}

void KQ_UI_VideoBox::show() {
    const HWND hwnd = handle_;
    if (!hwnd)
        return;
    platform::mfc::WindowPicture shown;
    shown.picture = frame_.picture;
    if (shown.picture) {
        const CRect from = CRect(frame_.source).IsRectEmpty()
                               ? CRect(0, 0, shown.picture->width, shown.picture->height)
                               : CRect(frame_.source);
        shown.source = from;
        shown.target = VideoRect(frame_.destination, clientWidth_, clientHeight_);
        shown.fill = frame_.border;
    }
    platform::mfc::SetWindowPicture(hwnd, shown);
}

SIZE KQ_UI_VideoBox::ShownSize(const RECT& source, const RECT& destination) {
    const LONG width = source.right - source.left, height = source.bottom - source.top;
    const CRect target = VideoRect(destination, clientWidth_, clientHeight_);
    if (target.IsRectEmpty())
        return SIZE{width, height}; // not laid out yet
    return SIZE{std::min<LONG>(width, target.Width()), std::min<LONG>(height, target.Height())};
}

void KQ_UI_VideoBox::Present(const platform::dshow::VideoFrame& frame) {
    if (!frame.picture || frame.picture->width <= 0 || frame.picture->height <= 0)
        return;
    std::lock_guard lock(mutex_);
    frame_ = frame;
    show();
}

bool KQ_UI_VideoBox::PresentFrame(const std::uint8_t* data, std::size_t size, int width, int height,
                                  int pitch, bool uyvy) {
    if (!data || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || pitch < 2 * width ||
        size < static_cast<std::size_t>(pitch) * static_cast<std::size_t>(height - 1) +
                   2 * static_cast<std::size_t>(width))
        return false;
    auto picture = std::make_shared<platform::dshow::VideoPicture>();
    picture->width = width;
    picture->height = height;
    picture->pixels = platform::dshow::PictureMemory(static_cast<std::size_t>(width) * height);
    const DWORD fourcc = uyvy ? MakeFourCC('U', 'Y', 'V', 'Y') : MakeFourCC('Y', 'U', 'Y', '2');
    if (!picture->pixels || !platform::dshow::ConvertPackedPicture(fourcc, width, height, pitch, data,
                                                                   picture->pixels.get(), width))
        return false;
    platform::dshow::VideoFrame frame;
    frame.picture = std::move(picture);
    frame.source = RECT{0, 0, width, height};
    Present(frame);
    return true;
}

void KQ_UI_VideoBox::Clear() {
    std::lock_guard lock(mutex_);
    frame_ = {};
    show();
}

bool KQ_UI_VideoBox::HasFrame() const {
    std::lock_guard lock(mutex_);
    return frame_.picture != nullptr;
}

void KQ_UI_VideoBox::OnSize(UINT, int cx, int cy) {
    clientWidth_ = cx;
    clientHeight_ = cy;
    std::lock_guard lock(mutex_);
    show();
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
