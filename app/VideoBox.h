// KQ_UI_VideoBox: a video area (the main window's, the full-screen window's). It is the video renderer's
// surface for its window handle: the renderer hands it each frame as packed 4:2:2 rows (UYVY or YUY2) at
// their pitch; it converts them to RGB and paints the latest frame into its video rectangle, in the
// renderer's border colour around it. It forwards the live graph's events (WM_AV_GRAPH_EVENT) to its parent.
//
// Threads: Present and PresentFrame may be called from any thread (they convert there, keep the result
// under a lock and ask the UI thread to repaint); everything else is UI-thread only.
#pragma once

#include "platform/dshow/VideoSurface.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/Dc.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Packed 4:2:2 (BT.601, studio range) to 0x00RRGGBB. UYVY bytes are U Y0 V Y1, YUY2 bytes Y0 U Y1 V; each
// source row starts pitch bytes after the one before. False, with nothing written, when the sizes don't fit.
bool PackedYuvToRgb(const std::uint8_t* source, std::size_t sourceSize, int width, int height, int pitch,
                    bool uyvy, std::uint32_t* rgb);

class KQ_UI_VideoBox : public CStatic, public platform::dshow::VideoSurface {
public:
    KQ_UI_VideoBox();

    ~KQ_UI_VideoBox() override;

    // Takes over control id of parent (the template's video area) and is the surface of its handle.
    BOOL Attach(UINT id, CWnd* parent);
    void Present(const platform::dshow::VideoFrame& frame) override;

    bool PresentFrame(const std::uint8_t* data, std::size_t size, int width, int height, int pitch,
                      bool uyvy);
    // A frame already in RGB (0x00RRGGBB rows, stride in bytes).
    bool PresentRgb(const std::uint32_t* rows, int width, int height, std::size_t stride);
    void Clear();
    bool HasFrame() const;
    // Where the picture goes in a client area of the given size: the renderer's destination, scaled to fit
    // with its shape kept and centred (the whole area when there is none).
    static CRect VideoRect(const RECT& destination, int width, int height);

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    void requestRepaint();

    bool store(std::vector<std::uint32_t> pixels, int width, int height, const RECT& source,
               const RECT& destination, COLORREF border);

    std::atomic<HWND> handle_{nullptr};
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> pixels_; // guarded, as the fields below
    int width_ = 0;
    int height_ = 0;
    RECT source_{};
    RECT destination_{};
    COLORREF border_ = 0;
};
