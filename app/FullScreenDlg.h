// KQ_UI_FullScreenDlg: the live or file video over the whole screen. While it shows, its video box is the
// renderer's surface for the main window's video handle, so the frames come here; Escape, F11 or a double
// click return to the main window, and the main window's keyboard commands work here too.
#pragma once

#include "app/VideoBox.h"
#include "platform/mfc/Dialog.h"

class KQ_UI_FullScreenDlg : public CDialog {
public:
    KQ_UI_FullScreenDlg();
    ~KQ_UI_FullScreenDlg() override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void Enter(KQ_UI_VideoBox& source);
    void Leave();
    bool IsActive() const { return source_ != nullptr; }

protected:
    void OnSize(UINT type, int cx, int cy) override;
    void OnOK() override {}
    void OnCancel() override { Leave(); }

private:
    KQ_UI_VideoBox video_;
    KQ_UI_VideoBox* source_ = nullptr;
};
