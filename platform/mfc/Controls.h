// The controls the dialogs use, in the shape of the framework's control classes. Each is a CWnd of a Win32
// class; it is made by a dialog template or Create, or takes over a template's control by SubclassDlgItem.
// Owner-drawn buttons (BS_OWNERDRAW) paint themselves in DrawItem and report clicks as BN_CLICKED.
#pragma once

#include "platform/mfc/Wnd.h"

#include <string>

constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int CB_ERR = -1;

class CButton : public CWnd {
public:
    BOOL Create(const std::wstring& text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int GetCheck() const;
    void SetCheck(int check);
    // Pushed (the left button held over an owner-drawn button).
    bool IsPushed() const;
};

class CStatic : public CWnd {
public:
    BOOL Create(const std::wstring& text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
};

class CEdit : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void LimitText(int characters);
};

class CComboBox : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int AddString(const std::wstring& text);
    int GetCount() const;
    std::wstring GetLBText(int index) const;
    // The first item from after start (-1: from the top) whose text begins with prefix, ignoring case.
    int FindString(int start, const std::wstring& prefix) const;
    int SetCurSel(int index);
    int GetCurSel() const;
    // A value kept with an item (0 until set); CB_ERR for an index out of range.
    int SetItemData(int index, DWORD_PTR data);
    DWORD_PTR GetItemData(int index) const;
    void ResetContent();
    BOOL LimitText(int characters);
};

class CIPAddressCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    // The number of fields that are not blank; the address has the first field in its highest byte.
    int GetAddress(DWORD& address) const;
    void SetAddress(DWORD address);
    void ClearAddress();
};

// Tool tips of the controls of one window; the toolkit shows them on hover.
class CToolTipCtrl {
public:
    BOOL Create(CWnd* owner);
    BOOL AddTool(CWnd* control, const std::wstring& text);
    void UpdateTipText(const std::wstring& text, CWnd* control);
    void Activate(BOOL active);
    bool IsActive() const { return active_; }
    std::wstring GetText(CWnd* control) const;

private:
    void apply(CWnd* control) const;
    std::vector<std::pair<CWnd*, std::wstring>> tools_;
    CWnd* owner_ = nullptr;
    bool active_ = false;
};
