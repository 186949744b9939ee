#include "platform/mfc/Controls.h"

#include "platform/mfc/App.h"
#include "platform/mfc/MessageBox.h"
#include "platform/mfc/detail/Faces.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

using platform::mfc::FaceAs;
using platform::mfc::FaceKind;

namespace {

platform::mfc::MessageBoxHook& messageBoxHook() {
    static platform::mfc::MessageBoxHook hook;
    return hook;
}

} // namespace

BOOL CButton::Create(const std::wstring& text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"Button", text.c_str(), style | WS_CHILD, rect, parent, id);
}

int CButton::GetCheck() const {
    return static_cast<int>(const_cast<CButton*>(this)->SendMessage(BM_GETCHECK));
}

void CButton::SetCheck(int check) {
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(check));
}

bool CButton::IsPushed() const {
    return part() && part()->pressed && part()->hot;
}

BOOL CStatic::Create(const std::wstring& text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"Static", text.c_str(), style | WS_CHILD, rect, parent, id);
}

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"Edit", L"", style | WS_CHILD, rect, parent, id);
}

void CEdit::LimitText(int characters) {
    if (auto* edit = FaceAs<QLineEdit>(this))
        edit->setMaxLength(characters > 0 ? characters : 32767);
}

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"ComboBox", L"", style | WS_CHILD, rect, parent, id);
}

int CComboBox::AddString(const std::wstring& text) {
    auto* combo = FaceAs<QComboBox>(this);
    if (!combo)
        return CB_ERR;
    const QString keep = combo->currentText();
    combo->addItem(QString::fromStdWString(text));
    if (combo->lineEdit())
        combo->lineEdit()->setText(keep); // adding an item leaves the edit field as it was
    return combo->count() - 1;
}

int CComboBox::GetCount() const {
    auto* combo = FaceAs<QComboBox>(this);
    return combo ? combo->count() : 0;
}

std::wstring CComboBox::GetLBText(int index) const {
    auto* combo = FaceAs<QComboBox>(this);
    return combo && index >= 0 && index < combo->count() ? combo->itemText(index).toStdWString()
                                                         : std::wstring();
}

int CComboBox::FindString(int start, const std::wstring& prefix) const {
    auto* combo = FaceAs<QComboBox>(this);
    if (!combo || combo->count() == 0)
        return CB_ERR;
    const QString p = QString::fromStdWString(prefix);
    const int n = combo->count();
    const int first = start < 0 || start >= n ? 0 : start + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (first + k) % n;
        if (combo->itemText(i).startsWith(p, Qt::CaseInsensitive))
            return i;
    }
    return CB_ERR;
}

int CComboBox::SetCurSel(int index) {
    auto* combo = FaceAs<QComboBox>(this);
    if (!combo || index >= combo->count())
        return CB_ERR;
    combo->setCurrentIndex(index);
    if (index < 0 && combo->lineEdit())
        combo->lineEdit()->clear();
    return index;
}

int CComboBox::GetCurSel() const {
    auto* combo = FaceAs<QComboBox>(this);
    return combo ? combo->currentIndex() : CB_ERR;
}

int CComboBox::SetItemData(int index, DWORD_PTR data) {
    auto* combo = FaceAs<QComboBox>(this);
    if (!combo || index < 0 || index >= combo->count())
        return CB_ERR;
    combo->setItemData(index, QVariant::fromValue<qulonglong>(data));
    return 0;
}

DWORD_PTR CComboBox::GetItemData(int index) const {
    auto* combo = FaceAs<QComboBox>(this);
    if (!combo || index < 0 || index >= combo->count())
        return static_cast<DWORD_PTR>(CB_ERR);
    return static_cast<DWORD_PTR>(combo->itemData(index).toULongLong());
}

void CComboBox::ResetContent() {
    if (auto* combo = FaceAs<QComboBox>(this))
        combo->clear();
}

BOOL CComboBox::LimitText(int characters) {
    auto* combo = FaceAs<QComboBox>(this);
    if (!combo || !combo->lineEdit())
        return FALSE;
    combo->lineEdit()->setMaxLength(characters > 0 ? characters : 32767);
    return TRUE;
}

BOOL CIPAddressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, L"SysIPAddress32", L"", style | WS_CHILD, rect, parent, id);
}

int CIPAddressCtrl::GetAddress(DWORD& address) const {
    address = 0;
    auto* ip = part() ? dynamic_cast<platform::mfc::IpAddressFace*>(part()->face.data()) : nullptr;
    return ip ? ip->address(address) : 0;
}

void CIPAddressCtrl::SetAddress(DWORD address) {
    if (auto* ip = part() ? dynamic_cast<platform::mfc::IpAddressFace*>(part()->face.data()) : nullptr)
        ip->setAddress(address);
}

void CIPAddressCtrl::ClearAddress() {
    if (auto* ip = part() ? dynamic_cast<platform::mfc::IpAddressFace*>(part()->face.data()) : nullptr)
        ip->clear();
}

BOOL CToolTipCtrl::Create(CWnd* owner) {
    owner_ = owner;
    return owner != nullptr;
}

BOOL CToolTipCtrl::AddTool(CWnd* control, const std::wstring& text) {
    if (!control)
        return FALSE;
    UpdateTipText(text, control);
    return TRUE;
}

void CToolTipCtrl::UpdateTipText(const std::wstring& text, CWnd* control) {
    auto it =
        std::find_if(tools_.begin(), tools_.end(), [control](const auto& t) { return t.first == control; });
    if (it == tools_.end())
        tools_.emplace_back(control, text);
    else
        it->second = text;
    apply(control);
}

void CToolTipCtrl::Activate(BOOL active) {
    active_ = active != FALSE;
    for (const auto& t : tools_)
        apply(t.first);
}

std::wstring CToolTipCtrl::GetText(CWnd* control) const {
    auto it =
        std::find_if(tools_.begin(), tools_.end(), [control](const auto& t) { return t.first == control; });
    return it == tools_.end() ? std::wstring() : it->second;
}

void CToolTipCtrl::apply(CWnd* control) const {
    if (!control->part() || !control->part()->face)
        return;
    control->part()->face->setToolTip(active_ ? QString::fromStdWString(GetText(control)) : QString());
}

int MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    const std::wstring t = text ? text : L"";
    const std::wstring c = caption ? caption : L"";
    if (messageBoxHook())
        return messageBoxHook()(owner, t, c, type);
    platform::mfc::EnsureToolkit();
    CWnd* wnd = CWnd::FromHandle(owner);
    QWidget* parent = wnd && wnd->part() ? wnd->part()->face.data() : nullptr;
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromStdWString(c));
    box.setText(QString::fromStdWString(t));
    switch (type & 0xF0) {
    case MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case MB_ICONINFORMATION:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    switch (type & 0xF) {
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // Its keys are its own (Enter the default button, Escape the cancel or only one); without a window
    // manager nobody else gives it the keyboard.
    box.setWindowModality(Qt::ApplicationModal); // as exec makes it, before it shows
    box.show();
    box.activateWindow();
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

namespace platform::mfc {

void SetMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook() = std::move(hook);
}

} // namespace platform::mfc
