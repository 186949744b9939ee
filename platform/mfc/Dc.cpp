#include "platform/mfc/Dc.h"

#include "platform/gdi/Bmp.h"
#include "platform/gdi/Image.h"
#include "platform/mfc/Region.h"
#include "platform/mfc/detail/WindowPart.h"

#include <algorithm>

using platform::gdi::Dib;
using platform::mfc::DrawTarget;
using platform::mfc::Picture;

namespace {

constexpr int kMaxBitmapSide = 16384;

std::shared_ptr<Picture> pictureOf(const Dib& dib) {
    HBITMAP bitmap = platform::gdi::CreateBitmapFromDib(dib);
    if (!bitmap)
        return nullptr;
    auto p = std::make_shared<Picture>();
    p->bitmap = bitmap;
    p->width = dib.width;
    p->height = dib.height;
    return p;
}

std::shared_ptr<Picture> pictureOf(HBITMAP bitmap) {
    if (!bitmap)
        return nullptr;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    if (info.bmWidth <= 0 || info.bmHeight <= 0 || info.bmWidth > kMaxBitmapSide ||
        info.bmHeight > kMaxBitmapSide) {
        DeleteObject(bitmap);
        return nullptr;
    }
    auto p = std::make_shared<Picture>();
    p->bitmap = bitmap;
    p->width = info.bmWidth;
    p->height = std::abs(info.bmHeight);
    return p;
}

platform::mfc::DrawTextHook& drawTextHook() {
    static platform::mfc::DrawTextHook hook;
    return hook;
}

// Where the whole text lands when drawn in rect: its measured extent, placed as the format places it.
RECT landing(HDC dc, const std::wstring& text, const RECT& rect, UINT format) {
    RECT needed = rect;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
              (format & ~DT_END_ELLIPSIS) | DT_CALCRECT);
    const int width = needed.right - needed.left;
    const int height = needed.bottom - needed.top;
    const int roomX = (rect.right - rect.left) - width;
    const int shiftX = (format & DT_CENTER) ? roomX / 2 : (format & DT_RIGHT) ? roomX : 0;
    int shiftY = 0;
    if (format & DT_SINGLELINE) {
        const int roomY = (rect.bottom - rect.top) - height;
        shiftY = (format & DT_VCENTER) ? roomY / 2 : (format & DT_BOTTOM) ? roomY : 0;
    }
    return RECT{rect.left + shiftX, rect.top + shiftY, rect.left + shiftX + width,
                rect.top + shiftY + height};
}

HDC sourceDc(CDC* source) {
    return source && source->target() ? source->target()->dc : nullptr;
}

// The source rectangle filtered to the destination's size by the toolkit, then copied there.
BOOL smoothStretch(HDC dst, const RECT& to, HDC src, const RECT& from) {
    const std::optional<Dib> piece = platform::gdi::ReadDc(src, from);
    if (!piece || piece->width <= 0 || piece->height <= 0)
        return FALSE;
    const QImage scaled =
        platform::mfc::ToImage(*piece)
            .scaled(to.right - to.left, to.bottom - to.top, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    Dib out{scaled.width(), scaled.height(),
            std::vector<std::uint32_t>(static_cast<std::size_t>(scaled.width()) * scaled.height())};
    for (int row = 0; row < out.height; ++row) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(scaled.constScanLine(row));
        for (int col = 0; col < out.width; ++col)
            out.pixels[static_cast<std::size_t>(row) * out.width + col] = line[col] & 0x00FFFFFF;
    }
    HBITMAP bitmap = platform::gdi::CreateBitmapFromDib(out);
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    const BOOL done = ::BitBlt(dst, to.left, to.top, out.width, out.height, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, old);
    DeleteDC(memory);
    ::DeleteObject(bitmap);
    return done;
}

HBRUSH brush(COLORREF colour) {
    return CreateSolidBrush(colour);
}

// Radio button and check box pictures of 12 x 12 and 13 x 13 pixels: '#' frame, 'o' dot or tick, '.' face.
constexpr const char* kRadio[12] = {"....####....", "..##....##..", ".#........#.", ".#...oo...#.",
                                    "#...oooo...#", "#..oooooo..#", "#..oooooo..#", "#...oooo...#",
                                    ".#...oo...#.", ".#........#.", "..##....##..", "....####...."};
