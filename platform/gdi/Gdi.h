// One raster GDI for the whole program: device contexts, bitmaps (DIB sections), brushes, blits and fills.
// Fonts and text are in platform/gdi/Font.h, window device contexts in platform/gdi/WindowDc.h, bitmap
// files in platform/gdi/Bmp.h and the image class in platform/gdi/Image.h.
//
// Every drawing surface is 32 bits per pixel, 0x00RRGGBB in memory (bytes B, G, R, 0), as a 32-bit DIB
// section; 24-bit sources are converted on the way in. Handles are ids of one process-wide table, never
// dereferenced; a deleted handle is refused. A bitmap deleted while selected into a DC stays alive until it
// is deselected. A DC is used by one thread at a time; different DCs may draw on different threads at
// once, also into the same window layer. There are no clipping regions: every call clips to the surfaces.
#pragma once

#include "platform/win32/Types.h"

#include <cstdint>
#include <optional>
#include <vector>

struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;
struct HDC__;
using HDC = HDC__*;
using HBITMAP = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HFONT = HGDIOBJ;

using COLORREF = DWORD; // 0x00BBGGRR
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | static_cast<COLORREF>(g) << 8 | static_cast<COLORREF>(b) << 16;
}
constexpr BYTE GetRValue(COLORREF c) {
    return static_cast<BYTE>(c);
}
constexpr BYTE GetGValue(COLORREF c) {
    return static_cast<BYTE>(c >> 8);
}
constexpr BYTE GetBValue(COLORREF c) {
    return static_cast<BYTE>(c >> 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

struct SIZE {
    LONG cx;
    LONG cy;
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType;
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // positive: bottom-up rows; negative: top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;

// What GetObjectW reports of a bitmap.
struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits; // the pixels of a DIB section, else null
};

// Device contexts. A memory DC starts with a 1 x 1 bitmap, the white brush, the system font, black text on
// an opaque white background.
HDC CreateCompatibleDC(HDC reference); // the reference (or null) only tells the format: always 32 bits
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);         // the previous object of its kind; null on failure
BOOL DeleteObject(HGDIOBJ object);                    // stock objects are not deleted (TRUE)
int GetObjectW(HGDIOBJ object, int size, LPVOID out); // BITMAP, LOGBRUSH-free: bitmaps and fonts only
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_FONT = 6;
constexpr UINT OBJ_BITMAP = 7;

constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
HGDIOBJ GetStockObject(int which);

constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
int GetDeviceCaps(HDC dc, int index); // 96 pixels per inch; the size is the selected bitmap's or the layer's

// Bitmaps. A DIB section's pixels are handed out through `bits` in the row order its header asks for
// (bottom-up for a positive height); only 32 and 24 bits per pixel are made (24-bit rows are kept as
// 32-bit pixels, so `bits` is offered for 32 bits only).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// Copies rows of a bitmap out as a 32-bit or 24-bit DIB described by info (rows in its height's order).
// With bits null only fills in the header. Returns the rows copied, 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage);

// Brushes.
HBRUSH CreateSolidBrush(COLORREF colour);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
COLORREF GetPixel(HDC dc, int x, int y); // CLR_INVALID outside the surface

// Raster operations of the blits.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
// Nearest-pixel scaling; a negative width or height mirrors.
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop);
// StretchBlt that leaves the destination unchanged where the source pixel equals the key colour.
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT transparent);

namespace platform::gdi {

// A plain 32-bit image, top-down, 0x00RRGGBB per pixel: what moves between this layer and its users
// (the video renderer's mixer bitmap, the toolkit painting a window).
struct Dib {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The pixels of `rect` of the bitmap selected into a DC (or of the DC's window layer), clipped to it.
std::optional<Dib> ReadDc(HDC dc, const RECT& rect);
std::optional<Dib> ReadBitmap(HBITMAP bitmap);
// A new 32-bit DIB section holding the image.
HBITMAP CreateBitmapFromDib(const Dib& dib);

// 0x00RRGGBB pixel and COLORREF conversions.
constexpr std::uint32_t ToPixel(COLORREF c) {
    return static_cast<std::uint32_t>(GetRValue(c)) << 16 | static_cast<std::uint32_t>(GetGValue(c)) << 8 |
           GetBValue(c);
}
constexpr COLORREF ToColorRef(std::uint32_t pixel) {
    return RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8), static_cast<BYTE>(pixel));
}

} // namespace platform::gdi
