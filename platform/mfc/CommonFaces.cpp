#include "platform/mfc/detail/CommonFaces.h"

#include "platform/mfc/CommonControls.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace platform::mfc {

namespace {

constexpr int kDataRole = Qt::UserRole;        // an item's data (column 0)
constexpr int kCheckedRole = Qt::UserRole + 1; // the check state the parent last heard of
constexpr UINT kUnchecked = 0x1000;
constexpr UINT kChecked = 0x2000;

Qt::Alignment alignmentOf(int format) {
    const Qt::Alignment h = format == LVCFMT_RIGHT    ? Qt::AlignRight
                            : format == LVCFMT_CENTER ? Qt::AlignHCenter
                                                      : Qt::AlignLeft;
    return h | Qt::AlignVCenter;
}

QWidget* faceOf(HWND hwnd) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd && wnd->part() ? wnd->part()->face.data() : nullptr;
}

QWidget* createSlider(HWND hwnd, DWORD style, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, 100);
    if (style & TBS_AUTOTICKS)
        slider->setTickPosition(QSlider::TicksBelow);
    auto send = [hwnd](WORD code, int pos) {
        CWnd* self = CWnd::FromHandle(hwnd);
        if (self && self->GetParent())
            ::SendMessage(self->GetParent()->m_hWnd, WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(pos)),
                          reinterpret_cast<LPARAM>(hwnd));
    };
    QObject::connect(slider, &QSlider::valueChanged, slider, [slider, send](int pos) {
        if (slider->isSliderDown()) {
            send(TB_THUMBTRACK, pos);
        } else {
            send(TB_THUMBPOSITION, pos);
            send(TB_ENDTRACK, pos);
        }
    });
    QObject::connect(slider, &QSlider::sliderReleased, slider, [slider, send] {
        send(TB_THUMBPOSITION, slider->value());
        send(TB_ENDTRACK, slider->value());
    });
    return slider;
}

} // namespace

LRESULT NotifyParent(HWND control, UINT code, NMHDR* header) {
    CWnd* self = CWnd::FromHandle(control);
    if (!self || !self->GetParent())
        return 0;
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(self->GetDlgCtrlID());
    header->code = code;
    return ::SendMessage(self->GetParent()->m_hWnd, WM_NOTIFY, header->idFrom,
                         reinterpret_cast<LPARAM>(header));
}

QWidget* CreateCommonFace(WindowPart& part, QWidget* parentFace) {
    switch (part.kind) {
    case FaceKind::Tab:
        return new TabFace(part.hwnd, parentFace);
    case FaceKind::DateTime:
        return new DateTimeFace(part.style, parentFace);
    case FaceKind::ListView:
        return new ListViewFace(part.hwnd, part.style, parentFace);
    case FaceKind::Spin:
        return new SpinFace(part.hwnd, part.style, parentFace);
    default:
        return createSlider(part.hwnd, part.style, parentFace);
    }
}

DateTimeFace::DateTimeFace(DWORD style, QWidget* parent)
    : QDateTimeEdit(parent), timeOnly_((style & DTS_TIMEFORMAT) == DTS_TIMEFORMAT) {
    // Wall-clock values without a time zone: no daylight-saving gap can move what was set.
    setTimeSpec(Qt::UTC);
    setDisplayFormat(timeOnly_ ? QStringLiteral("HH:mm:ss") : QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(!timeOnly_ && !(style & DTS_UPDOWN));
    const QDateTime now = QDateTime::currentDateTime();
    setValue(QDateTime(now.date(), now.time(), Qt::UTC));
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this] {
        value_ =
            timeOnly_ ? QDateTime(value_.date(), time(), Qt::UTC) : QDateTime(date(), value_.time(), Qt::UTC);
    });
}

void DateTimeFace::setValue(const QDateTime& value) {
    value_ = value;
    const QSignalBlocker quiet(this);
    if (timeOnly_)
        setTime(value.time());
    else
        setDate(value.date());
}

TabFace::TabFace(HWND hwnd, QWidget* parent) : QTabWidget(parent), hwnd_(hwnd) {
    tabBar()->installEventFilter(this);
    installEventFilter(this);
    tabBar()->setElideMode(Qt::ElideNone);
    tabBar()->setUsesScrollButtons(true);
}

