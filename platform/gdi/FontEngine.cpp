#include "platform/gdi/FontEngine.h"

#include "platform/win32/Text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

namespace platform::gdi::detail {
namespace {

// FreeType's library object and the creation and destruction of faces are serialised here, as are the
// fontconfig look-ups; each SizedFont loads glyphs from its own face under its own lock.
std::mutex g_libraryMutex;

FT_Library library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    return lib;
}

struct FaceRequest {
    std::string family;
    bool bold;
    bool italic;
};

// The Windows faces the program names and the installed faces that stand in for them.
FaceRequest mapFace(const std::wstring& name, bool bold, bool italic) {
    struct Mapping {
        const wchar_t* windowsName;
        const char* family;
        bool alwaysBold;
    };
    static const Mapping kMappings[] = {
        {L"Arial Black", "DejaVu Sans", true},
        {L"Arial", "DejaVu Sans", false},
        {L"Helvetica", "DejaVu Sans", false},
        {L"Tahoma", "DejaVu Sans", false},
        {L"Verdana", "DejaVu Sans", false},
        {L"MS Sans Serif", "DejaVu Sans", false},
        {L"Microsoft Sans Serif", "DejaVu Sans", false},
        {L"MS Shell Dlg", "DejaVu Sans", false},
        {L"MS Shell Dlg 2", "DejaVu Sans", false},
        {L"System", "DejaVu Sans", false},
        {L"SimSun", "DejaVu Sans", false},
        {L"\u5B8B\u4F53", "DejaVu Sans", false}, // the Chinese name of SimSun
        {L"Courier New", "DejaVu Sans Mono", false},
        {L"Courier", "DejaVu Sans Mono", false},
        {L"Lucida Console", "DejaVu Sans Mono", false},
        {L"Consolas", "DejaVu Sans Mono", false},
        {L"Times New Roman", "DejaVu Serif", false},
        {L"Times", "DejaVu Serif", false},
        {L"Georgia", "DejaVu Serif", false},
    };
    for (const Mapping& m : kMappings)
        if (platform::EqualsNoCase(name, m.windowsName))
            return {m.family, bold || m.alwaysBold, italic};
    return {name.empty() ? std::string("DejaVu Sans") : platform::ToUtf8(name), bold, italic};
}

struct Located {
    std::string file;
    int index = 0;
    bool isBold = false;
    bool isItalic = false;
};

std::optional<Located> locate(const FaceRequest& request) {
    std::lock_guard lock(g_libraryMutex);
    static FcConfig* config = [] {
        FcConfig* made = FcInitLoadConfigAndFonts();
        std::atexit([] {
            FcConfigDestroy(config);
            FcFini();
        });
        return made;
    }();
    if (!config)
        return std::nullopt;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return std::nullopt;
    Located found;
    FcChar8* file = nullptr;
    int weight = FC_WEIGHT_REGULAR;
    int slant = FC_SLANT_ROMAN;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
        found.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &found.index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FcPatternDestroy(match);
    found.isBold = weight >= FC_WEIGHT_DEMIBOLD;
    found.isItalic = slant != FC_SLANT_ROMAN;
    if (found.file.empty())
        return std::nullopt;
    return found;
}

std::shared_ptr<const std::vector<unsigned char>> fileBytes(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const std::vector<unsigned char>>> files;
    std::lock_guard lock(mutex);
    auto it = files.find(path);
    if (it != files.end())
        return it->second;
    std::ifstream in(path, std::ios::binary);
    auto bytes = std::make_shared<std::vector<unsigned char>>(std::istreambuf_iterator<char>(in),
                                                              std::istreambuf_iterator<char>());
    if (bytes->empty())
        return nullptr;
    files.emplace(path, bytes);
    return bytes;
}

// Face metrics in font units, from the OS/2 table as Windows reads them.
struct UnitMetrics {
    double unitsPerEm;
    double ascent;
    double descent;
    double averageWidth;
    double maxWidth;
};

UnitMetrics unitMetrics(FT_Face face) {
    UnitMetrics m{static_cast<double>(face->units_per_EM ? face->units_per_EM : 2048),
                  static_cast<double>(face->ascender), static_cast<double>(-face->descender),
                  static_cast<double>(face->max_advance_width) / 2,
                  static_cast<double>(face->max_advance_width)};
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF) {
        if (os2->usWinAscent + os2->usWinDescent > 0) {
            m.ascent = os2->usWinAscent;
            m.descent = os2->usWinDescent;
        }
        if (os2->xAvgCharWidth > 0)
            m.averageWidth = os2->xAvgCharWidth;
    }
    if (m.ascent + m.descent <= 0) {
        m.ascent = m.unitsPerEm * 0.8;
        m.descent = m.unitsPerEm * 0.2;
    }
    return m;
}

