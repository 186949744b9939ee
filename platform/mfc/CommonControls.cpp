#include "platform/mfc/CommonControls.h"

#include "platform/mfc/detail/CommonFaces.h"

#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

using platform::mfc::DateTimeFace;
using platform::mfc::FaceAs;
using platform::mfc::ListViewFace;
using platform::mfc::SpinFace;
using platform::mfc::TabFace;

namespace {

template <class T> T* faceOf(const CWnd* wnd) {
    return wnd->part() ? dynamic_cast<T*>(wnd->part()->face.data()) : nullptr;
}

bool validRow(const ListViewFace* list, int item) {
    return list && item >= 0 && item < list->rowCount();
}

} // namespace

BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"SysTabControl32", L"", style | WS_CHILD, rect, parent, id);
}

int CTabCtrl::InsertItem(int item, const std::wstring& text) {
    auto* tab = faceOf<TabFace>(this);
    if (!tab || item < 0)
        return -1;
    return tab->addTab(std::min(item, tab->count()), QString::fromStdWString(text));
}

BOOL CTabCtrl::DeleteItem(int item) {
    auto* tab = faceOf<TabFace>(this);
    if (!tab || item < 0 || item >= tab->count())
        return FALSE;
    QWidget* place = tab->widget(item);
    tab->removeTab(item);
    delete place;
    return TRUE;
}

BOOL CTabCtrl::SetItem(int item, const TCITEM* tabItem) {
    auto* tab = faceOf<TabFace>(this);
    if (!tab || !tabItem || item < 0 || item >= tab->count())
        return FALSE;
    if (tabItem->mask & TCIF_TEXT)
        tab->setTabText(item, QString::fromWCharArray(tabItem->pszText ? tabItem->pszText : L""));
    return TRUE;
}

BOOL CTabCtrl::GetItem(int item, TCITEM* tabItem) const {
    auto* tab = faceOf<TabFace>(this);
    if (!tab || !tabItem || item < 0 || item >= tab->count())
        return FALSE;
    if ((tabItem->mask & TCIF_TEXT) && tabItem->pszText && tabItem->cchTextMax > 0) {
        const std::wstring text = tab->tabText(item).toStdWString();
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(tabItem->cchTextMax - 1));
        std::copy_n(text.begin(), n, tabItem->pszText);
        tabItem->pszText[n] = L'\0';
    }
    return TRUE;
}

int CTabCtrl::GetItemCount() const {
    auto* tab = faceOf<TabFace>(this);
    return tab ? tab->count() : 0;
}

int CTabCtrl::GetCurSel() const {
    auto* tab = faceOf<TabFace>(this);
    return tab ? tab->currentIndex() : -1;
}

int CTabCtrl::SetCurSel(int item) {
    auto* tab = faceOf<TabFace>(this);
    if (!tab || item < 0 || item >= tab->count())
        return -1;
    const int previous = tab->currentIndex();
    tab->setCurrentIndex(item);
    return previous;
}

BOOL CDateTimeCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"SysDateTimePick32", L"", style | WS_CHILD, rect, parent, id);
}

DWORD CDateTimeCtrl::GetTime(SYSTEMTIME* time) const {
    auto* picker = faceOf<DateTimeFace>(this);
    if (!picker || !time)
        return GDT_ERROR;
    const QDate d = picker->value().date();
    const QTime t = picker->value().time();
    *time = SYSTEMTIME{static_cast<WORD>(d.year()),          static_cast<WORD>(d.month()),
                       static_cast<WORD>(d.dayOfWeek() % 7), static_cast<WORD>(d.day()),
                       static_cast<WORD>(t.hour()),          static_cast<WORD>(t.minute()),
                       static_cast<WORD>(t.second()),        static_cast<WORD>(t.msec())};
    return GDT_VALID;
}

