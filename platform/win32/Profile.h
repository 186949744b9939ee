// The Win32 INI ("private profile") functions over files of the code's path form (platform/win32/Paths.h).
// The file is read again on every call; every call holds one process-wide lock. A write keeps the other
// lines, the file's encoding and its line endings, and replaces the file atomically (a temporary file in
// the same folder, then a rename); it creates the file and the section when missing, but not the folder.
// Files over 16 MiB are not INI files: reads give the default and writes fail.
#pragma once

#include "platform/win32/Types.h"

// Copies the value (or, with a null key, the section's key names; with a null section, the section names:
// each name terminated, a second terminator at the end) into buffer, cut to size - 1 characters, and
// returns the count copied. An absent key gives the default without its trailing blanks.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR file);
// The value's leading signed decimal integer ("55zz" is 55, "-1" is 0xFFFFFFFF, "zz" and "" are 0, kept
// within 32 bits); the default when the key is absent.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR file);
// A null value deletes the key, a null key the whole section. Values read back as written (see IniText.h).
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
