#include "platform/mfc/detail/Faces.h"

#include "platform/gdi/WindowDc.h"
#include "platform/mfc/App.h"
#include "platform/mfc/Menu.h"
#include "platform/mfc/detail/CommonFaces.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWindow>

namespace platform::mfc {

namespace {

constexpr const char* kHwndProperty = "veloq.hwnd";

LPARAM pointParam(const QPoint& p) {
    return MAKELPARAM(p.x(), p.y());
}

void tag(QWidget* widget, HWND hwnd) {
    widget->setProperty(kHwndProperty, QVariant::fromValue(reinterpret_cast<quintptr>(hwnd)));
}

void notifyParent(HWND hwnd, WORD code) {
    CWnd* self = CWnd::FromHandle(hwnd);
    if (!self || !self->GetParent())
        return;
    ::SendMessage(self->GetParent()->m_hWnd, WM_COMMAND,
                  MAKEWPARAM(static_cast<WORD>(self->GetDlgCtrlID()), code), reinterpret_cast<LPARAM>(hwnd));
}

} // namespace

FaceKind KindOf(const std::wstring& className, DWORD style) {
    auto is = [&](const wchar_t* name) { return platform::EqualsNoCase(className, name); };
    if (is(L"Button")) {
        switch (style & BS_TYPEMASK) {
        case BS_OWNERDRAW:
            return FaceKind::OwnerButton;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
            return FaceKind::CheckBox;
        case BS_AUTORADIOBUTTON:
            return FaceKind::RadioButton;
        default:
            return FaceKind::PushButton;
        }
    }
    if (is(L"Static")) {
        switch (style & SS_TYPEMASK) {
        case SS_OWNERDRAW:
            return FaceKind::OwnerStatic;
        case SS_ETCHEDHORZ:
            return FaceKind::EtchedLine;
        default:
            return FaceKind::Static;
        }
    }
    if (is(L"Edit"))
        return FaceKind::Edit;
    if (is(L"ComboBox"))
        return FaceKind::Combo;
    if (is(L"SysIPAddress32"))
        return FaceKind::IpAddress;
    if (is(L"SysTabControl32"))
        return FaceKind::Tab;
    if (is(L"SysDateTimePick32"))
        return FaceKind::DateTime;
    if (is(L"SysListView32"))
        return FaceKind::ListView;
    if (is(L"msctls_updown32"))
        return FaceKind::Spin;
    if (is(L"msctls_trackbar32"))
        return FaceKind::Slider;
    return FaceKind::Plain;
}

QColor ToColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

QFont MapFont(const std::wstring& face, int pixelHeight, bool bold) {
    // The faces the program names are the Windows ones; DejaVu stands for all of them here.
    QFont font(platform::EqualsNoCase(face, L"Courier New") ? QStringLiteral("DejaVu Sans Mono")
                                                            : QStringLiteral("DejaVu Sans"));
    font.setPixelSize(std::max(1, pixelHeight));
    font.setBold(bold || platform::EqualsNoCase(face, L"System"));
    return font;
}

// A toolkit window of its own (a file dialog, a message box, a completer's or a combo box's popup) is
// nobody's window here, even though its parent chain goes on to the window that opened it: its keys and
// clicks are its own.
CWnd* OwnerOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant v = w->property(kHwndProperty);
        if (v.isValid())
            return CWnd::FromHandle(reinterpret_cast<HWND>(v.value<quintptr>()));
        if (w->isWindow())
            return nullptr;
    }
    return nullptr;
}

HostFace::HostFace(HWND hwnd, QWidget* parent) : QWidget(parent), hwnd_(hwnd) {
    tag(this, hwnd);
    setMouseTracking(true);
    // Drawing into the window's GDI layer (from any thread) asks for a repaint through the window's queue.
    platform::gdi::SetLayerObserver(
        hwnd, [](HWND window, const RECT&) { ::PostMessage(window, kLayerChangedMessage, 0, 0); });
}

WindowPart* HostFace::part() const {
    CWnd* wnd = CWnd::FromHandle(hwnd_);
    return wnd ? wnd->part() : nullptr;
}

// A child starts from what its top-level window painted under it, so that what it leaves unpainted (a
// label's background, a slider's ends) shows the window behind.
platform::gdi::Dib HostFace::startingPicture(WindowPart& p) const {
    platform::gdi::Dib dib{width(), height(),
                           std::vector<std::uint32_t>(static_cast<std::size_t>(width()) * height())};
    if (p.topLevel)
        return dib;
    CWnd* top = OwnerOf(window());
    const platform::gdi::Dib* under = top && top->part() ? &top->part()->lastPainting : nullptr;
    if (!under || under->pixels.empty())
        return dib;
    const QPoint at = mapTo(window(), QPoint(0, 0));
    for (int y = 0; y < dib.height; ++y) {
        const int sy = at.y() + y;
        if (sy < 0 || sy >= under->height)
            continue;
        for (int x = 0; x < dib.width; ++x) {
            const int sx = at.x() + x;
            if (sx >= 0 && sx < under->width)
                dib.pixels[static_cast<std::size_t>(y) * dib.width + x] = under->at(sx, sy);
        }
    }
    return dib;
}

