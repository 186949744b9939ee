// The text model of an INI file, as the profile functions (platform/win32/Profile.h) read and change it:
// the file's encoding and lines are kept as they were, so a write changes only the line it must.
// Sections and keys compare case-insensitively; values are trimmed of blanks and of one pair of
// surrounding quotes; the first occurrence of a section and of a key in it counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ini {

enum class Encoding {
    Utf8, // also plain ASCII; the form of new files
    Utf8Bom,
    Utf16LeBom,
    Legacy, // bytes that are not UTF-8: the legacy code page (platform/win32/Text.h)
};

struct Document {
    Encoding encoding = Encoding::Utf8;
    bool crlf = true;                // line ending of lines this model adds
    bool finalNewline = true;        // whether the last line ends with a line break
    std::vector<std::wstring> lines; // without '\n'; a line that ended in "\r\n" keeps its '\r'
};

Document Parse(std::string_view bytes);
std::string Serialize(const Document& doc);

std::optional<std::wstring> Lookup(const Document& doc, std::wstring_view section, std::wstring_view key);
std::vector<std::wstring> SectionNames(const Document& doc);
std::vector<std::wstring> KeyNames(const Document& doc, std::wstring_view section);

// A value without a key deletes the key; SetValue creates the section (at the end) and the key (after the
// section's last key) when they are missing. A line break in the value ends it there; a value with leading or
// trailing blanks, or in quotes of its own, is written in double quotes so that it reads back unchanged.
void SetValue(Document& doc, std::wstring_view section, std::wstring_view key,
              std::optional<std::wstring_view> value);
void RemoveSection(Document& doc, std::wstring_view section);

} // namespace platform::ini
