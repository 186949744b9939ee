// Every text of the settings windows shows whole in every language of the program's language file: labels
// (with their lines wrapped), buttons, check boxes and radio buttons, the pickers' dates and times, and the
// lists' headings; no button is left without its text.
#include "SheetFixture.h"

#include "dialogs/BoxTaskDialog.h"
#include "dialogs/NewProfileDialog.h"
#include "dialogs/PcTaskDialog.h"
#include "tests/support/TextFit.h"

namespace {

// What of the window's controls' texts does not show, one line per control.
std::vector<std::string> overflows(CWnd& window, const std::string& where) {
    std::vector<std::string> problems;
    for (const CutText& cut : CutToolkitTexts(window))
        problems.push_back(where + " control " + std::to_string(cut.control) + ": " + cut.how + " '" +
                           Narrow(cut.text) + "'");
    return problems;
}

class TextFitTest : public SheetFixture {
protected:
    void checkSheet(int state, std::vector<std::string>& problems) {
        setState(state);
        openSettings(ID_MENU_SETTING, [&](KQ_UI_Set_Sheet& sheet) {
            for (int i = 0; i < sheet.GetPageCount(); ++i) {
                ASSERT_TRUE(sheet.SetActivePage(i));
                auto* page = dynamic_cast<KQ_UI_SettingsPage*>(sheet.GetPage(i));
                for (std::string& p : overflows(*page, std::to_string(page->GetTemplate().id)))
                    problems.push_back(std::move(p));
            }
        });
    }
    void checkDialog(CDialog&& dialog, std::vector<std::string>& problems) {
        onModal[dialog.GetTemplate().id] = [&](CDialog& d) {
            for (std::string& p : overflows(d, std::to_string(d.GetTemplate().id)))
                problems.push_back(std::move(p));
            return INT_PTR{IDCANCEL};
        };
        dialog.DoModal();
    }
};

TEST_F(TextFitTest, EveryTextOfTheSettingsWindowsShowsWholeInEveryLanguage) {
    startProgram();
    app->m_session.loggedIn = 1;
    app->m_config.m_userRecord.text1 = L"ABC2345678";
    app->m_config.m_userRecord.text2 = L"administrator";
    const SYSTEMTIME boxTime{2008, 12, 3, 31, 23, 59, 0, 0};
    const std::vector<std::wstring> languages = LanguageNames();
    ASSERT_GE(languages.size(), 2u);
    for (int language = 0; language < static_cast<int>(languages.size()); ++language) {
        g_languageIndex = language;
        std::vector<std::string> problems;
        checkSheet(UI_STATE_TV_PLAY, problems);
        checkSheet(UI_STATE_CV_PLAY, problems);
        checkDialog(KQ_UI_BoxTaskDialog(main.get(), boxTime), problems);
        checkDialog(KQ_UI_PcTaskDialog(main.get()), problems);
        checkDialog(KQ_UI_NewProfileDialog(main.get()), problems);
        EXPECT_TRUE(problems.empty()) << std::string(languages[static_cast<std::size_t>(language)].begin(),
                                                     languages[static_cast<std::size_t>(language)].end())
                                      << ":\n"
                                      << [&] {
                                             std::string all;
                                             for (const std::string& p : problems)
                                                 all += p + "\n";
                                             return all;
                                         }();
    }
}

} // namespace
