// Blits, fills and pixel access.
#include "platform/gdi/Objects.h"

#include <algorithm>
#include <cstring>

using namespace platform::gdi;
using namespace platform::gdi::detail;

namespace {

struct Target {
    std::shared_ptr<DcObject> dc;
    std::shared_ptr<Surface> surface;
    HWND window = nullptr;
    std::uint32_t brush = 0;
    bool hollowBrush = true;
};

bool target(HDC dc, Target* out) {
    out->dc = findDc(dc);
    if (!out->dc)
        return false;
    std::lock_guard lock(out->dc->mutex);
    out->surface = out->dc->target;
    out->window = out->dc->window;
    if (out->dc->brush) {
        out->hollowBrush = out->dc->brush->hollow;
        out->brush = ToPixel(out->dc->brush->colour);
    }
    return out->surface != nullptr;
}

// Runs `draw` on the DC's surface under its lock; a window layer's observer hears of `changed` after.
template <class F> bool drawOn(HDC dc, F draw) {
    Target t;
    if (!target(dc, &t))
        return false;
    RECT changed{};
    bool ok;
    {
        std::lock_guard lock(t.surface->mutex);
        ok = draw(t, *t.surface, &changed);
    }
    if (ok && t.window && changed.left < changed.right && changed.top < changed.bottom)
        layerChanged(t.window, changed);
    return ok;
}

enum class Rop { Copy, Paint, And, Invert, Pattern, DestInvert, Black, White, Unknown };

Rop ropOf(DWORD rop) {
    switch (rop) {
    case SRCCOPY:
        return Rop::Copy;
    case SRCPAINT:
        return Rop::Paint;
    case SRCAND:
        return Rop::And;
    case SRCINVERT:
        return Rop::Invert;
    case PATCOPY:
        return Rop::Pattern;
    case DSTINVERT:
        return Rop::DestInvert;
    case BLACKNESS:
        return Rop::Black;
    case WHITENESS:
        return Rop::White;
    default:
        return Rop::Unknown;
    }
}

bool needsSource(Rop r) {
    return r == Rop::Copy || r == Rop::Paint || r == Rop::And || r == Rop::Invert;
}

std::uint32_t apply(Rop r, std::uint32_t d, std::uint32_t s, std::uint32_t brush) {
    switch (r) {
    case Rop::Copy:
        return s;
    case Rop::Paint:
        return d | s;
    case Rop::And:
        return d & s;
    case Rop::Invert:
        return d ^ s;
    case Rop::Pattern:
        return brush;
    case Rop::DestInvert:
        return ~d;
    case Rop::Black:
        return 0;
    default:
        return 0xFFFFFF;
    }
}

// One axis of a stretch: the destination span [start, start + length) reads source pixels from
// [srcStart, srcStart + srcLength), mirrored when the signs of the two extents differ.
struct Axis {
    int start, length, srcStart, srcLength;
    bool mirror;
    Axis(int s, int l, int ss, int sl) : start(s), length(l), srcStart(ss), srcLength(sl), mirror(false) {
        if (length < 0) {
            start += length;
            length = -length;
            mirror = !mirror;
        }
        if (srcLength < 0) {
            srcStart += srcLength;
            srcLength = -srcLength;
            mirror = !mirror;
        }
    }
    int source(int d) const { // d in [0, length)
        const long long f = static_cast<long long>(d) * srcLength / length;
        return mirror ? srcStart + srcLength - 1 - static_cast<int>(f) : srcStart + static_cast<int>(f);
    }
};

// The general blit: stretch (or copy) with a raster operation, optionally skipping a key colour. The
// source pixels it reads are copied first under the source's lock alone, so that no two surface locks are
// ever held together (blits may run both ways between two surfaces on two threads).
bool blit(HDC dstDc, int x, int y, int w, int h, HDC srcDc, int sx, int sy, int sw, int sh, Rop rop,
          bool keyed, std::uint32_t key) {
    if (rop == Rop::Unknown)
        return false;
    Target dst, src;
    const bool withSource = needsSource(rop);
    if (!target(dstDc, &dst) || (withSource && !target(srcDc, &src)))
        return false;
    if (w == 0 || h == 0 || (withSource && (sw == 0 || sh == 0)))
        return true;
    if (rop == Rop::Pattern && dst.hollowBrush)
        return true;
    const Axis ax(x, w, sx, sw);
    const Axis ay(y, h, sy, sh);
    RECT area{ax.start, ay.start, ax.start + ax.length, ay.start + ay.length};
    {
        std::lock_guard lock(dst.surface->mutex);
        if (!clip(*dst.surface, &area))
            return true;
    }
    std::vector<std::uint32_t> pixels;
    RECT from{};
    if (withSource) {
        const int x0 = ax.source(area.left - ax.start), x1 = ax.source(area.right - 1 - ax.start);
        const int y0 = ay.source(area.top - ay.start), y1 = ay.source(area.bottom - 1 - ay.start);
        from = RECT{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1, std::max(y0, y1) + 1};
        std::lock_guard lock(src.surface->mutex);
        if (!clip(*src.surface, &from))
            return true;
        const size_t fw = static_cast<size_t>(from.right - from.left);
        pixels.resize(fw * static_cast<size_t>(from.bottom - from.top));
        for (int row = from.top; row < from.bottom; ++row)
            std::memcpy(pixels.data() + static_cast<size_t>(row - from.top) * fw,
                        src.surface->row(row) + from.left, fw * 4);
    }
    const size_t fw = static_cast<size_t>(from.right - from.left);
    {
        Surface& d = *dst.surface;
        std::lock_guard lock(d.mutex);
        if (!clip(d, &area)) // the surface may have shrunk meanwhile
            return true;
        for (int dy = area.top; dy < area.bottom; ++dy) {
            const int syy = withSource ? ay.source(dy - ay.start) : 0;
            if (withSource && (syy < from.top || syy >= from.bottom))
                continue;
            std::uint32_t* out = d.row(dy);
            for (int dx = area.left; dx < area.right; ++dx) {
                std::uint32_t s = 0;
                if (withSource) {
                    const int sxx = ax.source(dx - ax.start);
                    if (sxx < from.left || sxx >= from.right)
                        continue;
                    s = pixels[static_cast<size_t>(syy - from.top) * fw +
                               static_cast<size_t>(sxx - from.left)] &
                        0x00FFFFFFu;
                    if (keyed && s == key)
                        continue;
                }
                out[dx] = (apply(rop, out[dx] & 0x00FFFFFFu, s, dst.brush) & 0x00FFFFFFu) | d.alpha;
            }
        }
    }
    if (dst.window)
        layerChanged(dst.window, area);
    return true;
}

bool fill(HDC dc, const RECT* rect, HBRUSH brushHandle, bool frameOnly) {
    auto brush = find<BrushObject>(brushHandle);
    if (!rect || !brush)
        return false;
    if (brush->hollow)
        return true;
    const std::uint32_t colour = ToPixel(brush->colour);
    return drawOn(dc, [&](Target&, Surface& s, RECT* changed) {
        RECT area = *rect;
        if (!clip(s, &area))
            return true;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                const bool edge =
                    y == rect->top || y == rect->bottom - 1 || x == rect->left || x == rect->right - 1;
                if (!frameOnly || edge)
                    put(s, x, y, colour);
            }
        *changed = area;
        return true;
    });
}

} // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    return blit(dst, x, y, width, height, src, srcX, srcY, width, height, ropOf(rop), false, 0) ? TRUE
                                                                                                : FALSE;
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
    return blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, ropOf(rop), false, 0) ? TRUE
                                                                                                      : FALSE;
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent) {
    if (width <= 0 || height <= 0 || srcWidth <= 0 || srcHeight <= 0)
        return FALSE;
    return blit(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, Rop::Copy, true,
                ToPixel(transparent))
               ? TRUE
               : FALSE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    return fill(dc, rect, brush, false) ? 1 : 0;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
    return fill(dc, rect, brush, true) ? 1 : 0;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
    COLORREF result = CLR_INVALID;
    drawOn(dc, [&](Target&, Surface& s, RECT* changed) {
        if (!s.contains(x, y))
            return false;
        put(s, x, y, ToPixel(colour));
        result = colour & 0x00FFFFFF;
        *changed = RECT{x, y, x + 1, y + 1};
        return true;
    });
    return result;
}

