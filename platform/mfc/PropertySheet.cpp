#include "platform/mfc/PropertySheet.h"

#include "platform/mfc/detail/CommonFaces.h"

#include <QEvent>
#include <QPushButton>

#include <algorithm>

using platform::mfc::FaceAs;
using platform::mfc::TabFace;

namespace {

constexpr int kTabControlId = 0x3020;

DialogTemplate pageTemplate(DialogTemplate t) {
    t.style = WS_CHILD;
    t.exStyle = 0;
    t.x = t.y = 0;
    return t;
}

DialogTemplate sheetTemplate(const std::wstring& caption) {
    DialogTemplate t;
    t.caption = caption;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | WS_VISIBLE;
    return t;
}

// Lays the buttons out again when the sheet is shown or a button asks for another size (a new text).
class ButtonRowWatcher : public QObject {
public:
    ButtonRowWatcher(QWidget* face, std::function<void()> layOut)
        : QObject(face), layOut_(std::move(layOut)) {
        face->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest)
            layOut_();
        return false;
    }

private:
    std::function<void()> layOut_;
};

} // namespace

CPropertyPage::CPropertyPage(const DialogTemplate& dialogTemplate) : CDialog(pageTemplate(dialogTemplate)) {}

BOOL CPropertyPage::OnSetActive() {
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() {
    return TRUE;
}

BOOL CPropertyPage::OnApply() {
    OnOK();
    return TRUE;
}

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

LRESULT CPropertyPage::OnWizardBack() {
    return 0;
}

LRESULT CPropertyPage::OnWizardNext() {
    return 0;
}

BOOL CPropertyPage::OnWizardFinish() {
    return TRUE;
}

void CPropertyPage::SetModified(BOOL changed) {
    modified_ = changed != FALSE;
    // A page's window lives only inside its sheet's, so its parent is a live sheet.
    if (auto* sheet = dynamic_cast<CPropertySheet*>(GetParent()))
        sheet->updateApply();
}

CPropertySheet::CPropertySheet(const std::wstring& caption, CWnd* parent, UINT selectPage)
    : CDialog(sheetTemplate(caption), parent), active_(static_cast<int>(selectPage)) {
    MapMessage(PSM_SETCURSEL,
               [this](WPARAM index, LPARAM) { return LRESULT{SetActivePage(static_cast<int>(index))}; });
}

std::wstring CPropertySheet::titleOf(const CPropertyPage* page) const {
    return (page->m_psp.dwFlags & PSP_USETITLE) ? page->m_psp.pszTitle : page->GetTemplate().caption;
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    if (!page || GetPageIndex(page) >= 0)
        return;
    pages_.push_back(page);
    if (!m_hWnd)
        return;
    if (tab_.m_hWnd)
        tab_.InsertItem(GetPageCount() - 1, titleOf(page));
    if (GetPageCount() == 1)
        showPage(0);
}

void CPropertySheet::RemovePage(CPropertyPage* page) {
    RemovePage(GetPageIndex(page));
}

void CPropertySheet::RemovePage(int index) {
    if (index < 0 || index >= GetPageCount())
        return;
    CPropertyPage* page = pages_[static_cast<std::size_t>(index)];
    if (m_hWnd) {
        if (index == active_ && GetPageCount() > 1)
            showPage(index + 1 < GetPageCount() ? index + 1 : index - 1); // the page goes: nothing to ask
        page->DestroyWindow();
        if (tab_.m_hWnd)
            tab_.DeleteItem(index);
    }
    pages_.erase(pages_.begin() + index);
    page->modified_ = false;
    if (active_ > index)
        --active_;
    active_ = std::clamp(active_, 0, std::max(0, GetPageCount() - 1));
    if (tab_.m_hWnd && !pages_.empty())
        tab_.SetCurSel(active_);
    updateApply();
}

CPropertyPage* CPropertySheet::GetPage(int index) const {
    return index >= 0 && index < GetPageCount() ? pages_[static_cast<std::size_t>(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

BOOL CPropertySheet::SetActivePage(int index) {
    return changePage(index) ? TRUE : FALSE;
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* page) {
    return SetActivePage(GetPageIndex(page));
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    return GetPage(active_);
}

int CPropertySheet::GetActiveIndex() const {
    return pages_.empty() ? -1 : active_;
}

CTabCtrl* CPropertySheet::GetTabControl() {
    return tab_.m_hWnd ? &tab_ : nullptr;
}

void CPropertySheet::SetWizardMode() {
    wizard_ = true;
}

void CPropertySheet::SetWizardButtons(DWORD flags) {
    wizardButtons_ = flags;
    finishText_ = false;
    updateWizardButtons();
}

void CPropertySheet::SetFinishText(const std::wstring& text) {
    finishText_ = true;
    finishLabel_ = text;
    if (finish_.m_hWnd)
        finish_.SetWindowText(text);
    updateWizardButtons();
}

BOOL CPropertySheet::PressButton(int button) {
    CButton* target = button == PSBTN_BACK       ? &back_
                      : button == PSBTN_NEXT     ? &next_
                      : button == PSBTN_FINISH   ? &finish_
                      : button == PSBTN_OK       ? &ok_
                      : button == PSBTN_APPLYNOW ? &apply_
                      : button == PSBTN_CANCEL   ? &cancel_
                                                 : nullptr;
    if (!target || !usable(*target))
        return FALSE;
    SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(target->GetDlgCtrlID()), BN_CLICKED),
                reinterpret_cast<LPARAM>(target->m_hWnd));
    return TRUE;
}

bool CPropertySheet::usable(const CButton& button) const {
    return button.m_hWnd && button.IsWindowEnabled() && (button.GetStyle() & WS_VISIBLE);
}

BOOL CPropertySheet::OnInitDialog() {
    CDialog::OnInitDialog();
    layOut();
    if (!pages_.empty())
        showPage(std::clamp(active_, 0, GetPageCount() - 1));
    CenterWindow();
    return TRUE;
}

void CPropertySheet::makeButton(CButton& button, int id, const wchar_t* text, DWORD style) {
    button.Create(text, WS_VISIBLE | style, RECT{0, 0, 0, 0}, this, static_cast<UINT>(id));
}

void CPropertySheet::layOut() {
    // Every page gets the size of the largest template; the frame around it is the system's: 7 dialog
    // units of margin, buttons of 50 x 14 units 4 units apart.
    CSize page{0, 0};
    for (const CPropertyPage* p : pages_) {
        RECT r{0, 0, p->GetTemplate().cx, p->GetTemplate().cy};
        p->MapDialogRect(&r);
        page.cx = std::max(page.cx, r.right);
        page.cy = std::max(page.cy, r.bottom);
    }
    RECT unit{0, 0, 100, 50}; // the smallest page
    MapDialogRect(&unit);
    page.cx = std::max(page.cx, unit.right);
    page.cy = std::max(page.cy, unit.bottom);
    RECT metrics{7, 7, 50, 14};
    MapDialogRect(&metrics);
    const int mx = metrics.left, my = metrics.top, bh = metrics.bottom;
    int width = 0, height = 0;
    if (wizard_) {
        pageRect_ = RECT{mx, my, mx + page.cx, my + page.cy};
        line_.Create(L"", WS_VISIBLE | SS_ETCHEDHORZ,
                     RECT{0, pageRect_.bottom + my, 0, pageRect_.bottom + my + 2}, this, 0);
        makeButton(back_, ID_WIZBACK, L"< &Back");
        makeButton(next_, ID_WIZNEXT, L"&Next >", BS_DEFPUSHBUTTON);
        makeButton(finish_, ID_WIZFINISH, finishText_ ? finishLabel_.c_str() : L"Finish");
        makeButton(cancel_, IDCANCEL, L"Cancel");
        width = mx + page.cx + mx;
        height = pageRect_.bottom + my + 2 + my + bh + my;
    } else {
        tab_.Create(WS_VISIBLE | WS_TABSTOP, RECT{0, 0, 0, 0}, this, kTabControlId);
        for (int i = 0; i < GetPageCount(); ++i)
            tab_.InsertItem(i, titleOf(pages_[static_cast<std::size_t>(i)]));
        auto* tab = dynamic_cast<TabFace*>(tab_.part()->face.data());
        constexpr int kPad = 4; // between the tab frame and the page
        const QSize tabSize = tab->sizeForDisplay(QSize(page.cx + 2 * kPad, page.cy + 2 * kPad));
        tab_.MoveWindow(mx, my, tabSize.width(), tabSize.height(), FALSE);
        const QRect display = tab->displayRect();
        pageRect_ = RECT{mx + display.x() + kPad, my + display.y() + kPad, mx + display.x() + kPad + page.cx,
                         my + display.y() + kPad + page.cy};
        makeButton(ok_, IDOK, L"OK", BS_DEFPUSHBUTTON);
        makeButton(cancel_, IDCANCEL, L"Cancel");
        makeButton(apply_, ID_APPLY_NOW, L"&Apply");
        width = mx + tabSize.width() + mx;
        height = my + tabSize.height() + my + bh + my;
    }
    part()->face->setFixedSize(width, height); // a sheet's frame does not resize it
    new ButtonRowWatcher(part()->face, [this] { layOutButtons(); });
    layOutButtons();
    updateApply();
    updateWizardButtons();
}

void CPropertySheet::layOutButtons() {
    if (!cancel_.m_hWnd)
        return;
    RECT metrics{7, 7, 50, 14};
    MapDialogRect(&metrics);
    RECT gap{0, 0, 4, 0};
    MapDialogRect(&gap);
    RECT client;
    GetClientRect(&client);
    const int y = client.bottom - metrics.top - metrics.bottom;
    const auto widthOf = [&](const CButton& b) {
        auto* face = FaceAs<QPushButton>(&b);
        return std::max<int>(metrics.right, face ? face->sizeHint().width() : 0);
    };
    int x = client.right - metrics.left;
    const auto place = [&](CButton& b, int w, int gapAfter) {
        x -= w;
        b.MoveWindow(x, y, w, metrics.bottom, FALSE);
        x -= gapAfter;
    };
    if (!wizard_) {
        place(apply_, widthOf(apply_), gap.right);
        place(cancel_, widthOf(cancel_), gap.right);
        place(ok_, widthOf(ok_), 0);
        return;
    }
    place(cancel_, widthOf(cancel_), gap.right);
    if (m_psh.dwFlags & PSH_WIZARDHASFINISH) {
        place(finish_, widthOf(finish_), gap.right);
        place(next_, widthOf(next_), 0);
    } else {
        const int w = std::max(widthOf(next_), widthOf(finish_));
        finish_.MoveWindow(x - w, y, w, metrics.bottom, FALSE); // in the place of Next
        place(next_, w, 0);
    }
    place(back_, widthOf(back_), 0); // Back and Next side by side
    line_.MoveWindow(metrics.left, pageRect_.bottom + metrics.top, client.right - 2 * metrics.left, 2, FALSE);
}

void CPropertySheet::updateApply() {
    if (wizard_ || !apply_.m_hWnd)
        return;
    const bool changed =
        std::any_of(pages_.begin(), pages_.end(), [](const CPropertyPage* p) { return p->modified_; });
    apply_.EnableWindow(changed);
}

void CPropertySheet::updateWizardButtons() {
    if (!wizard_ || !back_.m_hWnd)
        return;
    const DWORD flags = wizardButtons_;
    const bool hasFinish = (m_psh.dwFlags & PSH_WIZARDHASFINISH) != 0;
    const bool finishAsked = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
    const bool nextShown = !finishText_ && (hasFinish || !finishAsked);
    back_.ShowWindow(finishText_ ? SW_HIDE : SW_SHOW);
    back_.EnableWindow((flags & PSWIZB_BACK) != 0);
    next_.ShowWindow(nextShown ? SW_SHOW : SW_HIDE);
    next_.EnableWindow((flags & PSWIZB_NEXT) != 0);
    finish_.ShowWindow(finishText_ || hasFinish || finishAsked ? SW_SHOW : SW_HIDE);
    finish_.EnableWindow(finishText_ || (flags & PSWIZB_FINISH) ||
                         (hasFinish && !(flags & PSWIZB_DISABLEDFINISH)));
    // Enter presses Next while it can be pressed, else Finish.
    const bool nextDefault = usable(next_);
    if (auto* face = FaceAs<QPushButton>(&next_))
        face->setDefault(nextDefault);
    if (auto* face = FaceAs<QPushButton>(&finish_))
        face->setDefault(!nextDefault && usable(finish_));
}

bool CPropertySheet::changePage(int index) {
    if (index < 0 || index >= GetPageCount())
        return false;
    if (!m_hWnd) {
        active_ = index;
        return true;
    }
    CPropertyPage* current = GetActivePage();
    if (index == active_ && current && current->m_hWnd)
        return true;
    if (current && current->m_hWnd && !current->OnKillActive())
        return false;
    showPage(index);
    return true;
}

void CPropertySheet::showPage(int index) {
    CPropertyPage* old = GetActivePage();
    CPropertyPage* page = pages_[static_cast<std::size_t>(index)];
    if (!page->m_hWnd) {
        page->Create(this);
        page->MoveWindow(pageRect_, FALSE);
    }
    active_ = index;
    if (tab_.m_hWnd)
        tab_.SetCurSel(index);
    page->OnSetActive();
    if (old && old != page && old != GetActivePage() && old->m_hWnd)
        old->ShowWindow(SW_HIDE);
    if (GetActivePage() == page && page->m_hWnd) // unless the page moved the sheet on by itself
        page->ShowWindow(SW_SHOW);
}

bool CPropertySheet::applyPages() {
    CPropertyPage* active = GetActivePage();
    if (active && active->m_hWnd && !active->OnKillActive())
        return false;
    const std::vector<CPropertyPage*> pages = pages_;
    for (CPropertyPage* page : pages)
        if (page->m_hWnd && !page->OnApply())
            return false;
    for (CPropertyPage* page : pages_)
        page->modified_ = false;
    updateApply();
    return true;
}

void CPropertySheet::wizardStep(bool forward) {
    CPropertyPage* page = GetActivePage();
    if (!page)
        return;
    const LRESULT answer = forward ? page->OnWizardNext() : page->OnWizardBack();
    if (answer == -1)
        return;
    int target = active_ + (forward ? 1 : -1);
    if (answer != 0) {
        auto it = std::find_if(pages_.begin(), pages_.end(),
                               [answer](const CPropertyPage* p) { return p->GetTemplate().id == answer; });
        target = it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
    }
    changePage(target);
}

void CPropertySheet::finishWizard() {
    CPropertyPage* page = GetActivePage();
    if (!page || page->OnWizardFinish())
        EndDialog(ID_WIZFINISH);
}

void CPropertySheet::OnOK() {
    if (!wizard_) {
        if (applyPages())
            EndDialog(IDOK);
    } else if (usable(next_)) {
        wizardStep(true);
    } else if (usable(finish_)) {
        finishWizard();
    }
}

void CPropertySheet::OnCancel() {
    const std::vector<CPropertyPage*> pages = pages_;
    for (CPropertyPage* page : pages)
        if (page->m_hWnd)
            page->OnCancel();
    EndDialog(IDCANCEL);
}

void CPropertySheet::OnClose() {
    OnCancel();
}

BOOL CPropertySheet::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CDialog::OnCommand(wParam, lParam)) // mapped handlers, then OK and Cancel
        return TRUE;
    if (HIWORD(wParam) > 1)
        return FALSE;
    switch (LOWORD(wParam)) {
    case ID_APPLY_NOW:
        applyPages();
        return TRUE;
    case ID_WIZBACK:
        wizardStep(false);
        return TRUE;
    case ID_WIZNEXT:
        wizardStep(true);
        return TRUE;
    case ID_WIZFINISH:
        finishWizard();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CPropertySheet::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header && tab_.m_hWnd && header->hwndFrom == tab_.m_hWnd) {
        if (header->code == TCN_SELCHANGING) {
            CPropertyPage* page = GetActivePage();
            *result = page && page->m_hWnd && !page->OnKillActive() ? TRUE : FALSE;
            return TRUE;
        }
        if (header->code == TCN_SELCHANGE) {
            const int index = tab_.GetCurSel();
            if (index >= 0 && index < GetPageCount() && index != active_)
                showPage(index);
            *result = 0;
            return TRUE;
        }
    }
    return CDialog::OnNotify(wParam, lParam, result);
}
