// The fixture's records as the box sends them live. LiveRecords is the stream of one loop, read once and
// shared (immutable); LiveFeed is one connection's run through it: it loops without a seam (each loop's
// timestamps follow the last one's, and a loop starts with the IDR and its parameter sets), paces the
// records by their timestamps on the scaled clock, and after a change of stream on the box goes on with
// record types 16 higher from the start of the loop, after the pause the box's encoder takes to restart.
#pragma once

#include "tests/support/fakes/StreamFixture.h"

#include "platform/win32/Clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testbox {

// The pause of the stream when the box restarts its encoder; the timestamps jump by as much.
constexpr std::uint32_t kRestartGapMs = 500;

struct LiveRecord {
    bool video = false;
    std::uint32_t timestamp = 0;       // ms
    std::vector<std::uint8_t> payload; // one NAL unit without start code, or one ADTS frame
};

class LiveRecords {
public:
    // The records of one loop: every video record, and the audio records that start before the loop ends.
    // The loop lasts from the first record to one picture interval after the last picture.
    explicit LiveRecords(const streamfixture::Fixture& fixture);
    static std::shared_ptr<const LiveRecords> Load(const std::string& folder); // throws when unreadable

    const std::vector<LiveRecord>& Records() const { return records_; }
    std::uint32_t Period() const { return period_; }     // ms
    std::uint32_t Interval() const { return interval_; } // ms between pictures

private:
    std::vector<LiveRecord> records_;
    std::uint32_t period_ = 0;
    std::uint32_t interval_ = 0;
};

class LiveFeed {
public:
    // Starts now with the first record, record types 15 (video) and 10 (audio).
    explicit LiveFeed(std::shared_ptr<const LiveRecords> records);

    platform::Duration Due() const; // when the next record is due, on the scaled clock
    // The next record on the wire, with the box's running count in bytes 3..6. A feed that fell behind (its
    // connection did not take the bytes) goes on from now rather than catching up in a burst.
    std::vector<std::uint8_t> Take();
    void NewGeneration();

private:
    std::shared_ptr<const LiveRecords> records_;
    platform::Duration start_;
    std::size_t next_ = 0;
    std::uint32_t offset_ = 0;    // added to the fixture's timestamps
    std::uint32_t firstSent_ = 0; // the first timestamp sent: the pace's zero
    std::uint32_t lastSent_ = 0;
    bool sent_ = false;
    std::uint32_t count_ = 0;
    std::uint8_t generation_ = 0;
};

} // namespace testbox
