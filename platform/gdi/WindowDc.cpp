#include "platform/gdi/WindowDc.h"

#include "platform/gdi/Objects.h"
#include "platform/win32/Messages.h"

#include <condition_variable>
#include <unordered_map>

using namespace platform::gdi;
using namespace platform::gdi::detail;

namespace {

struct Layer {
    std::shared_ptr<Surface> surface;
    LayerObserver observer;
    int calling = 0;    // observer calls in progress, under g_layerMutex
    bool drawn = false; // drawn into since it was last erased whole, under g_layerMutex
};

std::mutex g_layerMutex;
std::condition_variable g_observerDone;
std::unordered_map<HWND, std::shared_ptr<Layer>> g_layers;

// The window's layer. Layers of windows that died are dropped before a new one is made (handles are not
// reused, so a dead window's layer is never found for a live one): a lookup, once per paint of a picture
// window, looks at its own window only.
std::shared_ptr<Layer> layerOf(HWND window, bool create) {
    std::lock_guard lock(g_layerMutex);
    if (!IsWindow(window))
        return nullptr;
    auto it = g_layers.find(window);
    if (it != g_layers.end())
        return it->second;
    if (!create)
        return nullptr;
    std::erase_if(g_layers, [](const auto& entry) { return !IsWindow(entry.first); });
    auto layer = std::make_shared<Layer>();
    layer->surface = std::make_shared<Surface>(0, 0);
    layer->surface->alpha = 0xFF000000u;
    g_layers.emplace(window, layer);
    return layer;
}

// Tells the layer's observer; drawn tells whether something was drawn (else the layer was erased, whole
// when cleared is set).
void notify(HWND window, const std::shared_ptr<Layer>& layer, const RECT& rect, bool drawn, bool cleared) {
    LayerObserver observer;
    {
        std::lock_guard lock(g_layerMutex);
        if (drawn)
            layer->drawn = true;
        else if (cleared)
            layer->drawn = false;
        if (!layer->observer)
            return;
        observer = layer->observer;
        ++layer->calling;
    }
    observer(window, rect);
    std::lock_guard lock(g_layerMutex);
    --layer->calling;
    g_observerDone.notify_all();
}

} // namespace

namespace platform::gdi::detail {

void layerChanged(HWND window, const RECT& rect) {
    if (std::shared_ptr<Layer> layer = layerOf(window, false))
        notify(window, layer, rect, true, false);
}

} // namespace platform::gdi::detail

HDC GetDC(HWND window) {
    std::shared_ptr<Layer> layer = layerOf(window, true);
    if (!layer)
        return nullptr;
    return addDc(newDc(window, layer->surface));
}

int ReleaseDC(HWND window, HDC dc) {
    auto state = findDc(dc);
    if (!state || !state->window || state->window != window)
        return 0;
    return removeDc(dc) ? 1 : 0;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (!rect)
        return FALSE;
    std::shared_ptr<Layer> layer = layerOf(window, true);
    if (!layer)
        return FALSE;
    std::lock_guard lock(layer->surface->mutex);
    *rect = RECT{0, 0, layer->surface->width, layer->surface->height};
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    std::shared_ptr<Layer> layer = layerOf(window, true);
    if (!layer)
        return FALSE;
    RECT area;
    bool whole;
    {
        Surface& s = *layer->surface;
        std::lock_guard lock(s.mutex);
        area = rect ? *rect : RECT{0, 0, s.width, s.height};
        if (!clip(s, &area))
            return TRUE;
        whole = area.left == 0 && area.top == 0 && area.right == s.width && area.bottom == s.height;
        if (erase)
            for (int y = area.top; y < area.bottom; ++y)
                std::fill(s.row(y) + area.left, s.row(y) + area.right, 0u);
    }
    notify(window, layer, area, false, erase && whole);
    return TRUE;
}

namespace platform::gdi {

BOOL SetWindowClientSize(HWND window, int width, int height) {
    std::shared_ptr<Layer> layer = layerOf(window, true);
    if (!layer)
        return FALSE;
    std::lock_guard lock(layer->surface->mutex);
    layer->surface->resize(width, height);
    return TRUE;
}

void SetLayerObserver(HWND window, LayerObserver observer) {
    std::shared_ptr<Layer> layer = layerOf(window, true);
    if (!layer)
        return;
    std::unique_lock lock(g_layerMutex);
    layer->observer = std::move(observer);
    // Calls of the old observer on other threads finish before this returns.
    g_observerDone.wait(lock, [&] { return layer->calling == 0; });
}

BOOL ReadLayer(HWND window, const std::function<void(const std::uint32_t*, int, int)>& read) {
    std::shared_ptr<Layer> layer = layerOf(window, false);
    if (!layer)
        return FALSE;
    Surface& s = *layer->surface;
    std::lock_guard lock(s.mutex);
    read(s.pixels.data(), s.width, s.height);
    return TRUE;
}

BOOL LayerIsClear(HWND window) {
    std::shared_ptr<Layer> layer = layerOf(window, false);
    if (!layer)
        return TRUE;
    std::lock_guard lock(g_layerMutex);
    return !layer->drawn;
}

void RemoveWindowLayer(HWND window) {
    std::unique_lock lock(g_layerMutex);
    auto it = g_layers.find(window);
    if (it == g_layers.end())
        return;
    std::shared_ptr<Layer> layer = it->second;
    g_layers.erase(it);
    g_observerDone.wait(lock, [&] { return layer->calling == 0; });
}

} // namespace platform::gdi
