// CWnd: a window of the program, bound to a platform/win32 handle so that posted messages, sent messages
// and timers reach its WindowProc on the UI thread, and shown through a face of the toolkit (a widget).
//
// Ownership and threads:
// - UI thread only, except that other threads may PostMessage to m_hWnd.
// - A CWnd object owns its window: DestroyWindow (or the destructor) destroys the window, the windows of
//   its children and of the top-level windows it owns, first telling each one WM_DESTROY. The C++ objects
//   of the children are not deleted (they are usually members of their dialog); controls a dialog made
//   from its template and nobody subclassed are owned by the dialog's window and go with it.
// - Toolkit input reaches the window as the Win32 messages it stands for (WM_LBUTTONDOWN, WM_KEYDOWN,
//   WM_COMMAND from controls, ...), so a test can drive a window by sending them.
//
// Message maps: a derived class registers its handlers (usually in its constructor) with MapMessage,
// MapCommand, MapCommandRange and MapUpdateUI; WindowProc runs the registered handler of a message, or
// the virtual On... handlers below, or the default processing.
#pragma once

#include "platform/mfc/WinUser.h"

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CCmdUI;
class CMenu;
class CRgn;

namespace platform::mfc {
struct WindowPart; // the window behind a CWnd: handle, face, children (platform/mfc/detail)
}

class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    static CWnd* FromHandle(HWND hwnd); // the object of a live window, else null

    // A child window of a Win32 class ("Button", "Static", "Edit", "ComboBox", "SysIPAddress32" and the
    // common controls of CommonControls.h; any other name is a plain window the object paints itself) at
    // rect in the parent's client area.
    BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id);
    // Makes this object the control id of parent (created from parent's template): the control keeps its
    // face, place, text and state; its messages now come here.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    virtual BOOL DestroyWindow();

    // Message processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* msg); // keyboard input before the focused window sees it
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc);
    BOOL KillTimer(UINT_PTR id);

    // Relations.
    CWnd* GetParent() const;
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    std::vector<CWnd*> Children() const;

    // Geometry: children in the parent's client coordinates, top-level windows in screen coordinates.
    void MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE);
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    void GetClientRect(RECT* rect) const;
    void GetWindowRect(RECT* rect) const; // screen coordinates
    void ScreenToClient(POINT* point) const;
    void ScreenToClient(RECT* rect) const;
    void CenterWindow();
    // The work area (the screen less the desktop's panels) of the screen the window is on, in screen
    // coordinates.
    void GetWorkArea(RECT* area) const;

    // State.
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const; // shown, and every parent shown
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsIconic() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    void SetWindowText(const std::wstring& text);
    std::wstring GetWindowText() const;
    void SetFocus();
    BOOL IsFocused() const;

    // Painting. Invalidate asks for a repaint; UpdateWindow paints what is invalid now.
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE);
    void UpdateWindow();
    BOOL RedrawWindow(const RECT* rect = nullptr, UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    void SetRedraw(BOOL redraw);
    // Font of a text control: a face name of the system's ("MS Shell Dlg", "System", "Arial", ...) mapped
    // to an installed one, height in pixels, bold or not.
    void SetFont(const std::wstring& face, int pixelHeight, bool bold = false);

    // Top-level windows: shape (the region is copied; null removes it), colour key of a layered window,
    // keeping above the other windows, and the icon (a system icon id such as IDI_INFORMATION).
    int SetWindowRgn(const CRgn* region, BOOL redraw);
    BOOL SetLayeredWindowAttributes(COLORREF key, BYTE alpha, DWORD flags);
    void SetTopMost(bool topMost);
    bool IsTopMost() const;
    void SetIcon(int systemIcon, BOOL big);

    // Menus and update-UI.
    // Runs the MapUpdateUI handlers of this window for its child controls (enable, check, text).
    void UpdateDialogControls();
    // Runs this window's update-UI handler for ui->m_nID; false when it has none.
    bool UpdateCommandUI(CCmdUI* ui);
    int MessageBox(const std::wstring& text, const std::wstring& caption, UINT type = MB_OK);

    HWND m_hWnd = nullptr;

    // The window behind this object; its type is known inside this layer only.
    platform::mfc::WindowPart* part() const { return part_.get(); }

protected:
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void()>;
    using RangeHandler = std::function<void(UINT id)>;
    using UpdateHandler = std::function<void(CCmdUI*)>;
    using NotifyHandler = std::function<void(NMHDR* header, LRESULT* result)>;
    void MapMessage(UINT message, MessageHandler handler);
    // A command from a menu, an accelerator or a control's BN_CLICKED (any notification code with
    // MapNotify, which sees only that code).
    void MapCommand(UINT id, CommandHandler handler);
    void MapNotify(UINT id, WORD code, CommandHandler handler);
    void MapCommandRange(UINT first, UINT last, RangeHandler handler);
    // A WM_NOTIFY of control id with this code (NM_DBLCLK, LVN_ITEMCHANGED, ...); result starts at 0.
    void MapWmNotify(UINT id, UINT code, NotifyHandler handler);
    void MapUpdateUI(UINT id, UpdateHandler handler);

    // Virtual handlers, run by the default WindowProc when no map entry takes the message.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY (lParam an NMHDR*): runs the MapWmNotify handler; TRUE when one took it, *result its answer.
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void DrawItem(LPDRAWITEMSTRUCT item); // owner-drawn buttons and statics
    virtual LRESULT OnNcHitTest(POINT screen);
    virtual void OnLButtonDown(UINT flags, POINT point);
    virtual void OnLButtonUp(UINT flags, POINT point);
    virtual void OnMouseMove(UINT flags, POINT point);
    virtual void OnMouseLeave();
    virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnContextMenu(CWnd* wnd, POINT screen);
    virtual void OnClose();
    virtual void OnDestroy();
    virtual void OnSetFocus();

    void attachPart(std::unique_ptr<platform::mfc::WindowPart> part);
    std::unique_ptr<platform::mfc::WindowPart> detachPart();

private:
    bool runMapped(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool runCommand(WPARAM wParam);

    struct Range {
        UINT first;
        UINT last;
        RangeHandler handler;
    };
    std::unordered_map<UINT, MessageHandler> messages_;
    std::unordered_map<UINT, CommandHandler> commands_;
    std::unordered_map<DWORD, CommandHandler> notifies_;      // (code << 16) | id
    std::unordered_map<ULONGLONG, NotifyHandler> wmNotifies_; // (code << 32) | id
    std::vector<Range> ranges_;
    std::vector<std::pair<UINT, UpdateHandler>> updates_;
    std::unique_ptr<platform::mfc::WindowPart> part_;
};

// What an update-UI handler sets on one control or menu item.
class CCmdUI {
public:
    UINT m_nID = 0;
    CWnd* m_pOther = nullptr; // the control, or null for a menu item
    CMenu* m_pMenu = nullptr; // the menu of a menu item
    virtual ~CCmdUI() = default;
    virtual void Enable(BOOL on = TRUE);
    virtual void SetCheck(int check = 1);
    virtual void SetText(const std::wstring& text);
};
