// The duration the live video thread gives each frame: the base duration is the distance to the previous
// unit's timestamp (40 ms for the first unit after the ring ran empty, and for a distance of 0 or above
// 2000 ms), corrected by how far the unit is behind or ahead of the audio clock, so that the picture stays
// in step with the sound. Used by the video thread only.
#pragma once

#include "platform/win32/Types.h"

class VideoPacer {
public:
    static constexpr int kBaseMs = 40;
    static constexpr DWORD kLongestGapMs = 2000;
    static constexpr int kInStepMs = 40;

    // The duration in ms (at least 1) of the unit with this timestamp against the audio clock.
    int Next(DWORD timestamp, DWORD audioClock) {
        if (!havePrevious_)
            base_ = kBaseMs;
        else if (timestamp != previous_) {
            const DWORD gap = timestamp - previous_;
            base_ = gap == 0 || gap > kLongestGapMs ? kBaseMs : static_cast<int>(gap);
        }
        previous_ = timestamp;
        havePrevious_ = true;

        const auto lead = static_cast<LONG>(timestamp - audioClock); // > 0: video ahead of the sound
        int duration = base_;
        if (lead < -kInStepMs) {
            adjustment_ = lead < -1000 ? 25 : lead < -500 ? 20 : 15;
            duration = base_ - adjustment_;
        } else if (lead > kInStepMs) {
            if (lead <= 500)
                adjustment_ = 5;
            else if (lead > 5000)
                adjustment_ = 300;
            else if (lead > 3000)
                adjustment_ = 200;
            else if (lead > 1500)
                adjustment_ = 100;
            duration = base_ + adjustment_; // 500 < lead <= 1500 keeps the last adjustment
        }
        return duration < 1 ? 1 : duration;
    }

    // The ring ran empty: the next unit gets the base duration.
    void Forget() { havePrevious_ = false; }

private:
    DWORD previous_ = 0;
    bool havePrevious_ = false;
    int base_ = kBaseMs;
    int adjustment_ = 0;
};
