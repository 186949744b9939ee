// Inside the GDI: the handle table, surfaces and device-context state shared by the GDI's sources.
#pragma once

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/Gdi.h"

#include <memory>
#include <mutex>

namespace platform::gdi::detail {

// Pixels of a bitmap or a window layer, guarded by `mutex` (a layer is drawn into and read on different
// threads; a resize replaces the storage in place, so a DC keeps drawing into the right layer).
struct Surface {
    std::mutex mutex;
    int width = 0;
    int height = 0;
    bool bottomUp = false;   // memory row order of a DIB section made bottom-up
    std::uint32_t alpha = 0; // or'ed into every written pixel: 0xFF000000 in window layers
    std::vector<std::uint32_t> pixels;

    Surface(int w, int h, bool bottomUpRows = false);
    void resize(int w, int h); // keeps the overlapping top-left part; the rest becomes 0
    std::uint32_t* row(int y) {
        return pixels.data() +
               static_cast<size_t>(bottomUp ? height - 1 - y : y) * static_cast<size_t>(width);
    }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

struct Object {
    virtual ~Object() = default;
    virtual UINT kind() const = 0;
    bool stock = false;
};

struct BitmapObject final : Object {
    std::shared_ptr<Surface> surface;
    bool dibSection = false;
    WORD bitCount = 32;
    UINT kind() const override { return OBJ_BITMAP; }
};

struct BrushObject final : Object {
    COLORREF colour = 0;
    bool hollow = false;
    UINT kind() const override { return OBJ_BRUSH; }
};

struct FontObject final : Object {
    LOGFONTW logFont{};
    std::shared_ptr<const SizedFont> font;
    UINT kind() const override { return OBJ_FONT; }
};

struct DcObject {
    std::mutex mutex;      // one user at a time, but a stray second thread must not corrupt it
    HWND window = nullptr; // a window DC draws into the window's layer
    std::shared_ptr<Surface> target;
    HGDIOBJ bitmapHandle = nullptr;
    std::shared_ptr<BitmapObject> bitmap;
    HGDIOBJ brushHandle = nullptr;
    std::shared_ptr<BrushObject> brush;
    HGDIOBJ fontHandle = nullptr;
    std::shared_ptr<FontObject> font;
    COLORREF textColour = 0;
    COLORREF backColour = 0xFFFFFF;
    int backMode = 2; // OPAQUE
};

HGDIOBJ addObject(std::shared_ptr<Object> object);
std::shared_ptr<Object> findObject(HGDIOBJ handle);
template <class T> std::shared_ptr<T> find(HGDIOBJ handle) {
    return std::dynamic_pointer_cast<T>(findObject(handle));
}
std::shared_ptr<DcObject> findDc(HDC dc);
HDC addDc(std::shared_ptr<DcObject> dc);
bool removeDc(HDC dc);
// A new DC with the default objects selected and the given target (a layer, or null for a memory DC).
std::shared_ptr<DcObject> newDc(HWND window, std::shared_ptr<Surface> target);

// Writes a pixel in the surface's own alpha (caller holds the surface's mutex).
inline void put(Surface& s, int x, int y, std::uint32_t pixel) {
    s.row(y)[x] = (pixel & 0x00FFFFFFu) | s.alpha;
}
inline std::uint32_t get(Surface& s, int x, int y) {
    return s.row(y)[x] & 0x00FFFFFFu;
}

// Clips a rectangle to the surface; false when nothing is left.
bool clip(const Surface& s, RECT* r);

// Tells a window layer's observer what changed (after the surface's mutex is released).
void layerChanged(HWND window, const RECT& rect);

} // namespace platform::gdi::detail
