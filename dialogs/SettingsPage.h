// What the pages of the settings sheet and its dialogs share: control texts by language key, message
// boxes by key, and the page base with its title key (the tab text, looked up again whenever the
// language changes) and its way to the application's objects.
#pragma once

#include "platform/mfc/PropertySheet.h"

#include <span>
#include <string>
#include <vector>

class KQ_UI_VeloqApp;
class KQ_UI_Set_Sheet;

// A control's text by language key.
struct TextKey {
    int id;
    const wchar_t* key;
};

// A control of a template (rectangle in dialog units).
DialogItem Control(const wchar_t* className, int id, int x, int y, int cx, int cy, DWORD style,
                   const wchar_t* text = L"");

// A page's template: every page of the sheet has the same size.
DialogTemplate PageTemplate(int id, const wchar_t* caption, std::vector<DialogItem> items);
// A modal dialog's template (rectangle in dialog units), centred.
DialogTemplate DialogBoxTemplate(int id, const wchar_t* caption, int cx, int cy,
                                 std::vector<DialogItem> items);

// Each control of the window gets the text of its key in the current language.
void ApplyTexts(CWnd& window, std::span<const TextKey> texts);
// The controls firstId to firstId + 6 get the names of the days, Sunday first.
void ApplyDayTexts(CWnd& window, int firstId);
// A column heading of a list.
void SetHeading(CListCtrl& list, int column, const std::wstring& text);
// A message box with the text of the key.
int KeyMessage(CWnd& owner, const std::wstring& key, const wchar_t* caption, UINT type = MB_OK);
KQ_UI_VeloqApp& SettingsApp();

class KQ_UI_SettingsPage : public CPropertyPage {
public:
    KQ_UI_SettingsPage(const DialogTemplate& dialogTemplate, const wchar_t* titleKey);

    const std::wstring& TitleKey() const { return titleKey_; }
    // The tab text from the title key: the page's descriptor, and its tab while it is in an open sheet.
    void SetOwnTitle();

protected:
    KQ_UI_VeloqApp& app() const { return SettingsApp(); }
    // The sheet the page's window lives in (null without a window).
    KQ_UI_Set_Sheet* sheet() const;

private:
    std::wstring titleKey_;
};
