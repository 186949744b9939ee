// Paths and the file-system queries the code needs. The code keeps the system's own path strings with
// backslashes (".\Setup\property.ini"); every file function of this layer takes either separator, resolves a
// relative path against the folder of the executable (not the working directory), and finds a component
// that is missing in its exact case case-insensitively (".\setup\" and ".\Setup\" are one folder).
#pragma once

#include "platform/win32/Types.h"

#include <filesystem>
#include <string>
#include <string_view>

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// The executable's path with backslashes ("\home\me\veloq\Veloq"), so that cutting at the last backslash
// gives its folder. Truncated to size - 1 characters with ERROR_INSUFFICIENT_BUFFER when it doesn't fit.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// A folder of this user only (created with mode 0700 on first use; never a shared fixed name), with a
// trailing backslash. Returns the length, or the size needed (with the terminator) when it doesn't fit.
DWORD GetTempPathW(DWORD size, LPWSTR buffer);

// Free and total bytes of the file system that holds the folder (statvfs).
BOOL GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeBytesAvailable, ULARGE_INTEGER* totalBytes,
                         ULARGE_INTEGER* totalFreeBytes);

// Fails with ERROR_ALREADY_EXISTS for an existing path and ERROR_PATH_NOT_FOUND without the parent.
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES attributes);
DWORD GetFileAttributesW(LPCWSTR path);
BOOL PathFileExistsW(LPCWSTR path);

namespace platform {

// The native path (UTF-8, '/') for a path string of the code. Components that exist in another case are
// taken as they are on disk; the rest are kept as given.
std::filesystem::path NativePath(std::wstring_view path);

// The folder of the executable.
std::filesystem::path ExecutableFolder();

// A native path in the code's form, with backslashes.
std::wstring BackslashPath(const std::filesystem::path& path);

} // namespace platform
