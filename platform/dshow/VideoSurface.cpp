#include "platform/dshow/VideoSurface.h"

#include <unordered_map>

namespace platform::dshow {
namespace {

struct Entry {
    std::mutex presenting; // held for each Present, and by the unregistering thread to wait for it
    VideoSurface* surface = nullptr;
};

std::mutex g_mutex;
std::unordered_map<HWND, std::shared_ptr<Entry>> g_surfaces;

} // namespace

void RegisterVideoSurface(HWND window, VideoSurface* surface) {
    UnregisterVideoSurface(window);
    auto entry = std::make_shared<Entry>();
    entry->surface = surface;
    std::lock_guard lock(g_mutex);
    g_surfaces[window] = entry;
}

void UnregisterVideoSurface(HWND window) {
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard lock(g_mutex);
        auto it = g_surfaces.find(window);
        if (it == g_surfaces.end())
            return;
        entry = it->second;
        g_surfaces.erase(it);
    }
    std::lock_guard wait(entry->presenting);
    entry->surface = nullptr;
}

SIZE VideoSurface::ShownSize(const RECT& source, const RECT&) {
    return SIZE{source.right - source.left, source.bottom - source.top};
}

namespace {

std::shared_ptr<Entry> entryOf(HWND window) {
    std::lock_guard lock(g_mutex);
    auto it = g_surfaces.find(window);
    return it == g_surfaces.end() ? nullptr : it->second;
}

} // namespace

bool PresentToWindow(HWND window, const VideoFrame& frame) {
    const std::shared_ptr<Entry> entry = entryOf(window);
    if (!entry)
        return false;
    std::lock_guard presenting(entry->presenting);
    if (!entry->surface)
        return false;
    entry->surface->Present(frame);
    return true;
}

SIZE ShownSizeForWindow(HWND window, const RECT& source, const RECT& destination) {
    if (const std::shared_ptr<Entry> entry = entryOf(window)) {
        std::lock_guard presenting(entry->presenting);
        if (entry->surface)
            return entry->surface->ShownSize(source, destination);
    }
    return SIZE{source.right - source.left, source.bottom - source.top};
}

} // namespace platform::dshow
