#include "wizard/QuorraApp.h"

#include "wizard/WizardFrame.h"

BOOL CQuorraApp::InitInstance() {
    m_pBoxLink = std::make_unique<CBoxLink>();
    CWizardFrame wizard(*m_pBoxLink);
    m_pMainWnd = &wizard;
    wizard.DoModal();
    m_pMainWnd = nullptr;
    // The wizard is the whole program: no message loop after it.
    return FALSE;
}

int CQuorraApp::ExitInstance() {
    m_pBoxLink.reset();
    return CWinApp::ExitInstance();
}
