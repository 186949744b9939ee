// Test support: what a player shows and plays. A surface that keeps (a copy of) every picture presented to
// its window, and where the PCM FAAD2 makes of a stream is found in what SDL's disk driver played.
#pragma once

#include "platform/dshow/VideoSurface.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace capture {

using Bytes = std::vector<uint8_t>;
using Frame = std::vector<std::uint32_t>; // a picture's pixels, as the renderer presented them

// Keeps a copy of every frame presented to its window.
class RecordingSurface final : public platform::dshow::VideoSurface {
public:
    void Present(const platform::dshow::VideoFrame& frame) override {
        if (!frame.picture)
            return;
        const platform::dshow::VideoPicture& p = *frame.picture;
        std::lock_guard lock(mutex_);
        frames_.emplace_back(p.pixels.get(), p.pixels.get() + static_cast<size_t>(p.width) * p.height);
    }
    std::vector<Frame> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    size_t count() const {
        std::lock_guard lock(mutex_);
        return frames_.size();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Frame> frames_;
};

// Where the expected samples begin in what SDL played (silence comes before them), found by their first
// sound, and how many bytes from there on agree; npos when the sound is not found.
struct Match {
    size_t begin = std::string::npos;
    size_t agreeing = 0;
};

inline Match findSamples(const Bytes& played, const Bytes& expected) {
    const auto sound = std::find_if(expected.begin(), expected.end(), [](uint8_t b) { return b != 0; });
    const size_t lead = static_cast<size_t>(sound - expected.begin());
    const size_t probe = std::min<size_t>(expected.size() - lead, 1024);
    const auto found = std::search(played.begin(), played.end(), sound, sound + static_cast<long>(probe));
    Match match;
    if (found == played.end() || static_cast<size_t>(found - played.begin()) < lead)
        return match;
    match.begin = static_cast<size_t>(found - played.begin()) - lead;
    const auto mismatch = std::mismatch(played.begin() + static_cast<long>(match.begin), played.end(),
                                        expected.begin(), expected.end());
    match.agreeing = static_cast<size_t>(mismatch.second - expected.begin());
    return match;
}

} // namespace capture