BOOL CDateTimeCtrl::SetTime(const SYSTEMTIME* time) {
    auto* picker = faceOf<DateTimeFace>(this);
    if (!picker || !time)
        return FALSE;
    const QDate d(time->wYear, time->wMonth, time->wDay);
    const QTime t(time->wHour, time->wMinute, time->wSecond, time->wMilliseconds);
    if (!d.isValid() || !t.isValid() || d < QDate(1752, 9, 14) || d > QDate(9999, 12, 31))
        return FALSE;
    picker->setValue(QDateTime(d, t, Qt::UTC));
    return TRUE;
}

BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"SysListView32", L"", style | WS_CHILD, rect, parent, id);
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle) {
    auto* list = faceOf<ListViewFace>(this);
    if (!list)
        return 0;
    const DWORD previous = list->extendedStyle();
    list->setExtendedStyle(exStyle);
    return previous;
}

int CListCtrl::InsertColumn(int column, const std::wstring& heading, int format, int width) {
    auto* list = faceOf<ListViewFace>(this);
    if (!list || column < 0)
        return -1;
    column = std::min(column, list->columnCount());
    list->insertColumnAt(column, QString::fromStdWString(heading), format, width);
    return column;
}

BOOL CListCtrl::SetColumn(int column, const LVCOLUMN* col) {
    auto* list = faceOf<ListViewFace>(this);
    if (!list || !col || column < 0 || column >= list->columnCount())
        return FALSE;
    if ((col->mask & LVCF_TEXT) && list->horizontalHeaderItem(column))
        list->horizontalHeaderItem(column)->setText(
            QString::fromWCharArray(col->pszText ? col->pszText : L""));
    if (col->mask & LVCF_WIDTH)
        list->setColumnWidth(column, std::max(0, col->cx));
    return TRUE;
}

int CListCtrl::GetColumnCount() const {
    auto* list = faceOf<ListViewFace>(this);
    return list ? list->columnCount() : 0;
}

int CListCtrl::InsertItem(int item, const std::wstring& text) {
    auto* list = faceOf<ListViewFace>(this);
    if (!list || item < 0)
        return -1;
    return list->insertItemAt(item, QString::fromStdWString(text));
}

BOOL CListCtrl::DeleteItem(int item) {
    auto* list = faceOf<ListViewFace>(this);
    if (!validRow(list, item))
        return FALSE;
    list->removeItems(item, 1);
    return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
    auto* list = faceOf<ListViewFace>(this);
    if (!list)
        return FALSE;
    list->removeItems(0, list->rowCount());
    return TRUE;
}

int CListCtrl::GetItemCount() const {
    auto* list = faceOf<ListViewFace>(this);
    return list ? list->rowCount() : 0;
}

BOOL CListCtrl::SetItemText(int item, int subItem, const std::wstring& text) {
    auto* list = faceOf<ListViewFace>(this);
    if (!validRow(list, item) || subItem < 0 || subItem >= std::max(1, list->columnCount()))
        return FALSE;
    list->setCellText(item, subItem, QString::fromStdWString(text));
    return TRUE;
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
    auto* list = faceOf<ListViewFace>(this);
    return validRow(list, item) ? list->cellText(item, subItem).toStdWString() : std::wstring();
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data) {
    auto* list = faceOf<ListViewFace>(this);
    if (!validRow(list, item) || !list->item(item, 0))
        return FALSE;
    list->item(item, 0)->setData(Qt::UserRole, QVariant::fromValue<qulonglong>(data));
    return TRUE;
}

DWORD_PTR CListCtrl::GetItemData(int item) const {
    auto* list = faceOf<ListViewFace>(this);
    if (!validRow(list, item) || !list->item(item, 0))
        return 0;
    return static_cast<DWORD_PTR>(list->item(item, 0)->data(Qt::UserRole).toULongLong());
}

