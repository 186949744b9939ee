// The surface-pitch probe: CVD_DIRECTX_Draw answers the row pitch of an offscreen UYVY surface of the
// given size, which the producers of UYVY frames lay their rows out at. Here it is the pitch the video
// renderer takes (it derives the pitch from each sample's length): 2 x width rounded up to 64 bytes.
// Create results: 0 (surface kind 0, UYVY) or the failure codes of the system's probe, -1 no object,
// -2 cooperative level or clipper, -3 primary surface, -4 offscreen surface (also for a size that is
// not positive), -20 capabilities, -21 no usable blits. GetPitch gives -9 (as unsigned) without a surface.
#pragma once

#include "platform/win32/Types.h"

#include <optional>

class CVD_DIRECTX_Draw {
public:
    CVD_DIRECTX_Draw() = default;
    virtual ~CVD_DIRECTX_Draw() = default;
    CVD_DIRECTX_Draw(const CVD_DIRECTX_Draw&) = delete;
    CVD_DIRECTX_Draw& operator=(const CVD_DIRECTX_Draw&) = delete;

    // A null window is accepted. `surfaceKind` (may be null) gets 0 for UYVY.
    int Create(HWND window, int width, int height, int* surfaceKind);
    DWORD GetPitch();

private:
    HWND window_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int created_ = 0;
};

namespace platform::ddraw {

// Test hook: Create answers `createResult` when it is not 0, and a created probe answers `pitch` when
// given. The default (both empty) is the real behaviour.
struct ProbeHook {
    int createResult = 0;
    std::optional<DWORD> pitch;
};
void SetProbeHook(const ProbeHook& hook);

} // namespace platform::ddraw
