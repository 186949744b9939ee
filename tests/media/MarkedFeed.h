// Test support: a stream fixture fed into a live context the way the stream receiver's parser thread feeds
// it: the video records through the box link's access-unit assembly (so each unit carries the timestamp of
// the record that completed it), the audio records as they are, in the order the box sends them, paced by
// their timestamps on the scaled clock. The input rings are emptied after each push, as the decode threads
// would. A cue runs on the feeding thread before the first record at or after its time; the feed can be
// held there until released.
#pragma once

#include "boxlink/AccessUnitAssembler.h"
#include "media/AccessUnitKind.h"
#include "media/LiveContext.h"
#include "platform/win32/Clock.h"
#include "tests/support/fakes/StreamFixture.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class MarkedFeed {
public:
    MarkedFeed(const streamfixture::Fixture& fixture, KQ_AV_LiveContext& live)
        : fixture_(fixture), live_(live) {}
    ~MarkedFeed() {
        release();
        join();
    }
    MarkedFeed(const MarkedFeed&) = delete;
    MarkedFeed& operator=(const MarkedFeed&) = delete;

    // Times are ms of the stream after its first record.
    void cue(uint32_t atMs, std::function<void()> action) {
        cues_.push_back({atMs, std::move(action), false});
    }
    void holdAt(uint32_t atMs) {
        cue(atMs, [this] {
            std::unique_lock lock(mutex_);
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
        });
    }
    // Waits until the feed is held (true) or has ended (false).
    bool waitHeld() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return held_ || ended_; });
        return held_;
    }
    void release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // Waits at most ms (real time) for the feed to end; whether it has.
    bool waitEndedFor(int ms) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended_; });
    }

    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void join() {
        if (thread_.joinable())
            thread_.join();
    }

    // Pictures are numbered in stream order from 0: those below this count are in the live context.
    int PicturesPushed() const { return pictures_; }
    int AudioFramesPushed() const { return audioFrames_; }

    // Starts the recording while the feed is held, and lets the feed go on once the record tap is open: the
    // recording begins with the group of pictures cached when the feed was held.
    HRESULT StartRecordWhileHeld(const std::wstring& path) {
        HRESULT result = E_FAIL;
        std::thread starting([&] { result = live_.StartRecord(path); });
        while (!live_.Recording())
            Sleep(1);
        release();
        starting.join();
        return result;
    }

private:
    struct Cue {
        uint32_t atMs;
        std::function<void()> action;
        bool done;
    };

    void run() {
        static const std::atomic<bool> goOn{false};
        const std::vector<streamfixture::Record>& records = fixture_.records();
        const uint32_t first = records.front().timestamp;
        const platform::Duration start = platform::Now();
        AccessUnitAssembler assembler;
        std::vector<BYTE> body;
        for (const streamfixture::Record& record : records) {
            const uint32_t atMs = record.timestamp - first;
            for (Cue& c : cues_)
                if (!c.done && atMs >= c.atMs) {
                    c.done = true;
                    c.action();
                }
            const platform::Duration due = start + std::chrono::milliseconds(atMs);
            if (const platform::Duration now = platform::Now(); now < due)
                Sleep(static_cast<DWORD>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count()));
            body.assign({BYTE(record.timestamp), BYTE(record.timestamp >> 8), BYTE(record.timestamp >> 16),
                         BYTE(record.timestamp >> 24)});
            body.insert(body.end(), record.payload.begin(), record.payload.end());
            if (record.video) {
                const std::span<const BYTE> unit =
                    assembler.Push(body.data(), static_cast<DWORD>(body.size()));
                if (unit.empty())
                    continue;
                const bool picture = ScanMediaUnit(unit.data(), unit.size()).picture;
                live_.PushVideo(unit.data(), static_cast<DWORD>(unit.size()), goOn);
                live_.FlushVideo();
                assembler.Settle(true);
                pictures_ += picture;
            } else {
                live_.PushAudio(body.data(), static_cast<DWORD>(body.size()), goOn);
                live_.FlushAudio();
                ++audioFrames_;
            }
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    const streamfixture::Fixture& fixture_;
    KQ_AV_LiveContext& live_;
    std::vector<Cue> cues_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool ended_ = false;
    std::atomic<int> pictures_{0};
    std::atomic<int> audioFrames_{0};
};
