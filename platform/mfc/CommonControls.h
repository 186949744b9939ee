// The common controls of the settings windows and the setup wizard, in the shape of the framework's
// classes: tab control ("SysTabControl32"), date and time picker ("SysDateTimePick32"), list view in report
// mode ("SysListView32"), up-down control ("msctls_updown32") and trackbar ("msctls_trackbar32"). Each is
// made by a dialog template or Create; its state lives in the window, so an object that takes a template's
// control over by SubclassDlgItem sees what was set before. Notifications go to the parent as WM_NOTIFY
// (the record valid for the call only), the trackbar's as WM_HSCROLL.
#pragma once

#include "platform/mfc/Wnd.h"

#include <string>

// Tab control. TCN_SELCHANGING comes before the user's change of tab (a non-zero result refuses it),
// TCN_SELCHANGE after it; SetCurSel notifies nothing.
constexpr UINT TCIF_TEXT = 0x0001;
constexpr UINT TCN_SELCHANGE = 0u - 551u;
constexpr UINT TCN_SELCHANGING = 0u - 552u;

struct TCITEM {
    UINT mask = 0;
    LPWSTR pszText = nullptr;
    int cchTextMax = 0; // GetItem: the size of pszText's buffer in characters
};

class CTabCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    int InsertItem(int item, const std::wstring& text); // the new tab's index, or -1
    BOOL DeleteItem(int item);
    BOOL SetItem(int item, const TCITEM* tabItem); // TCIF_TEXT: the tab's text
    BOOL GetItem(int item, TCITEM* tabItem) const; // TCIF_TEXT: the text, cut to cchTextMax - 1
    int GetItemCount() const;
    int GetCurSel() const;
    int SetCurSel(int item); // the previous selection, or -1 for an index out of range
};

// Date and time picker: a date (short date format, a drop-down calendar) or, with DTS_TIMEFORMAT, a time of
// day. Either keeps a whole SYSTEMTIME and shows its part of it.
constexpr DWORD DTS_UPDOWN = 0x0001;
constexpr DWORD DTS_SHORTDATEFORMAT = 0x0000;
constexpr DWORD DTS_TIMEFORMAT = 0x0009;
constexpr DWORD GDT_ERROR = 0xFFFFFFFF;
constexpr DWORD GDT_VALID = 0;

class CDateTimeCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    DWORD GetTime(SYSTEMTIME* time) const; // GDT_VALID; wDayOfWeek filled in
    // FALSE (and nothing changes) for a null time or one that is not a valid date and time of the picker's
    // range (1752-09-14 to 9999-12-31).
    BOOL SetTime(const SYSTEMTIME* time);
};

// List view in report mode (LVS_REPORT). Rows are items, columns sub-items (0 is the item's own text).
// The parent hears LVN_ITEMCHANGED when a row's selection or check box changes (by the user or by
// SetItemState and SetCheck), NM_CLICK when a button-up ends a click and NM_DBLCLK on a double click
// (NMITEMACTIVATE: iItem -1 off the rows).
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_SINGLESEL = 0x0004;
constexpr DWORD LVS_SHOWSELALWAYS = 0x0008;
constexpr DWORD LVS_EX_GRIDLINES = 0x0001;
constexpr DWORD LVS_EX_CHECKBOXES = 0x0004;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x0020;
constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr int LVCFMT_CENTER = 2;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVIS_STATEIMAGEMASK = 0xF000; // check boxes: 0x1000 unchecked, 0x2000 checked
constexpr int LVNI_ALL = 0;
constexpr int LVNI_SELECTED = 0x0002;
constexpr UINT LVN_ITEMCHANGED = 0u - 101u;

struct LVCOLUMN {
    UINT mask = 0;
    int fmt = LVCFMT_LEFT;
    int cx = 0; // pixels
    LPWSTR pszText = nullptr;
};

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    int iSubItem = 0;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    POINT ptAction{};
    LPARAM lParam = 0; // the item data
};

struct NMITEMACTIVATE : NMLISTVIEW {
    UINT uKeyFlags = 0;
};

class CListCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    DWORD SetExtendedStyle(DWORD exStyle); // the previous extended style
    // width in pixels; -1 fits the heading. Returns the new column's index, or -1.
    int InsertColumn(int column, const std::wstring& heading, int format = LVCFMT_LEFT, int width = -1);
    BOOL SetColumn(int column, const LVCOLUMN* col); // LVCF_TEXT, LVCF_WIDTH
    int GetColumnCount() const;
    // Inserts at item (past the end: appends); the new item's index, or -1.
    int InsertItem(int item, const std::wstring& text);
    BOOL DeleteItem(int item);
    BOOL DeleteAllItems();
    int GetItemCount() const;
    BOOL SetItemText(int item, int subItem, const std::wstring& text);
    std::wstring GetItemText(int item, int subItem) const;
    BOOL SetItemData(int item, DWORD_PTR data);
    DWORD_PTR GetItemData(int item) const; // 0 for an index out of range
    // The first item after start (-1: from the top) with the flags' state (LVNI_SELECTED), or -1.
    int GetNextItem(int start, int flags) const;
    UINT GetSelectedCount() const;
    BOOL SetItemState(int item, UINT state, UINT mask); // mask LVIS_SELECTED; item -1: every item
    UINT GetItemState(int item, UINT mask) const;
    BOOL GetCheck(int item) const; // LVS_EX_CHECKBOXES
    BOOL SetCheck(int item, BOOL check = TRUE);
};

// Up-down control, usually with a buddy edit it keeps the position in (UDS_SETBUDDYINT, no thousands
// separators). The up arrow moves towards the range's upper end (the default range is 100 to 0); the
// position stops at either end unless UDS_WRAP.
constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_ALIGNRIGHT = 0x0004; // SetBuddy puts the control inside the buddy's right edge
constexpr DWORD UDS_ARROWKEYS = 0x0020;  // Up and Down in the buddy step the position

class CSpinButtonCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    CWnd* SetBuddy(CWnd* buddy); // the previous buddy
    CWnd* GetBuddy() const;
    void SetRange(int lower, int upper); // the position and the buddy stay as they are
    void GetRange(int& lower, int& upper) const;
    int SetPos(int pos); // the previous position; pos is brought into the range
    // The position: the buddy's number when it holds one within the range (the user may have typed it),
    // else the last one set.
    int GetPos() const;
};

// Horizontal trackbar. The user's moves reach the parent as WM_HSCROLL, lParam the trackbar's HWND and
// wParam MAKEWPARAM(code, position): TB_THUMBTRACK while the thumb is dragged; TB_THUMBPOSITION when a
// drag ends or a key or a click on the track moved it, then TB_ENDTRACK. SetPos and SetRange send nothing.
constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_ENDTRACK = 8;

class CSliderCtrl : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE);
    void GetRange(int& minimum, int& maximum) const;
    void SetPos(int pos);
    int GetPos() const;
};
