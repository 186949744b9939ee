#include "wizard/WizardPage.h"

#include "platform/win32/Text.h"
#include "wizard/QuorraText.h"
#include "wizard/WizardTemplates.h"

namespace {

constexpr int kTitlePixels = 14;

} // namespace

CWizardPage::CWizardPage(const DialogTemplate& pageTemplate, CBoxLink& link)
    : CPropertyPage(pageTemplate), link_(link) {}

BOOL CWizardPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    if (CWnd* title = GetDlgItem(IDC_PAGE_TITLE))
        title->SetFont(GetTemplate().font, kTitlePixels, true);
    return TRUE;
}

std::wstring CWizardPage::Text(int id) const {
    CWnd* control = GetDlgItem(id);
    return control ? control->GetWindowText() : std::wstring();
}

bool CWizardPage::Fits(int id, std::size_t slot, const wchar_t* errorKey) {
    if (platform::ToLegacy(Text(id)).size() <= slot)
        return true;
    TellKey(errorKey, MB_ICONWARNING);
    if (CWnd* control = GetDlgItem(id))
        control->SetFocus();
    return false;
}

void CWizardPage::Tell(const std::wstring& text, UINT icon) {
    MessageBox(text, LoadQuorraString(L"IDS_WIZARD_TITLE"), MB_OK | icon);
}

void CWizardPage::TellKey(const wchar_t* key, UINT icon) {
    Tell(LoadQuorraString(key), icon);
}

void CWizardPage::SetButtons(DWORD flags) {
    if (auto* sheet = dynamic_cast<CPropertySheet*>(GetParent()))
        sheet->SetWizardButtons(flags);
}
