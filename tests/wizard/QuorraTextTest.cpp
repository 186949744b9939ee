// The wizard's texts: the language that configure.ini names (or the first one), line breaks, and the
// dynamic-DNS providers in their order.
#include "wizard/QuorraText.h"
#include "wizard/WizardTemplates.h"

#include "platform/win32/Profile.h"
#include "platform/win32/Text.h"

#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string dataFile(const char* name) {
    std::ifstream in(std::filesystem::path(VELOQ_DATA_DIR) / name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class QuorraTextTest : public ::testing::Test {
protected:
    QuorraTextTest() { folder.write("Quorra.ini", dataFile("Quorra.ini")); }
    TempFolder folder;
};

TEST_F(QuorraTextTest, LanguageIsTheOneConfigureNamesOrTheFirst) {
    const struct {
        const char* configure; // nullptr: no file
        const wchar_t* language;
        const wchar_t* next;
    } cases[] = {
        {nullptr, L"English", L"&Next >"},
        {"[Wizard]\r\nLanguage=Deutsch\r\n", L"Deutsch", L"&Weiter >"},
        {"[wizard]\nlanguage = deutsch\n", L"Deutsch", L"&Weiter >"},
        {"[Wizard]\r\nLanguage=Klingon\r\n", L"English", L"&Next >"},
        {"[Wizard]\r\nLanguage=\r\n", L"English", L"&Next >"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(folder / "configure.ini");
        if (c.configure)
            folder.write("configure.ini", c.configure);
        EXPECT_EQ(QuorraLanguage(), c.language) << (c.configure ? c.configure : "none");
        EXPECT_EQ(LoadQuorraString(L"IDS_BUTTON_NEXT"), c.next) << (c.configure ? c.configure : "none");
    }
    EXPECT_EQ(LoadQuorraString(L"IDS_NO_SUCH_KEY"), L"");
}

TEST_F(QuorraTextTest, LineBreaksAndMissingFile) {
    folder.write("Quorra.ini", "[LanguageID]\nCount=1\nLanguage_001=English\n[IDS_X]\nEnglish=one||two\n");
    EXPECT_EQ(LoadQuorraString(L"IDS_X"), L"one\r\ntwo");
    std::filesystem::remove(folder / "Quorra.ini");
    EXPECT_EQ(LoadQuorraString(L"IDS_X"), L"");
    EXPECT_EQ(QuorraLanguage(), L"");
}

TEST_F(QuorraTextTest, ProvidersInTheirOrder) {
    folder.write("configure.ini", dataFile("configure.ini"));
    EXPECT_EQ(LoadIspList(), (std::vector<std::wstring>{L"dyndns.org", L"no-ip.com", L"changeip.com"}));
    // A gap keeps the numbers of the ones after it; a count beyond the entries gives empty places.
    folder.write("configure.ini", "[ISP]\nCount=3\nISP_001=one\nISP_003=three\n");
    EXPECT_EQ(LoadIspList(), (std::vector<std::wstring>{L"one", L"", L"three"}));
    folder.write("configure.ini", "[ISP]\nCount=-4\nISP_001=one\n");
    EXPECT_TRUE(LoadIspList().empty());
}

TEST_F(QuorraTextTest, EveryTextInBothLanguages) {
    std::vector<wchar_t> names(1 << 16);
    const DWORD n = GetPrivateProfileStringW(nullptr, nullptr, L"", names.data(),
                                             static_cast<DWORD>(names.size()), L".\\Quorra.ini");
    int keys = 0;
    for (const wchar_t* name = names.data(); name < names.data() + n && *name;
         name += std::wcslen(name) + 1) {
        if (std::wstring(name) == L"LanguageID")
            continue;
        ++keys;
        for (const wchar_t* language : {L"English", L"Deutsch"}) {
            wchar_t text[8] = {};
            EXPECT_GT(GetPrivateProfileStringW(name, language, L"", text, 8, L".\\Quorra.ini"), 0u)
                << platform::ToUtf8(name) << " " << platform::ToUtf8(language);
        }
    }
    EXPECT_GT(keys, 40);
    // And the pages find a text for every label, button and title in either language.
    for (const char* language : {"English", "Deutsch"}) {
        folder.write("configure.ini", std::string("[Wizard]\nLanguage=") + language + "\n");
        for (const DialogTemplate& t : {LoginPageTemplate(), NetworkPageTemplate(), DdnsPageTemplate()}) {
            EXPECT_FALSE(t.caption.empty()) << t.id;
            for (const DialogItem& item : t.items) {
                if (item.className == L"Static" || item.className == L"Button") {
                    EXPECT_FALSE(item.text.empty()) << language << " " << item.id;
                }
            }
        }
    }
}

} // namespace
