#include "platform/mfc/Wnd.h"

#include "platform/gdi/WindowDc.h"
#include "platform/mfc/App.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/MessageBox.h"
#include "platform/mfc/Region.h"
#include "platform/mfc/detail/Faces.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <unordered_map>

using platform::mfc::FaceKind;
using platform::mfc::WindowPart;

namespace {

std::unordered_map<HWND, CWnd*>& objects() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

LRESULT dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd ? wnd->WindowProc(message, wParam, lParam) : 0;
}

POINT pointOf(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

QSize frameExtra(const QWidget* face) {
    return face->frameGeometry().size() - face->geometry().size();
}

} // namespace

CWnd::CWnd() = default;

CWnd::~CWnd() {
    // The handlers may reach members of the derived object, which is gone by now.
    messages_.clear();
    commands_.clear();
    notifies_.clear();
    wmNotifies_.clear();
    ranges_.clear();
    updates_.clear();
    CWnd::DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    auto it = objects().find(hwnd);
    return it == objects().end() ? nullptr : it->second;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id) {
    if (part_)
        return FALSE;
    platform::mfc::EnsureToolkit();
    platform::mfc::InstallKeyboardBridge();
    auto part = std::make_unique<WindowPart>();
    part->hwnd = platform::CreateMessageWindow(dispatch);
    part->kind = platform::mfc::KindOf(className ? className : L"", style);
    part->id = static_cast<int>(id);
    part->style = style;
    part->exStyle = exStyle;
    part->parent = parent;
    part->topLevel = !(style & WS_CHILD) || !parent;
    WindowPart* raw = part.get();
    attachPart(std::move(part));
    // An owned top-level window is a toolkit window of its owner's, so that a modal window of the owner's
    // family does not lock it out and it stays above its owner.
    QWidget* parentFace = parent && parent->part_ ? parent->part_->face.data() : nullptr;
    platform::mfc::CreateFace(*raw, parentFace, text ? text : L"");
    if (parent && parent->part_)
        parent->part_->children.push_back(this);
    MoveWindow(rect, FALSE);
    if (raw->topLevel && (style & WS_VISIBLE))
        raw->face->show();
    return TRUE;
}

void CWnd::attachPart(std::unique_ptr<WindowPart> part) {
    part_ = std::move(part);
    m_hWnd = part_ ? part_->hwnd : nullptr;
    if (m_hWnd)
        objects()[m_hWnd] = this;
}

