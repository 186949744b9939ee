// Where the video renderer's pictures go: the surface registered for the renderer's clipping window. The
// window's face (platform/mfc) registers itself for its window handle; tests use HeadlessVideoSurface.
// The registry is thread-safe, so a renderer restarted on another thread, or one whose clipping window is
// now the full-screen window, finds the right surface at its next frame.
#pragma once

#include "platform/dshow/MediaType.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::dshow {

// One picture as the renderer presents it: packed 4:2:2 rows with the mixer bitmap already blended in.
struct VideoFrame {
    DWORD fourcc = 0; // MakeFourCC('U','Y','V','Y') or MakeFourCC('Y','U','Y','2')
    int width = 0;    // picture size in pixels
    int height = 0;
    int pitch = 0;              // bytes from one row to the next, at least 2 x width
    const BYTE* data = nullptr; // `height` rows, top-down; valid only during Present
    RECT source{};              // the part of the picture to show, in picture pixels
    RECT destination{};         // where to show it, in the window's client pixels
    COLORREF border = 0;        // for the client area outside the destination
};

class VideoSurface {
public:
    virtual ~VideoSurface() = default;
    // Called on the renderer's streaming thread, or on the thread that repaints; the surface copies what
    // it needs and must not wait for its window's thread.
    virtual void Present(const VideoFrame& frame) = 0;
};

// The frame's picture as 0x00RRGGBB pixels, top-down (BT.601, studio range), for a surface that paints RGB.
std::vector<std::uint32_t> FrameToRgb(const VideoFrame& frame);

// The surface stays the caller's; registering again replaces it.
void RegisterVideoSurface(HWND window, VideoSurface* surface);
// After this returns no Present of the window's surface runs or will run.
void UnregisterVideoSurface(HWND window);
// Presents to the window's surface; false when none is registered.
bool PresentToWindow(HWND window, const VideoFrame& frame);

// Keeps a copy of the last frame it was given.
class HeadlessVideoSurface final : public VideoSurface {
public:
    struct Copy {
        VideoFrame frame; // data points into bytes
        std::vector<BYTE> bytes;
    };
    void Present(const VideoFrame& frame) override;
    int presented() const;
    Copy last() const;

private:
    mutable std::mutex mutex_;
    int presented_ = 0;
    Copy last_;
};

} // namespace platform::dshow
