// Where the video renderer's pictures go: the surface registered for the renderer's clipping window. The
// window's video area (app/VideoBox) registers itself for its window handle; tests register a fake of their
// own. The registry is thread-safe, so a renderer restarted on another thread, or one whose clipping window
// is now the full-screen window, finds the right surface at its next frame.
#pragma once

#include "platform/dshow/MediaType.h"
#include "platform/dshow/PictureMemory.h"
#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace platform::dshow {

// A picture as the renderer shows it: opaque 0xFFRRGGBB pixels, top-down, `width` per row, the mixer
// bitmap already blended in. Allocated once per picture size (without being cleared) and reused; its memory
// can be shown by the display server without a copy.
struct VideoPicture {
    int width = 0;
    int height = 0;
    PictureMemory pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// One frame handed to a surface.
struct VideoFrame {
    // Shared with the renderer, which writes a picture again only once no surface holds it any more, so a
    // surface may keep it (the one it shows and the newest: at most two at a time) and show it from there.
    // It holds the source part of the frame, at the size the surface asked for (ShownSize).
    std::shared_ptr<const VideoPicture> picture;
    RECT source{};       // the part of the picture to show, in picture pixels
    RECT destination{};  // where to show it, in the window's client pixels
    COLORREF border = 0; // for the client area outside the destination
};

class VideoSurface {
public:
    virtual ~VideoSurface() = default;
    // Called on the renderer's streaming thread, or on the thread that repaints; the surface must not wait
    // for its window's thread.
    virtual void Present(const VideoFrame& frame) = 0;
    // The size in which the surface would show `source` (picture pixels) placed at `destination` now, at
    // most the source's own: the renderer converts straight into a picture of that size (nearest pixel),
    // so a surface that shows the video smaller gets it at its size. By default the source's size. Called
    // as Present is.
    virtual SIZE ShownSize(const RECT& source, const RECT& destination);
};

// The surface stays the caller's; registering again replaces it.
void RegisterVideoSurface(HWND window, VideoSurface* surface);
// After this returns no Present of the window's surface runs or will run.
void UnregisterVideoSurface(HWND window);
// Presents to the window's surface; false when none is registered.
bool PresentToWindow(HWND window, const VideoFrame& frame);
// The window's surface's ShownSize; the source's size when none is registered.
SIZE ShownSizeForWindow(HWND window, const RECT& source, const RECT& destination);

} // namespace platform::dshow