constexpr const char* kCheck[13] = {"#############", "#...........#", "#.........o.#", "#........oo.#",
                                    "#.......ooo.#", "#.o....ooo..#", "#.oo..ooo...#", "#.oooooo....#",
                                    "#..oooo.....#", "#...oo......#", "#...........#", "#...........#",
                                    "#############"};

} // namespace

platform::mfc::Picture::~Picture() {
    if (bitmap)
        DeleteObject(bitmap);
}

QImage platform::mfc::ToImage(const Dib& dib) {
    QImage image(dib.width, dib.height, QImage::Format_RGB32);
    for (int y = 0; y < dib.height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        std::copy_n(dib.pixels.data() + static_cast<std::size_t>(y) * dib.width, dib.width, line);
        for (int x = 0; x < dib.width; ++x)
            line[x] |= 0xFF000000u;
    }
    return image;
}

CBitmap::CBitmap() = default;
CBitmap::~CBitmap() = default;

CBitmap::CBitmap(const CBitmap& other) : picture_(other.picture_) {}

CBitmap& CBitmap::operator=(const CBitmap& other) {
    picture_ = other.picture_;
    return *this;
}

HBITMAP CBitmap::handle() const {
    return picture_ ? picture_->bitmap : nullptr;
}

BOOL CBitmap::LoadFromFile(const std::wstring& path) {
    picture_ = pictureOf(static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    return picture_ != nullptr;
}

BOOL CBitmap::LoadPicture(const std::wstring& path) {
    picture_.reset();
    CImage image;
    if (FAILED(image.Load(path.c_str())))
        return FALSE;
    if (std::optional<Dib> dib = platform::gdi::ReadBitmap(image))
        picture_ = pictureOf(*dib);
    return picture_ != nullptr;
}

BOOL CBitmap::LoadBitmap(UINT resourceId) {
    return LoadFromFile(L".\\res\\" + std::to_wstring(resourceId) + L".bmp");
}

BOOL CBitmap::CreateBitmap(int cx, int cy, COLORREF fill) {
    picture_.reset();
    if (cx <= 0 || cy <= 0 || cx > kMaxBitmapSide || cy > kMaxBitmapSide)
        return FALSE;
    Dib dib{cx, cy,
            std::vector<std::uint32_t>(static_cast<std::size_t>(cx) * cy, platform::gdi::ToPixel(fill))};
    picture_ = pictureOf(dib);
    return picture_ != nullptr;
}

BOOL CBitmap::SetPixels(int cx, int cy, const std::uint32_t* rows, std::size_t stride) {
    picture_.reset();
    if (!rows || cx <= 0 || cy <= 0 || cx > kMaxBitmapSide || cy > kMaxBitmapSide ||
        stride < static_cast<std::size_t>(cx) * 4)
        return FALSE;
    Dib dib{cx, cy, std::vector<std::uint32_t>(static_cast<std::size_t>(cx) * cy)};
    for (int y = 0; y < cy; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(rows) +
                                                                 static_cast<std::size_t>(y) * stride);
        for (int x = 0; x < cx; ++x)
            dib.pixels[static_cast<std::size_t>(y) * cx + x] = src[x] & 0x00FFFFFFu;
    }
    picture_ = pictureOf(dib);
    return picture_ != nullptr;
}

BOOL CBitmap::DeleteObject() {
    const bool had = picture_ != nullptr;
    picture_.reset();
    return had;
}

bool CBitmap::IsNull() const {
    return !picture_;
}

CSize CBitmap::GetSize() const {
    return picture_ ? CSize{picture_->width, picture_->height} : CSize{};
}

COLORREF CBitmap::GetPixel(int x, int y) const {
    if (!picture_ || x < 0 || y < 0 || x >= picture_->width || y >= picture_->height)
        return CLR_INVALID;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, picture_->bitmap);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

BOOL CBitmap::SaveBmp(const std::wstring& path) const {
    if (!picture_)
        return FALSE;
    std::optional<Dib> dib = platform::gdi::ReadBitmap(picture_->bitmap);
    return dib && platform::gdi::WriteBmpFile(path.c_str(), *dib, 24);
}

CFont::~CFont() {
    if (font_)
        ::DeleteObject(font_);
}

