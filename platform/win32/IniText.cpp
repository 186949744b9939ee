#include "platform/win32/IniText.h"

#include "platform/win32/Text.h"

namespace platform::ini {
namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r';
}

std::wstring_view trim(std::wstring_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::wstring_view unquote(std::wstring_view s) {
    if (s.size() >= 2 && (s.front() == L'"' || s.front() == L'\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

// A section header's name, or nothing for other lines.
std::optional<std::wstring_view> sectionName(std::wstring_view line) {
    line = trim(line);
    if (line.empty() || line.front() != L'[')
        return std::nullopt;
    const std::size_t close = line.find(L']');
    return trim(line.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1));
}

struct KeyLine {
    std::wstring_view key;
    std::wstring_view value;
};

std::optional<KeyLine> keyLine(std::wstring_view line) {
    line = trim(line);
    if (line.empty() || line.front() == L';' || line.front() == L'[')
        return std::nullopt;
    const std::size_t eq = line.find(L'=');
    if (eq == std::wstring_view::npos)
        return KeyLine{line, {}};
    return KeyLine{trim(line.substr(0, eq)), unquote(trim(line.substr(eq + 1)))};
}

// Lines [begin, end) of the first section of that name (begin is the header); nothing when absent.
std::optional<std::pair<std::size_t, std::size_t>> findSection(const Document& doc,
                                                               std::wstring_view section) {
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        auto name = sectionName(doc.lines[i]);
        if (!name || !EqualsNoCase(*name, section))
            continue;
        std::size_t end = i + 1;
        while (end < doc.lines.size() && !sectionName(doc.lines[end]))
            ++end;
        return std::pair{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> findKey(const Document& doc, std::pair<std::size_t, std::size_t> range,
                                   std::wstring_view key) {
    for (std::size_t i = range.first + 1; i < range.second; ++i) {
        auto line = keyLine(doc.lines[i]);
        if (line && EqualsNoCase(line->key, key))
            return i;
    }
    return std::nullopt;
}

std::wstring decodeUtf16Le(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t u = static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low =
                static_cast<unsigned char>(bytes[i + 2]) | static_cast<unsigned char>(bytes[i + 3]) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        out += static_cast<wchar_t>(u);
    }
    return out;
}

std::string encodeUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

} // namespace

Document Parse(std::string_view bytes) {
    Document doc;
    std::wstring text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        doc.encoding = Encoding::Utf16LeBom;
        text = decodeUtf16Le(bytes.substr(2));
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        doc.encoding = Encoding::Utf8Bom;
        text = FromUtf8(bytes.substr(3));
    } else if (IsValidUtf8(bytes)) {
        text = FromUtf8(bytes);
    } else {
        doc.encoding = Encoding::Legacy;
        text = FromLegacy(bytes);
    }
    std::size_t start = 0;
    bool sawEnding = false;
    while (start < text.size()) {
        std::size_t nl = text.find(L'\n', start);
        if (nl == std::wstring::npos) {
            doc.lines.emplace_back(text.substr(start));
            doc.finalNewline = false;
            break;
        }
        doc.lines.emplace_back(text.substr(start, nl - start));
        if (!sawEnding) {
            doc.crlf = nl > start && text[nl - 1] == L'\r';
            sawEnding = true;
        }
        start = nl + 1;
    }
    return doc;
}

std::string Serialize(const Document& doc) {
    std::wstring text;
    for (std::size_t i = 0; i < doc.lines.size(); ++i) {
        text += doc.lines[i];
        if (i + 1 < doc.lines.size() || doc.finalNewline)
            text += L'\n';
    }
    switch (doc.encoding) {
    case Encoding::Utf16LeBom:
        return "\xFF\xFE" + encodeUtf16Le(text);
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + ToUtf8(text);
    case Encoding::Legacy:
        return ToLegacy(text);
    case Encoding::Utf8:
        break;
    }
    return ToUtf8(text);
}

std::optional<std::wstring> Lookup(const Document& doc, std::wstring_view section, std::wstring_view key) {
    auto range = findSection(doc, section);
    if (!range)
        return std::nullopt;
    auto line = findKey(doc, *range, key);
    if (!line)
        return std::nullopt;
    return std::wstring(keyLine(doc.lines[*line])->value);
}

std::vector<std::wstring> SectionNames(const Document& doc) {
    std::vector<std::wstring> names;
    for (const auto& line : doc.lines)
        if (auto name = sectionName(line))
            names.emplace_back(*name);
    return names;
}

std::vector<std::wstring> KeyNames(const Document& doc, std::wstring_view section) {
    std::vector<std::wstring> names;
    if (auto range = findSection(doc, section))
        for (std::size_t i = range->first + 1; i < range->second; ++i)
            if (auto line = keyLine(doc.lines[i]))
                names.emplace_back(line->key);
    return names;
}

void SetValue(Document& doc, std::wstring_view section, std::wstring_view key,
              std::optional<std::wstring_view> value) {
    const std::wstring ending = doc.crlf ? L"\r" : L"";
    auto range = findSection(doc, section);
    if (!value) {
        if (range)
            if (auto line = findKey(doc, *range, key))
                doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(*line));
        return;
    }
    std::wstring_view cut = *value;
    cut = cut.substr(0, cut.find_first_of(L"\r\n"));
    // A value that reading would trim or unquote is written in quotes, so that it reads back as it was.
    const bool quote = !cut.empty() && (isBlank(cut.front()) || isBlank(cut.back()) || unquote(cut) != cut);
    const std::wstring quoted = quote ? L"\"" + std::wstring(cut) + L"\"" : std::wstring(cut);
    const std::wstring_view v = quoted;
    if (!range) {
        if (!doc.lines.empty() && !doc.finalNewline) {
            doc.lines.back() += ending;
            doc.finalNewline = true;
        }
        doc.lines.push_back(L"[" + std::wstring(section) + L"]" + ending);
        doc.lines.push_back(std::wstring(key) + L"=" + std::wstring(v) + ending);
        return;
    }
    if (auto line = findKey(doc, *range, key)) {
        std::wstring& text = doc.lines[*line];
        const bool hadCr = !text.empty() && text.back() == L'\r';
        text = std::wstring(keyLine(text)->key) + L"=" + std::wstring(v) + (hadCr ? L"\r" : L"");
        return;
    }
    // After the section's last non-blank line, so that a blank line before the next section stays there.
    std::size_t at = range->second;
    while (at > range->first + 1 && trim(doc.lines[at - 1]).empty())
        --at;
    if (at == doc.lines.size() && !doc.finalNewline) {
        doc.lines.back() += ending;
        doc.finalNewline = true;
    }
    doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(at),
                     std::wstring(key) + L"=" + std::wstring(v) + ending);
}

void RemoveSection(Document& doc, std::wstring_view section) {
    if (auto range = findSection(doc, section))
        doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(range->first),
                        doc.lines.begin() + static_cast<std::ptrdiff_t>(range->second));
}

} // namespace platform::ini
