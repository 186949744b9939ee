// Fonts, text colours and text drawing.
#include "platform/gdi/Objects.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

using namespace platform::gdi;
using namespace platform::gdi::detail;

namespace {

struct TextState {
    std::shared_ptr<DcObject> dc;
    std::shared_ptr<Surface> surface;
    std::shared_ptr<const SizedFont> font;
    HWND window = nullptr;
    std::uint32_t text = 0;
    std::uint32_t back = 0xFFFFFF;
    bool opaque = true;
};

bool textState(HDC dc, TextState* out) {
    out->dc = findDc(dc);
    if (!out->dc)
        return false;
    std::lock_guard lock(out->dc->mutex);
    out->surface = out->dc->target;
    out->font = out->dc->font ? out->dc->font->font : nullptr;
    out->window = out->dc->window;
    out->text = ToPixel(out->dc->textColour);
    out->back = ToPixel(out->dc->backColour);
    out->opaque = out->dc->backMode == OPAQUE;
    return out->surface && out->font;
}

std::uint32_t blend(std::uint32_t dst, std::uint32_t src, unsigned a) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d = static_cast<int>((dst >> shift) & 0xFF);
        const int s = static_cast<int>((src >> shift) & 0xFF);
        out |= static_cast<std::uint32_t>(d + (s - d) * static_cast<int>(a) / 255) << shift;
    }
    return out;
}

// Draws one line of text with the cell's top-left at (x, y), clipped to `bounds` and the surface. Returns
// the part of the surface it changed (empty when none). The caller holds the surface's lock.
RECT drawLine(const TextState& t, Surface& s, int x, int y, const wchar_t* text, int count, RECT bounds) {
    const SizedFont& font = *t.font;
    const TEXTMETRICW& tm = font.metrics();
    if (!clip(s, &bounds))
        return RECT{};
    const int width = font.textWidth(text, count);
    RECT changed{x, y, x + width, y + tm.tmHeight};
    if (t.opaque) {
        RECT cell = changed;
        cell.left = std::max(cell.left, bounds.left);
        cell.top = std::max(cell.top, bounds.top);
        cell.right = std::min(cell.right, bounds.right);
        cell.bottom = std::min(cell.bottom, bounds.bottom);
        for (int yy = cell.top; yy < cell.bottom; ++yy)
            for (int xx = cell.left; xx < cell.right; ++xx)
                put(s, xx, yy, t.back);
    }
    const int baseline = y + tm.tmAscent;
    int pen = x;
    for (int i = 0; i < count; ++i) {
        const Glyph& g = font.glyph(text[i]);
        const int left = pen + g.left;
        const int top = baseline - g.top;
        for (int gy = 0; gy < g.rows; ++gy) {
            const int yy = top + gy;
            if (yy < bounds.top || yy >= bounds.bottom)
                continue;
            const std::uint8_t* cov =
                g.coverage.data() + static_cast<size_t>(gy) * static_cast<size_t>(g.width);
            for (int gx = 0; gx < g.width; ++gx) {
                const int xx = left + gx;
                if (xx < bounds.left || xx >= bounds.right || cov[gx] == 0)
                    continue;
                put(s, xx, yy, cov[gx] == 255 ? t.text : blend(get(s, xx, yy), t.text, cov[gx]));
            }
        }
        changed.left = std::min(changed.left, left);
        changed.right = std::max(changed.right, left + g.width);
        changed.top = std::min(changed.top, top);
        changed.bottom = std::max(changed.bottom, top + g.rows);
        pen += g.advance;
    }
    const int thickness = std::max<int>(1, tm.tmHeight / 16);
    auto rule = [&](int top) {
        for (int yy = std::max<int>(top, bounds.top); yy < std::min<int>(top + thickness, bounds.bottom);
             ++yy)
            for (int xx = std::max<int>(x, bounds.left); xx < std::min<int>(x + width, bounds.right); ++xx)
                put(s, xx, yy, t.text);
    };
    if (font.underline())
        rule(baseline + std::max<int>(1, tm.tmDescent / 3));
    if (font.strikeOut())
        rule(baseline - tm.tmAscent / 3);
    changed.left = std::max(changed.left, bounds.left);
    changed.top = std::max(changed.top, bounds.top);
    changed.right = std::min(changed.right, bounds.right);
    changed.bottom = std::min(changed.bottom, bounds.bottom);
    return changed.left < changed.right && changed.top < changed.bottom ? changed : RECT{};
}

void unite(RECT* into, const RECT& r) {
    if (r.left >= r.right || r.top >= r.bottom)
        return;
    if (into->left >= into->right || into->top >= into->bottom) {
        *into = r;
        return;
    }
    into->left = std::min(into->left, r.left);
    into->top = std::min(into->top, r.top);
    into->right = std::max(into->right, r.right);
    into->bottom = std::max(into->bottom, r.bottom);
}

int textLength(LPCWSTR text, int count) {
    if (!text)
        return -1;
    return count < 0 ? static_cast<int>(std::wcslen(text)) : count;
}

