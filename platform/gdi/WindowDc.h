// Window device contexts on platform/win32 window handles, and the per-window layer they draw into.
//
// Every window has a layer: a 32-bit image of its client area, transparent (alpha 0) until drawn on. A
// window DC (GetDC) draws into it from any thread, without waiting for the window's own thread; whatever
// the DC draws is opaque (alpha 255). The window's face (platform/mfc) sets the client size, shows the
// layer over its own painting, and hears of every change through the layer's observer. Headless windows
// have a layer too, once a size is set; tests read it back.
#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <functional>

HDC GetDC(HWND window);                      // null for a dead window
int ReleaseDC(HWND window, HDC dc);          // 1 when the DC was the window's
BOOL GetClientRect(HWND window, RECT* rect); // (0, 0, width, height) of the layer
// Tells the window's face to repaint the rectangle (the whole client area for null); with `erase` the
// layer is made transparent there first, so what the window paints itself shows again.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);

namespace platform::gdi {

// Called on the drawing thread after each change of the layer, with the changed part; must not block on
// the window's thread (post or queue a repaint instead) and must not draw into the layer itself.
using LayerObserver = std::function<void(HWND window, const RECT& changed)>;

// Sets the client size of a window (creating its layer); the overlapping part of the layer is kept, the
// rest is transparent. FALSE for a dead window.
BOOL SetWindowClientSize(HWND window, int width, int height);
// One observer per window; an empty function removes it. After the call returns the old observer is not
// called any more (so it must not be called from inside the observer).
void SetLayerObserver(HWND window, LayerObserver observer);

// Calls `read` with the layer's pixels (0xAARRGGBB, top-down, `width` per row) under the layer's lock, so
// no drawing changes them meanwhile. FALSE when the window has no layer.
BOOL ReadLayer(HWND window,
               const std::function<void(const std::uint32_t* pixels, int width, int height)>& read);

// TRUE when nothing was drawn into the window's layer since it was made or last erased whole (so it shows
// nothing and need not be painted over the window); TRUE for a window without a layer.
BOOL LayerIsClear(HWND window);

// Drops the layer of a window that is being destroyed (layers of dead windows also go on their own the
// next time any layer is looked up).
void RemoveWindowLayer(HWND window);

} // namespace platform::gdi