void HostFace::paintEvent(QPaintEvent*) {
    WindowPart* p = part();
    if (!p || width() <= 0 || height() <= 0)
        return;
    if (p->pictures) {
        PaintPictures(*p->pictures, *this, hwnd_);
        return;
    }
    HBITMAP picture = platform::gdi::CreateBitmapFromDib(startingPicture(*p));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture);
    p->paintDc = dc;
    ::SendMessage(hwnd_, WM_PAINT, 0, 0);
    p = part(); // the window may be gone after its own paint
    if (p)
        p->paintDc = nullptr;
    SelectObject(dc, old);
    DeleteDC(dc);
    std::optional<platform::gdi::Dib> painted = platform::gdi::ReadBitmap(picture);
    DeleteObject(picture);
    if (!p || !painted)
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, ToImage(*painted));
    if (!platform::gdi::LayerIsClear(hwnd_))
        platform::gdi::ReadLayer(hwnd_, [&](const std::uint32_t* pixels, int w, int h) {
            const QImage layer(reinterpret_cast<const uchar*>(pixels), w, h, w * 4, QImage::Format_ARGB32);
            painter.drawImage(0, 0, layer);
        });
    if (p->topLevel)
        p->lastPainting = std::move(*painted);
}

void HostFace::mousePressEvent(QMouseEvent* event) {
    WindowPart* p = part();
    if (!p)
        return;
    const QPoint local = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (p->topLevel) {
            const QPoint global = event->globalPosition().toPoint();
            const LRESULT hit = ::SendMessage(hwnd_, WM_NCHITTEST, 0, pointParam(global));
            if (hit == HTCAPTION || hit == HTBOTTOMRIGHT) {
                QWindow* w = window()->windowHandle();
                const bool system =
                    w && (hit == HTCAPTION ? w->startSystemMove()
                                           : w->startSystemResize(Qt::BottomEdge | Qt::RightEdge));
                if (!system) {
                    p->dragMode = hit == HTCAPTION ? 1 : 2;
                    p->dragOrigin = global;
                    p->dragStart = QRect(frameGeometry().topLeft(), size()); // move() places the frame
                }
                return;
            }
            if (hit == HTNOWHERE)
                return;
        }
        ::SendMessage(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(local));
    } else if (event->button() == Qt::RightButton) {
        ::SendMessage(hwnd_, WM_RBUTTONDOWN, 0, pointParam(local));
    }
}

void HostFace::mouseReleaseEvent(QMouseEvent* event) {
    WindowPart* p = part();
    if (!p)
        return;
    if (p->dragMode != 0) {
        p->dragMode = 0;
        return;
    }
    const QPoint local = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        ::SendMessage(hwnd_, WM_LBUTTONUP, 0, pointParam(local));
    } else if (event->button() == Qt::RightButton) {
        ::SendMessage(hwnd_, WM_RBUTTONUP, 0, pointParam(local));
        ::SendMessage(hwnd_, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd_),
                      pointParam(event->globalPosition().toPoint()));
    }
}

void HostFace::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        ::SendMessage(hwnd_, WM_LBUTTONDBLCLK, MK_LBUTTON, pointParam(event->position().toPoint()));
}

void HostFace::mouseMoveEvent(QMouseEvent* event) {
    WindowPart* p = part();
    if (!p)
        return;
    if (p->dragMode != 0) {
        const QPoint delta = event->globalPosition().toPoint() - p->dragOrigin;
        if (p->dragMode == 1)
            move(p->dragStart.topLeft() + delta);
        else
            resize(std::max(80, p->dragStart.width() + delta.x()),
                   std::max(60, p->dragStart.height() + delta.y()));
        return;
    }
    ::SendMessage(hwnd_, WM_MOUSEMOVE, event->buttons() & Qt::LeftButton ? MK_LBUTTON : 0,
                  pointParam(event->position().toPoint()));
}

void HostFace::enterEvent(QEnterEvent* event) {
    ::SendMessage(hwnd_, WM_MOUSEMOVE, 0, pointParam(event->position().toPoint()));
}

void HostFace::leaveEvent(QEvent*) {
    ::SendMessage(hwnd_, WM_MOUSELEAVE, 0, 0);
}

void HostFace::resizeEvent(QResizeEvent*) {
    platform::gdi::SetWindowClientSize(hwnd_, width(), height());
    ::SendMessage(hwnd_, WM_SIZE, 0, MAKELPARAM(width(), height()));
}

