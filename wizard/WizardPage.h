// What the wizard's three pages share: the box link they call, their title, their messages, and the checks
// of what the user typed, each refused with a message on its page.
#pragma once

#include "platform/mfc/PropertySheet.h"
#include "wizard/BoxLink.h"

#include <string>

class CWizardPage : public CPropertyPage {
public:
    CWizardPage(const DialogTemplate& pageTemplate, CBoxLink& link);
    BOOL OnInitDialog() override;

protected:
    std::wstring Text(int id) const;
    // Whether the control's text fits its slot of bytes in the ANSI code page; otherwise tells the message
    // of errorKey and puts the focus on the control.
    bool Fits(int id, std::size_t slot, const wchar_t* errorKey);
    // A message box on this page with the text (of the key).
    void Tell(const std::wstring& text, UINT icon = MB_ICONINFORMATION);
    void TellKey(const wchar_t* key, UINT icon = MB_ICONINFORMATION);
    void SetButtons(DWORD flags);

    CBoxLink& link_;
};
