#include "app/FullScreenDlg.h"

#include "app/Menus.h"
#include "app/Templates.h"
#include "app/VeloqApp.h"
#include "app/VeloqDlg.h"

KQ_UI_FullScreenDlg::KQ_UI_FullScreenDlg() : CDialog(FullScreenTemplate()) {
    MapMessage(WM_LBUTTONDBLCLK, [this](WPARAM, LPARAM) {
        Leave();
        return LRESULT{0};
    });
}

KQ_UI_FullScreenDlg::~KQ_UI_FullScreenDlg() {
    Leave();
    DestroyWindow();
}

BOOL KQ_UI_FullScreenDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    video_.Attach(IDC_VIDEO_BOX, this);
    return TRUE;
}

void KQ_UI_FullScreenDlg::Enter(KQ_UI_VideoBox& source) {
    if (!m_hWnd || source_)
        return;
    source_ = &source;
    platform::dshow::RegisterVideoSurface(source.m_hWnd, &video_);
    SetTopMost(true);
    ShowWindow(SW_MAXIMIZE);
    SetFocus();
}

void KQ_UI_FullScreenDlg::Leave() {
    if (!source_)
        return;
    platform::dshow::RegisterVideoSurface(source_->m_hWnd, source_);
    source_ = nullptr;
    video_.Clear();
    ShowWindow(SW_HIDE);
    if (KQ_UI_VeloqApp* app = VeloqApp(); app && app->m_pMainDlg)
        app->m_pMainDlg->SetFocus();
}

void KQ_UI_FullScreenDlg::OnSize(UINT, int cx, int cy) {
    if (video_.m_hWnd)
        video_.MoveWindow(0, 0, cx, cy, TRUE);
}

BOOL KQ_UI_FullScreenDlg::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_ESCAPE || msg->wParam == VK_F1 + 10)) {
        Leave();
        return TRUE;
    }
    KQ_UI_VeloqApp* app = VeloqApp();
    if (app && app->m_pMainDlg && TranslateAccelerator(app->m_pMainDlg->m_hWnd, MainAccelerators(), msg))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}
