// The hysteresis by which the audio fill runs and pauses the live graph: the graph first runs when more
// than 8192 bytes of audio are queued, pauses when a unit finds the audio input ring empty, and runs again
// only when more than 8192 bytes are queued again. Used by the live context on the parser thread.
#pragma once

#include "platform/win32/Types.h"

class AudioFillPacer {
public:
    static constexpr DWORD kThreshold = 8192;

    enum Action { None, Run, Pause };

    // One step with the bytes queued in the audio input ring before the unit about to be written.
    Action Step(DWORD used) {
        if (used > threshold_) {
            if (running_)
                return None;
            threshold_ = 0;
            running_ = true;
            paused_ = false;
            return Run;
        }
        if (paused_ || !running_)
            return None;
        threshold_ = kThreshold;
        paused_ = true;
        running_ = false;
        return Pause;
    }

    // Back to the state of a new live start: nothing run yet, threshold 8192.
    void Reset() { *this = AudioFillPacer(); }

private:
    DWORD threshold_ = kThreshold;
    bool running_ = false;
    bool paused_ = false;
};
