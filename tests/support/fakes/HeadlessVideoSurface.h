// A video surface without a window: keeps the last frame the renderer gave it, for tests of the renderer
// and the graphs.
#pragma once

#include "platform/dshow/VideoSurface.h"

#include <mutex>

class HeadlessVideoSurface final : public platform::dshow::VideoSurface {
public:
    void Present(const platform::dshow::VideoFrame& frame) override {
        std::lock_guard lock(mutex_);
        ++presented_;
        last_ = frame;
    }
    int presented() const {
        std::lock_guard lock(mutex_);
        return presented_;
    }
    platform::dshow::VideoFrame last() const {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    mutable std::mutex mutex_;
    int presented_ = 0;
    platform::dshow::VideoFrame last_;
};
