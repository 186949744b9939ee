// Every text of the settings windows shows whole in every language of the program's language file: labels
// (with their lines wrapped), buttons, check boxes and radio buttons, the pickers' dates and times, and the
// lists' headings; no button is left without its text.
#include "SheetFixture.h"

#include "dialogs/BoxTaskDialog.h"
#include "dialogs/NewProfileDialog.h"
#include "dialogs/PcTaskDialog.h"

#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

// What of the window's controls' texts does not show, one line per control.
std::vector<std::string> overflows(CWnd& window, const std::string& where) {
    std::vector<std::string> problems;
    for (CWnd* control : window.Children()) {
        if (!control->part() || !(control->GetStyle() & WS_VISIBLE))
            continue;
        QWidget* face = control->part()->face;
        const QFontMetrics metrics(face->font());
        const std::string name = where + " control " + std::to_string(control->GetDlgCtrlID()) + ": ";
        if (auto* label = qobject_cast<QLabel*>(face)) {
            const QString text = label->text();
            bool wordsFit = true;
            for (const QString& word : text.split(' ', Qt::SkipEmptyParts))
                wordsFit &= metrics.horizontalAdvance(word) <= label->width();
            if (!wordsFit || (!text.isEmpty() && label->heightForWidth(label->width()) > label->height()))
                problems.push_back(name + text.toStdString());
        } else if (auto* push = qobject_cast<QPushButton*>(face)) {
            if (push->text().isEmpty() || metrics.horizontalAdvance(push->text()) + 8 > push->width())
                problems.push_back(name + "button '" + push->text().toStdString() + "'");
        } else if (auto* button = qobject_cast<QAbstractButton*>(face)) {
            // A check box whose label is a text of its own beside it is no wider than its box.
            if ((button->text().isEmpty() && button->width() > 20) ||
                button->sizeHint().width() > button->width())
                problems.push_back(name + "'" + button->text().toStdString() + "'");
        } else if (auto* picker = qobject_cast<QDateTimeEdit*>(face)) {
            if (picker->sizeHint().width() > picker->width())
                problems.push_back(name + "picker " + picker->text().toStdString());
        } else if (auto* list = qobject_cast<QTableWidget*>(face)) {
            for (int c = 0; c < list->columnCount(); ++c) {
                const QString heading =
                    list->horizontalHeaderItem(c) ? list->horizontalHeaderItem(c)->text() : "";
                if (heading.isEmpty() || metrics.horizontalAdvance(heading) + 10 > list->columnWidth(c))
                    problems.push_back(name + "heading '" + heading.toStdString() + "'");
            }
        }
    }
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
