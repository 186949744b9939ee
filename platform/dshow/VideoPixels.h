// Inside the video renderer: packed 4:2:2 pictures (UYVY, YUY2) converted to RGB, and an RGB bitmap
// blended into them (BT.601, studio range).
#pragma once

#include "platform/dshow/VideoSurface.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <vector>

namespace platform::dshow {

// A picture the renderer keeps: its rows at `pitch`.
struct PackedPicture {
    DWORD fourcc = 0;
    int width = 0;
    int height = 0;
    int pitch = 0;
    std::vector<BYTE> bytes;
};

// The mixer bitmap as the renderer keeps it.
struct Overlay {
    platform::gdi::Dib bitmap;
    float left = 0, top = 0, right = 1, bottom = 1; // of the picture, 0..1
    float alpha = 1;
    bool keyed = false;
    std::uint32_t key = 0; // 0x00RRGGBB
};

// 0x00RRGGBB pixels, top-down, of `height` rows `pitch` bytes apart.
std::vector<std::uint32_t> ToRgb(DWORD fourcc, int width, int height, int pitch, const BYTE* rows);
void BlendOverlay(PackedPicture& picture, const Overlay& overlay);

} // namespace platform::dshow