// Splits text into the lines DrawTextW shows, with prefixes resolved.
std::vector<std::wstring> layoutLines(const SizedFont& font, std::wstring text, UINT format, int maxWidth) {
    if (!(format & DT_NOPREFIX)) {
        std::wstring plain;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'&' && i + 1 < text.size())
                ++i;
            else if (text[i] == L'&')
                continue;
            plain += text[i];
        }
        text = std::move(plain);
    }
    std::vector<std::wstring> paragraphs;
    if (format & DT_SINGLELINE) {
        std::erase_if(text, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
        paragraphs.push_back(text);
    } else {
        std::wstring current;
        for (wchar_t c : text) {
            if (c == L'\n') {
                paragraphs.push_back(current);
                current.clear();
            } else if (c != L'\r') {
                current += c;
            }
        }
        paragraphs.push_back(current);
    }
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE))
        return paragraphs;
    std::vector<std::wstring> lines;
    for (const std::wstring& paragraph : paragraphs) {
        std::wstring line;
        size_t i = 0;
        while (i <= paragraph.size()) {
            size_t end = paragraph.find(L' ', i);
            if (end == std::wstring::npos)
                end = paragraph.size();
            const std::wstring word = paragraph.substr(i, end - i);
            const std::wstring candidate = line.empty() ? word : line + L' ' + word;
            if (!line.empty() &&
                font.textWidth(candidate.c_str(), static_cast<int>(candidate.size())) > maxWidth) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            i = end + 1;
        }
        lines.push_back(line);
    }
    return lines;
}

std::wstring ellipsize(const SizedFont& font, std::wstring line, int maxWidth) {
    if (font.textWidth(line.c_str(), static_cast<int>(line.size())) <= maxWidth)
        return line;
    while (!line.empty()) {
        line.pop_back();
        const std::wstring shown = line + L"...";
        if (font.textWidth(shown.c_str(), static_cast<int>(shown.size())) <= maxWidth)
            return shown;
    }
    return L"...";
}

template <class F> COLORREF swapColour(HDC dc, F member, COLORREF colour) {
    auto state = findDc(dc);
    if (!state)
        return CLR_INVALID;
    std::lock_guard lock(state->mutex);
    COLORREF& slot = (*state).*member;
    return std::exchange(slot, colour & 0x00FFFFFF);
}

template <class F> COLORREF readColour(HDC dc, F member) {
    auto state = findDc(dc);
    if (!state)
        return CLR_INVALID;
    std::lock_guard lock(state->mutex);
    return (*state).*member;
}

} // namespace

HFONT CreateFontIndirectW(const LOGFONTW* logFont) {
    if (!logFont)
        return nullptr;
    auto font = std::make_shared<FontObject>();
    font->logFont = *logFont;
    font->logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
    font->font = SizedFont::get(font->logFont);
    return addObject(font);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCWSTR faceName) {
    LOGFONTW f{};
    f.lfHeight = height;
    f.lfWidth = width;
    f.lfEscapement = escapement;
    f.lfOrientation = orientation;
    f.lfWeight = weight;
    f.lfItalic = static_cast<BYTE>(italic != 0);
    f.lfUnderline = static_cast<BYTE>(underline != 0);
    f.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
    f.lfCharSet = static_cast<BYTE>(charSet);
    f.lfOutPrecision = static_cast<BYTE>(outPrecision);
    f.lfClipPrecision = static_cast<BYTE>(clipPrecision);
    f.lfQuality = static_cast<BYTE>(quality);
    f.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName)
        std::wcsncpy(f.lfFaceName, faceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&f);
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
    return swapColour(dc, &DcObject::textColour, colour);
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
    return swapColour(dc, &DcObject::backColour, colour);
}

int SetBkMode(HDC dc, int mode) {
    auto state = findDc(dc);
    if (!state || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    std::lock_guard lock(state->mutex);
    return std::exchange(state->backMode, mode);
}

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
    TextState t;
    if (!metrics || !textState(dc, &t))
        return FALSE;
    *metrics = t.font->metrics();
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
    TextState t;
    if (!size || !text || count < 0 || !textState(dc, &t))
        return FALSE;
    size->cx = t.font->textWidth(text, count);
    size->cy = t.font->metrics().tmHeight;
    return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
    TextState t;
    if (!text || count < 0 || !textState(dc, &t))
        return FALSE;
    RECT changed;
    {
        std::lock_guard lock(t.surface->mutex);
        changed = drawLine(t, *t.surface, x, y, text, count, RECT{0, 0, t.surface->width, t.surface->height});
    }
    if (t.window && changed.right > changed.left)
        layerChanged(t.window, changed);
    return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
    TextState t;
    const int length = textLength(text, count);
    if (length < 0 || !rect || !textState(dc, &t))
        return 0;
    const SizedFont& font = *t.font;
    const int lineHeight = font.metrics().tmHeight;
    const int boxWidth = rect->right - rect->left;
    std::vector<std::wstring> lines =
        layoutLines(font, std::wstring(text, static_cast<size_t>(length)), format, boxWidth);
    if (format & DT_END_ELLIPSIS)
        for (std::wstring& line : lines)
            line = ellipsize(font, line, boxWidth);
    const int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const std::wstring& line : lines)
            widest = std::max(widest, font.textWidth(line.c_str(), static_cast<int>(line.size())));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    const RECT bounds = (format & DT_NOCLIP) ? RECT{-(1 << 29), -(1 << 29), 1 << 29, 1 << 29} : *rect;
    RECT changed{};
    {
        std::lock_guard lock(t.surface->mutex);
        for (const std::wstring& line : lines) {
            const int width = font.textWidth(line.c_str(), static_cast<int>(line.size()));
            int x = rect->left;
            if (format & DT_CENTER)
                x = rect->left + (boxWidth - width) / 2;
            else if (format & DT_RIGHT)
                x = rect->right - width;
            unite(&changed,
                  drawLine(t, *t.surface, x, y, line.c_str(), static_cast<int>(line.size()), bounds));
            y += lineHeight;
        }
    }
    if (t.window && changed.right > changed.left)
        layerChanged(t.window, changed);
    return total;
}
