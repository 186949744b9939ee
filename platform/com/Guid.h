// Globally unique identifiers: class, interface, media-type and format identifiers. A constant is written
// from its registry text form ("84D0C4F3-51A0-46FB-9B57-211ADC37E0ED") and checked at compile time.
#pragma once

#include "platform/win32/Types.h"

#include <cstddef>
#include <functional>
#include <string>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

inline constexpr GUID GUID_NULL{};

namespace platform {

namespace detail {
consteval unsigned hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    throw "not a hexadecimal digit"; // a compile-time error in a constant
}
consteval unsigned long long hexField(const char* text, int digits) {
    unsigned long long value = 0;
    for (int i = 0; i < digits; ++i)
        value = value * 16 + hexDigit(text[i]);
    return value;
}
} // namespace detail

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", without braces.
consteval GUID MakeGuid(const char (&text)[37]) {
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        throw "malformed identifier";
    GUID g{};
    g.Data1 = static_cast<DWORD>(detail::hexField(text, 8));
    g.Data2 = static_cast<WORD>(detail::hexField(text + 9, 4));
    g.Data3 = static_cast<WORD>(detail::hexField(text + 14, 4));
    g.Data4[0] = static_cast<BYTE>(detail::hexField(text + 19, 2));
    g.Data4[1] = static_cast<BYTE>(detail::hexField(text + 21, 2));
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<BYTE>(detail::hexField(text + 24 + 2 * i, 2));
    return g;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry file keeps it.
std::wstring GuidText(REFGUID guid);
// Parses the braced (or unbraced) text form; false for anything else.
bool ParseGuid(const std::wstring& text, GUID* guid);

struct GuidHash {
    std::size_t operator()(const GUID& g) const noexcept;
};

} // namespace platform

// The Win32 conversions: StringFromGUID2 returns the characters written with the terminator (39), or 0
// when the buffer is too small.
int StringFromGUID2(REFGUID guid, LPWSTR buffer, int size);
HRESULT CLSIDFromString(LPCWSTR text, CLSID* clsid);
