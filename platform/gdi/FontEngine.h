// Inside the GDI: a face at one pixel size, with its metrics and rendered glyphs. Shared by every font
// object of the same description; thread-safe.
#pragma once

#include "platform/gdi/Font.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

struct FT_FaceRec_;

namespace platform::gdi::detail {

struct Glyph {
    int left = 0; // from the pen position to the bitmap's left column
    int top = 0;  // from the baseline up to the bitmap's top row
    int width = 0;
    int rows = 0;
    int advance = 0;                    // pixels to the next pen position
    std::vector<std::uint8_t> coverage; // width x rows, 0..255
};

class SizedFont {
public:
    // The shared font for a description; never null (without any usable face it draws nothing but still
    // answers the requested metrics).
    static std::shared_ptr<const SizedFont> get(const LOGFONTW& logFont);
    ~SizedFont();

    const TEXTMETRICW& metrics() const { return metrics_; }
    // The glyph of a character; the reference stays valid for the font's life.
    const Glyph& glyph(wchar_t c) const;
    int advance(wchar_t c) const { return glyph(c).advance; }
    int textWidth(const wchar_t* text, int count) const;
    bool underline() const { return underline_; }
    bool strikeOut() const { return strikeOut_; }

    SizedFont(const SizedFont&) = delete;
    SizedFont& operator=(const SizedFont&) = delete;

private:
    SizedFont() = default;
    FT_FaceRec_* face_ = nullptr;
    std::shared_ptr<const std::vector<unsigned char>> file_; // the face's bytes, shared by its sizes
    bool emboldenOutline_ = false;
    bool monochrome_ = false;
    bool underline_ = false;
    bool strikeOut_ = false;
    TEXTMETRICW metrics_{};
    mutable std::mutex mutex_;
    mutable std::unordered_map<wchar_t, Glyph> glyphs_;
};

} // namespace platform::gdi::detail
