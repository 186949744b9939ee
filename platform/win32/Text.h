// Text at the boundaries: the code keeps wide strings; the OS, the toolkit and files see UTF-8; the box's
// byte fields use the one legacy code page of the process (default Windows-1252), converted here only.
#pragma once

#include "platform/win32/Types.h"

#include <string>
#include <string_view>

constexpr UINT CP_ACP = 0; // the legacy code page
constexpr UINT CP_UTF8 = 65001;

// Win32 conversions. A length of -1 means "up to and including the terminator"; a zero output size asks for
// the size needed. Characters the legacy code page lacks become '?', bytes it can't decode U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out, int outSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out, int outSize,
                        LPCSTR defaultChar, BOOL* usedDefault);

namespace platform {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text); // invalid sequences become U+FFFD
bool IsValidUtf8(std::string_view text);

// The legacy code page by its iconv name ("WINDOWS-1252", "CP936", ...); false if iconv does not know it.
bool SetLegacyCodePage(const std::string& name);
std::string LegacyCodePage();
std::string ToLegacy(std::wstring_view text);
std::wstring FromLegacy(std::string_view bytes);

// Case folding for the case-insensitive names of INI sections and keys and of path components:
// ASCII and Latin-1 letters.
wchar_t FoldCase(wchar_t c);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

} // namespace platform
