// Drawing for the owner-drawn and skinned windows: pictures (CBitmap), fonts (CFont) and device contexts
// (CDC: a window's paint context or a memory context with a picture selected into it), in the shape the
// windows of the program use them, over the program's one raster GDI (platform/gdi). A window paints into
// a picture of its client area, which starts as what its parent shows there, and the face shows it.
//
// Ownership: a CBitmap owns its pixels (copies share them until one is drawn into); selecting it into a
// memory CDC lends it for drawing, it stays the caller's. A CDC given to OnPaint, OnEraseBkgnd or DrawItem
// is valid for that call only. UI thread only.
#pragma once

#include "platform/gdi/Font.h"
#include "platform/gdi/Gdi.h"
#include "platform/mfc/WinUser.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

constexpr UINT DFC_BUTTON = 4;
constexpr UINT DFCS_BUTTONCHECK = 0x0;
constexpr UINT DFCS_BUTTONRADIO = 0x4;
constexpr UINT DFCS_INACTIVE = 0x100;
constexpr UINT DFCS_PUSHED = 0x200;
constexpr UINT DFCS_CHECKED = 0x400;
constexpr UINT DFCS_TRANSPARENT = 0x800;

// Stretch modes: COLORONCOLOR keeps whole source pixels, HALFTONE filters them (smooth, for pictures).
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

namespace platform::mfc {
struct Picture;    // pixels of a CBitmap
struct DrawTarget; // what a CDC draws on
} // namespace platform::mfc

class CBitmap {
public:
    CBitmap();
    ~CBitmap();
    CBitmap(const CBitmap& other);
    CBitmap& operator=(const CBitmap& other);

    // A Windows BMP file (path in the code's form); FALSE, leaving the bitmap null, when it can't be read.
    BOOL LoadFromFile(const std::wstring& path);
    // A picture file of any format the toolkit reads (BMP, JPEG, PNG); for the snapshot previews.
    BOOL LoadPicture(const std::wstring& path);
    // A picture of the program's own resources: ".\res\<id>.bmp" beside the executable.
    BOOL LoadBitmap(UINT resourceId);
    BOOL CreateBitmap(int cx, int cy, COLORREF fill = 0);
    // Copies rows of 32-bit pixels 0x00RRGGBB, top row first, each stride bytes apart.
    BOOL SetPixels(int cx, int cy, const std::uint32_t* rows, std::size_t stride);
    BOOL DeleteObject();
    bool IsNull() const;
    CSize GetSize() const;
    COLORREF GetPixel(int x, int y) const; // CLR_INVALID outside
    BOOL SaveBmp(const std::wstring& path) const;

    HBITMAP handle() const;

private:
    std::shared_ptr<platform::mfc::Picture> picture_;
};

class CFont {
public:
    CFont() = default;
    ~CFont();
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;
    // A face name of the system's, mapped to an installed face; the cell height in pixels.
    BOOL CreateFont(int pixelHeight, const std::wstring& face, bool bold = false);
    HFONT handle() const { return font_; }

private:
    HFONT font_ = nullptr;
};

class CDC {
public:
    CDC();
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    // A memory context; drawing goes into the bitmap selected into it.
    BOOL CreateCompatibleDC(CDC* reference);
    CBitmap* SelectObject(CBitmap* bitmap); // returns the one selected before
    CFont* SelectObject(CFont* font);

    void FillSolidRect(const RECT& rect, COLORREF colour);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF colour);
    BOOL BitBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, DWORD rop = SRCCOPY);
    BOOL StretchBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy,
                    DWORD rop = SRCCOPY);
    // How StretchBlt scales (HALFTONE applies to SRCCOPY); returns the mode before.
    int SetStretchBltMode(int mode);
    // Copies all pixels but those of the key colour.
    BOOL TransparentBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy,
                        COLORREF key);

    COLORREF SetTextColor(COLORREF colour);
    COLORREF SetBkColor(COLORREF colour);
    int SetBkMode(int mode);
    int DrawText(const std::wstring& text, RECT* rect, UINT format);
    void Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight);
    void FrameRect(const RECT& rect, COLORREF colour);
    BOOL DrawFrameControl(RECT* rect, UINT type, UINT state);

    platform::mfc::DrawTarget* target() const { return target_.get(); }

protected:
    std::unique_ptr<platform::mfc::DrawTarget> target_;
    int stretchMode_ = COLORONCOLOR;
};

// The paint context of a window inside its OnPaint; it erases the background first (OnEraseBkgnd).
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
};

namespace platform::mfc {

// A text a window's paint drew: the window, the text, the rectangle and format it was drawn with, and
// where the whole text (before any ellipsis) lands in that rectangle.
struct DrawnText {
    HWND window = nullptr;
    std::wstring text;
    RECT rect{};
    UINT format = 0;
    RECT needed{};
};
// Test hook: when set, told of every text drawn in a window's paint context (CPaintDC).
using DrawTextHook = std::function<void(const DrawnText& drawn)>;
void SetDrawTextHook(DrawTextHook hook);

} // namespace platform::mfc
