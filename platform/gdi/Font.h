// Fonts and text through FreeType and fontconfig. A Windows face name maps to an installed face ("Arial
// Black" to a bold DejaVu Sans, "Arial", "Tahoma", "MS Sans Serif" and the other sans faces to DejaVu Sans,
// the fixed-pitch ones to DejaVu Sans Mono, the serif ones to DejaVu Serif; any other name is asked of
// fontconfig). The requested sizes are honoured as Windows does: a positive height is the cell height
// (ascent + descent), a negative one the em height; a non-zero width is the average character width, which
// the face is scaled horizontally to match (callers lay text out by it). Bold and italic come from the face
// or are synthesised. Text is anti-aliased unless NONANTIALIASED_QUALITY is asked for.
#pragma once

#include "platform/gdi/Gdi.h"

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;

HFONT CreateFontIndirectW(const LOGFONTW* logFont);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName);

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
COLORREF SetTextColor(HDC dc, COLORREF colour); // the previous colour; CLR_INVALID on failure
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode); // the previous mode; 0 on failure

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);

// Draws count characters with the cell's top-left corner at (x, y): the baseline is at y + tmAscent. In
// OPAQUE mode the cell rectangle (the text's extent by tmHeight) is filled with the background colour
// first.
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);

constexpr UINT DT_TOP = 0x0;
constexpr UINT DT_LEFT = 0x0;
constexpr UINT DT_CENTER = 0x1;
constexpr UINT DT_RIGHT = 0x2;
constexpr UINT DT_VCENTER = 0x4;
constexpr UINT DT_BOTTOM = 0x8;
constexpr UINT DT_WORDBREAK = 0x10;
constexpr UINT DT_SINGLELINE = 0x20;
constexpr UINT DT_NOCLIP = 0x100;
constexpr UINT DT_CALCRECT = 0x400;
constexpr UINT DT_NOPREFIX = 0x800;
constexpr UINT DT_END_ELLIPSIS = 0x8000;

// Lays text out in the rectangle: lines at '\n' (and at word ends with DT_WORDBREAK), "&x" shown as "x"
// and "&&" as "&" unless DT_NOPREFIX, vertical placement only for DT_SINGLELINE, clipped to the rectangle
// unless DT_NOCLIP. DT_CALCRECT measures only and sets the rectangle's right and bottom. Returns the
// height of the text (0 on failure); count -1 means up to the terminator.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);
