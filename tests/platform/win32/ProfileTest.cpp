#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const wchar_t* const kFile = L".\\setup\\test.ini"; // the folder is created as "Setup"

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(temp / "Setup"); }
    void writeIni(std::string_view bytes) { temp.write("Setup/test.ini", bytes); }
    std::string readIni() { return temp.read("Setup/test.ini"); }
    TempFolder temp;
};

struct ReadCase {
    const char* name;
    std::string file;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* fallback;
    DWORD size;
    std::wstring expected;
};

class ReadStringTest : public ProfileTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadStringTest, Reads) {
    const ReadCase& c = GetParam();
    writeIni(c.file);
    std::vector<wchar_t> buffer(c.size + 1, L'#');
    const DWORD n = GetPrivateProfileStringW(c.section, c.key, c.fallback, buffer.data(), c.size, kFile);
    EXPECT_EQ(std::wstring(buffer.data(), n), c.expected);
    EXPECT_EQ(buffer[n], L'\0');
    EXPECT_EQ(buffer[c.size], L'#'); // nothing beyond the buffer
}

const std::string kBasic =
    "top=ignored\r\n[Save]\r\nSnap Path = C:\\snap \r\nquoted=\"  two  \"\r\nsingle='x'\r\n"
    "lone\"=\"\r\nempty=\r\n; comment=1\r\n[save]\r\nSnap Path=second\r\n[Other]\r\na=1\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadStringTest,
    ::testing::Values(
        ReadCase{"CaseInsensitiveAndTrimmed", kBasic, L"SAVE", L"snap path", L"d", 255, L"C:\\snap"},
        ReadCase{"QuotesStrippedBlanksInsideKept", kBasic, L"Save", L"quoted", L"d", 255, L"  two  "},
        ReadCase{"SingleQuotes", kBasic, L"Save", L"single", L"d", 255, L"x"},
        ReadCase{"UnpairedQuoteKept", kBasic, L"Save", L"lone\"", L"d", 255, L"\""},
        ReadCase{"EmptyValueIsPresent", kBasic, L"Save", L"empty", L"d", 255, L""},
        ReadCase{"AbsentKeyGivesDefaultWithoutTrailingBlanks", kBasic, L"Save", L"none", L"def  ", 255,
                 L"def"},
        ReadCase{"CommentIsNoKey", kBasic, L"Save", L"; comment", L"d", 255, L"d"},
        ReadCase{"FirstSectionCounts", kBasic, L"save", L"Snap Path", L"d", 255, L"C:\\snap"},
        ReadCase{"KeysBeforeAnySectionAreUnreachable", kBasic, L"", L"top", L"d", 255, L"d"},
        ReadCase{"TruncatedToSizeMinusOne", kBasic, L"Other", L"a", L"", 1, L""},
        ReadCase{"TruncatedValue", kBasic, L"Save", L"Snap Path", L"", 4, L"C:\\"},
        ReadCase{"NullDefault", kBasic, L"Save", L"none", nullptr, 255, L""},
        ReadCase{"SectionNames", kBasic, nullptr, nullptr, L"", 255,
                 std::wstring(L"Save\0save\0Other\0", 16)},
        ReadCase{"SectionNamesCut", kBasic, nullptr, nullptr, L"", 8, std::wstring(L"Save\0sa", 6)},
        ReadCase{"KeyNames", "[S]\na=1\nb\n", L"s", nullptr, L"", 255, std::wstring(L"a\0b\0", 4)},
        ReadCase{"LfOnlyFile", "[S]\nk=v\n", L"S", L"k", L"", 255, L"v"},
        ReadCase{"NoFinalNewline", "[S]\nk=v", L"S", L"k", L"", 255, L"v"},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[S]\r\nk=\xC3\xA9t\xC3\xA9\r\n", L"S", L"k", L"", 255,
                 L"\u00e9t\u00e9"},
        ReadCase{"Utf16LeBom", std::string("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0", 22), L"S", L"k",
                 L"", 255, L"\u00e9"},
        ReadCase{"LegacyCodePage", "[S]\r\nk=caf\xE9\r\n", L"S", L"k", L"", 255, L"caf\u00e9"}),
    [](const auto& info) { return info.param.name; });

struct IntCase {
    const char* value; // null: the key is absent
    INT fallback;
    UINT expected;
};

