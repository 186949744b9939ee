// KQ_UI_SnapDialog: the snapshot list. Each snapshot the user takes is added to it; choosing one shows it,
// scaled smoothly to the preview. It opens beside the main window and its panes, on the work area, and is
// moved by its caption or by its surface (there is no caption without a window manager).
#pragma once

#include "platform/mfc/Controls.h"
#include "platform/mfc/Dc.h"
#include "platform/mfc/Dialog.h"

#include <string>
#include <vector>

class KQ_UI_SnapDialog : public CDialog {
public:
    KQ_UI_SnapDialog();
    ~KQ_UI_SnapDialog() override;

    BOOL OnInitDialog() override;
    // Adds the file, selects it and shows the list.
    void AddSnapshot(const std::wstring& path);
    const std::vector<std::wstring>& Files() const { return files_; }

protected:
    void OnCancel() override { ShowWindow(SW_HIDE); }
    LRESULT OnNcHitTest(POINT screen) override;
    void OnOK() override {}

private:
    class Preview : public CStatic {
    public:
        CBitmap picture;

    protected:
        void DrawItem(LPDRAWITEMSTRUCT item) override;
    };
    void showSelected();
    void placeBesideTheMainWindow();

    CComboBox* list() const;
    Preview preview_;
    std::vector<std::wstring> files_;
};
