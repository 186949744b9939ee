#include "platform/win32/Paths.h"
#include "platform/win32/PathsHooks.h"

#include "platform/win32/Text.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::mutex g_exeMutex;

fs::path& exePath() {
    static fs::path path = [] {
        std::error_code ec;
        fs::path p = fs::read_symlink("/proc/self/exe", ec);
        return ec ? fs::current_path() / "program" : p;
    }();
    return path;
}

// The entry of folder whose name equals name case-insensitively; empty when none.
fs::path findNoCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    const std::wstring wanted = FromUtf8(name);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (EqualsNoCase(FromUtf8(entry), wanted))
            return it->path();
    }
    return {};
}

} // namespace

fs::path ExecutableFolder() {
    std::lock_guard lock(g_exeMutex);
    return exePath().parent_path();
}

void SetExecutablePath(const fs::path& path) {
    std::lock_guard lock(g_exeMutex);
    exePath() = fs::absolute(path);
}

fs::path NativePath(std::wstring_view path) {
    std::string text = ToUtf8(path);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    fs::path given(text);
    fs::path result = given.is_absolute() ? fs::path("/") : ExecutableFolder();
    bool onDisk = true; // whether result still names something that exists
    for (const fs::path& part : given.relative_path()) {
        const std::string name = part.string();
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            result = result.parent_path();
            continue;
        }
        fs::path next = result / part;
        std::error_code ec;
        if (onDisk && !fs::exists(fs::symlink_status(next, ec))) {
            fs::path other = findNoCase(result, name);
            if (!other.empty())
                next = other;
            else
                onDisk = false;
        }
        result = next;
    }
    return result;
}

std::wstring BackslashPath(const fs::path& path) {
    std::wstring text = FromUtf8(path.string());
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    return text;
}

} // namespace platform

namespace {

DWORD copyPath(const std::wstring& text, LPWSTR buffer, DWORD size, bool truncate) {
    if (text.size() < size) {
        text.copy(buffer, text.size());
        buffer[text.size()] = L'\0';
        return static_cast<DWORD>(text.size());
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    if (!truncate)
        return static_cast<DWORD>(text.size() + 1);
    if (size == 0)
        return 0;
    text.copy(buffer, size - 1);
    buffer[size - 1] = L'\0';
    return size;
}

DWORD errnoToError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_WRITE_FAULT;
    }
}

} // namespace

DWORD GetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD size) {
    fs::path exe;
    {
        std::lock_guard lock(platform::g_exeMutex);
        exe = platform::exePath();
    }
    return copyPath(platform::BackslashPath(exe), buffer, size, true);
}

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
    static const fs::path folder = [] {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        fs::path base = runtime && *runtime ? fs::path(runtime) : fs::temp_directory_path();
        fs::path own = base / ("veloq-" + std::to_string(getuid()));
        ::mkdir(own.c_str(), 0700);
        struct stat st;
        // Use it only when it is our own real folder that nobody else can enter.
        if (::lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
            (st.st_mode & 077) != 0) {
            char pattern[] = "/tmp/veloq-XXXXXX";
            const char* made = ::mkdtemp(pattern);
            own = made ? fs::path(made) : base;
        }
        return own;
    }();
    std::wstring text = platform::BackslashPath(folder);
    text += L'\\';
    return copyPath(text, buffer, size, false);
}

BOOL GetDiskFreeSpaceExW(LPCWSTR folder, ULARGE_INTEGER* freeBytesAvailable, ULARGE_INTEGER* totalBytes,
                         ULARGE_INTEGER* totalFreeBytes) {
    const fs::path path = platform::NativePath(folder ? folder : L".");
    struct statvfs st;
    if (::statvfs(path.c_str(), &st) != 0) {
        SetLastError(errnoToError(errno));
        return FALSE;
    }
    const ULONGLONG unit = st.f_frsize ? st.f_frsize : st.f_bsize;
    if (freeBytesAvailable)
        freeBytesAvailable->QuadPart = unit * st.f_bavail;
    if (totalBytes)
        totalBytes->QuadPart = unit * st.f_blocks;
    if (totalFreeBytes)
        totalFreeBytes->QuadPart = unit * st.f_bfree;
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const fs::path native = platform::NativePath(path);
    if (::mkdir(native.c_str(), 0777) != 0) {
        SetLastError(errnoToError(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
    if (!path)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (::stat(platform::NativePath(path).c_str(), &st) != 0) {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : errnoToError(errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL PathFileExistsW(LPCWSTR path) {
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES ? TRUE : FALSE;
}
