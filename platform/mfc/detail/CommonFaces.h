// Inside of this layer only: the toolkit widgets behind the common controls of CommonControls.h. A control's
// state lives here, in its face, so that it outlives the object that made it (SubclassDlgItem).
#pragma once

#include "platform/mfc/detail/WindowPart.h"

#include <QDateTimeEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QWidget>

#include <vector>

namespace platform::mfc {

// The face of a tab control, date and time picker, list view, up-down control or trackbar.
QWidget* CreateCommonFace(WindowPart& part, QWidget* parentFace);

// Sends WM_NOTIFY with header (hwndFrom and idFrom filled in here) to the control's parent; its answer.
LRESULT NotifyParent(HWND control, UINT code, NMHDR* header);

// A date or a time picker. The editor shows one part of the value (a time-only editor keeps one date, a
// date-only one midnight), so the whole value is kept here and only the shown part follows the user.
class DateTimeFace : public QDateTimeEdit {
public:
    DateTimeFace(DWORD style, QWidget* parent);
    void setValue(const QDateTime& value);
    QDateTime value() const { return value_; }

private:
    bool timeOnly_;
    QDateTime value_;
};

// A tab control: the tabs over an empty frame that the owner lays its pages on. The user's change of tab
// (click, arrow keys) asks the parent first (TCN_SELCHANGING) and tells it after (TCN_SELCHANGE).
class TabFace : public QTabWidget {
public:
    TabFace(HWND hwnd, QWidget* parent);
    // The size that gives room for contents of this size inside the frame, and where inside the control
    // the room is.
    QSize sizeForDisplay(const QSize& contents) const;
    QRect displayRect() const;
    int addTab(int index, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect displayRectAt(const QSize& size) const;
    void requestSelect(int index);
    HWND hwnd_;
};

// A list view in report mode: one row per item; column 0's cell holds the item data and the check box.
class ListViewFace : public QTableWidget {
public:
    ListViewFace(HWND hwnd, DWORD style, QWidget* parent);
    void setExtendedStyle(DWORD exStyle);
    DWORD extendedStyle() const { return exStyle_; }
    void insertColumnAt(int column, const QString& heading, int format, int width);
    int insertItemAt(int row, const QString& text);
    void removeItems(int row, int count); // quietly, as the system's control does
    void setCellText(int row, int column, const QString& text);
    QString cellText(int row, int column) const;
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);
    UINT stateOf(int row) const; // LVIS_SELECTED and the check box's state image

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QTableWidgetItem* makeItem(int column, const QString& text) const;
    void applyFlags(QTableWidgetItem* item, int column) const;
    void selectionChangedRows(const QItemSelection& selected, const QItemSelection& deselected);
    void itemChangedCheck(QTableWidgetItem* item);
    void notifyState(int row, UINT oldState, UINT newState);
    void notifyActivate(UINT code, const QPoint& viewportPoint);

    HWND hwnd_;
    DWORD exStyle_ = 0;
    std::vector<int> formats_; // LVCFMT_ of each column
    int quiet_ = 0;            // inside an insert, delete or text change: no LVN_ITEMCHANGED
    bool afterDoubleClick_ = false;
};

// An up-down control: two arrow buttons that step the position and write it into the buddy.
class SpinFace : public QWidget {
public:
    SpinFace(HWND hwnd, DWORD style, QWidget* parent);
    HWND setBuddy(HWND buddy);
    HWND buddy() const { return buddy_; }
    void setRange(int lower, int upper);
    int lower() const { return lower_; }
    int upper() const { return upper_; }
    int setPos(int pos);
    int pos() const;
    void step(int direction); // +1 towards upper, -1 towards lower

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buddyFace() const;
    DWORD style_;
    HWND buddy_ = nullptr;
    int lower_ = 100;
    int upper_ = 0;
    int pos_ = 0;
};

} // namespace platform::mfc
