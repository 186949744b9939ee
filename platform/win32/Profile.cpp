#include "platform/win32/Profile.h"

#include "platform/win32/IniText.h"
#include "platform/win32/Paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using platform::ini::Document;

namespace {

constexpr std::size_t kMaxIniBytes = 16u << 20;

std::mutex g_profileMutex;

enum class ReadResult { Ok, Missing, Failed };

ReadResult readFile(const fs::path& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    struct stat st;
    ReadResult result = ReadResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > kMaxIniBytes) {
        result = ReadResult::Failed;
    } else {
        bytes.clear();
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > kMaxIniBytes) {
                result = ReadResult::Failed;
                break;
            }
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return result;
}

std::optional<Document> load(LPCWSTR file) {
    if (!file)
        return std::nullopt;
    std::string bytes;
    if (readFile(platform::NativePath(file), bytes) != ReadResult::Ok)
        return std::nullopt;
    return platform::ini::Parse(bytes);
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the whole file through a temporary file in the same folder and a rename, so that a reader sees
// the old file or the new one, never a part.
bool replaceFile(const fs::path& path, const std::string& bytes, mode_t mode) {
    std::string temp = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

DWORD copyValue(const std::wstring& value, LPWSTR buffer, DWORD size) {
    const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    value.copy(buffer, n);
    buffer[n] = L'\0';
    return static_cast<DWORD>(n);
}

// Names, each terminated, then one more terminator; when they don't fit, cut with two terminators at the
// end and the result size - 2.
DWORD copyNames(const std::vector<std::wstring>& names, LPWSTR buffer, DWORD size) {
    if (size < 2) {
        buffer[0] = L'\0';
        return 0;
    }
    std::wstring all;
    for (const auto& name : names) {
        all += name;
        all += L'\0';
    }
    if (all.size() + 1 <= size) {
        all.copy(buffer, all.size());
        buffer[all.size()] = L'\0';
        return static_cast<DWORD>(all.empty() ? 0 : all.size());
    }
    all.copy(buffer, size - 2);
    buffer[size - 2] = L'\0';
    buffer[size - 1] = L'\0';
    return size - 2;
}

} // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size,
                               LPCWSTR file) {
    if (!buffer || size == 0)
        return 0;
    std::lock_guard lock(g_profileMutex);
    const std::optional<Document> doc = load(file);
    if (!section)
        return copyNames(doc ? platform::ini::SectionNames(*doc) : std::vector<std::wstring>{}, buffer, size);
    if (!key)
        return copyNames(doc ? platform::ini::KeyNames(*doc, section) : std::vector<std::wstring>{}, buffer,
                         size);
    if (doc)
        if (std::optional<std::wstring> value = platform::ini::Lookup(*doc, section, key))
            return copyValue(*value, buffer, size);
    std::wstring fallback = defaultValue ? defaultValue : L"";
    while (!fallback.empty() && (fallback.back() == L' ' || fallback.back() == L'\t'))
        fallback.pop_back();
    return copyValue(fallback, buffer, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR file) {
    if (!section || !key)
        return static_cast<UINT>(defaultValue);
    std::optional<std::wstring> value;
    {
        std::lock_guard lock(g_profileMutex);
        if (std::optional<Document> doc = load(file))
            value = platform::ini::Lookup(*doc, section, key);
    }
    if (!value)
        return static_cast<UINT>(defaultValue);
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == L'-' || (*value)[i] == L'+'))
        negative = (*value)[i++] == L'-';
    long long magnitude = 0;
    for (; i < value->size() && (*value)[i] >= L'0' && (*value)[i] <= L'9'; ++i)
        magnitude = std::min<long long>(magnitude * 10 + ((*value)[i] - L'0'), 1LL << 32);
    const long long signedValue = std::clamp<long long>(negative ? -magnitude : magnitude, INT_MIN, INT_MAX);
    return static_cast<UINT>(static_cast<INT>(signedValue));
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
    if (!section || !file) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(g_profileMutex);
    const fs::path path = platform::NativePath(file);
    std::string bytes;
    Document doc;
    mode_t mode = 0644;
    switch (readFile(path, bytes)) {
    case ReadResult::Ok: {
        doc = platform::ini::Parse(bytes);
        struct stat st;
        if (::stat(path.c_str(), &st) == 0)
            mode = st.st_mode & 07777;
        break;
    }
    case ReadResult::Missing:
        if (!key || !value)
            return TRUE; // nothing to delete
        break;
    case ReadResult::Failed:
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!key)
        platform::ini::RemoveSection(doc, section);
    else
        platform::ini::SetValue(doc, section, key,
                                value ? std::optional<std::wstring_view>(value) : std::nullopt);
    const std::string out = platform::ini::Serialize(doc);
    if (out.size() > kMaxIniBytes || !replaceFile(path, out, mode)) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}
