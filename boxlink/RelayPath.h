// What the connection manager asks of the relay-server path when a login by device ID finds no box on the
// LAN. The path is owned by KQ_TCP_BoxClient once installed; without one, such a login fails with 1005.
#pragma once

#include "platform/net/Winsock.h"

#include <string>

class RelayPath {
public:
    virtual ~RelayPath() = default;
    // 1000 with both sockets connected and handed to the caller, or a failure code 1001 to 1013 with the box
    // address of the last accepted server reply (empty when none came) and no socket.
    virtual int RunServerRendezvous(const std::wstring& server1, const std::wstring& server2,
                                    const std::wstring& deviceId, SOCKET& control, SOCKET& stream,
                                    std::string& boxAddress) = 0;
    virtual void ResetRendezvousState() = 0;
    // Deletes the router's two port mappings of the rendezvous.
    virtual void UnmapRendezvousPorts() = 0;
};