std::unique_ptr<WindowPart> CWnd::detachPart() {
    if (m_hWnd)
        objects().erase(m_hWnd);
    m_hWnd = nullptr;
    return std::move(part_);
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (part_ || !parent || !parent->part_)
        return FALSE;
    auto& spares = parent->part_->spares;
    auto it = std::find_if(spares.begin(), spares.end(), [id](const std::unique_ptr<CWnd>& c) {
        return c->GetDlgCtrlID() == static_cast<int>(id);
    });
    if (it == spares.end())
        return FALSE;
    std::unique_ptr<CWnd> spare = std::move(*it);
    spares.erase(it);
    attachPart(spare->detachPart());
    std::replace(parent->part_->children.begin(), parent->part_->children.end(), spare.get(), this);
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (!part_)
        return FALSE;
    const std::vector<CWnd*> children = part_->children;
    for (CWnd* child : children)
        child->DestroyWindow();
    part_->spares.clear();
    ::DestroyWindow(part_->hwnd); // WM_DESTROY, while this object still answers for the handle
    if (CWnd* parent = part_->parent; parent && parent->part_) {
        auto& siblings = parent->part_->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    platform::gdi::SetLayerObserver(part_->hwnd, {});
    platform::gdi::RemoveWindowLayer(part_->hwnd);
    std::unique_ptr<WindowPart> part = detachPart();
    delete part->face.data();
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (runMapped(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam))
            return 0;
        break;
    case WM_NOTIFY:
        if (OnNotify(wParam, lParam, &result))
            return result;
        break;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<CDC*>(wParam));
    case WM_NCHITTEST:
        return OnNcHitTest(pointOf(lParam));
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), pointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(static_cast<UINT>(wParam), pointOf(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), pointOf(lParam));
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(static_cast<UINT>(wParam), LOWORD(static_cast<std::uintptr_t>(lParam)), 0);
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_CONTEXTMENU:
        OnContextMenu(FromHandle(reinterpret_cast<HWND>(wParam)), pointOf(lParam));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SETFOCUS:
        OnSetFocus();
        return 0;
    default:
        break;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!part_)
        return 0;
    WindowPart& p = *part_;
    const bool ownerButton = p.kind == FaceKind::OwnerButton;
    switch (message) {
    case WM_PAINT: {
        CPaintDC dc(this);
        if (ownerButton || p.kind == FaceKind::OwnerStatic) {
            DRAWITEMSTRUCT item;
            item.CtlType = ownerButton ? ODT_BUTTON : ODT_STATIC;
            item.CtlID = static_cast<UINT>(p.id);
            item.hwndItem = m_hWnd;
            item.pDC = &dc;
            GetClientRect(&item.rcItem);
            if (p.pressed && p.hot)
                item.itemState |= ODS_SELECTED;
            if (!IsWindowEnabled())
                item.itemState |= ODS_DISABLED;
            if (p.hot)
                item.itemState |= ODS_HOTLIGHT;
            if (IsFocused())
                item.itemState |= ODS_FOCUS;
            DrawItem(&item);
        }
        return 0;
    }
    case WM_ERASEBKGND:
        if (p.topLevel && wParam) {
            RECT r;
            GetClientRect(&r);
            reinterpret_cast<CDC*>(wParam)->FillSolidRect(r, RGB(240, 240, 240));
        }
        return 1;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_LBUTTONDOWN:
        if (ownerButton && IsWindowEnabled()) {
            p.pressed = p.hot = p.captured = true;
            Invalidate(FALSE);
        }
        return 0;
    case WM_MOUSEMOVE:
        if (ownerButton) {
            RECT r;
            GetClientRect(&r);
            const bool inside = CRect(r).PtInRect(pointOf(lParam));
            if (inside != p.hot) {
                p.hot = inside;
                Invalidate(FALSE);
            }
        }
        return 0;
    case WM_MOUSELEAVE:
        if (ownerButton && p.hot) {
            p.hot = false;
            Invalidate(FALSE);
        }
        return 0;
    case WM_LBUTTONUP:
        if (ownerButton && p.captured) {
            RECT r;
            GetClientRect(&r);
            const bool click = p.pressed && CRect(r).PtInRect(pointOf(lParam)) && IsWindowEnabled();
            p.pressed = p.captured = false;
            Invalidate(FALSE);
            if (click && p.parent)
                p.parent->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(p.id), BN_CLICKED),
                                      reinterpret_cast<LPARAM>(m_hWnd));
        }
        return 0;
    case BM_GETCHECK:
        if (auto* button = qobject_cast<QAbstractButton*>(p.face.data()); button && button->isCheckable())
            return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        return 0;
    case BM_SETCHECK:
        if (auto* button = qobject_cast<QAbstractButton*>(p.face.data()); button && button->isCheckable())
            button->setChecked(wParam == BST_CHECKED);
        return 0;
    case WM_CLOSE:
        DestroyWindow();
        return 0;
    case platform::mfc::kLayerChangedMessage:
        Invalidate(FALSE);
        return 0;
    default:
        return 0;
    }
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::SendMessage(m_hWnd, message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd ? ::PostMessage(m_hWnd, message, wParam, lParam) : FALSE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    return m_hWnd ? ::SetTimer(m_hWnd, id, elapseMs, proc) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR id) {
    return m_hWnd ? ::KillTimer(m_hWnd, id) : FALSE;
}

CWnd* CWnd::GetParent() const {
    return part_ ? part_->parent : nullptr;
}