int TabFace::addTab(int index, const QString& text) {
    // The pages lie over the frame as the owner's children; the tabs own only empty places.
    return insertTab(index, new QWidget, text);
}

QRect TabFace::displayRectAt(const QSize& size) const {
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    option.rect = QRect(QPoint(0, 0), size);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
}

QSize TabFace::sizeForDisplay(const QSize& contents) const {
    const QSize trial = contents + QSize(40, 80);
    return trial + (contents - displayRectAt(trial).size());
}

QRect TabFace::displayRect() const {
    return displayRectAt(size());
}

void TabFace::requestSelect(int index) {
    if (index < 0 || index >= count() || index == currentIndex())
        return;
    NMHDR header;
    if (NotifyParent(hwnd_, TCN_SELCHANGING, &header) != 0)
        return;
    QPointer<TabFace> alive(this);
    setCurrentIndex(index);
    if (alive)
        NotifyParent(hwnd_, TCN_SELCHANGE, &header);
}

bool TabFace::eventFilter(QObject* watched, QEvent* event) {
    // Every change of tab the user makes goes through requestSelect, so the parent may refuse it.
    if (watched == tabBar()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton)
                requestSelect(tabBar()->tabAt(mouse->position().toPoint()));
            return true;
        }
        case QEvent::Wheel:
            return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) {
                requestSelect(currentIndex() + (key == Qt::Key_Left ? -1 : 1));
                return true;
            }
            return key == Qt::Key_Home || key == Qt::Key_End;
        }
        default:
            return false;
        }
    }
    if (watched == this && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        return (key->modifiers() & Qt::ControlModifier) &&
               (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || key->key() == Qt::Key_PageUp ||
                key->key() == Qt::Key_PageDown);
    }
    return QTabWidget::eventFilter(watched, event);
}

ListViewFace::ListViewFace(HWND hwnd, DWORD style, QWidget* parent) : QTableWidget(parent), hwnd_(hwnd) {
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(0);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(style & LVS_SINGLESEL ? SingleSelection : ExtendedSelection);
    setSelectionBehavior(SelectItems);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(ScrollPerPixel);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListViewFace::selectionChangedRows);
    connect(this, &QTableWidget::itemChanged, this, &ListViewFace::itemChangedCheck);
}

void ListViewFace::setExtendedStyle(DWORD exStyle) {
    const bool checksBefore = exStyle_ & LVS_EX_CHECKBOXES;
    exStyle_ = exStyle;
    setShowGrid(exStyle & LVS_EX_GRIDLINES);
    setSelectionBehavior(exStyle & LVS_EX_FULLROWSELECT ? SelectRows : SelectItems);
    const bool checks = exStyle & LVS_EX_CHECKBOXES;
    ++quiet_;
    for (int row = 0; row < rowCount(); ++row)
        for (int column = 0; column < columnCount(); ++column)
            if (QTableWidgetItem* cell = item(row, column)) {
                applyFlags(cell, column);
                if (column == 0 && checks != checksBefore) {
                    cell->setData(Qt::CheckStateRole, checks ? QVariant(Qt::Unchecked) : QVariant());
                    cell->setData(kCheckedRole, false);
                }
            }
    --quiet_;
}

void ListViewFace::applyFlags(QTableWidgetItem* cell, int column) const {
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (column == 0 || (exStyle_ & LVS_EX_FULLROWSELECT))
        flags |= Qt::ItemIsSelectable; // without full-row select only the item's own text selects it
    if (column == 0 && (exStyle_ & LVS_EX_CHECKBOXES))
        flags |= Qt::ItemIsUserCheckable;
    cell->setFlags(flags);
}

QTableWidgetItem* ListViewFace::makeItem(int column, const QString& text) const {
    auto* cell = new QTableWidgetItem(text);
    const int format = column < static_cast<int>(formats_.size()) ? formats_[column] : LVCFMT_LEFT;
    cell->setTextAlignment(alignmentOf(format));
    applyFlags(cell, column);
    if (column == 0) {
        cell->setData(kDataRole, QVariant::fromValue<qulonglong>(0));
        if (exStyle_ & LVS_EX_CHECKBOXES) {
            cell->setCheckState(Qt::Unchecked);
            cell->setData(kCheckedRole, false);
        }
    }
    return cell;
}

