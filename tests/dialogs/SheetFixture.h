// The program with its settings sheet: the application started as the program starts it (fake services
// unless a test gives its own), the program's language file, and modal dialogs answered by the test. A
// test acts on a modal window in the hook of its template id (the sheet's is 0) while the window runs.
#pragma once

#include "../app/AppFixture.h"

#include "app/Menus.h"
#include "dialogs/SetSheet.h"
#include "platform/mfc/detail/WindowPart.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>

#include <functional>
#include <map>

class SheetFixture : public AppFixture {
protected:
    static constexpr int kSheet = 0; // the sheet's template id

    void SetUp() override {
        AppFixture::SetUp();
        useProgramLanguageFile();
        platform::mfc::SetModalHook([this](CDialog& d) {
            const int id = d.GetTemplate().id;
            modal.push_back(id);
            const auto it = onModal.find(id);
            return it == onModal.end() ? INT_PTR{IDCANCEL} : it->second(d);
        });
    }
    void startProgram() {
        start();
        app->m_services.openSettings = [this](CWnd* parent, int firstPage) {
            ++opened;
            lastResult = OpenSettingsSheet(parent, firstPage);
        };
        std::filesystem::create_directories(temp / "snap");
        std::filesystem::create_directories(temp / "record");
    }
    // The UI state of a login showing the source, without a box behind it.
    void showLive(int state) {
        app->m_session.loggedIn = 1;
        setState(state);
    }
    // Opens the settings by the main window's command; act runs while the sheet is open. The sheet's
    // result, or -2 when no sheet opened.
    INT_PTR openSettings(UINT command, const std::function<void(KQ_UI_Set_Sheet&)>& act) {
        INT_PTR result = -2;
        onModal[kSheet] = [&](CDialog& d) {
            act(dynamic_cast<KQ_UI_Set_Sheet&>(d));
            return INT_PTR{77}; // still open when the hook returns (unless the sheet ended itself)
        };
        const int before = opened;
        main->SendMessage(WM_COMMAND, MAKEWPARAM(command, 0), 0);
        if (opened > before)
            result = lastResult;
        onModal.erase(kSheet);
        return result;
    }
    // The tab texts of the open sheet.
    static std::vector<std::wstring> tabs(KQ_UI_Set_Sheet& sheet) {
        std::vector<std::wstring> texts;
        CTabCtrl* control = sheet.GetTabControl();
        for (int i = 0; control && i < control->GetItemCount(); ++i) {
            wchar_t text[128] = {};
            TCITEM item;
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 128;
            control->GetItem(i, &item);
            texts.emplace_back(text);
        }
        return texts;
    }
    static void clickTab(KQ_UI_Set_Sheet& sheet, int index) {
        QTabBar* bar = static_cast<QTabWidget*>(sheet.GetTabControl()->part()->face.data())->tabBar();
        const QPoint at = bar->tabRect(index).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(bar, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, bar->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &release);
    }
    // A choice in a drop-down list, as the user makes it.
    static void choose(CWnd& window, int id, int item) {
        static_cast<CComboBox*>(window.GetDlgItem(id))->SetCurSel(item);
        window.SendMessage(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), 0);
    }
    static std::wstring text(const wchar_t* key) { return LoadLanguageString(key); }
    bool shownMessage(const wchar_t* key) const {
        const std::wstring t = LoadLanguageString(key);
        return std::any_of(messages.begin(), messages.end(),
                           [&](const ShownMessage& m) { return m.text == t; });
    }

    std::map<int, std::function<INT_PTR(CDialog&)>> onModal;
    INT_PTR lastResult = 0;
    int opened = 0; // the main window asked for the sheet
};
