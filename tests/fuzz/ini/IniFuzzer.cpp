// The INI reader on arbitrary bytes: the text model round-trips UTF-8 files byte for byte, a written value
// reads back unchanged, and the profile functions read any file within their buffers.
#include "platform/win32/IniText.h"
#include "platform/win32/Paths.h"
#include "platform/win32/PathsHooks.h"
#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ini = platform::ini;

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

const std::filesystem::path& folder() {
    static const std::filesystem::path path = [] {
        char pattern[] = "/tmp/veloq-fuzz-ini-XXXXXX";
        std::filesystem::path p = ::mkdtemp(pattern);
        platform::SetExecutablePath(p / "Veloq");
        return p;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ini::Document doc = ini::Parse(bytes);
    if (doc.encoding == ini::Encoding::Utf8 ||
        (doc.encoding == ini::Encoding::Utf8Bom && platform::IsValidUtf8(std::string_view(bytes).substr(3))))
        check(ini::Serialize(doc) == bytes);

    for (const std::wstring& section : ini::SectionNames(doc))
        for (const std::wstring& key : ini::KeyNames(doc, section))
            check(ini::Lookup(doc, section, key).has_value());

    // The first line of the input, as a value, reads back as it was written.
    const std::wstring text = platform::FromUtf8(bytes);
    const std::wstring value = text.substr(0, text.find_first_of(L"\r\n"));
    ini::SetValue(doc, L"Fuzz", L"key", value);
    ini::Document again = ini::Parse(ini::Serialize(doc));
    if (doc.encoding != ini::Encoding::Legacy) {
        auto read = ini::Lookup(again, L"fuzz", L"KEY");
        check(read && *read == value);
    }
    ini::SetValue(again, L"Fuzz", L"key", std::nullopt);
    ini::RemoveSection(again, L"Fuzz");

    std::ofstream(folder() / "fuzz.ini", std::ios::binary) << bytes;
    wchar_t buffer[64];
    for (const std::wstring& section : ini::SectionNames(doc)) {
        const DWORD n = GetPrivateProfileStringW(section.c_str(), nullptr, L"", buffer, 64, L".\\FUZZ.INI");
        check(n < 64);
        GetPrivateProfileIntW(section.c_str(), L"key", -1, L".\\fuzz.ini");
    }
    check(GetPrivateProfileStringW(nullptr, nullptr, L"", buffer, 64, L".\\fuzz.ini") < 64);
    return 0;
}