void ListViewFace::insertColumnAt(int column, const QString& heading, int format, int width) {
    insertColumn(column);
    auto* header = new QTableWidgetItem(heading);
    header->setTextAlignment(alignmentOf(format));
    setHorizontalHeaderItem(column, header);
    formats_.insert(formats_.begin() + column, format);
    setColumnWidth(column, width >= 0 ? width : fontMetrics().horizontalAdvance(heading) + 16);
    // Every cell has an item, so that a blank sub-item selects as the control's would (or not at all).
    ++quiet_;
    for (int row = 0; row < rowCount(); ++row)
        setItem(row, column, makeItem(column, QString()));
    --quiet_;
}

int ListViewFace::insertItemAt(int row, const QString& text) {
    row = std::clamp(row, 0, rowCount());
    ++quiet_;
    insertRow(row);
    for (int column = 0; column < std::max(1, columnCount()); ++column)
        setItem(row, column, makeItem(column, column == 0 ? text : QString()));
    --quiet_;
    return row;
}

void ListViewFace::removeItems(int row, int count) {
    ++quiet_;
    if (row == 0 && count == rowCount())
        setRowCount(0);
    else
        for (int i = 0; i < count; ++i)
            removeRow(row);
    --quiet_;
}

void ListViewFace::setCellText(int row, int column, const QString& text) {
    ++quiet_;
    if (QTableWidgetItem* cell = item(row, column))
        cell->setText(text);
    else
        setItem(row, column, makeItem(column, text)); // the item's text before any column was inserted
    --quiet_;
}

QString ListViewFace::cellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

bool ListViewFace::isRowSelected(int row) const {
    return selectionModel()->isSelected(model()->index(row, 0));
}

void ListViewFace::setRowSelected(int row, bool selected) {
    QItemSelectionModel::SelectionFlags flags =
        selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect;
    if (selected && selectionMode() == SingleSelection)
        flags = QItemSelectionModel::ClearAndSelect;
    if (exStyle_ & LVS_EX_FULLROWSELECT)
        flags |= QItemSelectionModel::Rows;
    selectionModel()->select(model()->index(row, 0), flags);
}

UINT ListViewFace::stateOf(int row) const {
    UINT state = isRowSelected(row) ? LVIS_SELECTED : 0;
    if (exStyle_ & LVS_EX_CHECKBOXES) {
        const QTableWidgetItem* cell = item(row, 0);
        state |= cell && cell->checkState() == Qt::Checked ? kChecked : kUnchecked;
    }
    return state;
}

void ListViewFace::notifyState(int row, UINT oldState, UINT newState) {
    NMLISTVIEW change;
    change.iItem = row;
    change.uOldState = oldState;
    change.uNewState = newState;
    change.uChanged = LVIF_STATE;
    if (const QTableWidgetItem* cell = item(row, 0))
        change.lParam = static_cast<LPARAM>(cell->data(kDataRole).toULongLong());
    NotifyParent(hwnd_, LVN_ITEMCHANGED, &change.hdr);
}

void ListViewFace::selectionChangedRows(const QItemSelection& selected, const QItemSelection& deselected) {
    if (quiet_)
        return;
    std::set<int> lost, gained;
    for (const QModelIndex& index : deselected.indexes())
        if (!isRowSelected(index.row()))
            lost.insert(index.row());
    for (const QModelIndex& index : selected.indexes())
        gained.insert(index.row());
    QPointer<ListViewFace> alive(this);
    for (int row : lost) {
        if (!alive)
            return;
        notifyState(row, stateOf(row) | LVIS_SELECTED, stateOf(row));
    }
    for (int row : gained) {
        if (!alive)
            return;
        if (row < rowCount() && isRowSelected(row))
            notifyState(row, stateOf(row) & ~LVIS_SELECTED, stateOf(row));
    }
}

void ListViewFace::itemChangedCheck(QTableWidgetItem* cell) {
    if (quiet_ || !(exStyle_ & LVS_EX_CHECKBOXES) || cell->column() != 0)
        return;
    const bool checked = cell->checkState() == Qt::Checked;
    if (checked == cell->data(kCheckedRole).toBool())
        return;
    ++quiet_;
    cell->setData(kCheckedRole, checked);
    --quiet_;
    const UINT now = stateOf(cell->row());
    notifyState(cell->row(), (now & ~LVIS_STATEIMAGEMASK) | (checked ? kUnchecked : kChecked), now);
}

