#include "platform/gdi/Objects.h"

#include "platform/gdi/WindowDc.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace platform::gdi::detail {
namespace {

std::mutex g_tableMutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> g_objects;
std::unordered_map<std::uintptr_t, std::shared_ptr<DcObject>> g_dcs;
std::uintptr_t g_nextId = 0x1000; // ids step by 4, so no handle is null

std::uintptr_t nextIdLocked() {
    const std::uintptr_t id = g_nextId;
    g_nextId += 4;
    return id;
}

struct Stock {
    HGDIOBJ brushes[6];
    HGDIOBJ systemFont;
    HGDIOBJ guiFont;
    HGDIOBJ oneByOne; // the bitmap of a new memory DC
};

HGDIOBJ addStock(std::shared_ptr<Object> object) {
    object->stock = true;
    return addObject(std::move(object));
}

HGDIOBJ stockFont(LONG height) {
    auto font = std::make_shared<FontObject>();
    font->logFont.lfHeight = height;
    font->logFont.lfWeight = FW_NORMAL;
    font->logFont.lfCharSet = DEFAULT_CHARSET;
    std::wcscpy(font->logFont.lfFaceName, L"MS Shell Dlg");
    font->font = SizedFont::get(font->logFont);
    return addStock(font);
}

const Stock& stock() {
    static const Stock s = [] {
        Stock made{};
        const COLORREF colours[5] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                     RGB(64, 64, 64), RGB(0, 0, 0)};
        for (int i = 0; i < 6; ++i) {
            auto brush = std::make_shared<BrushObject>();
            brush->hollow = i == NULL_BRUSH;
            brush->colour = i < 5 ? colours[i] : 0;
            made.brushes[i] = addStock(brush);
        }
        made.systemFont = stockFont(16);
        made.guiFont = stockFont(-11);
        auto bitmap = std::make_shared<BitmapObject>();
        bitmap->surface = std::make_shared<Surface>(1, 1);
        made.oneByOne = addStock(bitmap);
        return made;
    }();
    return s;
}

} // namespace

Surface::Surface(int w, int h, bool bottomUpRows)
    : width(std::max(w, 0)), height(std::max(h, 0)), bottomUp(bottomUpRows),
      pixels(static_cast<size_t>(width) * static_cast<size_t>(height)) {}

void Surface::resize(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    std::vector<std::uint32_t> next(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < std::min(h, height); ++y) {
        const std::uint32_t* src = row(y);
        std::copy(src, src + std::min(w, width),
                  next.data() + static_cast<size_t>(y) * static_cast<size_t>(w));
    }
    pixels = std::move(next);
    width = w;
    height = h;
    bottomUp = false;
}

bool clip(const Surface& s, RECT* r) {
    r->left = std::max<LONG>(r->left, 0);
    r->top = std::max<LONG>(r->top, 0);
    r->right = std::min<LONG>(r->right, s.width);
    r->bottom = std::min<LONG>(r->bottom, s.height);
    return r->left < r->right && r->top < r->bottom;
}

HGDIOBJ addObject(std::shared_ptr<Object> object) {
    std::lock_guard lock(g_tableMutex);
    const std::uintptr_t id = nextIdLocked();
    g_objects.emplace(id, std::move(object));
    return reinterpret_cast<HGDIOBJ>(id);
}

std::shared_ptr<Object> findObject(HGDIOBJ handle) {
    stock();
    std::lock_guard lock(g_tableMutex);
    auto it = g_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == g_objects.end() ? nullptr : it->second;
}

HDC addDc(std::shared_ptr<DcObject> dc) {
    std::lock_guard lock(g_tableMutex);
    const std::uintptr_t id = nextIdLocked();
    g_dcs.emplace(id, std::move(dc));
    return reinterpret_cast<HDC>(id);
}

std::shared_ptr<DcObject> findDc(HDC dc) {
    std::lock_guard lock(g_tableMutex);
    auto it = g_dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    return it == g_dcs.end() ? nullptr : it->second;
}

bool removeDc(HDC dc) {
    std::lock_guard lock(g_tableMutex);
    return g_dcs.erase(reinterpret_cast<std::uintptr_t>(dc)) != 0;
}

std::shared_ptr<DcObject> newDc(HWND window, std::shared_ptr<Surface> target) {
    const Stock& s = stock();
    auto dc = std::make_shared<DcObject>();
    dc->window = window;
    dc->brushHandle = s.brushes[WHITE_BRUSH];
    dc->brush = find<BrushObject>(dc->brushHandle);
    dc->fontHandle = s.systemFont;
    dc->font = find<FontObject>(dc->fontHandle);
    if (target) {
        dc->target = std::move(target);
    } else {
        dc->bitmapHandle = s.oneByOne;
        dc->bitmap = find<BitmapObject>(dc->bitmapHandle);
        dc->target = dc->bitmap->surface;
    }
    return dc;
}

} // namespace platform::gdi::detail

