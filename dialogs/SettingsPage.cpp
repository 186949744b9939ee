#include "dialogs/SettingsPage.h"

#include "app/Language.h"
#include "app/VeloqApp.h"
#include "dialogs/SetSheet.h"

DialogItem Control(const wchar_t* className, int id, int x, int y, int cx, int cy, DWORD style,
                   const wchar_t* text) {
    return DialogItem{className,
                      id,
                      static_cast<short>(x),
                      static_cast<short>(y),
                      static_cast<short>(cx),
                      static_cast<short>(cy),
                      style,
                      text};
}

DialogTemplate PageTemplate(int id, const wchar_t* caption, std::vector<DialogItem> items) {
    DialogTemplate d;
    d.id = id;
    d.caption = caption;
    d.cx = 370;
    d.cy = 235;
    d.style = WS_CHILD | WS_CAPTION;
    d.items = std::move(items);
    return d;
}

DialogTemplate DialogBoxTemplate(int id, const wchar_t* caption, int cx, int cy,
                                 std::vector<DialogItem> items) {
    DialogTemplate d;
    d.id = id;
    d.caption = caption;
    d.cx = static_cast<short>(cx);
    d.cy = static_cast<short>(cy);
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    d.items = std::move(items);
    return d;
}

void ApplyDayTexts(CWnd& window, int firstId) {
    for (int day = 0; day < 7; ++day)
        if (CWnd* control = window.GetDlgItem(firstId + day))
            control->SetWindowText(LoadLanguageString(L"KQ_S_SOURCE_DAY_" + std::to_wstring(day)));
}

void SetHeading(CListCtrl& list, int column, const std::wstring& text) {
    std::wstring heading = text;
    LVCOLUMN c;
    c.mask = LVCF_TEXT;
    c.pszText = heading.data();
    list.SetColumn(column, &c);
}

void ApplyTexts(CWnd& window, std::span<const TextKey> texts) {
    for (const TextKey& t : texts)
        if (CWnd* control = window.GetDlgItem(t.id))
            control->SetWindowText(LoadLanguageString(t.key));
}

int KeyMessage(CWnd& owner, const std::wstring& key, const wchar_t* caption, UINT type) {
    return owner.MessageBox(LoadLanguageString(key), caption, type);
}

KQ_UI_VeloqApp& SettingsApp() {
    return *VeloqApp();
}

KQ_UI_SettingsPage::KQ_UI_SettingsPage(const DialogTemplate& dialogTemplate, const wchar_t* titleKey)
    : CPropertyPage(dialogTemplate), titleKey_(titleKey) {}

KQ_UI_Set_Sheet* KQ_UI_SettingsPage::sheet() const {
    return m_hWnd ? dynamic_cast<KQ_UI_Set_Sheet*>(GetParent()) : nullptr;
}

void KQ_UI_SettingsPage::SetOwnTitle() {
    m_psp.dwFlags |= PSP_USETITLE;
    m_psp.pszTitle = LoadLanguageString(titleKey_);
    KQ_UI_Set_Sheet* s = sheet();
    CTabCtrl* tabs = s ? s->GetTabControl() : nullptr;
    const int index = s ? s->GetPageIndex(this) : -1;
    if (!tabs || index < 0)
        return;
    std::wstring text = m_psp.pszTitle;
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    tabs->SetItem(index, &item);
}
