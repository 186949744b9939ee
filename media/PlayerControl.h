// What the box link asks of the player: the control dispatcher empties the live input rings after a
// channel, source, picture or country change and restarts live view after a change of stream. The player
// facade implements it; the box link holds a borrowed pointer that the application sets while the player
// exists.
//
// Threads: every call comes from the control dispatcher thread, never from the UI thread, and may run
// while the UI thread uses the player (the player guards what it shares).
#pragma once

#include "platform/win32/Types.h"

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

protected:
    ~PlayerControl() = default;
};