constexpr double kMaxPixels = 2048; // larger requests are drawn at this size

std::string cacheKey(const LOGFONTW& f) {
    std::wstring name(f.lfFaceName, wcsnlen(f.lfFaceName, LF_FACESIZE));
    std::wstring folded;
    for (wchar_t c : name)
        folded += platform::FoldCase(c);
    return platform::ToUtf8(folded) + "|" + std::to_string(f.lfHeight) + "|" + std::to_string(f.lfWidth) +
           "|" + std::to_string(f.lfWeight >= 600) + std::to_string(f.lfItalic != 0) +
           std::to_string(f.lfUnderline != 0) + std::to_string(f.lfStrikeOut != 0) +
           std::to_string(f.lfQuality == NONANTIALIASED_QUALITY);
}

} // namespace

std::shared_ptr<const SizedFont> SizedFont::get(const LOGFONTW& logFont) {
    static std::mutex cacheMutex;
    static std::map<std::string, std::weak_ptr<const SizedFont>> cache;
    static std::deque<std::shared_ptr<const SizedFont>> recent; // keeps fonts made and dropped often
    const std::string key = cacheKey(logFont);
    {
        std::lock_guard lock(cacheMutex);
        if (auto it = cache.find(key); it != cache.end())
            if (auto font = it->second.lock())
                return font;
    }

    std::shared_ptr<SizedFont> font(new SizedFont);
    const bool bold = logFont.lfWeight >= 600;
    const bool italic = logFont.lfItalic != 0;
    font->monochrome_ = logFont.lfQuality == NONANTIALIASED_QUALITY;
    font->underline_ = logFont.lfUnderline != 0;
    font->strikeOut_ = logFont.lfStrikeOut != 0;
    const FaceRequest request =
        mapFace(std::wstring(logFont.lfFaceName, wcsnlen(logFont.lfFaceName, LF_FACESIZE)), bold, italic);
    const auto located = locate(request);
    if (located)
        font->file_ = fileBytes(located->file);
    if (font->file_) {
        std::lock_guard lock(g_libraryMutex);
        FT_Face face = nullptr;
        if (library() &&
            FT_New_Memory_Face(library(), font->file_->data(), static_cast<FT_Long>(font->file_->size()),
                               located->index, &face) == 0)
            font->face_ = face;
    }

    TEXTMETRICW& tm = font->metrics_;
    const double requested =
        logFont.lfHeight == 0 ? 16.0 : std::min<double>(std::abs(logFont.lfHeight), kMaxPixels);
    double emY = requested;
    double emX = requested;
    if (font->face_) {
        const UnitMetrics u = unitMetrics(font->face_);
        if (logFont.lfHeight >= 0)
            emY = requested * u.unitsPerEm / (u.ascent + u.descent);
        emX = logFont.lfWidth > 0
                  ? std::min<double>(logFont.lfWidth, kMaxPixels) * u.unitsPerEm / u.averageWidth
                  : emY;
        emX = std::clamp(emX, 1.0, kMaxPixels * 4);
        FT_Set_Char_Size(font->face_, static_cast<FT_F26Dot6>(std::lround(emX * 64)),
                         static_cast<FT_F26Dot6>(std::lround(emY * 64)), 72, 72);
        if (request.italic && !located->isItalic) {
            FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees, as a synthesised italic
            FT_Set_Transform(font->face_, &shear, nullptr);
        }
        font->emboldenOutline_ = request.bold && !located->isBold;
        tm.tmAscent = static_cast<LONG>(std::lround(u.ascent * emY / u.unitsPerEm));
        tm.tmDescent = static_cast<LONG>(std::lround(u.descent * emY / u.unitsPerEm));
        if (logFont.lfHeight > 0)
            tm.tmDescent = static_cast<LONG>(requested) - tm.tmAscent;
        tm.tmAveCharWidth = logFont.lfWidth > 0
                                ? std::min<LONG>(logFont.lfWidth, static_cast<LONG>(kMaxPixels))
                                : static_cast<LONG>(std::lround(u.averageWidth * emX / u.unitsPerEm));
        tm.tmMaxCharWidth = static_cast<LONG>(std::lround(u.maxWidth * emX / u.unitsPerEm));
    } else {
        tm.tmAscent = static_cast<LONG>(std::lround(requested * 0.8));
        tm.tmDescent = static_cast<LONG>(requested) - tm.tmAscent;
        tm.tmAveCharWidth = logFont.lfWidth > 0 ? logFont.lfWidth : static_cast<LONG>(requested / 2);
        tm.tmMaxCharWidth = tm.tmAveCharWidth * 2;
    }
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - static_cast<LONG>(std::lround(emY)));
    tm.tmWeight = logFont.lfWeight == 0 ? FW_NORMAL : logFont.lfWeight;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = L' ';
    tm.tmLastChar = 0xFFFF;
    tm.tmDefaultChar = L'?';
    tm.tmBreakChar = L' ';
    tm.tmItalic = logFont.lfItalic;
    tm.tmUnderlined = logFont.lfUnderline;
    tm.tmStruckOut = logFont.lfStrikeOut;
    tm.tmCharSet = logFont.lfCharSet;

    std::lock_guard lock(cacheMutex);
    cache[key] = font;
    recent.push_back(font);
    if (recent.size() > 16)
        recent.pop_front();
    return font;
}

