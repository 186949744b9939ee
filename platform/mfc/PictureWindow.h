// Picture windows: windows that show video pictures straight from the video renderer's buffers. A picture
// window shows, instead of what it would paint itself, a picture scaled (nearest pixel) into a target
// rectangle of its client area, one colour around it, and the window's GDI layer over both (what is drawn
// into the window through GetDC, such as the on-screen display while the video is paused). Nothing is
// copied on the way: the window's face draws from the picture's own pixels, and holds the shared picture
// until another one replaces it.
//
// On X, a picture shown at its own size with nothing drawn over it goes from the thread that sets it
// straight to the window's native X window, the X server reading the picture's memory itself; the UI
// thread is not involved. Otherwise the toolkit paints it.
//
// Threads: ShowPictures on the UI thread; SetWindowPicture from any thread. SetWindowPicture allocates
// nothing: it stores the picture and puts it on X, or wakes the UI thread through a descriptor of the
// window's own, at most one wake pending, and the UI thread repaints the window.
#pragma once

#include "platform/dshow/VideoSurface.h"
#include "platform/mfc/Wnd.h"

#include <memory>

namespace platform::mfc {

struct WindowPicture {
    std::shared_ptr<const platform::dshow::VideoPicture> picture; // null: the fill colour alone
    RECT source{};                                                // the part of the picture shown
    RECT target{};                                                // where, in client pixels
    COLORREF fill = 0;                                            // the client area outside the target
};

// Makes a created window a picture window, showing the fill colour black until it has a picture. FALSE
// for a window without a face.
BOOL ShowPictures(CWnd& window);
// FALSE when the window is not (or no longer) a picture window.
BOOL SetWindowPicture(HWND window, const WindowPicture& picture);

} // namespace platform::mfc
