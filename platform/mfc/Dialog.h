// Dialogs from templates described in code: a template gives the dialog's id, caption, font, rectangle in
// dialog units and style, and its controls (Win32 class, id, rectangle in dialog units, style, text).
// CDialog makes the window and its controls from the template, then calls OnInitDialog. Modal dialogs run
// their own loop (DoModal); modeless ones (Create) live until DestroyWindow.
#pragma once

#include "platform/mfc/Wnd.h"

#include <functional>
#include <string>
#include <vector>

struct DialogItem {
    // "Button", "Static", "Edit", "ComboBox", "SysIPAddress32", a common control of CommonControls.h, or a
    // custom class.
    std::wstring className;
    int id = 0;
    short x = 0, y = 0, cx = 0, cy = 0; // dialog units (pixels when the template says so)
    DWORD style = WS_VISIBLE;           // WS_CHILD is implied
    std::wstring text;
};

struct DialogTemplate {
    int id = 0;
    std::wstring caption;
    std::wstring font = L"MS Shell Dlg";
    int pointSize = 8;
    short x = 0, y = 0, cx = 0, cy = 0; // dialog units, or pixels for a skinned window
    bool pixels = false;                // the rectangles are pixels (skinned windows are laid out in pixels)
    // WS_CHILD makes the dialog a child of its parent at (x, y) of the parent's client area (property pages).
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD exStyle = 0;
    std::vector<DialogItem> items;
};

class CDialog : public CWnd {
public:
    explicit CDialog(const DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
    ~CDialog() override;

    // Modal: makes the window, runs OnInitDialog, shows it and loops until EndDialog (or WM_QUIT, which
    // gives IDCANCEL and stays queued), then destroys the window. Returns the EndDialog result.
    virtual INT_PTR DoModal();
    // Modeless: makes the window (shown when the template has WS_VISIBLE) and runs OnInitDialog.
    BOOL Create(CWnd* parent = nullptr);
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Enter presses the focused push button, else the default push button (IDOK when there is none), but
    // not in a multi-line edit; Escape gives IDCANCEL.
    BOOL PreTranslateMessage(MSG* msg) override;

    // Dialog units of the template's font to pixels.
    void MapDialogRect(RECT* rect) const;
    const DialogTemplate& GetTemplate() const { return template_; }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;

private:
    BOOL createWindow(CWnd* parent);

    DialogTemplate template_;
    CWnd* parentAtConstruction_ = nullptr;
    bool modal_ = false;
    int result_ = 0;
    bool endCalled_ = false;
    void* loop_ = nullptr;
};

namespace platform::mfc {

// Test hook: when set, DoModal makes the dialog and runs OnInitDialog, then calls the hook instead of
// looping; the hook's answer (or the EndDialog result if it called EndDialog) is DoModal's result.
using ModalHook = std::function<INT_PTR(CDialog& dialog)>;
void SetModalHook(ModalHook hook);

} // namespace platform::mfc
