#include "platform/com/Registry.h"

#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include <dlfcn.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace platform::com {

namespace {
constexpr DWORD kValueChars = 4096;

std::wstring registryFile() {
    return platform::FromUtf8(RegistryPath().string());
}
} // namespace

fs::path RegistryPath() {
    if (const char* file = std::getenv("VELOQ_COM_REGISTRY"); file && *file)
        return file;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return fs::path(config) / "veloq" / "classes.ini";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".config" / "veloq" / "classes.ini";
}

bool WriteClassValue(REFCLSID clsid, const std::wstring& key, const std::wstring& value) {
    std::error_code ec;
    const fs::path file = RegistryPath();
    if (file.has_parent_path())
        fs::create_directories(file.parent_path(), ec);
    return WritePrivateProfileStringW(GuidText(clsid).c_str(), key.c_str(), value.c_str(),
                                      registryFile().c_str()) != FALSE;
}

std::optional<std::wstring> ReadClassValue(REFCLSID clsid, const std::wstring& key) {
    std::vector<wchar_t> buffer(kValueChars);
    // A default no value can hold tells an absent key from an empty one.
    static const wchar_t kAbsent[] = L"\x1\x2";
    GetPrivateProfileStringW(GuidText(clsid).c_str(), key.c_str(), kAbsent, buffer.data(), kValueChars,
                             registryFile().c_str());
    std::wstring value = buffer.data();
    if (value == kAbsent)
        return std::nullopt;
    return value;
}

bool RemoveClass(REFCLSID clsid) {
    if (!fs::exists(RegistryPath()))
        return true;
    return WritePrivateProfileStringW(GuidText(clsid).c_str(), nullptr, nullptr, registryFile().c_str()) !=
           FALSE;
}

std::optional<fs::path> InprocServerPath(REFCLSID clsid) {
    auto value = ReadClassValue(clsid, L"InprocServer32");
    if (!value || value->empty())
        return std::nullopt;
    return fs::path(platform::ToUtf8(*value));
}

std::optional<fs::path> LibraryPathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname)
        return std::nullopt;
    std::error_code ec;
    fs::path path = fs::canonical(info.dli_fname, ec);
    return ec ? fs::absolute(info.dli_fname) : path;
}

} // namespace platform::com
