#include "platform/win32/Text.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex g_codePageMutex;
std::string g_codePage = "WINDOWS-1252";

std::string codePage() {
    std::lock_guard lock(g_codePageMutex);
    return g_codePage;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is malformed.
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t n;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts as much as it can; returns false at an input it cannot convert (in is left there).
    bool convert(const char*& in, std::size_t& inLeft, std::string& out) {
        char buffer[256];
        while (inLeft > 0) {
            char* o = buffer;
            std::size_t oLeft = sizeof buffer;
            char* i = const_cast<char*>(in);
            const std::size_t r = iconv(cd_, &i, &inLeft, &o, &oLeft);
            in = i;
            out.append(buffer, static_cast<std::size_t>(o - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG)
                return false;
        }
        return true;
    }

private:
    iconv_t cd_;
};

} // namespace

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        appendUtf8(out, static_cast<char32_t>(c));
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c;
        const std::size_t n = decodeUtf8(text, i, c);
        out += n ? static_cast<wchar_t>(c) : L'\uFFFD';
        i += n ? n : 1;
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        char32_t c;
        const std::size_t n = decodeUtf8(text, i, c);
        if (!n)
            return false;
        i += n;
    }
    return true;
}

bool SetLegacyCodePage(const std::string& name) {
    Iconv probe(name.c_str(), "WCHAR_T");
    if (!probe.ok())
        return false;
    std::lock_guard lock(g_codePageMutex);
    g_codePage = name;
    return true;
}

std::string LegacyCodePage() {
    return codePage();
}

std::string ToLegacy(std::wstring_view text) {
    std::string out;
    Iconv cd(codePage().c_str(), "WCHAR_T");
    if (!cd.ok())
        return out;
    const char* in = reinterpret_cast<const char*>(text.data());
    std::size_t left = text.size() * sizeof(wchar_t);
    while (!cd.convert(in, left, out)) {
        out += '?';
        in += sizeof(wchar_t);
        left -= sizeof(wchar_t);
    }
    return out;
}

std::wstring FromLegacy(std::string_view bytes) {
    std::string raw;
    Iconv cd("WCHAR_T", codePage().c_str());
    if (!cd.ok())
        return {};
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    const wchar_t replacement = L'\uFFFD';
    while (!cd.convert(in, left, raw)) {
        raw.append(reinterpret_cast<const char*>(&replacement), sizeof replacement);
        ++in;
        --left;
    }
    std::wstring out(raw.size() / sizeof(wchar_t), L'\0');
    raw.copy(reinterpret_cast<char*>(out.data()), out.size() * sizeof(wchar_t));
    return out;
}

wchar_t FoldCase(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return c + (L'a' - L'A');
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    return c;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

} // namespace platform

namespace {

// Copies a converted text out the Win32 way: the size needed when outSize is 0, else the count written or
// 0 with ERROR_INSUFFICIENT_BUFFER.
template <class Char> int copyOut(const std::basic_string<Char>& text, Char* out, int outSize) {
    const int needed = static_cast<int>(text.size());
    if (outSize == 0)
        return needed;
    if (!out || outSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    text.copy(out, text.size());
    return needed;
}

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, LPWSTR out, int outSize) {
    if (!text || outSize < 0 || (codePage != CP_ACP && codePage != CP_UTF8)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string_view in = length < 0 ? std::string_view(text, std::char_traits<char>::length(text) + 1)
                                     : std::string_view(text, static_cast<std::size_t>(length));
    return copyOut(codePage == CP_UTF8 ? platform::FromUtf8(in) : platform::FromLegacy(in), out, outSize);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int length, LPSTR out, int outSize, LPCSTR,
                        BOOL* usedDefault) {
    if (!text || outSize < 0 || (codePage != CP_ACP && codePage != CP_UTF8)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring_view in = length < 0 ? std::wstring_view(text, std::char_traits<wchar_t>::length(text) + 1)
                                      : std::wstring_view(text, static_cast<std::size_t>(length));
    if (usedDefault)
        *usedDefault = FALSE;
    return copyOut(codePage == CP_UTF8 ? platform::ToUtf8(in) : platform::ToLegacy(in), out, outSize);
}
