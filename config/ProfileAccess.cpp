#include "config/AppConfig.h"

#include "platform/win32/Profile.h"

#include <climits>
#include <vector>

namespace {

constexpr DWORD kTextBuffer = 255;
constexpr DWORD kPathBuffer = 32768; // longer than any path the file system takes
constexpr INT kAbsentInt = 65535;

// The leading signed decimal integer, saturated to 64 bits as the system's 64-bit parse does.
std::int64_t parseInt64(const std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        negative = text[i++] == L'-';
    std::uint64_t magnitude = 0;
    constexpr std::uint64_t limit = static_cast<std::uint64_t>(LLONG_MAX) + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        magnitude =
            std::min<std::uint64_t>(magnitude * 10 + static_cast<std::uint64_t>(text[i] - L'0'), limit);
    if (negative)
        return magnitude >= limit ? LLONG_MIN : -static_cast<std::int64_t>(magnitude);
    return magnitude >= limit ? LLONG_MAX : static_cast<std::int64_t>(magnitude);
}

HRESULT readText(const std::wstring& section, const std::wstring& key, const std::wstring& fallback,
                 const std::wstring& file, DWORD bufferSize, std::wstring& out) {
    std::vector<wchar_t> buffer(bufferSize);
    const DWORD n =
        GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(), bufferSize, file.c_str());
    if (n == 0) {
        out = fallback;
        return E_FAIL;
    }
    out.assign(buffer.data(), n);
    return kConfigOk;
}

} // namespace

HRESULT KQ_AppConfig::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& fallback, const std::wstring& file,
                                        std::wstring& out) {
    return readText(section, key, fallback, file.empty() ? m_propertyPath : file, kTextBuffer, out);
}

HRESULT KQ_AppConfig::ReadProfilePath(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& fallback, const std::wstring& file,
                                      std::wstring& out) {
    return readText(section, key, fallback, file.empty() ? m_propertyPath : file, kPathBuffer, out);
}

HRESULT KQ_AppConfig::ReadProfileInt(const std::wstring& section, const std::wstring& key,
                                     std::int32_t fallback, const std::wstring& file, std::int32_t& out) {
    const auto value = static_cast<std::int32_t>(GetPrivateProfileIntW(
        section.c_str(), key.c_str(), kAbsentInt, (file.empty() ? m_propertyPath : file).c_str()));
    if (value == kAbsentInt) {
        out = fallback;
        return E_FAIL;
    }
    out = value;
    return kConfigOk;
}

HRESULT KQ_AppConfig::ReadProfileInt64(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& file, std::int32_t& out) {
    std::wstring text;
    if (ReadProfileString(section, key, L"", file, text) != kConfigOk) {
        out = 0;
        return E_FAIL;
    }
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(parseInt64(text))); // the low 32 bits
    return kConfigOk;
}

HRESULT KQ_AppConfig::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& file) {
    return WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(),
                                      (file.empty() ? m_propertyPath : file).c_str())
               ? kConfigOk
               : kConfigWriteFailed;
}

HRESULT KQ_AppConfig::WriteProfileInt(const std::wstring& section, const std::wstring& key,
                                      std::int32_t value, const std::wstring& file) {
    return WriteProfileString(section, key, std::to_wstring(value), file);
}

HRESULT KQ_AppConfig::WriteProfileLong(const std::wstring& section, const std::wstring& key,
                                       std::int32_t value, const std::wstring& file) {
    return WriteProfileString(section, key, std::to_wstring(value), file);
}