CWnd* CWnd::GetDlgItem(int id) const {
    if (!part_)
        return nullptr;
    for (CWnd* child : part_->children)
        if (child->part_ && !child->part_->topLevel && child->part_->id == id)
            return child;
    return nullptr;
}

int CWnd::GetDlgCtrlID() const {
    return part_ ? part_->id : 0;
}

std::vector<CWnd*> CWnd::Children() const {
    return part_ ? part_->children : std::vector<CWnd*>{};
}

void CWnd::MoveWindow(int x, int y, int cx, int cy, BOOL repaint) {
    SetWindowPos(nullptr, x, y, cx, cy, SWP_NOZORDER);
    if (repaint)
        Invalidate();
}

void CWnd::MoveWindow(const RECT& rect, BOOL repaint) {
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd*, int x, int y, int cx, int cy, UINT flags) {
    if (!part_ || !part_->face)
        return FALSE;
    QWidget* face = part_->face;
    cx = std::max(0, cx);
    cy = std::max(0, cy);
    if (part_->topLevel) {
        const QSize extra = frameExtra(face);
        if (!(flags & SWP_NOSIZE))
            face->resize(std::max(0, cx - extra.width()), std::max(0, cy - extra.height()));
        if (!(flags & SWP_NOMOVE))
            face->move(x, y);
    } else {
        if (!(flags & SWP_NOSIZE))
            face->resize(cx, cy);
        if (!(flags & SWP_NOMOVE))
            face->move(x, y);
    }
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(SW_HIDE);
    if (flags & SWP_FRAMECHANGED && part_->topLevel)
        platform::mfc::ApplyTopLevelFlags(*part_);
    return TRUE;
}

void CWnd::GetClientRect(RECT* rect) const {
    *rect = RECT{0, 0, 0, 0};
    if (part_ && part_->face)
        *rect = RECT{0, 0, part_->face->width(), part_->face->height()};
}

