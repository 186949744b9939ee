#include "platform/win32/Paths.h"
#include "platform/win32/Text.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(PathsTest, RelativePathsResolveInTheExecutablesFolderIgnoringCase) {
    TempFolder temp;
    std::filesystem::create_directories(temp / "Setup/Skins");
    struct Case {
        const wchar_t* path;
        std::filesystem::path expected;
    } cases[] = {
        {L".\\setup\\property.ini", temp / "Setup/property.ini"},
        {L"SETUP/skins\\blue\\", temp / "Setup/Skins/blue"},
        {L".\\Setup\\..\\UserData\\", temp / "UserData"},
        {L"/abs\\x", "/abs/x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::NativePath(c.path), c.expected) << platform::ToUtf8(c.path);

    wchar_t module[512];
    const DWORD n = GetModuleFileNameW(nullptr, module, 512);
    const std::wstring name(module, n);
    EXPECT_EQ(name, platform::BackslashPath(temp / "Veloq"));
    EXPECT_EQ(platform::NativePath(name.substr(0, name.rfind(L'\\') + 1) + L"setup"), temp / "Setup");
    wchar_t small[4];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::wstring(small), name.substr(0, 3));
}

TEST(PathsTest, FoldersAttributesAndFreeSpace) {
    TempFolder temp;
    EXPECT_TRUE(CreateDirectoryW(L".\\UserData", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L".\\userdata", nullptr)); // the same folder
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(L".\\Missing\\Child", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    temp.write("UserData/file", "x");
    EXPECT_EQ(GetFileAttributesW(L".\\USERDATA"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(L".\\UserData\\FILE"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesW(L".\\nothing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(PathFileExistsW(L"userdata\\file"));

    ULARGE_INTEGER avail{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L".\\UserData\\", &avail, &total, &free));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(avail.QuadPart, free.QuadPart);
    EXPECT_LE(free.QuadPart, total.QuadPart);
    EXPECT_FALSE(GetDiskFreeSpaceExW(L".\\nothing\\", &avail, nullptr, nullptr));
}

TEST(PathsTest, TempPathIsAPrivateFolderOfThisUser) {
    wchar_t buffer[512];
    const DWORD n = GetTempPathW(512, buffer);
    ASSERT_GT(n, 1u);
    EXPECT_EQ(buffer[n - 1], L'\\');
    struct stat st;
    ASSERT_EQ(::stat(platform::NativePath(buffer).c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, getuid());
    EXPECT_EQ(st.st_mode & 077, 0u);
    wchar_t small[2];
    EXPECT_EQ(GetTempPathW(2, small), n + 1);
}

TEST(TextTest, LegacyCodePageAndUtf8) {
    struct Case {
        const char* codePage;
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {"WINDOWS-1252", "caf\xE9 \x80", L"caf\u00e9 \u20ac"},
        {"WINDOWS-1251", "\xC4\xE0", L"\u0414\u0430"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(platform::SetLegacyCodePage(c.codePage));
        EXPECT_EQ(platform::FromLegacy(c.bytes), c.text) << c.codePage;
        EXPECT_EQ(platform::ToLegacy(c.text), c.bytes) << c.codePage;
    }
    ASSERT_TRUE(platform::SetLegacyCodePage("WINDOWS-1252"));
    EXPECT_FALSE(platform::SetLegacyCodePage("NO-SUCH-PAGE"));
    EXPECT_EQ(platform::LegacyCodePage(), "WINDOWS-1252");
    EXPECT_EQ(platform::ToLegacy(L"a\u4e2db"), "a?b");

    char out[8];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u00e9t\u00e9", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"\u00e9t\u00e9", -1, out, 8, nullptr, nullptr), 4);
    EXPECT_STREQ(out, "\xE9t\xE9");
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00e9", 1, out, 1, nullptr, nullptr), 0); // too small
    wchar_t wide[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9\xFF", 3, wide, 8), 2);
    EXPECT_EQ(std::wstring(wide, 2), L"\u00e9\uFFFD");
    EXPECT_FALSE(platform::IsValidUtf8("\xED\xA0\x80")); // an encoded surrogate
    EXPECT_EQ(platform::ToUtf8(platform::FromUtf8("\xF0\x9F\x93\xBA")), "\xF0\x9F\x93\xBA");
}

} // namespace