void HostFace::moveEvent(QMoveEvent*) {
    ::SendMessage(hwnd_, WM_MOVE, 0, pointParam(pos()));
}

void HostFace::closeEvent(QCloseEvent* event) {
    event->ignore(); // the window decides in WM_CLOSE
    // The close box lies in the caption: a captioned window that answers HTCAPTION where the pointer is
    // (a sheet that claims every point while it must stay open) keeps it from reacting.
    WindowPart* p = part();
    if (p && p->topLevel && (p->style & WS_CAPTION) &&
        ::SendMessage(hwnd_, WM_NCHITTEST, 0, pointParam(QCursor::pos())) == HTCAPTION)
        return;
    ::SendMessage(hwnd_, WM_CLOSE, 0, 0);
}

void HostFace::wheelEvent(QWheelEvent* event) {
    ::SendMessage(hwnd_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(event->angleDelta().y())),
                  pointParam(event->globalPosition().toPoint()));
}

IpAddressFace::IpAddressFace(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            layout->addWidget(dot);
        }
        auto* field = new QLineEdit(this);
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(new QIntValidator(0, 255, field));
        field->installEventFilter(this);
        layout->addWidget(field, 1);
        fields[i] = field;
        // Only what the user types moves on; SetAddress fills the fields without moving the focus.
        QObject::connect(field, &QLineEdit::textEdited, this, [this, i, field](const QString& text) {
            bool ok = false;
            const int value = text.toInt(&ok);
            const bool full = text.size() >= 3 || (ok && value * 10 > 255);
            if (full && field->cursorPosition() == text.size())
                moveOnFrom(i);
        });
    }
}

bool IpAddressFace::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Period)
        return QFrame::eventFilter(watched, event);
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (watched == fields[i] && !fields[i]->text().isEmpty())
            moveOnFrom(i);
    return true; // a dot is never part of a field
}

void IpAddressFace::moveOnFrom(std::size_t index) {
    if (index + 1 >= fields.size())
        return;
    QLineEdit* next = fields[index + 1];
    next->setFocus(Qt::TabFocusReason);
    next->selectAll();
}

int IpAddressFace::address(DWORD& value) const {
    int filled = 0;
    value = 0;
    for (QLineEdit* field : fields) {
        value <<= 8;
        bool ok = false;
        const int n = field->text().toInt(&ok);
        if (ok) {
            ++filled;
            value |= static_cast<DWORD>(std::clamp(n, 0, 255));
        }
    }
    return filled;
}

void IpAddressFace::setAddress(DWORD value) {
    for (int i = 0; i < 4; ++i)
        fields[static_cast<std::size_t>(i)]->setText(QString::number((value >> (24 - 8 * i)) & 0xFF));
}

void IpAddressFace::clear() {
    for (QLineEdit* field : fields)
        field->clear();
}

