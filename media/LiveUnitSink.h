// What the stream receiver hands its units to: the live context of the current live view. The live
// context implements it; the player gives it out (media/PlayerControl.h) only while it is in live mode with
// a live context.
//
// Ownership and threads: the receiver's parser thread holds the shared pointer for the length of one
// record, so the live context is not freed while a push runs; the context's own tear-down waits for a push
// in progress to return and makes later pushes return at once. Pushes come from the parser thread only (the
// single writer of the input rings). A push that waits for room in a full ring returns 0 as soon as stop
// becomes true, so that stopping the receiver never waits on a stalled decoder.
#pragma once

#include "platform/win32/Types.h"

#include <atomic>

class LiveUnitSink {
public:
    virtual ~LiveUnitSink() = default;

    // One MediaUnit: the u32 timestamp in ms, then one access unit in Annex B form with 4-byte start codes
    // (video) or one ADTS frame (audio). 1 once the unit is queued (or there is no ring to queue it in), 0
    // when stop ended the wait. The unit is copied; the caller keeps its buffer.
    virtual int PushVideo(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) = 0;
    virtual int PushAudio(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) = 0;
    // The free share of the video input ring in whole percent; 100 when empty or absent.
    virtual DWORD GetVideoFill() = 0;
};
