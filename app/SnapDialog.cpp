#include "app/SnapDialog.h"

#include "app/Docking.h"
#include "app/LoginDialog.h"
#include "app/Panes.h"
#include "app/Templates.h"
#include "app/VeloqApp.h"

#include <algorithm>

namespace {

constexpr int kTitleBand = 28; // the main window's title bar, never covered

} // namespace

KQ_UI_SnapDialog::KQ_UI_SnapDialog() : CDialog(SnapDialogTemplate()) {
    MapNotify(IDC_SNAP_LIST, CBN_SELCHANGE, [this] { showSelected(); });
}

KQ_UI_SnapDialog::~KQ_UI_SnapDialog() {
    DestroyWindow();
}

BOOL KQ_UI_SnapDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    preview_.SubclassDlgItem(IDC_STATIC_STATUS, this);
    for (int id : {IDC_SNAP_OPEN, IDC_SNAP_FOLDER})
        if (CWnd* unused = GetDlgItem(id))
            unused->ShowWindow(SW_HIDE);
    return TRUE;
}

CComboBox* KQ_UI_SnapDialog::list() const {
    return static_cast<CComboBox*>(GetDlgItem(IDC_SNAP_LIST));
}

void KQ_UI_SnapDialog::AddSnapshot(const std::wstring& path) {
    files_.push_back(path);
    if (CComboBox* combo = list()) {
        const std::size_t cut = path.find_last_of(L"\\/");
        combo->AddString(cut == std::wstring::npos ? path : path.substr(cut + 1));
        combo->SetCurSel(combo->GetCount() - 1);
    }
    showSelected();
    if (!IsWindowVisible())
        placeBesideTheMainWindow();
    ShowWindow(SW_SHOWNA);
}

void KQ_UI_SnapDialog::placeBesideTheMainWindow() {
    CWnd* main = GetParent();
    KQ_UI_VeloqApp* a = VeloqApp();
    if (!main || !a)
        return;
    RECT group, work, own;
    main->GetWindowRect(&group);
    for (CWnd* pane : {static_cast<CWnd*>(a->m_pLoginDlg), static_cast<CWnd*>(a->m_pTvPane),
                       static_cast<CWnd*>(a->m_pRemotePane)})
        if (pane && pane->IsWindowVisible()) {
            RECT r;
            pane->GetWindowRect(&r);
            group.left = std::min(group.left, r.left); // tops stay the main window's
            group.right = std::max(group.right, r.right);
        }
    GetWorkArea(&work);
    GetWindowRect(&own);
    const POINT at = PlaceBeside(work, group, SIZE{own.right - own.left, own.bottom - own.top}, kTitleBand);
    SetWindowPos(nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT KQ_UI_SnapDialog::OnNcHitTest(POINT) {
    return HTCAPTION;
}

void KQ_UI_SnapDialog::showSelected() {
    CComboBox* combo = list();
    const int index = combo ? combo->GetCurSel() : -1;
    preview_.picture.DeleteObject();
    if (index >= 0 && static_cast<std::size_t>(index) < files_.size())
        preview_.picture.LoadPicture(files_[static_cast<std::size_t>(index)]);
    preview_.Invalidate();
}

void KQ_UI_SnapDialog::Preview::DrawItem(LPDRAWITEMSTRUCT item) {
    CDC& dc = *item->pDC;
    const CRect box(item->rcItem);
    dc.FillSolidRect(box, RGB(0, 0, 0));
    if (picture.IsNull())
        return;
    const CSize size = picture.GetSize();
    // Scaled to fit, aspect kept.
    const double scale =
        std::min(static_cast<double>(box.Width()) / size.cx, static_cast<double>(box.Height()) / size.cy);
    const int w = static_cast<int>(size.cx * scale);
    const int h = static_cast<int>(size.cy * scale);
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    memory.SelectObject(&picture);
    dc.SetStretchBltMode(HALFTONE);
    dc.StretchBlt(box.left + (box.Width() - w) / 2, box.top + (box.Height() - h) / 2, w, h, &memory, 0, 0,
                  size.cx, size.cy);
}
