// Helpers of the box-link tests: a window that records what is posted to it (keeping each payload, so the
// pointers in wParam and lParam stay valid), a player that records the dispatcher's calls, and pumping
// with a bound in real time.
#pragma once

#include "media/PlayerControl.h"
#include "platform/win32/Clock.h"
#include "platform/win32/ClockHooks.h"
#include "platform/win32/Messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD tick;
    platform::Payload payload;
};

class Recorder {
public:
    Recorder() {
        hwnd_ = platform::CreateMessageWindow(
            [this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                if (message != WM_DESTROY)
                    posted_.push_back(
                        {message, wParam, lParam, GetTickCount(), platform::TakeDispatchedPayload()});
                return 0;
            });
    }
    ~Recorder() { DestroyWindow(hwnd_); }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    HWND hwnd() const { return hwnd_; }
    const std::vector<Posted>& all() const { return posted_; }
    std::vector<Posted> of(UINT message) const {
        std::vector<Posted> found;
        for (const Posted& p : posted_)
            if (p.message == message)
                found.push_back(p);
        return found;
    }
    int count(UINT message) const { return static_cast<int>(of(message).size()); }
    void clear() { posted_.clear(); }

private:
    HWND hwnd_ = nullptr;
    std::vector<Posted> posted_;
};

// Records the calls in order; RestartLive also notes whether the source/country message was already queued
// for the window under watch and what the restarted generation was at that moment.
class FakePlayerControl : public PlayerControl {
public:
    void FlushAudio() override { add("flush audio"); }
    void FlushVideo() override { add("flush video"); }
    void SetSizeClass(int sizeClass) override { add("size " + std::to_string(sizeClass)); }
    void SetVideoStandard(int standard) override { add("standard " + std::to_string(standard)); }
    HRESULT RestartLive() override {
        add("restart");
        if (onRestart)
            onRestart();
        return S_OK;
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }
    std::function<void()> onRestart;

private:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Pumps the calling thread's queue until done() holds; false after the real-time limit.
inline bool PumpUntilReal(const std::function<bool()>& done,
                          std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        platform::PumpFor(20);
    }
    return true;
}

// A test at a faster scaled clock.
class ScaledLinkTest : public ::testing::Test {
protected:
    explicit ScaledLinkTest(double scale) : scale_(scale) {}
    void SetUp() override { platform::SetTimeScale(scale_); }
    void TearDown() override { platform::SetTimeScale(1.0); }

private:
    double scale_;
};
