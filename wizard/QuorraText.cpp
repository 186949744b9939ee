#include "wizard/QuorraText.h"

#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include <algorithm>
#include <cwchar>

namespace {

constexpr const wchar_t* kTextFile = L".\\Quorra.ini";
constexpr const wchar_t* kConfigureFile = L".\\configure.ini";
// The languages and providers a file may list; more are not read.
constexpr int kListMax = 64;

std::wstring readText(const wchar_t* file, const std::wstring& section, const std::wstring& key) {
    wchar_t buffer[1024] = {};
    const DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer, 1024, file);
    return std::wstring(buffer, n);
}

std::wstring numbered(const wchar_t* prefix, int number) {
    wchar_t key[32];
    std::swprintf(key, 32, L"%ls_%.3d", prefix, number);
    return key;
}

int listCount(const wchar_t* file, const wchar_t* section) {
    const int count = static_cast<int>(GetPrivateProfileIntW(section, L"Count", 0, file));
    return count < 0 ? 0 : std::min(count, kListMax);
}

} // namespace

std::wstring QuorraLanguage() {
    const std::wstring chosen = readText(kConfigureFile, L"Wizard", L"Language");
    const int count = listCount(kTextFile, L"LanguageID");
    for (int i = 1; i <= count; ++i) {
        std::wstring name = readText(kTextFile, L"LanguageID", numbered(L"Language", i));
        if (!chosen.empty() && platform::EqualsNoCase(name, chosen))
            return name;
    }
    return readText(kTextFile, L"LanguageID", numbered(L"Language", 1));
}

std::wstring LoadQuorraString(const std::wstring& key) {
    const std::wstring language = QuorraLanguage();
    if (language.empty())
        return {};
    std::wstring text = readText(kTextFile, key, language);
    for (std::size_t at = text.find(L"||"); at != std::wstring::npos; at = text.find(L"||", at + 2))
        text.replace(at, 2, L"\r\n");
    return text;
}

std::vector<std::wstring> LoadIspList() {
    std::vector<std::wstring> providers;
    const int count = listCount(kConfigureFile, L"ISP");
    for (int i = 1; i <= count; ++i)
        providers.push_back(readText(kConfigureFile, L"ISP", numbered(L"ISP", i)));
    return providers;
}
