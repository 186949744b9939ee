// A private temporary folder that a test makes the program's folder: relative paths of the code resolve
// inside it. Removed with everything in it at the end of the test.
#pragma once

#include "platform/win32/Paths.h"
#include "platform/win32/PathsHooks.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder() {
        wchar_t module[4096];
        const DWORD n = GetModuleFileNameW(nullptr, module, 4096);
        previous_ = platform::NativePath(std::wstring_view(module, n));
        std::string pattern = (std::filesystem::temp_directory_path() / "veloq-test-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        platform::SetExecutablePath(root_ / "Veloq");
    }
    ~TempFolder() {
        platform::SetExecutablePath(previous_);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path operator/(std::string_view relative) const { return root_ / relative; }

    void write(std::string_view relative, std::string_view bytes) const {
        std::filesystem::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative, std::ios::binary) << bytes;
    }
    std::string read(std::string_view relative) const {
        std::ifstream in(root_ / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(std::string_view relative) const { return std::filesystem::exists(root_ / relative); }

private:
    std::filesystem::path previous_;
    std::filesystem::path root_;
};
