#include "AppFixture.h"

#include "app/Language.h"
#include "app/LanguageHooks.h"
#include "app/Menus.h"
#include "app/Templates.h"

namespace {

class LanguageTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        g_languageIndex = 0;
        ResetLanguageMenuForTests();
    }
    void TearDown() override {
        AppFixture::TearDown();
        g_languageIndex = 0;
        ResetLanguageMenuForTests();
    }
};

TEST_F(LanguageTest, LookupGivesTheCurrentLanguagesTextOrNothing) {
    temp.write("Setup/Language.ini",
               "[LanguageID]\r\nCount=2\r\nLanguage_001=English\r\nLanguage_002=Deutsch\r\n"
               "[TWO]\r\nEnglish=first||second\r\n[LONG]\r\nEnglish=" +
                   std::string(300, 'x') + "\r\n[ONLY]\r\nDeutsch=nur\r\n");
    struct Case {
        int language;
        const wchar_t* key;
        std::wstring text;
    };
    const Case cases[] = {
        {0, L"TWO", L"first\r\nsecond"},
        {0, L"LONG", std::wstring(254, L'x')},
        {0, L"ONLY", L""},
        {1, L"ONLY", L"nur"},
        {0, L"MISSING", L""},
        {0, L"TWO ", L"first\r\nsecond"}, // a caller's key with a blank after it
        {0, L" ", L""},
        {2, L"TWO", L""}, // no Language_003
    };
    std::wstring sink;
    SetLanguageNameSink(&sink);
    for (const Case& c : cases) {
        g_languageIndex = c.language;
        EXPECT_EQ(LoadLanguageString(c.key), c.text) << c.language << " " << std::string(c.key, c.key + 4);
    }
    g_languageIndex = 1;
    const std::wstring first = LoadLanguageString(L"ONLY");
    const std::wstring second = LoadLanguageString(L"TWO");
    EXPECT_EQ(first, L"nur"); // a copy of its own, not overwritten by the next lookup
    EXPECT_EQ(g_languageName, L"Deutsch");
    EXPECT_EQ(sink, L"Deutsch");
    SetLanguageNameSink(nullptr);
    std::filesystem::remove(temp / "Setup/Language.ini");
    EXPECT_EQ(LoadLanguageString(L"TWO"), L"");
}

TEST_F(LanguageTest, LanguageMenuIsBuiltOnceFromTheFilesLanguages) {
    std::string file = "[LanguageID]\r\nCount=34\r\n";
    for (int i = 1; i <= 34; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "Language_%03d=L%d\r\n", i, i);
        file += line;
    }
    temp.write("Setup/Language.ini", file);
    g_languageIndex = 2;
    CMenu menu;
    menu.LoadMenu({{kLanguageMenuPlaceholder, L"-", {}, 0}});
    EXPECT_TRUE(BuildLanguageMenu(menu));
    ASSERT_EQ(menu.GetMenuItemCount(), 34u); // every language listed, the placeholder gone
    EXPECT_EQ(menu.GetMenuItemID(0), 32889u);
    EXPECT_EQ(menu.GetMenuItemID(33), 32922u);
    EXPECT_EQ(menu.GetMenuState(2, MF_BYPOSITION) & MF_CHECKED, MF_CHECKED);
    std::wstring name;
    menu.GetMenuString(1, name, MF_BYPOSITION);
    EXPECT_EQ(name, L"L2");
    EXPECT_FALSE(BuildLanguageMenu(menu));
    EXPECT_EQ(menu.GetMenuItemCount(), 34u);
}

TEST_F(LanguageTest, ChoosingALanguageRelabelsMenusTipsAndThePane) {
    start();
    CMenu* popup = main->PopupMenu().GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    CMenu* languages = popup->GetSubMenu(kPopupLanguagePosition);
    ASSERT_EQ(languages->GetMenuItemCount(), 2u);
    std::wstring text;
    popup->GetMenuString(ID_MENU_STOP, text, MF_BYCOMMAND);
    EXPECT_EQ(text, L"Stop");
    click(*main, 32890);
    EXPECT_EQ(g_languageIndex, 1);
    EXPECT_EQ(g_languageName, L"Test");
    popup->GetMenuString(ID_MENU_STOP, text, MF_BYCOMMAND);
    EXPECT_EQ(text, L"Halt");
    popup->GetMenuString(kPopupLanguagePosition, text, MF_BYPOSITION);
    EXPECT_EQ(text, L"Sprache");
    EXPECT_EQ(languages->GetMenuState(32890, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
    EXPECT_EQ(languages->GetMenuState(32889, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(main->ToolTips().GetText(&main->Button(IDC_BTN_CLOSE)), L"Zu");
    click(*main, 32921); // past the 32 languages that react
    EXPECT_EQ(g_languageIndex, 1);
}

} // namespace
