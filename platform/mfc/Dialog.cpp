#include "platform/mfc/Dialog.h"

#include "platform/mfc/CommonControls.h"
#include "platform/mfc/Controls.h"
#include "platform/mfc/detail/Faces.h"
#include "platform/mfc/detail/Loop.h"

#include <QPlainTextEdit>
#include <QPushButton>

using platform::mfc::FaceKind;

namespace {

platform::mfc::ModalHook& modalHook() {
    static platform::mfc::ModalHook hook;
    return hook;
}

int mulDiv(int value, int numerator, int denominator) {
    const long long v = static_cast<long long>(value) * numerator;
    return static_cast<int>((v >= 0 ? v + denominator / 2 : v - denominator / 2) / denominator);
}

// The object of a template control: of the control class its Win32 class stands for, so that code may
// treat GetDlgItem's answer as that class.
std::unique_ptr<CWnd> controlObject(const std::wstring& className, DWORD style) {
    switch (platform::mfc::KindOf(className, style)) {
    case FaceKind::PushButton:
    case FaceKind::CheckBox:
    case FaceKind::RadioButton:
    case FaceKind::OwnerButton:
        return std::make_unique<CButton>();
    case FaceKind::Static:
    case FaceKind::OwnerStatic:
    case FaceKind::EtchedLine:
        return std::make_unique<CStatic>();
    case FaceKind::Edit:
        return std::make_unique<CEdit>();
    case FaceKind::Combo:
        return std::make_unique<CComboBox>();
    case FaceKind::IpAddress:
        return std::make_unique<CIPAddressCtrl>();
    case FaceKind::Tab:
        return std::make_unique<CTabCtrl>();
    case FaceKind::DateTime:
        return std::make_unique<CDateTimeCtrl>();
    case FaceKind::ListView:
        return std::make_unique<CListCtrl>();
    case FaceKind::Spin:
        return std::make_unique<CSpinButtonCtrl>();
    case FaceKind::Slider:
        return std::make_unique<CSliderCtrl>();
    case FaceKind::Plain:
        break;
    }
    return std::make_unique<CWnd>();
}

// The dialog's default push button when it can be pressed.
QPushButton* defaultButton(const CWnd& dialog) {
    for (CWnd* child : dialog.Children()) {
        const platform::mfc::WindowPart* p = child->part();
        if (p && !p->topLevel && p->kind == FaceKind::PushButton &&
            (p->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && p->face && !p->face->isHidden() &&
            child->IsWindowEnabled())
            return static_cast<QPushButton*>(p->face.data());
    }
    return nullptr;
}

} // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate, CWnd* parent)
    : template_(dialogTemplate), parentAtConstruction_(parent) {}

CDialog::~CDialog() = default;

void CDialog::MapDialogRect(RECT* rect) const {
    if (template_.pixels)
        return;
    // Base units of the template font: 6 x 13 pixels at 8 points.
    const int baseX = 6 * template_.pointSize;
    const int baseY = 13 * template_.pointSize;
    rect->left = mulDiv(rect->left, baseX, 4 * 8);
    rect->right = mulDiv(rect->right, baseX, 4 * 8);
    rect->top = mulDiv(rect->top, baseY, 8 * 8);
    rect->bottom = mulDiv(rect->bottom, baseY, 8 * 8);
}

BOOL CDialog::createWindow(CWnd* parent) {
    if (m_hWnd)
        return FALSE;
    // A WS_CHILD template (a property page) makes a child of parent at the template's place in its client
    // area; any other a top-level window placed from parent's top-left corner.
    const bool child = (template_.style & WS_CHILD) && parent && parent->m_hWnd;
    RECT r{template_.x, template_.y, template_.x + template_.cx, template_.y + template_.cy};
    MapDialogRect(&r);
    if (!child && parent && parent->m_hWnd) {
        RECT pr;
        parent->GetWindowRect(&pr);
        r.left += pr.left;
        r.right += pr.left;
        r.top += pr.top;
        r.bottom += pr.top;
    }
    const DWORD style = child ? template_.style & ~WS_VISIBLE : template_.style & ~(WS_VISIBLE | WS_CHILD);
    if (!CreateEx(template_.exStyle, L"#32770", template_.caption.c_str(), style, r, parent,
                  static_cast<UINT>(template_.id)))
        return FALSE;
    // The client area is the template's size, whatever frame the window system adds.
    part()->face->resize(r.right - r.left, r.bottom - r.top);
    for (const DialogItem& item : template_.items) {
        RECT ir{item.x, item.y, item.x + item.cx, item.y + item.cy};
        MapDialogRect(&ir);
        std::unique_ptr<CWnd> control = controlObject(item.className, item.style);
        control->CreateEx(0, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD, ir, this,
                          static_cast<UINT>(item.id));
        part()->spares.push_back(std::move(control));
    }
    // As a dialog gives its controls its font: the owner-drawn ones draw their texts in it too.
    SetFont(template_.font, mulDiv(template_.pointSize, 96, 72));
    if ((template_.style & DS_CENTER) && !child)
        CenterWindow();
    OnInitDialog();
    return TRUE;
}

INT_PTR CDialog::DoModal() {
    modal_ = true;
    result_ = IDCANCEL;
    endCalled_ = false;
    CWnd* parent = parentAtConstruction_;
    if (!createWindow(parent)) {
        modal_ = false;
        return -1;
    }
    if (modalHook()) {
        const INT_PTR answer = modalHook()(*this);
        if (!endCalled_)
            result_ = static_cast<int>(answer);
    } else if (!endCalled_) {
        // Like a modal dialog that disables its owner: the owner's family waits, other windows do not.
        part()->face->setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
        ShowWindow(SW_SHOW);
        part()->face->activateWindow(); // the keyboard comes here, with or without a window manager
        const int code = platform::mfc::RunModalLoop(&loop_);
        if (code == platform::mfc::kLoopQuit)
            result_ = IDCANCEL;
    }
    DestroyWindow();
    modal_ = false;
    return result_;
}

BOOL CDialog::Create(CWnd* parent) {
    modal_ = false;
    if (!createWindow(parent ? parent : parentAtConstruction_))
        return FALSE;
    if (template_.style & WS_VISIBLE)
        ShowWindow(SW_SHOW);
    return TRUE;
}

void CDialog::EndDialog(int result) {
    result_ = result;
    endCalled_ = true;
    if (modal_)
        platform::mfc::EndModalLoop(loop_, result);
    else
        ShowWindow(SW_HIDE);
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCommand(wParam, lParam))
        return TRUE;
    const WORD code = HIWORD(wParam);
    if (code > 1)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    default:
        return FALSE;
    }
}

void CDialog::OnClose() {
    OnCancel();
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
    if (msg->message != WM_KEYDOWN)
        return FALSE;
    CWnd* focus = CWnd::FromHandle(msg->hwnd);
    const FaceKind kind = focus && focus->part() ? focus->part()->kind : FaceKind::Plain;
    switch (msg->wParam) {
    case VK_RETURN:
        if (kind == FaceKind::PushButton) {
            static_cast<QPushButton*>(focus->part()->face.data())->click();
            return TRUE;
        }
        if (kind == FaceKind::Edit && focus->part() &&
            qobject_cast<QPlainTextEdit*>(focus->part()->face.data()))
            return FALSE;
        if (QPushButton* button = defaultButton(*this)) {
            button->click();
            return TRUE;
        }
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    case VK_ESCAPE:
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    default:
        return FALSE;
    }
}

namespace platform::mfc {

void SetModalHook(ModalHook hook) {
    modalHook() = std::move(hook);
}

} // namespace platform::mfc
