// KQ_UI_VideoBox: the main window's video area. The video renderer hands it each frame as packed 4:2:2 rows
// (UYVY or YUY2) at their pitch; it converts them to RGB and paints the latest frame scaled into its video
// rectangle, black around it. It forwards the live graph's events (WM_AV_GRAPH_EVENT) to the main window.
//
// Threads: PresentFrame may be called from any thread (it converts there, keeps the result under a lock and
// asks the UI thread to repaint); everything else is UI-thread only.
#pragma once

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

class KQ_UI_VideoBox : public CStatic {
public:
    KQ_UI_VideoBox();

    // Takes over control id of parent (the template's video area).
    BOOL Attach(UINT id, CWnd* parent);
    // Frames go on to another box while set (the full-screen window), null to show them here again.
    void SetRedirect(KQ_UI_VideoBox* other);

    bool PresentFrame(const std::uint8_t* data, std::size_t size, int width, int height, int pitch,
                      bool uyvy);
    // A frame already in RGB (0x00RRGGBB rows, stride in bytes).
    bool PresentRgb(const std::uint32_t* rows, int width, int height, std::size_t stride);
    void Clear();
    // Where in the box the picture goes; empty: the whole box.
    void SetVideoRect(const RECT& rect);
    bool HasFrame() const;

protected:
    void DrawItem(LPDRAWITEMSTRUCT item) override;

private:
    void requestRepaint();

    std::atomic<HWND> handle_{nullptr};
    std::atomic<KQ_UI_VideoBox*> redirect_{nullptr};
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> pixels_; // guarded
    int width_ = 0;                     // guarded
    int height_ = 0;                    // guarded
    CRect videoRect_;
};
