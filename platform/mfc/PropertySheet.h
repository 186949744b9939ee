// Property sheets: pages made from dialog templates, shown one at a time, either under tabs with OK,
// Cancel and Apply, or as a wizard with Back, Next (or Finish) and Cancel.
//
// A page's window is made the first time the page becomes active (its OnInitDialog runs then) and lives
// until the sheet's window goes; its parent is the sheet. Every page gets the size of the largest one.
// The sheet asks and tells its pages:
// - changing pages (a tab, SetActivePage, PSM_SETCURSEL, Back or Next): OnKillActive of the page that is
//   left (FALSE keeps the sheet on it), then OnSetActive of the new page, before it is shown;
// - OK: OnKillActive of the active page, then OnApply of every page made so far (FALSE from either keeps
//   the sheet open), then the sheet ends with IDOK; Apply does the same without ending and greys Apply;
// - Cancel (and the close box): OnCancel of every page made so far, then the sheet ends with IDCANCEL;
// - wizard Back and Next: OnWizardBack/OnWizardNext of the active page: 0 goes to the page before or after,
//   -1 stays, another value is the template id of the page to go to; Finish: OnWizardFinish, TRUE ends
//   the sheet with ID_WIZFINISH.
// The buttons are the sheet's children with the ids below (GetDlgItem reaches them; there is no Help
// button). A derived sheet may map any of their commands itself; its handler then runs instead.
#pragma once

#include "platform/mfc/CommonControls.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/Dialog.h"

#include <string>
#include <vector>

constexpr int ID_APPLY_NOW = 0x3021;
constexpr int ID_WIZBACK = 0x3023;
constexpr int ID_WIZNEXT = 0x3024;
constexpr int ID_WIZFINISH = 0x3025;

constexpr UINT PSM_SETCURSEL = WM_USER + 101; // wParam the page index: SetActivePage; answers TRUE or FALSE

constexpr DWORD PSWIZB_BACK = 0x1;
constexpr DWORD PSWIZB_NEXT = 0x2;
constexpr DWORD PSWIZB_FINISH = 0x4;         // Finish, enabled, in the place of Next
constexpr DWORD PSWIZB_DISABLEDFINISH = 0x8; // Finish, greyed, in the place of Next

constexpr int PSBTN_BACK = 0;
constexpr int PSBTN_NEXT = 1;
constexpr int PSBTN_FINISH = 2;
constexpr int PSBTN_OK = 3;
constexpr int PSBTN_APPLYNOW = 4;
constexpr int PSBTN_CANCEL = 5;

constexpr DWORD PSP_USETITLE = 0x0008;        // the tab shows m_psp.pszTitle, not the template's caption
constexpr DWORD PSH_WIZARDHASFINISH = 0x0010; // a wizard shows Finish beside Next on every page

class CPropertySheet;

// What the sheet reads of a page when it makes the page's tab.
struct PROPSHEETPAGE {
    DWORD dwFlags = 0;
    std::wstring pszTitle; // a copy: the caller's buffer may change afterwards
};

// What the sheet reads of itself when it makes its window.
struct PROPSHEETHEADER {
    DWORD dwFlags = 0;
};

class CPropertyPage : public CDialog {
public:
    // The template's caption is the tab's text unless PSP_USETITLE; its place and frame style are not used.
    explicit CPropertyPage(const DialogTemplate& dialogTemplate);

    virtual BOOL OnSetActive();  // TRUE; the page is shown whatever it answers
    virtual BOOL OnKillActive(); // TRUE lets the sheet leave the page
    virtual BOOL OnApply();      // OnOK, then TRUE
    void OnOK() override;        // nothing: a page never ends the sheet itself
    void OnCancel() override;    // nothing
    virtual LRESULT OnWizardBack();
    virtual LRESULT OnWizardNext();
    virtual BOOL OnWizardFinish(); // TRUE

    // Marks the page changed, which makes Apply usable, or unchanged; Apply clears the mark of every page.
    void SetModified(BOOL changed = TRUE);
    bool IsModified() const { return modified_; }

    PROPSHEETPAGE m_psp;

private:
    friend class CPropertySheet;
    bool modified_ = false;
};

class CPropertySheet : public CDialog {
public:
    explicit CPropertySheet(const std::wstring& caption, CWnd* parent = nullptr, UINT selectPage = 0);

    // The pages are the caller's and must outlive the sheet's window.
    void AddPage(CPropertyPage* page);
    void RemovePage(CPropertyPage* page);
    void RemovePage(int index);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    CPropertyPage* GetPage(int index) const;           // null for an index out of range
    int GetPageIndex(const CPropertyPage* page) const; // -1 when it is not in the sheet
    // Without a window: the page to start on (after a run, the page it ended on stays that). With one: a
    // change of page (see above); FALSE when the index is out of range or the page that is left refused.
    BOOL SetActivePage(int index);
    BOOL SetActivePage(CPropertyPage* page);
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    // The tabs (one per page, in page order); null in wizard mode and while there is no window.
    CTabCtrl* GetTabControl();

    // Wizard mode, before DoModal or Create: no tabs; Back, Next, Finish and Cancel.
    void SetWizardMode();
    void SetWizardButtons(DWORD flags);
    // Shows Finish, enabled and with this text, and hides Back and Next until the next SetWizardButtons.
    void SetFinishText(const std::wstring& text);

    // DoModal, Create (modeless: shown, living until DestroyWindow) and EndDialog are the dialog's; DoModal
    // answers IDOK, IDCANCEL or (a wizard) ID_WIZFINISH.

    // Acts as a click on the button would (nothing when it is greyed or hidden); FALSE then.
    BOOL PressButton(int button);

    BOOL OnInitDialog() override; // makes the tabs, the buttons and the first page; a derived sheet calls it
    void OnOK() override;         // OK's work; in a wizard (Enter) the default button's: Next, else Finish
    void OnCancel() override;     // the Cancel button's work

    PROPSHEETHEADER m_psh;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnClose() override;

private:
    friend class CPropertyPage;
    void layOut();
    void layOutButtons(); // again whenever a button's text may have changed its width
    void makeButton(CButton& button, int id, const wchar_t* text, DWORD style = BS_PUSHBUTTON);
    void finishWizard();
    bool changePage(int index); // asks the page that is left
    void showPage(int index);
    bool applyPages();
    void wizardStep(bool forward);
    void updateApply();
    void updateWizardButtons();
    std::wstring titleOf(const CPropertyPage* page) const;
    bool usable(const CButton& button) const;

    std::vector<CPropertyPage*> pages_;
    int active_ = 0;
    bool wizard_ = false;
    DWORD wizardButtons_ = PSWIZB_BACK | PSWIZB_NEXT;
    bool finishText_ = false;
    std::wstring finishLabel_;
    RECT pageRect_{};
    CTabCtrl tab_;
    CStatic line_;
    CButton ok_, cancel_, apply_, back_, next_, finish_;
};