BOOL CFont::CreateFont(int pixelHeight, const std::wstring& face, bool bold) {
    if (font_)
        ::DeleteObject(font_);
    font_ = CreateFontW(std::abs(pixelHeight), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                        0, 0, ANTIALIASED_QUALITY, 0, face.c_str());
    return font_ != nullptr;
}

CDC::CDC() : target_(std::make_unique<DrawTarget>()) {}

CDC::~CDC() {
    DrawTarget& t = *target_;
    if (t.owned && t.dc) {
        if (t.firstBitmap)
            ::SelectObject(t.dc, t.firstBitmap);
        if (t.firstFont)
            ::SelectObject(t.dc, t.firstFont);
        DeleteDC(t.dc);
    } else if (t.dc && t.firstFont) {
        ::SelectObject(t.dc, t.firstFont); // a borrowed DC gets its font back
    }
}

BOOL CDC::CreateCompatibleDC(CDC* reference) {
    if (target_->dc)
        return FALSE;
    target_->dc = ::CreateCompatibleDC(reference ? sourceDc(reference) : nullptr);
    target_->owned = target_->dc != nullptr;
    return target_->owned;
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
    DrawTarget& t = *target_;
    if (!t.owned)
        return nullptr;
    CBitmap* before = t.selectedObject;
    HGDIOBJ handle = bitmap ? bitmap->handle() : nullptr;
    if (handle) {
        HGDIOBJ old = ::SelectObject(t.dc, handle);
        if (!t.firstBitmap)
            t.firstBitmap = old;
    } else if (t.firstBitmap) {
        ::SelectObject(t.dc, t.firstBitmap);
    }
    t.selectedObject = handle ? bitmap : nullptr;
    return before;
}

CFont* CDC::SelectObject(CFont* font) {
    if (!target_->dc || !font || !font->handle())
        return nullptr;
    HGDIOBJ old = ::SelectObject(target_->dc, font->handle());
    if (!target_->firstFont)
        target_->firstFont = old;
    return nullptr; // the font selected before has no CFont of its own
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour) {
    if (!target_->dc)
        return;
    HBRUSH b = brush(colour);
    FillRect(target_->dc, &rect, b);
    ::DeleteObject(b);
    ::SetBkColor(target_->dc, colour);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) {
    FillSolidRect(RECT{x, y, x + cx, y + cy}, colour);
}

BOOL CDC::BitBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, DWORD rop) {
    return target_->dc && sourceDc(source) &&
           ::BitBlt(target_->dc, x, y, cx, cy, sourceDc(source), sx, sy, rop);
}

BOOL CDC::StretchBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy, DWORD rop) {
    if (!target_->dc || !sourceDc(source))
        return FALSE;
    if (stretchMode_ == HALFTONE && rop == SRCCOPY && cx > 0 && cy > 0 && scx > 0 && scy > 0)
        return smoothStretch(target_->dc, RECT{x, y, x + cx, y + cy}, sourceDc(source),
                             RECT{sx, sy, sx + scx, sy + scy});
    return ::StretchBlt(target_->dc, x, y, cx, cy, sourceDc(source), sx, sy, scx, scy, rop);
}

int CDC::SetStretchBltMode(int mode) {
    const int before = stretchMode_;
    stretchMode_ = mode;
    return before;
}

BOOL CDC::TransparentBlt(int x, int y, int cx, int cy, CDC* source, int sx, int sy, int scx, int scy,
                         COLORREF key) {
    return target_->dc && sourceDc(source) &&
           ::TransparentBlt(target_->dc, x, y, cx, cy, sourceDc(source), sx, sy, scx, scy, key);
}

COLORREF CDC::SetTextColor(COLORREF colour) {
    return target_->dc ? ::SetTextColor(target_->dc, colour) : CLR_INVALID;
}

COLORREF CDC::SetBkColor(COLORREF colour) {
    return target_->dc ? ::SetBkColor(target_->dc, colour) : CLR_INVALID;
}

int CDC::SetBkMode(int mode) {
    return target_->dc ? ::SetBkMode(target_->dc, mode) : 0;
}

int CDC::DrawText(const std::wstring& text, RECT* rect, UINT format) {
    if (!target_->dc)
        return 0;
    std::wstring lines = text;
    std::erase(lines, L'\r');
    if (drawTextHook() && target_->window && rect && !(format & DT_CALCRECT))
        drawTextHook()(
            {target_->window, text, *rect, format, landing(target_->dc, lines, *rect, format | DT_NOPREFIX)});
    return DrawTextW(target_->dc, lines.c_str(), static_cast<int>(lines.size()), rect, format | DT_NOPREFIX);
}

