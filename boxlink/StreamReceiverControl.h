// What the connection manager asks of the audio/video stream receiver: start it after a login, stop it at
// disconnect. The receiver is owned by KQ_TCP_BoxClient once installed.
#pragma once

#include "platform/net/Winsock.h"

#include <string>

class StreamReceiverControl {
public:
    virtual ~StreamReceiverControl() = default;
    // LAN mode: the receiver opens its own connection to the box's stream port at the dotted address.
    virtual void StartLan(const std::string& boxAddress) = 0;
    // Relay mode: the receiver takes the connected audio/video socket; it is then its only owner, closes it
    // once and forgets it, so no other path closes it again.
    virtual void StartRelay(SOCKET stream) = 0;
    // Stops both threads and waits for them (bounded).
    virtual void Stop() = 0;
};