int CListCtrl::GetNextItem(int start, int flags) const {
    auto* list = faceOf<ListViewFace>(this);
    if (!list)
        return -1;
    for (int row = std::max(0, start + 1); row < list->rowCount(); ++row)
        if (!(flags & LVNI_SELECTED) || list->isRowSelected(row))
            return row;
    return -1;
}

UINT CListCtrl::GetSelectedCount() const {
    auto* list = faceOf<ListViewFace>(this);
    UINT count = 0;
    for (int row = 0; list && row < list->rowCount(); ++row)
        count += list->isRowSelected(row) ? 1 : 0;
    return count;
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
    auto* list = faceOf<ListViewFace>(this);
    if (!list || (item != -1 && !validRow(list, item)))
        return FALSE;
    if (mask & LVIS_SELECTED) {
        const int first = item == -1 ? 0 : item;
        const int last = item == -1 ? list->rowCount() - 1 : item;
        for (int row = first; row <= last; ++row)
            list->setRowSelected(row, (state & LVIS_SELECTED) != 0);
    }
    return TRUE;
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
    auto* list = faceOf<ListViewFace>(this);
    return validRow(list, item) ? list->stateOf(item) & mask : 0;
}

BOOL CListCtrl::GetCheck(int item) const {
    return (GetItemState(item, LVIS_STATEIMAGEMASK) & 0x2000) != 0;
}

BOOL CListCtrl::SetCheck(int item, BOOL check) {
    auto* list = faceOf<ListViewFace>(this);
    if (!validRow(list, item) || !(list->extendedStyle() & LVS_EX_CHECKBOXES) || !list->item(item, 0))
        return FALSE;
    list->item(item, 0)->setCheckState(check ? Qt::Checked : Qt::Unchecked);
    return TRUE;
}

BOOL CSpinButtonCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"msctls_updown32", L"", style | WS_CHILD, rect, parent, id);
}

CWnd* CSpinButtonCtrl::SetBuddy(CWnd* buddy) {
    auto* spin = faceOf<SpinFace>(this);
    return spin ? CWnd::FromHandle(spin->setBuddy(buddy ? buddy->m_hWnd : nullptr)) : nullptr;
}

CWnd* CSpinButtonCtrl::GetBuddy() const {
    auto* spin = faceOf<SpinFace>(this);
    return spin ? CWnd::FromHandle(spin->buddy()) : nullptr;
}

void CSpinButtonCtrl::SetRange(int lower, int upper) {
    if (auto* spin = faceOf<SpinFace>(this))
        spin->setRange(lower, upper);
}

void CSpinButtonCtrl::GetRange(int& lower, int& upper) const {
    auto* spin = faceOf<SpinFace>(this);
    lower = spin ? spin->lower() : 0;
    upper = spin ? spin->upper() : 0;
}

int CSpinButtonCtrl::SetPos(int pos) {
    auto* spin = faceOf<SpinFace>(this);
    return spin ? spin->setPos(pos) : 0;
}

int CSpinButtonCtrl::GetPos() const {
    auto* spin = faceOf<SpinFace>(this);
    return spin ? spin->pos() : 0;
}

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"msctls_trackbar32", L"", style | WS_CHILD, rect, parent, id);
}

void CSliderCtrl::SetRange(int minimum, int maximum, BOOL) {
    if (auto* slider = FaceAs<QSlider>(this)) {
        const QSignalBlocker quiet(slider);
        slider->setRange(minimum, maximum);
    }
}

void CSliderCtrl::GetRange(int& minimum, int& maximum) const {
    auto* slider = FaceAs<QSlider>(this);
    minimum = slider ? slider->minimum() : 0;
    maximum = slider ? slider->maximum() : 0;
}

void CSliderCtrl::SetPos(int pos) {
    if (auto* slider = FaceAs<QSlider>(this)) {
        const QSignalBlocker quiet(slider);
        slider->setValue(pos);
    }
}

int CSliderCtrl::GetPos() const {
    auto* slider = FaceAs<QSlider>(this);
    return slider ? slider->value() : 0;
}
