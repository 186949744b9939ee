// What the box link asks of the player: the control dispatcher empties the live input rings after a
// channel, source, picture or country change and restarts live view after a change of stream; the stream
// parser hands the received units to the live context the player gives out. The player facade implements
// it; the box link holds a borrowed pointer that the application sets while the player exists.
//
// Threads: the calls come from the control dispatcher thread and the stream parser thread (LiveSink, and
// the restart when the box link follows a change of stream that no reply announced), never from the UI
// thread, and may run while the UI thread uses the player (the player guards what it shares). No call may
// wait for the UI thread: that thread may be closing the control channel, which waits for the dispatcher.
#pragma once

#include "media/LiveUnitSink.h"
#include "platform/win32/Types.h"

#include <memory>

class PlayerControl {
public:
    // Move the read position of the audio or video input ring to its write position.
    virtual void FlushAudio() = 0;
    virtual void FlushVideo() = 0;
    // The picture size class and video standard (0 = 50 Hz rows, 1 = 60 Hz rows) the next live start uses.
    virtual void SetSizeClass(int sizeClass) = 0;
    virtual void SetVideoStandard(int standard) = 0;
    // Stops and starts live view again on the current stream; the result is not acted upon by the caller.
    virtual HRESULT RestartLive() = 0;
    // The live context that takes received units now: null unless the player is in live mode and has a
    // live context. The holder keeps the context alive (media/LiveUnitSink.h).
    virtual std::shared_ptr<LiveUnitSink> LiveSink() { return nullptr; }

protected:
    ~PlayerControl() = default;
};
