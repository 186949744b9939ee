// Test support: what a player shows and plays. A surface that keeps every frame presented to its window,
// and where the PCM FAAD2 makes of a stream is found in what SDL's disk driver played.
#pragma once

#include "platform/dshow/VideoSurface.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace capture {

using Bytes = std::vector<uint8_t>;

// Keeps a copy of every frame presented to its window.
class RecordingSurface final : public platform::dshow::VideoSurface {
public:
    void Present(const platform::dshow::VideoFrame& frame) override {
        std::lock_guard lock(mutex_);
        pitch_ = frame.pitch;
        frames_.emplace_back(frame.data, frame.data + static_cast<size_t>(frame.pitch) * frame.height);
    }
    std::vector<Bytes> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    size_t count() const {
        std::lock_guard lock(mutex_);
        return frames_.size();
    }
    int pitch() const {
        std::lock_guard lock(mutex_);
        return pitch_;
    }

private:
    mutable std::mutex mutex_;
    int pitch_ = 0;
    std::vector<Bytes> frames_;
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