void CWnd::GetWindowRect(RECT* rect) const {
    *rect = RECT{0, 0, 0, 0};
    if (!part_ || !part_->face)
        return;
    QWidget* face = part_->face;
    QRect r = part_->topLevel ? face->frameGeometry() : QRect(face->mapToGlobal(QPoint(0, 0)), face->size());
    *rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void CWnd::ScreenToClient(POINT* point) const {
    if (part_ && part_->face) {
        const QPoint l = part_->face->mapFromGlobal(QPoint(point->x, point->y));
        *point = POINT{l.x(), l.y()};
    }
}

void CWnd::ScreenToClient(RECT* rect) const {
    POINT tl{rect->left, rect->top};
    POINT br{rect->right, rect->bottom};
    ScreenToClient(&tl);
    ScreenToClient(&br);
    *rect = RECT{tl.x, tl.y, br.x, br.y};
}

void CWnd::CenterWindow() {
    if (!part_ || !part_->face)
        return;
    QWidget* face = part_->face;
    QRect area;
    if (part_->parent && part_->parent->part_ && part_->parent->part_->face &&
        part_->parent->IsWindowVisible())
        area = part_->parent->part_->face->frameGeometry();
    else if (face->screen())
        area = face->screen()->availableGeometry();
    if (area.isValid())
        face->move(area.center() -
                   QPoint(face->frameGeometry().width() / 2, face->frameGeometry().height() / 2));
}

void CWnd::GetWorkArea(RECT* area) const {
    const QScreen* screen = part_ && part_->face ? part_->face->window()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect r = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    *area = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

BOOL CWnd::ShowWindow(int command) {
    if (!part_ || !part_->face)
        return FALSE;
    QWidget* face = part_->face;
    const BOOL wasVisible = !face->isHidden();
    switch (command) {
    case SW_HIDE:
        face->hide();
        break;
    case SW_MINIMIZE:
        face->showMinimized();
        break;
    case SW_MAXIMIZE:
        face->showMaximized();
        break;
    case SW_RESTORE:
        face->showNormal();
        break;
    default:
        face->show();
        break;
    }
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
    return part_ && part_->face && part_->face->isVisible();
}

BOOL CWnd::EnableWindow(BOOL enable) {
    if (!part_ || !part_->face)
        return FALSE;
    const BOOL wasDisabled = !IsWindowEnabled();
    part_->face->setEnabled(enable != FALSE);
    if (!enable) {
        part_->pressed = part_->captured = part_->hot = false;
    }
    part_->face->update();
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    return part_ && part_->face && !part_->face->testAttribute(Qt::WA_ForceDisabled);
}

BOOL CWnd::IsIconic() const {
    return part_ && part_->face && part_->face->isMinimized();
}

DWORD CWnd::GetStyle() const {
    if (!part_)
        return 0;
    DWORD style = part_->style & ~(WS_VISIBLE | WS_DISABLED);
    if (part_->face && !part_->face->isHidden())
        style |= WS_VISIBLE;
    if (!IsWindowEnabled())
        style |= WS_DISABLED;
    return style;
}

DWORD CWnd::GetExStyle() const {
    return part_ ? part_->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT) {
    if (!part_)
        return FALSE;
    part_->style = (part_->style & ~remove) | add;
    if (part_->topLevel)
        platform::mfc::ApplyTopLevelFlags(*part_);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT) {
    if (!part_)
        return FALSE;
    part_->exStyle = (part_->exStyle & ~remove) | add;
    if (part_->topLevel)
        platform::mfc::ApplyTopLevelFlags(*part_);
    return TRUE;
}

void CWnd::SetWindowText(const std::wstring& text) {
    if (!part_ || !part_->face)
        return;
    QWidget* face = part_->face;
    const QString q = QString::fromStdWString(text);
    switch (part_->kind) {
    case FaceKind::PushButton:
    case FaceKind::CheckBox:
    case FaceKind::RadioButton:
        static_cast<QAbstractButton*>(face)->setText(q);
        break;
    case FaceKind::Static:
        static_cast<QLabel*>(face)->setText(q);
        break;
    case FaceKind::Edit:
        if (auto* multi = qobject_cast<QPlainTextEdit*>(face))
            multi->setPlainText(QString(q).remove(QLatin1Char('\r')));
        else
            static_cast<QLineEdit*>(face)->setText(q);
        break;
    case FaceKind::Combo:
        if (auto* combo = static_cast<QComboBox*>(face); combo->lineEdit())
            combo->lineEdit()->setText(q);
        else
            combo->setCurrentIndex(combo->findText(q));
        break;
    default:
        part_->text = text;
        if (part_->topLevel)
            face->setWindowTitle(q);
        face->update();
        break;
    }
}

std::wstring CWnd::GetWindowText() const {
    if (!part_ || !part_->face)
        return {};
    QWidget* face = part_->face;
    switch (part_->kind) {
    case FaceKind::PushButton:
    case FaceKind::CheckBox:
    case FaceKind::RadioButton:
        return static_cast<QAbstractButton*>(face)->text().toStdWString();
    case FaceKind::Static:
        return static_cast<QLabel*>(face)->text().toStdWString();
    case FaceKind::Edit:
        if (auto* multi =
                qobject_cast<QPlainTextEdit*>(face)) // lines end in CR LF, as an edit control has them
            return multi->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toStdWString();
        return static_cast<QLineEdit*>(face)->text().toStdWString();
    case FaceKind::Combo:
        return static_cast<QComboBox*>(face)->currentText().toStdWString();
    default:
        return part_->text;
    }
}

void CWnd::SetFocus() {
    if (part_ && part_->face)
        part_->face->setFocus(Qt::OtherFocusReason);
}

BOOL CWnd::IsFocused() const {
    return part_ && part_->face && part_->face->hasFocus();
}

void CWnd::Invalidate(BOOL) {
    if (part_ && part_->face && part_->redraw)
        part_->face->update();
}

void CWnd::InvalidateRect(const RECT* rect, BOOL erase) {
    if (!rect) {
        Invalidate(erase);
        return;
    }
    if (part_ && part_->face && part_->redraw)
        part_->face->update(QRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top));
}

void CWnd::UpdateWindow() {
    if (part_ && part_->face && part_->face->isVisible() && part_->redraw)
        part_->face->repaint();
}

BOOL CWnd::RedrawWindow(const RECT* rect, UINT flags) {
    if (!part_)
        return FALSE;
    if (flags & RDW_INVALIDATE)
        InvalidateRect(rect, (flags & RDW_ERASE) != 0);
    if (flags & RDW_UPDATENOW)
        UpdateWindow();
    return TRUE;
}

void CWnd::SetRedraw(BOOL redraw) {
    if (!part_)
        return;
    part_->redraw = redraw != FALSE;
    if (part_->face)
        part_->face->setUpdatesEnabled(part_->redraw);
}

void CWnd::SetFont(const std::wstring& face, int pixelHeight, bool bold) {
    if (!part_ || !part_->face)
        return;
    part_->face->setFont(platform::mfc::MapFont(face, pixelHeight, bold));
    part_->font = std::make_unique<CFont>();
    part_->font->CreateFont(pixelHeight, face, bold);
    for (CWnd* child : part_->children) // the controls of a dialog take its font
        if (child->part_ && !child->part_->topLevel && !child->part_->font)
            child->SetFont(face, pixelHeight, bold);
    part_->face->update();
}

int CWnd::SetWindowRgn(const CRgn* region, BOOL redraw) {
    if (!part_ || !part_->face)
        return 0;
    if (!region) {
        part_->face->clearMask();
    } else {
        QRegion mask;
        for (const RECT& r : region->rects())
            mask += QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        part_->face->setMask(mask);
    }
    if (redraw)
        Invalidate();
    return 1;
}

BOOL CWnd::SetLayeredWindowAttributes(COLORREF key, BYTE alpha, DWORD flags) {
    if (!part_ || !part_->face || !(part_->exStyle & WS_EX_LAYERED))
        return FALSE;
    constexpr DWORD kColourKey = 0x1;
    constexpr DWORD kAlpha = 0x2;
    part_->colourKeyed = (flags & kColourKey) != 0;
    part_->colourKey = key;
    if (flags & kAlpha)
        part_->face->setWindowOpacity(alpha / 255.0);
    return TRUE;
}

void CWnd::SetTopMost(bool topMost) {
    if (topMost)
        ModifyStyleEx(0, WS_EX_TOPMOST);
    else
        ModifyStyleEx(WS_EX_TOPMOST, 0);
}

bool CWnd::IsTopMost() const {
    return (GetExStyle() & WS_EX_TOPMOST) != 0;
}

void CWnd::SetIcon(int systemIcon, BOOL) {
    if (!part_ || !part_->face)
        return;
    const QStyle::StandardPixmap pixmap =
        systemIcon == IDI_INFORMATION ? QStyle::SP_MessageBoxInformation : QStyle::SP_ComputerIcon;
    part_->face->setWindowIcon(part_->face->style()->standardIcon(pixmap));
}

void CWnd::UpdateDialogControls() {
    for (auto& [id, handler] : updates_) {
        CWnd* control = GetDlgItem(static_cast<int>(id));
        if (!control)
            continue;
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_pOther = control;
        handler(&ui);
    }
}

bool CWnd::UpdateCommandUI(CCmdUI* ui) {
    for (auto& [id, handler] : updates_)
        if (id == ui->m_nID) {
            handler(ui);
            return true;
        }
    return false;
}

int CWnd::MessageBox(const std::wstring& text, const std::wstring& caption, UINT type) {
    return ::MessageBox(m_hWnd, text.c_str(), caption.c_str(), type);
}

void CWnd::MapMessage(UINT message, MessageHandler handler) {
    messages_[message] = std::move(handler);
}

void CWnd::MapCommand(UINT id, CommandHandler handler) {
    commands_[id] = std::move(handler);
}

void CWnd::MapNotify(UINT id, WORD code, CommandHandler handler) {
    notifies_[(static_cast<DWORD>(code) << 16) | (id & 0xFFFF)] = std::move(handler);
}

void CWnd::MapWmNotify(UINT id, UINT code, NotifyHandler handler) {
    wmNotifies_[(static_cast<ULONGLONG>(code) << 32) | id] = std::move(handler);
}

void CWnd::MapCommandRange(UINT first, UINT last, RangeHandler handler) {
    ranges_.push_back(Range{first, last, std::move(handler)});
}

void CWnd::MapUpdateUI(UINT id, UpdateHandler handler) {
    updates_.emplace_back(id, std::move(handler));
}

bool CWnd::runMapped(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    auto it = messages_.find(message);
    if (it == messages_.end())
        return false;
    MessageHandler handler = it->second; // a handler may replace its own entry
    result = handler(wParam, lParam);
    return true;
}

bool CWnd::runCommand(WPARAM wParam) {
    const UINT id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (auto it = notifies_.find((static_cast<DWORD>(code) << 16) | id); it != notifies_.end()) {
        CommandHandler handler = it->second;
        handler();
        return true;
    }
    if (code > 1)
        return false; // a control notification other than a click
    if (auto it = commands_.find(id); it != commands_.end()) {
        CommandHandler handler = it->second;
        handler();
        return true;
    }
    for (const Range& r : ranges_)
        if (id >= r.first && id <= r.last) {
            RangeHandler handler = r.handler;
            handler(id);
            return true;
        }
    return false;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) {
    return runCommand(wParam) ? TRUE : FALSE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (!header)
        return FALSE;
    auto it =
        wmNotifies_.find((static_cast<ULONGLONG>(header->code) << 32) | static_cast<UINT>(header->idFrom));
    if (it == wmNotifies_.end())
        return FALSE;
    NotifyHandler handler = it->second; // a handler may replace its own entry
    *result = 0;
    handler(header, result);
    return TRUE;
}

void CWnd::OnTimer(UINT_PTR) {}

void CWnd::OnPaint() {
    DefWindowProc(WM_PAINT, 0, 0);
}

BOOL CWnd::OnEraseBkgnd(CDC* dc) {
    return static_cast<BOOL>(DefWindowProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
}

void CWnd::DrawItem(LPDRAWITEMSTRUCT) {}

LRESULT CWnd::OnNcHitTest(POINT screen) {
    return DefWindowProc(WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
}

void CWnd::OnLButtonDown(UINT flags, POINT point) {
    DefWindowProc(WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
}

void CWnd::OnLButtonUp(UINT flags, POINT point) {
    DefWindowProc(WM_LBUTTONUP, flags, MAKELPARAM(point.x, point.y));
}

void CWnd::OnMouseMove(UINT flags, POINT point) {
    DefWindowProc(WM_MOUSEMOVE, flags, MAKELPARAM(point.x, point.y));
}

void CWnd::OnMouseLeave() {
    DefWindowProc(WM_MOUSELEAVE, 0, 0);
}

void CWnd::OnKeyDown(UINT, UINT, UINT) {}

void CWnd::OnSize(UINT, int, int) {}

void CWnd::OnContextMenu(CWnd*, POINT) {}

void CWnd::OnClose() {
    DefWindowProc(WM_CLOSE, 0, 0);
}

void CWnd::OnDestroy() {}

void CWnd::OnSetFocus() {}

void CCmdUI::Enable(BOOL on) {
    if (m_pOther)
        m_pOther->EnableWindow(on);
}

void CCmdUI::SetCheck(int check) {
    if (m_pOther)
        m_pOther->SendMessage(BM_SETCHECK, static_cast<WPARAM>(check), 0);
}

void CCmdUI::SetText(const std::wstring& text) {
    if (m_pOther)
        m_pOther->SetWindowText(text);
}
