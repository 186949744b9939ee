#include "platform/ddraw/DirectDraw.h"

#include <mutex>

namespace {

std::mutex g_hookMutex;
platform::ddraw::ProbeHook g_hook;

constexpr DWORD kNoSurface = static_cast<DWORD>(-9);

} // namespace

int CVD_DIRECTX_Draw::Create(HWND window, int width, int height, int* surfaceKind) {
    created_ = 0;
    if (surfaceKind)
        *surfaceKind = 0;
    int hooked;
    {
        std::lock_guard lock(g_hookMutex);
        hooked = g_hook.createResult;
    }
    if (hooked != 0)
        return hooked;
    if (width <= 0 || height <= 0)
        return -4;
    window_ = window;
    width_ = width;
    height_ = height;
    created_ = 1;
    return 0;
}

DWORD CVD_DIRECTX_Draw::GetPitch() {
    if (!created_)
        return kNoSurface;
    std::lock_guard lock(g_hookMutex);
    if (g_hook.pitch)
        return *g_hook.pitch;
    return (static_cast<DWORD>(width_) * 2 + 63) / 64 * 64;
}

namespace platform::ddraw {

void SetProbeHook(const ProbeHook& hook) {
    std::lock_guard lock(g_hookMutex);
    g_hook = hook;
}

} // namespace platform::ddraw
