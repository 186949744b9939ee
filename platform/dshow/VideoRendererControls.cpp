// The video renderer: filter configuration, windowless control and mixer bitmap.
#include "platform/dshow/VideoRenderer.h"

#include "platform/com/Com.h"
#include "platform/gdi/WindowDc.h"
#include "platform/win32/Messages.h"

#include <cstring>
#include <string>

namespace platform::dshow {
namespace {

constexpr DWORD kMaxStreams = 16;

bool validRect(const RECT& r) {
    return r.left < r.right && r.top < r.bottom;
}

} // namespace

HRESULT VideoRenderer::SetNumberOfStreams(DWORD streams) {
    CAutoLock lock(&lock_);
    if (streams == 0 || streams > kMaxStreams)
        return E_INVALIDARG;
    for (const auto& pin : pins_)
        if (pin->IsConnected())
            return VFW_E_WRONG_STATE;
    while (pins_.size() < streams) {
        const int n = static_cast<int>(pins_.size());
        pins_.push_back(
            std::make_unique<VideoRendererPin>(this, &lock_, n, (L"VMR Input" + std::to_wstring(n)).c_str()));
    }
    streams_ = streams;
    return S_OK;
}

HRESULT VideoRenderer::GetNumberOfStreams(DWORD* streams) {
    if (!streams)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *streams = streams_;
    return S_OK;
}

HRESULT VideoRenderer::SetRenderingMode(DWORD mode) {
    if (mode != VMRMode_Windowed && mode != VMRMode_Windowless)
        return E_INVALIDARG; // no renderless mode: nobody supplies an allocator-presenter
    CAutoLock lock(&lock_);
    mode_ = mode;
    return S_OK;
}

HRESULT VideoRenderer::GetRenderingMode(DWORD* mode) {
    if (!mode)
        return E_POINTER;
    CAutoLock lock(&lock_);
    *mode = mode_ ? mode_ : VMRMode_Windowed;
    return S_OK;
}

HRESULT VideoRenderer::GetNativeVideoSize(LONG* width, LONG* height, LONG* arWidth, LONG* arHeight) {
    if (!width && !height && !arWidth && !arHeight)
        return E_POINTER;
    CAutoLock lock(&lock_);
    if (!pins_[0]->IsConnected())
        return VFW_E_NOT_CONNECTED;
    const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(pins_[0]->CurrentMediaType().Format());
    const LONG w = vih->bmiHeader.biWidth, h = std::abs(vih->bmiHeader.biHeight);
    if (width)
        *width = w;
    if (height)
        *height = h;
    if (arWidth)
        *arWidth = w;
    if (arHeight)
        *arHeight = h;
    return S_OK;
}

HRESULT VideoRenderer::SetVideoPosition(const RECT* source, const RECT* destination) {
    if (!source && !destination)
        return E_POINTER;
    if ((source && !validRect(*source)) ||
        (destination && (destination->right < destination->left || destination->bottom < destination->top)))
        return E_INVALIDARG;
    LONG w = 0, h = 0;
    GetNativeVideoSize(&w, &h, nullptr, nullptr);
    std::lock_guard lock(mutex_);
    if (!positionSet_) {
        source_ = RECT{0, 0, w, h};
        destination_ = RECT{};
    }
    if (source)
        source_ = *source;
    if (destination)
        destination_ = *destination;
    positionSet_ = true;
    return S_OK;
}

HRESULT VideoRenderer::GetVideoPosition(RECT* source, RECT* destination) {
    if (!source && !destination)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    if (source)
        *source = source_;
    if (destination)
        *destination = destination_;
    return S_OK;
}

HRESULT VideoRenderer::GetAspectRatioMode(DWORD* mode) {
    if (!mode)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *mode = aspectMode_;
    return S_OK;
}

HRESULT VideoRenderer::SetAspectRatioMode(DWORD mode) {
    if (mode != VMR_ARMODE_NONE && mode != VMR_ARMODE_LETTER_BOX)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    aspectMode_ = mode; // the caller lays the picture out itself (mode none) in this program
    return S_OK;
}

HRESULT VideoRenderer::SetVideoClippingWindow(HWND window) {
    if (!IsWindow(window))
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    window_ = window;
    return S_OK;
}

HRESULT VideoRenderer::RepaintVideo(HWND, HDC) {
    present(); // the current frame again, with the mixer bitmap as it is now
    return S_OK;
}

HRESULT VideoRenderer::DisplayModeChanged() {
    return S_OK;
}

HRESULT VideoRenderer::GetCurrentImage(BYTE** dib) {
    if (!dib)
        return E_POINTER;
    *dib = nullptr;
    std::lock_guard lock(mutex_);
    if (!haveFrame_)
        return E_FAIL;
    const int width = current_.width, height = current_.height;
    const size_t pixelBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    auto* image = static_cast<BYTE*>(CoTaskMemAlloc(sizeof(BITMAPINFOHEADER) + pixelBytes));
    if (!image)
        return E_OUTOFMEMORY;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = width;
    header.biHeight = height; // bottom-up
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(pixelBytes);
    std::memcpy(image, &header, sizeof header);
    // Bottom-up: each row is converted straight into its place, the top row into the image's last.
    auto* bottomUp = reinterpret_cast<std::uint32_t*>(image + sizeof header);
    ConvertPackedPicture(current_.fourcc, width, height, current_.pitch, current_.rows,
                         bottomUp + static_cast<std::ptrdiff_t>(height - 1) * width, -width);
    *dib = image;
    return S_OK;
}

HRESULT VideoRenderer::SetBorderColor(COLORREF colour) {
    std::lock_guard lock(mutex_);
    border_ = colour & 0x00FFFFFF;
    return S_OK;
}

HRESULT VideoRenderer::GetBorderColor(COLORREF* colour) {
    if (!colour)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *colour = border_;
    return S_OK;
}

// The two mixer-bitmap sets share their flag values and differ only in the filter mode field.
HRESULT VideoRenderer::setAlpha(const AlphaParams& p, bool update) {
    if (p.flags & VMR9AlphaBitmap_Disable) {
        std::lock_guard lock(mutex_);
        mixer_ = Mixer{};
        ++mixerChanges_;
        return S_OK;
    }
    if (p.alpha < 0 || p.alpha > 1 || !(p.destination.left < p.destination.right) ||
        !(p.destination.top < p.destination.bottom))
        return E_INVALIDARG;
    platform::gdi::Dib bitmap;
    RECT source = p.source;
    if (!update) {
        if (p.surface || !(p.flags & VMR9AlphaBitmap_hDC))
            return E_INVALIDARG; // only device-context bitmaps, which are copied here
        if (!p.dc)
            return E_POINTER;
        if (!validRect(source))
            source = RECT{0, 0, GetDeviceCaps(p.dc, HORZRES), GetDeviceCaps(p.dc, VERTRES)};
        auto copied = platform::gdi::ReadDc(p.dc, source);
        if (!copied || copied->width == 0)
            return E_INVALIDARG;
        bitmap = std::move(*copied);
    }
    std::lock_guard lock(mutex_);
    if (update && !mixer_.haveBitmap)
        return E_INVALIDARG;
    if (!update) {
        mixer_.overlay.bitmap = std::move(bitmap);
        mixer_.source = source;
        mixer_.haveBitmap = true;
    }
    mixer_.enabled = true;
    mixer_.filterMode = p.filterMode;
    mixer_.overlay.left = p.destination.left;
    mixer_.overlay.top = p.destination.top;
    mixer_.overlay.right = p.destination.right;
    mixer_.overlay.bottom = p.destination.bottom;
    mixer_.overlay.alpha = p.alpha;
    mixer_.overlay.keyed = (p.flags & VMR9AlphaBitmap_SrcColorKey) != 0;
    mixer_.overlay.key = platform::gdi::ToPixel(p.key);
    ++mixerChanges_;
    return S_OK;
}

VideoRenderer::AlphaParams VideoRenderer::alphaParams() const {
    std::lock_guard lock(mutex_);
    AlphaParams p{};
    p.flags = (mixer_.enabled ? 0 : VMR9AlphaBitmap_Disable) | VMR9AlphaBitmap_hDC |
              (mixer_.overlay.keyed ? VMR9AlphaBitmap_SrcColorKey : 0);
    p.source = mixer_.source;
    p.destination = {mixer_.overlay.left, mixer_.overlay.top, mixer_.overlay.right, mixer_.overlay.bottom};
    p.alpha = mixer_.overlay.alpha;
    p.key = platform::gdi::ToColorRef(mixer_.overlay.key);
    p.filterMode = mixer_.filterMode;
    return p;
}

HRESULT VideoRenderer::SetAlphaBitmap(const VMR9AlphaBitmap* b) {
    if (!b)
        return E_POINTER;
    return setAlpha(
        {b->dwFlags, b->hdc, b->pDDS, b->rSrc, b->rDest, b->fAlpha, b->clrSrcKey, b->dwFilterMode}, false);
}

HRESULT VideoRenderer::UpdateAlphaBitmapParameters(const VMR9AlphaBitmap* b) {
    if (!b)
        return E_POINTER;
    return setAlpha(
        {b->dwFlags, b->hdc, b->pDDS, b->rSrc, b->rDest, b->fAlpha, b->clrSrcKey, b->dwFilterMode}, true);
}

HRESULT VideoRenderer::GetAlphaBitmapParameters(VMR9AlphaBitmap* b) {
    if (!b)
        return E_POINTER;
    const AlphaParams p = alphaParams();
    *b = VMR9AlphaBitmap{p.flags, nullptr, nullptr, p.source, p.destination, p.alpha, p.key, p.filterMode};
    return S_OK;
}

HRESULT VideoRenderer::SetAlphaBitmap(const VMRALPHABITMAP* b) {
    if (!b)
        return E_POINTER;
    return setAlpha({b->dwFlags, b->hdc, b->pDDS, b->rSrc, b->rDest, b->fAlpha, b->clrSrcKey, 0}, false);
}

HRESULT VideoRenderer::UpdateAlphaBitmapParameters(const VMRALPHABITMAP* b) {
    if (!b)
        return E_POINTER;
    return setAlpha({b->dwFlags, b->hdc, b->pDDS, b->rSrc, b->rDest, b->fAlpha, b->clrSrcKey, 0}, true);
}

HRESULT VideoRenderer::GetAlphaBitmapParameters(VMRALPHABITMAP* b) {
    if (!b)
        return E_POINTER;
    const AlphaParams p = alphaParams();
    *b = VMRALPHABITMAP{p.flags, nullptr, nullptr, p.source, p.destination, p.alpha, p.key};
    return S_OK;
}

} // namespace platform::dshow
