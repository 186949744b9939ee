#include "boxlink/relay/ServerRelayPath.h"

#include "boxlink/BoxMessages.h"
#include "boxlink/WindowPost.h"
#include "boxlink/relay/Rendezvous.h"
#include "config/AppConfig.h"
#include "platform/win32/Text.h"

#include <memory>

namespace {

void postStage(HWND mainWindow, int stage) {
    const wchar_t* text = nullptr;
    LPARAM target = BOX_STATUS_LINE;
    switch (stage) {
    case 2:
        text = L"Connecting to Server";
        target = BOX_STATUS_TEXT_CONTROL;
        break;
    case 3:
        text = L"Verifying Device...";
        break;
    case 4:
        text = L"Connecting to Device";
        break;
    default:
        return;
    }
    auto owned = std::make_shared<std::wstring>(text);
    const WPARAM data = reinterpret_cast<WPARAM>(owned->c_str());
    PostToWindow(mainWindow, WM_BOX_STATUS_TEXT, data, target, std::move(owned));
    PostToWindow(mainWindow, WM_BOX_CONNECT_PROGRESS, static_cast<WPARAM>(stage), stage);
}

} // namespace

ServerRelayPath::ServerRelayPath(const BoxLinkState& link, KQ_AppConfig* config)
    : link_(link), config_(config) {}

int ServerRelayPath::RunServerRendezvous(const std::wstring& server1, const std::wstring& server2,
                                         const std::wstring& deviceId, SOCKET& control, SOCKET& stream,
                                         std::string& boxAddress) {
    std::wstring address;
    bool accepted = false;
    const int result = ::RunServerRendezvous(
        server1, server2, deviceId, &control, &stream, &address,
        [this](int stage) { postStage(link_.mainWindow.load(), stage); }, &accepted);
    if (accepted && config_)
        config_->m_boxAddress = address;
    boxAddress = platform::ToLegacy(address);
    return result;
}

void ServerRelayPath::ResetRendezvousState() {
    ::ResetRendezvousState();
}

void ServerRelayPath::UnmapRendezvousPorts() {
    ::UnmapRendezvousPorts();
}