void CreateFace(WindowPart& part, QWidget* parentFace, const std::wstring& text) {
    const QString qtext = QString::fromStdWString(text);
    const HWND hwnd = part.hwnd;
    QWidget* face = nullptr;
    switch (part.kind) {
    case FaceKind::Plain:
    case FaceKind::OwnerButton:
    case FaceKind::OwnerStatic: {
        auto* host = new HostFace(hwnd, parentFace);
        if (part.kind == FaceKind::OwnerStatic && !(part.style & SS_NOTIFY))
            host->setAttribute(Qt::WA_TransparentForMouseEvents);
        host->setWindowTitle(qtext);
        part.text = text;
        face = host;
        break;
    }
    case FaceKind::PushButton: {
        auto* button = new QPushButton(qtext, parentFace);
        button->setDefault((part.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, [hwnd] { notifyParent(hwnd, BN_CLICKED); });
        face = button;
        break;
    }
    case FaceKind::CheckBox: {
        auto* box = new QCheckBox(qtext, parentFace);
        QObject::connect(box, &QCheckBox::clicked, [hwnd] { notifyParent(hwnd, BN_CLICKED); });
        face = box;
        break;
    }
    case FaceKind::RadioButton: {
        auto* radio = new QRadioButton(qtext, parentFace);
        QObject::connect(radio, &QRadioButton::clicked, [hwnd] { notifyParent(hwnd, BN_CLICKED); });
        face = radio;
        break;
    }
    case FaceKind::Static: {
        auto* label = new QLabel(qtext, parentFace);
        const DWORD align = part.style & SS_TYPEMASK;
        label->setAlignment((align == SS_CENTER  ? Qt::AlignHCenter
                             : align == SS_RIGHT ? Qt::AlignRight
                                                 : Qt::AlignLeft) |
                            Qt::AlignTop);
        label->setWordWrap(true);
        if (!(part.style & SS_NOTIFY))
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        face = label;
        break;
    }
    case FaceKind::EtchedLine: {
        auto* line = new QFrame(parentFace);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        face = line;
        break;
    }
    case FaceKind::Edit:
        if (part.style & ES_MULTILINE) {
            auto* edit = new QPlainTextEdit(qtext, parentFace);
            edit->setReadOnly(part.style & ES_READONLY);
            edit->setVerticalScrollBarPolicy(part.style & WS_VSCROLL ? Qt::ScrollBarAsNeeded
                                                                     : Qt::ScrollBarAlwaysOff);
            QObject::connect(edit, &QPlainTextEdit::textChanged, [hwnd] { notifyParent(hwnd, EN_CHANGE); });
            face = edit;
        } else {
            auto* edit = new QLineEdit(qtext, parentFace);
            edit->setReadOnly(part.style & ES_READONLY);
            if (part.style & ES_PASSWORD)
                edit->setEchoMode(QLineEdit::Password);
            QObject::connect(edit, &QLineEdit::textEdited, [hwnd] { notifyParent(hwnd, EN_CHANGE); });
            face = edit;
        }
        break;
    case FaceKind::Combo: {
        auto* combo = new QComboBox(parentFace);
        combo->setEditable((part.style & 0x3) == CBS_DROPDOWN);
        combo->setInsertPolicy(QComboBox::NoInsert);
        if (combo->lineEdit()) {
            combo->lineEdit()->setText(qtext);
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited,
                             [hwnd] { notifyParent(hwnd, CBN_EDITCHANGE); });
        }
        QObject::connect(combo, qOverload<int>(&QComboBox::activated),
                         [hwnd] { notifyParent(hwnd, CBN_SELCHANGE); });
        face = combo;
        break;
    }
    case FaceKind::IpAddress:
        face = new IpAddressFace(parentFace);
        break;
    case FaceKind::Tab:
    case FaceKind::DateTime:
    case FaceKind::ListView:
    case FaceKind::Spin:
    case FaceKind::Slider:
        face = CreateCommonFace(part, parentFace);
        break;
    }
    tag(face, hwnd);
    part.face = face;
    if (part.topLevel)
        ApplyTopLevelFlags(part);
    face->setEnabled(!(part.style & WS_DISABLED));
    if (!part.topLevel)
        face->setVisible((part.style & WS_VISIBLE) != 0);
}

void ApplyTopLevelFlags(WindowPart& part) {
    QWidget* face = part.face;
    if (!face)
        return;
    const bool visible = face->isVisible();
    Qt::WindowFlags flags = (part.exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Window;
    if (!(part.style & WS_CAPTION))
        flags |= Qt::FramelessWindowHint;
    else
        flags |= Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint;
    if (part.exStyle & WS_EX_TOPMOST)
        flags |= Qt::WindowStaysOnTopHint;
    if (face->windowFlags() != flags) {
        face->setWindowFlags(flags);
        if (visible)
            face->show();
    }
}

UINT VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (modifiers & Qt::KeypadModifier) ? VK_NUMPAD0 + static_cast<UINT>(key - Qt::Key_0)
                                                : '0' + static_cast<UINT>(key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + static_cast<UINT>(key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Plus:
        return VK_ADD;
    case Qt::Key_Minus:
        return VK_SUBTRACT;
    default:
        return 0;
    }
}

namespace {

// Keyboard input first goes to the top-level window's PreTranslateMessage, as a message loop would hand it
// over; what is left goes to self-painted windows as WM_KEYDOWN and to toolkit controls as it is.
class KeyboardBridge : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        CWnd* focus = OwnerOf(static_cast<QWidget*>(watched));
        const UINT vk = VirtualKeyOf(key->key(), key->modifiers());
        if (!focus || vk == 0)
            return false;
        SetKeyModifiers((key->modifiers() & Qt::ControlModifier) != 0,
                        (key->modifiers() & Qt::ShiftModifier) != 0,
                        (key->modifiers() & Qt::AltModifier) != 0);
        CWnd* top = focus;
        while (top->part() && !top->part()->topLevel && top->GetParent())
            top = top->GetParent();
        MSG msg{focus->m_hWnd, WM_KEYDOWN, vk, 1, 0, {}, {}};
        if (top->PreTranslateMessage(&msg))
            return true;
        const FaceKind kind = focus->part() ? focus->part()->kind : FaceKind::Plain;
        if (kind == FaceKind::Plain || kind == FaceKind::OwnerButton || kind == FaceKind::OwnerStatic) {
            ::SendMessage(focus->m_hWnd, WM_KEYDOWN, vk, 1);
            return true;
        }
        return false;
    }
};

} // namespace

void InstallKeyboardBridge() {
    static KeyboardBridge* bridge = nullptr;
    if (!bridge && qApp) {
        bridge = new KeyboardBridge;
        bridge->setParent(qApp);
        qApp->installEventFilter(bridge);
    }
}

} // namespace platform::mfc
