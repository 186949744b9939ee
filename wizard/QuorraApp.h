// The wizard's application object: at start it makes the one box link and runs the wizard's sheet; at the
// end it deletes the link, which says goodbye to the box and removes a temporary address.
#pragma once

#include "platform/mfc/App.h"
#include "wizard/BoxLink.h"

#include <memory>

class CQuorraApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    std::unique_ptr<CBoxLink> m_pBoxLink;
};
