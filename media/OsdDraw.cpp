// The OSD's drawing: the text layout, the mixer bitmap over the playing video, the window path, and
// switching the mixer bitmap off.
#include "media/Osd.h"

#include "media/GraphHelpers.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/WindowDc.h"

using platform::ComPtr;

namespace {

constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kWhite = 0xFFFFFF;

ComPtr<IGraphBuilder> adopt(IGraphBuilder* graph) {
    return ComPtr<IGraphBuilder>::Adopt(graph);
}

template <class I> ComPtr<I> findFace(IGraphBuilder* graph, REFIID iid) {
    ComPtr<I> face;
    if (FAILED(FindGraphInterface(graph, iid, face.ReleaseAndGetVoidAddressOf())))
        face.Reset();
    return face;
}

// The memory context and bitmap a drawing path lays the items out in.
class Canvas {
public:
    Canvas(HDC reference, int width, int height)
        : dc_(CreateCompatibleDC(reference)), bitmap_(CreateCompatibleBitmap(reference, width, height)),
          old_(SelectObject(dc_, bitmap_)) {}
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC dc() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

} // namespace

void KQ_AV_OSD::DrawItems(HDC dc, int w, int h) {
    if (w <= 0 || h <= 0)
        return;
    const int fontHeight = h / 12;
    const int cw = static_cast<int>(static_cast<float>(w * 0.3 / h) * static_cast<float>(fontHeight));
    const int f = w / 40;
    const int m = static_cast<int>(static_cast<float>(f) / static_cast<float>(w * 0.7 / h));
    Hold hold(this);
    int x = w, y = w; // an item placed nowhere goes where the one before it went
    for (const osd_struct& item : items_) {
        if (item.blink != 0 && item.hidden)
            continue;
        const int n = static_cast<int>(item.text.size());
        const int o = item.wideCount, r = item.narrowCount;
        switch (item.position) {
        case OSD_TOP_RIGHT:
            x = r == 0 ? w - 2 * o * cw - 40 : o == 0 ? w - r * cw - f - 40 : w - (r + 2 * o) * cw - f - 20;
            y = m;
            break;
        case OSD_TOP_LEFT:
            x = f;
            y = m;
            break;
        case OSD_LOWER_LEFT:
            x = w / 5;
            y = static_cast<int>(h - (m * 0.9 + fontHeight));
            break;
        case OSD_LOWER_RIGHT:
            x = w - 2 * cw * n - f;
            y = h - fontHeight - m;
            break;
        default:
            break;
        }
        HFONT font = CreateFontW(fontHeight, cw, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                 L"Arial Black");
        HGDIOBJ old = SelectObject(dc, font);
        SetTextColor(dc, item.colour);
        TextOutW(dc, x, y, item.text.c_str(), n);
        SelectObject(dc, old);
        DeleteObject(font);
    }
}

HRESULT KQ_AV_OSD::DrawVmr(HWND window) {
    const ComPtr<IGraphBuilder> graph = adopt(this->graph());
    WindowDc windowDc(window);
    LONG w = 0, h = 0, arWidth = 0, arHeight = 0;
    if (const auto vmr9 = findFace<IVMRWindowlessControl9>(graph.Get(), IID_IVMRWindowlessControl9)) {
        if (FAILED(vmr9->GetNativeVideoSize(&w, &h, &arWidth, &arHeight)) || w <= 0 || h <= 0)
            return S_FALSE; // no picture yet: nothing to draw over
        Canvas canvas(windowDc.dc(), w, h);
        const auto mixer = findFace<IVMRMixerBitmap9>(graph.Get(), IID_IVMRMixerBitmap9);
        SetBkColor(canvas.dc(), kBlack);
        DrawItems(canvas.dc(), w, h);
        if (!mixer)
            return E_FAIL;
        const VMR9AlphaBitmap bitmap{VMR9AlphaBitmap_hDC | VMR9AlphaBitmap_SrcColorKey,
                                     canvas.dc(),
                                     nullptr,
                                     {0, 0, w, h},
                                     {0.0f, 0.0f, 1.0f, 1.0f},
                                     1.0f,
                                     kBlack,
                                     0};
        return mixer->SetAlphaBitmap(&bitmap);
    }
    if (const auto vmr7 = findFace<IVMRWindowlessControl>(graph.Get(), IID_IVMRWindowlessControl)) {
        if (FAILED(vmr7->GetNativeVideoSize(&w, &h, &arWidth, &arHeight)) || w <= 0 || h <= 0)
            return S_FALSE;
        Canvas canvas(windowDc.dc(), w, h);
        const auto mixer = findFace<IVMRMixerBitmap>(graph.Get(), IID_IVMRMixerBitmap);
        DrawItems(canvas.dc(), w, h); // the text cells keep the context's own white background
        if (!mixer)
            return E_FAIL;
        const VMRALPHABITMAP bitmap{VMRBITMAP_HDC | VMRBITMAP_SRCCOLORKEY,
                                    canvas.dc(),
                                    nullptr,
                                    {0, 0, w, h},
                                    {0.0f, 0.0f, 1.0f, 1.0f},
                                    1.0f,
                                    kBlack};
        return mixer->SetAlphaBitmap(&bitmap);
    }
    return E_FAIL;
}

HRESULT KQ_AV_OSD::DrawWindow(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0)
        return S_FALSE;
    WindowDc windowDc(window);
    Canvas canvas(windowDc.dc(), w, h);
    // White is the key colour: what the items leave of the bitmap (and their cells) lets the window through.
    HBRUSH key = CreateSolidBrush(kWhite);
    FillRect(canvas.dc(), &client, key);
    DeleteObject(key);
    DrawItems(canvas.dc(), w, h);
    InvalidateRect(window, nullptr, TRUE);
    TransparentBlt(windowDc.dc(), 0, 0, w, h, canvas.dc(), 0, 0, w, h, kWhite);
    return S_OK;
}

HRESULT KQ_AV_OSD::DisableMixer() {
    const ComPtr<IGraphBuilder> graph = adopt(this->graph());
    if (const auto mixer = findFace<IVMRMixerBitmap9>(graph.Get(), IID_IVMRMixerBitmap9)) {
        VMR9AlphaBitmap bitmap{};
        mixer->GetAlphaBitmapParameters(&bitmap);
        bitmap.dwFlags = VMR9AlphaBitmap_Disable;
        return mixer->UpdateAlphaBitmapParameters(&bitmap);
    }
    if (const auto mixer = findFace<IVMRMixerBitmap>(graph.Get(), IID_IVMRMixerBitmap)) {
        VMRALPHABITMAP bitmap{};
        const HRESULT read = mixer->GetAlphaBitmapParameters(&bitmap);
        bitmap.dwFlags = VMRBITMAP_DISABLE;
        return read | mixer->UpdateAlphaBitmapParameters(&bitmap);
    }
    return E_FAIL;
}

HRESULT KQ_AV_OSD::HideOverlay() {
    const HRESULT hr = DisableMixer();
    if (SUCCEEDED(hr)) {
        Deactivate();
        RemoveAll();
    }
    return hr;
}