using namespace platform::gdi::detail;

HDC CreateCompatibleDC(HDC) {
    return addDc(newDc(nullptr, nullptr));
}

BOOL DeleteDC(HDC dc) {
    auto state = findDc(dc);
    if (!state || state->window)
        return FALSE; // a window DC is given back with ReleaseDC
    return removeDc(dc) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ handle) {
    auto state = findDc(dc);
    auto object = findObject(handle);
    if (!state || !object)
        return nullptr;
    std::lock_guard lock(state->mutex);
    HGDIOBJ previous = nullptr;
    if (auto bitmap = std::dynamic_pointer_cast<BitmapObject>(object)) {
        if (state->window)
            return nullptr; // a window DC always draws into its window
        previous = state->bitmapHandle;
        state->bitmapHandle = handle;
        state->bitmap = bitmap;
        state->target = bitmap->surface;
    } else if (auto brush = std::dynamic_pointer_cast<BrushObject>(object)) {
        previous = state->brushHandle;
        state->brushHandle = handle;
        state->brush = brush;
    } else if (auto font = std::dynamic_pointer_cast<FontObject>(object)) {
        previous = state->fontHandle;
        state->fontHandle = handle;
        state->font = font;
    }
    return previous;
}

BOOL DeleteObject(HGDIOBJ handle) {
    auto object = findObject(handle);
    if (!object)
        return FALSE;
    if (object->stock)
        return TRUE;
    std::lock_guard lock(g_tableMutex);
    g_objects.erase(reinterpret_cast<std::uintptr_t>(handle));
    return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID out) {
    auto object = findObject(handle);
    if (!object)
        return 0;
    if (auto bitmap = std::dynamic_pointer_cast<BitmapObject>(object)) {
        if (!out)
            return sizeof(BITMAP);
        if (size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        BITMAP info{};
        std::lock_guard lock(bitmap->surface->mutex);
        info.bmWidth = bitmap->surface->width;
        info.bmHeight = bitmap->surface->height;
        info.bmWidthBytes = bitmap->surface->width * 4;
        info.bmPlanes = 1;
        info.bmBitsPixel = 32;
        info.bmBits = bitmap->dibSection && bitmap->bitCount == 32 ? bitmap->surface->pixels.data() : nullptr;
        std::memcpy(out, &info, sizeof info);
        return sizeof(BITMAP);
    }
    if (auto font = std::dynamic_pointer_cast<FontObject>(object)) {
        if (!out)
            return sizeof(LOGFONTW);
        if (size < static_cast<int>(sizeof(LOGFONTW)))
            return 0;
        std::memcpy(out, &font->logFont, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    }
    return 0;
}

HGDIOBJ GetStockObject(int which) {
    const Stock& s = stock();
    if (which >= WHITE_BRUSH && which <= NULL_BRUSH)
        return s.brushes[which];
    if (which == SYSTEM_FONT)
        return s.systemFont;
    if (which == DEFAULT_GUI_FONT)
        return s.guiFont;
    return nullptr;
}

int GetDeviceCaps(HDC dc, int index) {
    auto state = findDc(dc);
    if (!state)
        return 0;
    std::shared_ptr<Surface> target;
    {
        std::lock_guard lock(state->mutex);
        target = state->target;
    }
    switch (index) {
    case HORZRES: {
        std::lock_guard lock(target->mutex);
        return target->width;
    }
    case VERTRES: {
        std::lock_guard lock(target->mutex);
        return target->height;
    }
    case BITSPIXEL:
        return 32;
    case PLANES:
        return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    default:
        return 0;
    }
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > (1LL << 28))
        return nullptr;
    auto bitmap = std::make_shared<BitmapObject>();
    bitmap->surface = std::make_shared<Surface>(width, height);
    return addObject(bitmap);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
    if (bits)
        *bits = nullptr;
    if (!info)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const long long height = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (h.biWidth <= 0 || height <= 0 || h.biWidth * height > (1LL << 28) ||
        (h.biBitCount != 32 && h.biBitCount != 24) ||
        (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS))
        return nullptr;
    auto bitmap = std::make_shared<BitmapObject>();
    bitmap->dibSection = true;
    bitmap->bitCount = h.biBitCount;
    bitmap->surface = std::make_shared<Surface>(h.biWidth, static_cast<int>(height), h.biHeight > 0);
    if (bits && h.biBitCount == 32)
        *bits = bitmap->surface->pixels.data();
    return addObject(bitmap);
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    auto brush = std::make_shared<BrushObject>();
    brush->colour = colour & 0x00FFFFFF;
    return addObject(brush);
}