COLORREF GetPixel(HDC dc, int x, int y) {
    Target t;
    if (!target(dc, &t))
        return CLR_INVALID;
    std::lock_guard lock(t.surface->mutex);
    return t.surface->contains(x, y) ? ToColorRef(get(*t.surface, x, y)) : CLR_INVALID;
}

int GetDIBits(HDC, HBITMAP bitmapHandle, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT) {
    auto bitmap = find<BitmapObject>(bitmapHandle);
    if (!bitmap || !info)
        return 0;
    Surface& s = *bitmap->surface;
    std::lock_guard lock(s.mutex);
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits) {
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = s.width;
        h.biHeight = s.height;
        h.biPlanes = 1;
        h.biBitCount = 32;
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(s.width) * static_cast<DWORD>(s.height) * 4;
        h.biClrUsed = 0;
        return 1;
    }
    if ((h.biBitCount != 32 && h.biBitCount != 24) || h.biWidth != s.width ||
        (h.biHeight != s.height && h.biHeight != -s.height) || start >= static_cast<UINT>(s.height))
        return 0;
    const bool bottomUp = h.biHeight > 0;
    const int bytesPerPixel = h.biBitCount / 8;
    const size_t stride =
        (static_cast<size_t>(s.width) * static_cast<size_t>(bytesPerPixel) + 3) & ~size_t{3};
    const UINT count = std::min<UINT>(lines, static_cast<UINT>(s.height) - start);
    auto* out = static_cast<std::uint8_t*>(bits);
    for (UINT i = 0; i < count; ++i) {
        const int scan = static_cast<int>(start + i); // DIB scan line: 0 is the bottom row when bottom-up
        const int y = bottomUp ? s.height - 1 - scan : scan;
        const std::uint32_t* src = s.row(y);
        std::uint8_t* dst = out + i * stride;
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = src[x];
            dst[x * bytesPerPixel] = static_cast<std::uint8_t>(p);
            dst[x * bytesPerPixel + 1] = static_cast<std::uint8_t>(p >> 8);
            dst[x * bytesPerPixel + 2] = static_cast<std::uint8_t>(p >> 16);
            if (bytesPerPixel == 4)
                dst[x * 4 + 3] = 0;
        }
    }
    return static_cast<int>(count);
}

