// The new-profile dialog of the Remoter page: the name of a new IR remote profile, which must not be empty
// nor the name of a profile the store holds.
#pragma once

#include "platform/mfc/Dialog.h"

#include <string>

constexpr int IDC_NP_LABEL = 1801;
constexpr int IDC_NP_NAME = 1802;
// Profile names travel to the box with their byte length in front; this many characters always fit.
constexpr int kProfileNameCharacters = 32;

class KQ_UI_NewProfileDialog : public CDialog {
public:
    explicit KQ_UI_NewProfileDialog(CWnd* parent);
    static const DialogTemplate& Template(); // 196

    BOOL OnInitDialog() override;
    void OnOK() override;

    const std::wstring& Name() const { return name_; }

private:
    std::wstring name_;
};