void CDC::Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight) {
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return;
    FillSolidRect(rect.left, rect.top, w - 1, 1, topLeft);
    FillSolidRect(rect.left, rect.top, 1, h - 1, topLeft);
    FillSolidRect(rect.right - 1, rect.top, 1, h, bottomRight);
    FillSolidRect(rect.left, rect.bottom - 1, w, 1, bottomRight);
}

void CDC::FrameRect(const RECT& rect, COLORREF colour) {
    Draw3dRect(rect, colour, colour);
}

BOOL CDC::DrawFrameControl(RECT* rect, UINT type, UINT state) {
    if (!target_->dc || type != DFC_BUTTON)
        return FALSE;
    const bool radio = (state & 0xF) == DFCS_BUTTONRADIO;
    const int side = radio ? 12 : 13;
    const COLORREF frame = (state & DFCS_INACTIVE) ? RGB(160, 160, 160) : RGB(80, 80, 80);
    const COLORREF mark = (state & DFCS_INACTIVE) ? RGB(150, 150, 150) : RGB(30, 30, 30);
    const int left = rect->left + std::max(0, static_cast<int>(rect->right - rect->left) - side) / 2;
    const int top = rect->top + std::max(0, static_cast<int>(rect->bottom - rect->top) - side) / 2;
    for (int y = 0; y < side; ++y) {
        const char* row = radio ? kRadio[y] : kCheck[y];
        for (int x = 0; x < side; ++x) {
            const char c = row[x];
            if (c == '#')
                SetPixel(target_->dc, left + x, top + y, frame);
            else if (c == 'o' && (state & DFCS_CHECKED))
                SetPixel(target_->dc, left + x, top + y, mark);
            else if ((c == '.' || c == 'o') && !(state & DFCS_TRANSPARENT) && (!radio || (x > 0 && x < 11)))
                SetPixel(target_->dc, left + x, top + y, RGB(255, 255, 255));
        }
    }
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* window) {
    platform::mfc::WindowPart* part = window ? window->part() : nullptr;
    target_->dc = part ? part->paintDc : nullptr;
    target_->window = part ? window->m_hWnd : nullptr;
    if (target_->dc && part->font && part->font->handle())
        target_->firstFont = ::SelectObject(target_->dc, part->font->handle());
    if (part && part->kind == platform::mfc::FaceKind::Plain)
        window->WindowProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(static_cast<CDC*>(this)), 0);
}

BOOL CRgn::CreateFromBitmap(const CBitmap& bitmap, COLORREF key) {
    rects_.clear();
    std::optional<Dib> dib = bitmap.IsNull() ? std::nullopt : platform::gdi::ReadBitmap(bitmap.handle());
    if (!dib)
        return FALSE;
    const std::uint32_t keyPixel = platform::gdi::ToPixel(key);
    std::vector<RECT> previous; // runs of the row above, grown downwards while a row repeats them
    for (int y = 0; y < dib->height; ++y) {
        const std::uint32_t* line = dib->pixels.data() + static_cast<std::size_t>(y) * dib->width;
        std::vector<RECT> runs;
        for (int x = 0; x < dib->width;) {
            if ((line[x] & 0x00FFFFFFu) == keyPixel) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < dib->width && (line[x] & 0x00FFFFFFu) != keyPixel)
                ++x;
            runs.push_back(RECT{start, y, x, y + 1});
        }
        const bool same =
            runs.size() == previous.size() &&
            std::equal(runs.begin(), runs.end(), previous.begin(),
                       [](const RECT& a, const RECT& b) { return a.left == b.left && a.right == b.right; });
        if (same) {
            for (RECT& r : previous)
                ++r.bottom;
        } else {
            rects_.insert(rects_.end(), previous.begin(), previous.end());
            previous = std::move(runs);
        }
    }
    rects_.insert(rects_.end(), previous.begin(), previous.end());
    return TRUE;
}

BOOL CRgn::PtInRegion(int x, int y) const {
    for (const RECT& r : rects_)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return TRUE;
    return FALSE;
}

namespace platform::mfc {

void SetDrawTextHook(DrawTextHook hook) {
    drawTextHook() = std::move(hook);
}

} // namespace platform::mfc