class ReadIntTest : public ProfileTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(ReadIntTest, ParsesTheLeadingSignedInteger) {
    const IntCase& c = GetParam();
    writeIni(c.value ? std::string("[N]\r\nk=") + c.value + "\r\n" : "[N]\r\nother=1\r\n");
    EXPECT_EQ(GetPrivateProfileIntW(L"n", L"K", c.fallback, kFile), c.expected)
        << (c.value ? c.value : "absent");
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadIntTest,
                         ::testing::Values(IntCase{"42", 7, 42}, IntCase{"55zz", 7, 55},
                                           IntCase{"-1", 7, 0xFFFFFFFFu}, IntCase{" +12 ", 7, 12},
                                           IntCase{"zz", 7, 0}, IntCase{"", 7, 0},
                                           IntCase{"\"65535\"", 7, 65535},
                                           IntCase{"99999999999", 7, 0x7FFFFFFF},
                                           IntCase{"-99999999999", 7, 0x80000000u}, IntCase{nullptr, 7, 7},
                                           IntCase{nullptr, -1, 0xFFFFFFFFu}));

struct WriteCase {
    const char* name;
    std::optional<std::string> before; // nothing: no file yet
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    std::string after;
};

class WriteTest : public ProfileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteTest, ChangesOnlyWhatItMust) {
    const WriteCase& c = GetParam();
    if (c.before)
        writeIni(*c.before);
    EXPECT_TRUE(WritePrivateProfileStringW(c.section, c.key, c.value, kFile));
    EXPECT_EQ(readIni(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteTest,
    ::testing::Values(
        WriteCase{"NewFileIsUtf8WithCrlf", std::nullopt, L"Save", L"Language", L"2",
                  "[Save]\r\nLanguage=2\r\n"},
        WriteCase{"ReplaceKeepsKeySpellingAndOtherLines", "; head\r\n[save]\r\nlanguage = 1 \r\nx=y\r\n",
                  L"Save", L"LANGUAGE", L"3", "; head\r\n[save]\r\nlanguage=3\r\nx=y\r\n"},
        WriteCase{"NewKeyGoesAfterTheSectionsLastKey", "[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n", L"a", L"n", L"v",
                  "[A]\r\na=1\r\nn=v\r\n\r\n[B]\r\nb=2\r\n"},
        WriteCase{"LfFileStaysLf", "[A]\na=1\n", L"B", L"k", L"v", "[A]\na=1\n[B]\nk=v\n"},
        WriteCase{"MissingFinalNewlineIsAddedBeforeNewLines", "[A]\r\na=1", L"A", L"b", L"2",
                  "[A]\r\na=1\r\nb=2\r\n"},
        WriteCase{"NullValueDeletesKey", "[A]\r\na=1\r\nb=2\r\n", L"A", L"a", nullptr, "[A]\r\nb=2\r\n"},
        WriteCase{"NullKeyDeletesSection", "[A]\r\na=1\r\n[B]\r\nb=2\r\n", L"a", nullptr, nullptr,
                  "[B]\r\nb=2\r\n"},
        WriteCase{"LineBreakEndsTheValue", "[A]\r\n", L"A", L"k", L"one\r\n[Evil]", "[A]\r\nk=one\r\n"},
        WriteCase{"BlanksAndQuotesAreQuotedToReadBack", "[A]\r\n", L"A", L"k", L" 'x' ",
                  "[A]\r\nk=\" 'x' \"\r\n"},
        WriteCase{"OwnQuotesAreQuoted", "[A]\r\n", L"A", L"k", L"\"q\"", "[A]\r\nk=\"\"q\"\"\r\n"},
        WriteCase{"Utf8BomKept", "\xEF\xBB\xBF[A]\r\n", L"A", L"k", L"\u00e9",
                  "\xEF\xBB\xBF[A]\r\nk=\xC3\xA9\r\n"},
        WriteCase{"Utf16LeKept", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12), L"A", L"k", L"\u00e9",
                  std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0", 22)},
        WriteCase{"LegacyKept", "[A]\r\nold=\xE9\r\n", L"A", L"k", L"\u00fc",
                  "[A]\r\nold=\xE9\r\nk=\xFC\r\n"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ProfileTest, WriteIsAtomicAndNeedsTheFolder) {
    writeIni("[A]\r\na=1\r\n");
    const auto inode = std::filesystem::status(temp / "Setup/test.ini").permissions();
    EXPECT_TRUE(WritePrivateProfileStringW(L"A", L"a", L"2", kFile));
    EXPECT_EQ(std::filesystem::status(temp / "Setup/test.ini").permissions(), inode);
    size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(temp / "Setup"))
        ++entries;
    EXPECT_EQ(entries, 1u); // no temporary file left behind
    EXPECT_FALSE(WritePrivateProfileStringW(L"A", L"a", L"1", L".\\NoSuchFolder\\x.ini"));
    EXPECT_FALSE(temp.exists("NoSuchFolder"));
    // An absent file reads as the defaults.
    wchar_t buffer[8];
    EXPECT_EQ(GetPrivateProfileStringW(L"A", L"a", L"dflt", buffer, 8, L".\\NoSuchFolder\\x.ini"), 4u);
    EXPECT_EQ(GetPrivateProfileIntW(L"A", L"a", 9, L".\\NoSuchFolder\\x.ini"), 9u);
}

} // namespace
