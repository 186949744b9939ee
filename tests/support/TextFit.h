// Which texts of a window do not show whole. The toolkit's controls (labels, buttons, check boxes, radio
// buttons, pickers, list headings) are measured with the font they show their text in; the owner-drawn
// ones by what their paint draws: every text drawn while the window is rendered, with the room it needs
// in the font selected then, against what of its control shows (its client area, the rectangle it was
// drawn in, and the shape of its window).
#pragma once

#include "platform/mfc/Dc.h"
#include "platform/mfc/Wnd.h"
#include "platform/mfc/detail/WindowPart.h"

#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegion>
#include <QTableWidget>

#include <string>
#include <vector>

// A text that does not show whole: the control, its text, and how it is cut.
struct CutText {
    int control = 0;
    std::wstring text;
    std::string how;
};

inline std::string Narrow(const std::wstring& text) {
    return QString::fromStdWString(text).toStdString();
}

// The toolkit's controls of the window whose texts do not show whole.
inline std::vector<CutText> CutToolkitTexts(CWnd& window) {
    std::vector<CutText> cut;
    for (CWnd* control : window.Children()) {
        if (!control->part() || !(control->GetStyle() & WS_VISIBLE))
            continue;
        QWidget* face = control->part()->face;
        const QFontMetrics metrics(face->font());
        const int id = control->GetDlgCtrlID();
        if (auto* label = qobject_cast<QLabel*>(face)) {
            const QString text = label->text();
            bool wordsFit = true;
            for (const QString& word : text.split(' ', Qt::SkipEmptyParts))
                wordsFit &= metrics.horizontalAdvance(word) <= label->width();
            if (!wordsFit || (!text.isEmpty() && label->heightForWidth(label->width()) > label->height()))
                cut.push_back({id, text.toStdWString(),
                               "label needs " + std::to_string(label->heightForWidth(label->width())) +
                                   " px of height, has " + std::to_string(label->height())});
        } else if (auto* push = qobject_cast<QPushButton*>(face)) {
            if (push->text().isEmpty() || metrics.horizontalAdvance(push->text()) + 8 > push->width())
                cut.push_back({id, push->text().toStdWString(), "button"});
        } else if (auto* button = qobject_cast<QAbstractButton*>(face)) {
            // A check box whose label is a text of its own beside it is no wider than its box.
            if ((button->text().isEmpty() && button->width() > 20) ||
                button->sizeHint().width() > button->width())
                cut.push_back({id, button->text().toStdWString(), "check box or radio button"});
        } else if (auto* picker = qobject_cast<QDateTimeEdit*>(face)) {
            if (picker->sizeHint().width() > picker->width())
                cut.push_back({id, picker->text().toStdWString(), "picker"});
        } else if (auto* list = qobject_cast<QTableWidget*>(face)) {
            for (int c = 0; c < list->columnCount(); ++c) {
                const QString heading =
                    list->horizontalHeaderItem(c) ? list->horizontalHeaderItem(c)->text() : "";
                if (heading.isEmpty() || metrics.horizontalAdvance(heading) + 10 > list->columnWidth(c))
                    cut.push_back({id, heading.toStdWString(), "list heading"});
            }
        }
    }
    return cut;
}

namespace textfit_detail {

inline QRect toQRect(const RECT& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

inline bool within(CWnd* control, CWnd& window) {
    for (CWnd* w = control; w; w = w->GetParent())
        if (w == &window)
            return true;
    return false;
}

} // namespace textfit_detail

// The texts that the window's owner-drawn controls draw and that do not show whole, as the window is
// rendered now.
inline std::vector<CutText> CutDrawnTexts(CWnd& window) {
    using namespace textfit_detail;
    std::vector<platform::mfc::DrawnText> drawn;
    platform::mfc::SetDrawTextHook([&](const platform::mfc::DrawnText& d) { drawn.push_back(d); });
    QWidget* top = window.part()->face;
    top->grab();
    platform::mfc::SetDrawTextHook(nullptr);
    std::vector<CutText> cut;
    for (const platform::mfc::DrawnText& d : drawn) {
        CWnd* control = CWnd::FromHandle(d.window);
        if (!control || !within(control, window) || d.text.empty())
            continue;
        RECT client;
        control->GetClientRect(&client);
        QRect room = toQRect(client);
        if (!(d.format & DT_NOCLIP))
            room &= toQRect(d.rect);
        const QRect needed = toQRect(d.needed);
        // What of the text lies outside the window's shape, in the window's own coordinates.
        const QRect onWindow = needed.translated(control->part()->face->mapTo(top, QPoint(0, 0)));
        const bool shaped = !top->mask().isEmpty() && !QRegion(onWindow).subtracted(top->mask()).isEmpty();
        if (room.contains(needed) && !shaped)
            continue;
        cut.push_back({control->GetDlgCtrlID(), d.text,
                       "needs " + std::to_string(needed.width()) + "x" + std::to_string(needed.height()) +
                           " px at " + std::to_string(needed.left()) + "," + std::to_string(needed.top()) +
                           ", shows " + std::to_string(room.width()) + "x" + std::to_string(room.height()) +
                           " at " + std::to_string(room.left()) + "," + std::to_string(room.top()) +
                           (shaped ? ", partly outside the window's shape" : "")});
    }
    return cut;
}
