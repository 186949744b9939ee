// KQ_UI_VideoBox: a video area (the main window's, the full-screen window's). It is the video renderer's
// surface for its window handle: the renderer hands it each frame as a picture in RGB, the mixer bitmap
// already blended in and at the size of its video rectangle where that is smaller, and the box shows it (a
// picture window, platform/mfc/PictureWindow.h) straight from the renderer's buffer in that rectangle, in
// the renderer's border colour around it. It forwards the
// live graph's events (WM_AV_GRAPH_EVENT) to its parent.
//
// Threads: Present and PresentFrame may be called from any thread (they keep the frame under a lock and
// hand the picture to the window, which repaints on the UI thread); everything else is UI-thread only.
#pragma once

#include "platform/dshow/VideoSurface.h"
#include "platform/mfc/Controls.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class KQ_UI_VideoBox : public CStatic, public platform::dshow::VideoSurface {
public:
    KQ_UI_VideoBox();

    ~KQ_UI_VideoBox() override;

    // Takes over control id of parent (the template's video area) and is the surface of its handle.
    BOOL Attach(UINT id, CWnd* parent);
    void Present(const platform::dshow::VideoFrame& frame) override;
    // The size of the video rectangle, where it is smaller than the source: the renderer's pictures come
    // at the size the box shows them in.
    SIZE ShownSize(const RECT& source, const RECT& destination) override;

    // A packed 4:2:2 frame of the caller's (UYVY or YUY2 rows at their pitch), converted by the program's
    // converter and shown as the renderer's would be; false when the sizes don't fit.
    bool PresentFrame(const std::uint8_t* data, std::size_t size, int width, int height, int pitch,
                      bool uyvy);
    void Clear();
    bool HasFrame() const;
    // Where the picture goes in a client area of the given size: the renderer's destination, scaled to fit
    // with its shape kept and centred (the whole area when there is none).
    static CRect VideoRect(const RECT& destination, int width, int height);

protected:
    void OnSize(UINT type, int cx, int cy) override;

private:
    // Hands the kept frame to the window, laid out in its client area as it is now. Under mutex_.
    void show();

    std::atomic<HWND> handle_{nullptr};
    std::atomic<int> clientWidth_{0}; // the client size, kept by the UI thread for the renderer's thread
    std::atomic<int> clientHeight_{0};
    mutable std::mutex mutex_;
    platform::dshow::VideoFrame frame_; // guarded
};