SizedFont::~SizedFont() {
    if (face_) {
        std::lock_guard lock(g_libraryMutex);
        FT_Done_Face(face_);
    }
}

const Glyph& SizedFont::glyph(wchar_t c) const {
    std::lock_guard lock(mutex_);
    if (auto it = glyphs_.find(c); it != glyphs_.end())
        return it->second;
    Glyph& g = glyphs_[c];
    if (!face_ || c < 0x20)
        return g; // control characters take no room
    const FT_Int32 target = monochrome_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Char(face_, static_cast<FT_ULong>(c), FT_LOAD_DEFAULT | target) != 0)
        return g;
    FT_GlyphSlot slot = face_->glyph;
    int extra = 0;
    if (emboldenOutline_ && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        const FT_Pos strength =
            std::max<FT_Pos>(64, FT_MulFix(face_->units_per_EM, face_->size->metrics.y_scale) / 24);
        FT_Outline_Embolden(&slot->outline, strength);
        extra = static_cast<int>(strength >> 6);
    }
    if (FT_Render_Glyph(slot, monochrome_ ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
        return g;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = static_cast<int>(bitmap.width);
    g.rows = static_cast<int>(bitmap.rows);
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6) + extra;
    g.coverage.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* src = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        std::uint8_t* dst = g.coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(g.width);
        for (int x = 0; x < g.width; ++x)
            dst[x] =
                bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((src[x >> 3] >> (7 - (x & 7))) & 1) * 255 : src[x];
    }
    return g;
}

int SizedFont::textWidth(const wchar_t* text, int count) const {
    int width = 0;
    for (int i = 0; i < count; ++i)
        width += advance(text[i]);
    return width;
}

} // namespace platform::gdi::detail
