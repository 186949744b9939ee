#include "platform/com/Guid.h"

#include "platform/com/Unknown.h"

#include <cstdio>
#include <cwchar>

namespace platform {

std::wstring GuidText(REFGUID g) {
    wchar_t text[40];
    std::swprintf(text, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return text;
}

bool ParseGuid(const std::wstring& text, GUID* guid) {
    std::wstring body = text;
    if (body.size() == 38 && body.front() == L'{' && body.back() == L'}')
        body = body.substr(1, 36);
    if (body.size() != 36 || !guid)
        return false;
    auto field = [&body](std::size_t at, int digits, unsigned long long* out) {
        unsigned long long value = 0;
        for (int i = 0; i < digits; ++i) {
            const wchar_t c = body[at + static_cast<std::size_t>(i)];
            unsigned digit;
            if (c >= L'0' && c <= L'9')
                digit = static_cast<unsigned>(c - L'0');
            else if (c >= L'a' && c <= L'f')
                digit = static_cast<unsigned>(c - L'a' + 10);
            else if (c >= L'A' && c <= L'F')
                digit = static_cast<unsigned>(c - L'A' + 10);
            else
                return false;
            value = value * 16 + digit;
        }
        *out = value;
        return true;
    };
    if (body[8] != L'-' || body[13] != L'-' || body[18] != L'-' || body[23] != L'-')
        return false;
    unsigned long long v[11];
    const std::size_t at[11] = {0, 9, 14, 19, 21, 24, 26, 28, 30, 32, 34};
    const int digits[11] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
    for (int i = 0; i < 11; ++i)
        if (!field(at[i], digits[i], &v[i]))
            return false;
    guid->Data1 = static_cast<DWORD>(v[0]);
    guid->Data2 = static_cast<WORD>(v[1]);
    guid->Data3 = static_cast<WORD>(v[2]);
    for (int i = 0; i < 8; ++i)
        guid->Data4[i] = static_cast<BYTE>(v[3 + i]);
    return true;
}

std::size_t GuidHash::operator()(const GUID& g) const noexcept {
    std::size_t h = g.Data1;
    h = h * 31 + g.Data2;
    h = h * 31 + g.Data3;
    for (BYTE b : g.Data4)
        h = h * 31 + b;
    return h;
}

} // namespace platform

int StringFromGUID2(REFGUID guid, LPWSTR buffer, int size) {
    const std::wstring text = platform::GuidText(guid);
    if (!buffer || size < static_cast<int>(text.size()) + 1)
        return 0;
    std::wmemcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size()) + 1;
}

HRESULT CLSIDFromString(LPCWSTR text, CLSID* clsid) {
    if (!text || !clsid)
        return E_INVALIDARG;
    return platform::ParseGuid(text, clsid) ? S_OK : CO_E_CLASSSTRING;
}