void ListViewFace::notifyActivate(UINT code, const QPoint& viewportPoint) {
    const QModelIndex index = indexAt(viewportPoint);
    NMITEMACTIVATE activate;
    activate.iItem = index.isValid() ? index.row() : -1;
    activate.iSubItem = index.isValid() ? index.column() : 0;
    const QPoint at = viewport()->mapTo(this, viewportPoint);
    activate.ptAction = POINT{at.x(), at.y()};
    if (index.isValid()) {
        activate.uOldState = activate.uNewState = stateOf(index.row());
        if (const QTableWidgetItem* cell = item(index.row(), 0))
            activate.lParam = static_cast<LPARAM>(cell->data(kDataRole).toULongLong());
    }
    NotifyParent(hwnd_, code, &activate.hdr);
}

void ListViewFace::mouseReleaseEvent(QMouseEvent* event) {
    QPointer<ListViewFace> alive(this);
    const QPoint at = event->position().toPoint();
    const bool left = event->button() == Qt::LeftButton;
    QTableWidget::mouseReleaseEvent(event);
    if (!alive || !left)
        return;
    if (afterDoubleClick_)
        afterDoubleClick_ = false; // the button-up of a double click ends no click of its own
    else
        notifyActivate(NM_CLICK, at);
}

void ListViewFace::mouseDoubleClickEvent(QMouseEvent* event) {
    QPointer<ListViewFace> alive(this);
    const QPoint at = event->position().toPoint();
    const bool left = event->button() == Qt::LeftButton;
    QTableWidget::mouseDoubleClickEvent(event);
    if (!alive || !left)
        return;
    afterDoubleClick_ = true;
    notifyActivate(NM_DBLCLK, at);
}

void ListViewFace::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    QTableWidget::changeEvent(event);
}

SpinFace::SpinFace(HWND, DWORD style, QWidget* parent) : QWidget(parent), style_(style) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const int direction : {1, -1}) {
        auto* arrow = new QToolButton(this);
        arrow->setArrowType(direction > 0 ? Qt::UpArrow : Qt::DownArrow);
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        connect(arrow, &QToolButton::clicked, this, [this, direction] { step(direction); });
        layout->addWidget(arrow, 1);
    }
}

QWidget* SpinFace::buddyFace() const {
    return faceOf(buddy_);
}

HWND SpinFace::setBuddy(HWND buddy) {
    const HWND previous = buddy_;
    if (QWidget* old = buddyFace())
        old->removeEventFilter(this);
    buddy_ = buddy;
    QWidget* face = buddyFace();
    if (!face)
        return previous;
    if (style_ & UDS_ARROWKEYS)
        face->installEventFilter(this);
    if ((style_ & UDS_ALIGNRIGHT) && face->parentWidget() == parentWidget()) {
        const QRect g = face->geometry();
        const int w = width();
        face->setGeometry(g.x(), g.y(), std::max(0, g.width() - w), g.height());
        setGeometry(g.x() + g.width() - w, g.y(), w, g.height());
    }
    return previous;
}

void SpinFace::setRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
}

int SpinFace::pos() const {
    const int low = std::min(lower_, upper_);
    const int high = std::max(lower_, upper_);
    CWnd* buddy = CWnd::FromHandle(buddy_);
    if ((style_ & UDS_SETBUDDYINT) && buddy) {
        bool ok = false;
        const int typed = QString::fromStdWString(buddy->GetWindowText()).trimmed().toInt(&ok);
        if (ok && typed >= low && typed <= high)
            return typed;
    }
    return pos_;
}

int SpinFace::setPos(int pos) {
    const int previous = this->pos();
    pos_ = std::clamp(pos, std::min(lower_, upper_), std::max(lower_, upper_));
    if (CWnd* buddy = CWnd::FromHandle(buddy_); buddy && (style_ & UDS_SETBUDDYINT))
        buddy->SetWindowText(std::to_wstring(pos_));
    return previous;
}

void SpinFace::step(int direction) {
    const int low = std::min(lower_, upper_);
    const int high = std::max(lower_, upper_);
    int next = pos() + (upper_ >= lower_ ? direction : -direction);
    if (next > high)
        next = style_ & UDS_WRAP ? low : high;
    if (next < low)
        next = style_ & UDS_WRAP ? high : low;
    setPos(next);
}

bool SpinFace::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == buddyFace()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace platform::mfc
