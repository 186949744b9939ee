#include "config/LoginFolder.h"

#include "platform/win32/Paths.h"

#include <fcntl.h>
#include <unistd.h>

std::wstring g_userDataRoot;

namespace {
const bool g_userDataRootSet = (InitUserDataRoot(), true); // after g_userDataRoot: same file, later line
} // namespace

void InitUserDataRoot() {
    g_userDataRoot = L".\\UserData\\";
    wchar_t module[512];
    const DWORD n = GetModuleFileNameW(nullptr, module, 512);
    std::wstring folder(module, n);
    folder.erase(folder.rfind(L'\\') == std::wstring::npos ? 0 : folder.rfind(L'\\') + 1);
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    g_userDataRoot = folder + L"UserData\\";
}

namespace {

bool staysInRoot(const std::wstring& loginId) {
    return loginId.find_first_of(L"\\/") == std::wstring::npos && loginId != L"." && loginId != L"..";
}

bool isFolder(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

bool openAlways(const std::wstring& path) {
    const int fd = ::open(platform::NativePath(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

std::wstring GetLoginFolder(const std::wstring& loginId, const std::wstring& root) {
    if (loginId.empty() || !staysInRoot(loginId) || !isFolder(root + loginId))
        return {};
    return root + loginId + L"\\";
}

std::wstring GetProfileArchivePath(const std::wstring& loginId, const std::wstring& root) {
    const std::wstring folder = GetLoginFolder(loginId, root);
    return folder.empty() ? folder : folder + loginId + L".rpl";
}

std::wstring GetLoginHistoryPath(const std::wstring& loginId, const std::wstring& root) {
    if (!staysInRoot(loginId))
        return {};
    return root + loginId + L"\\" + L"history.ini";
}

int EnsureLoginFolder(const std::wstring& loginId, const std::wstring& root) {
    if (!staysInRoot(loginId))
        return 0;
    const std::wstring folder = root + loginId;
    if (PathFileExistsW(folder.c_str()))
        return 1;
    if (!CreateDirectoryW(folder.c_str(), nullptr))
        return 0;
    return CreateLoginFiles(loginId, root);
}

int CreateLoginFiles(const std::wstring& loginId, const std::wstring& root) {
    const std::wstring folder = GetLoginFolder(loginId, root);
    if (folder.empty())
        return 0;
    if (!openAlways(folder + L"default.tlb"))
        return 0;
    return openAlways(folder + L"history.ini") ? 1 : 0;
}
