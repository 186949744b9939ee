// The relay path the application installs in the connection manager (KQ_TCP_BoxClient::SetRelayPath).
// It runs the rendezvous on the login thread, tells the main window each stage (WM_BOX_STATUS_TEXT and
// WM_BOX_CONNECT_PROGRESS, posted from the exchange thread), stores the box's address from the accepted
// server reply in the configuration's m_boxAddress, and removes the router mappings when asked.
#pragma once

#include "boxlink/BoxLinkState.h"
#include "boxlink/RelayPath.h"

class KQ_AppConfig;

class ServerRelayPath : public RelayPath {
public:
    // Both are borrowed and outlive the path; config may be null (nothing is stored then).
    ServerRelayPath(const BoxLinkState& link, KQ_AppConfig* config);

    int RunServerRendezvous(const std::wstring& server1, const std::wstring& server2,
                            const std::wstring& deviceId, SOCKET& control, SOCKET& stream,
                            std::string& boxAddress) override;
    void ResetRendezvousState() override;
    void UnmapRendezvousPorts() override;

private:
    const BoxLinkState& link_;
    KQ_AppConfig* config_;
};