namespace platform::gdi {

std::optional<Dib> ReadDc(HDC dc, const RECT& rect) {
    Target t;
    if (!target(dc, &t))
        return std::nullopt;
    std::lock_guard lock(t.surface->mutex);
    RECT area = rect;
    if (!clip(*t.surface, &area))
        return Dib{};
    Dib dib;
    dib.width = area.right - area.left;
    dib.height = area.bottom - area.top;
    dib.pixels.resize(static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height));
    for (int y = 0; y < dib.height; ++y)
        for (int x = 0; x < dib.width; ++x)
            dib.pixels[static_cast<size_t>(y) * static_cast<size_t>(dib.width) + static_cast<size_t>(x)] =
                get(*t.surface, area.left + x, area.top + y);
    return dib;
}

std::optional<Dib> ReadBitmap(HBITMAP bitmapHandle) {
    auto bitmap = find<BitmapObject>(bitmapHandle);
    if (!bitmap)
        return std::nullopt;
    Surface& s = *bitmap->surface;
    std::lock_guard lock(s.mutex);
    Dib dib;
    dib.width = s.width;
    dib.height = s.height;
    dib.pixels.resize(s.pixels.size());
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            dib.pixels[static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x)] =
                get(s, x, y);
    return dib;
}

HBITMAP CreateBitmapFromDib(const Dib& dib) {
    if (dib.width <= 0 || dib.height <= 0 ||
        dib.pixels.size() != static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height))
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = dib.width;
    info.bmiHeader.biHeight = -dib.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap)
        std::memcpy(bits, dib.pixels.data(), dib.pixels.size() * 4);
    return bitmap;
}

} // namespace platform::gdi
