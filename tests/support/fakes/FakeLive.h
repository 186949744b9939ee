// Test support: a live context that keeps every unit pushed into it, and a player that gives it out while
// it is in live mode. The live context can act full: a push then waits, as a full input ring makes it,
// until the receiver stops.
#pragma once

#include "media/LiveUnitSink.h"
#include "media/PlayerControl.h"
#include "platform/win32/Clock.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class FakeLiveSink final : public LiveUnitSink {
public:
    using Unit = std::vector<std::uint8_t>;

    int PushVideo(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) override {
        return push(video_, unit, length, stop);
    }
    int PushAudio(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) override {
        return push(audio_, unit, length, stop);
    }
    DWORD GetVideoFill() override { return videoFill; }

    std::vector<Unit> Video() const {
        std::lock_guard lock(mutex_);
        return video_;
    }
    std::vector<Unit> Audio() const {
        std::lock_guard lock(mutex_);
        return audio_;
    }
    // Waits on the scaled clock until at least count units of the kind came in.
    bool WaitVideo(std::size_t count, DWORD timeoutMs) { return waitFor(video_, count, timeoutMs); }
    bool WaitAudio(std::size_t count, DWORD timeoutMs) { return waitFor(audio_, count, timeoutMs); }
    bool WaitPushWaiting(DWORD timeoutMs) {
        std::unique_lock lock(mutex_);
        return platform::WaitUntilScaled(changed_, lock, platform::DeadlineAfter(timeoutMs),
                                         [&] { return waiting_ > 0; });
    }

    std::atomic<DWORD> videoFill{100};
    std::atomic<bool> full{false};

private:
    int push(std::vector<Unit>& units, const BYTE* unit, DWORD length, const std::atomic<bool>& stop) {
        if (full) {
            {
                std::lock_guard lock(mutex_);
                ++waiting_;
            }
            changed_.notify_all();
            while (full && !stop)
                Sleep(1);
            if (stop)
                return 0;
        }
        {
            std::lock_guard lock(mutex_);
            units.emplace_back(unit, unit + length);
        }
        changed_.notify_all();
        return 1;
    }
    bool waitFor(const std::vector<Unit>& units, std::size_t count, DWORD timeoutMs) {
        std::unique_lock lock(mutex_);
        return platform::WaitUntilScaled(changed_, lock, platform::DeadlineAfter(timeoutMs),
                                         [&] { return units.size() >= count; });
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Unit> video_, audio_;
    int waiting_ = 0;
};

// The player as the box link's stream side meets it: live units go to `sink` while `live` holds. The fuzz
// targets give it a sink that drops what it is given.
template <class Sink> class FakeLivePlayerOf final : public PlayerControl {
public:
    void FlushAudio() override {}
    void FlushVideo() override {}
    void SetSizeClass(int) override {}
    void SetVideoStandard(int) override {}
    HRESULT RestartLive() override { return S_OK; }
    std::shared_ptr<LiveUnitSink> LiveSink() override { return live ? sink : nullptr; }

    std::atomic<bool> live{true};
    std::shared_ptr<Sink> sink = std::make_shared<Sink>();
};

using FakeLivePlayer = FakeLivePlayerOf<FakeLiveSink>;
