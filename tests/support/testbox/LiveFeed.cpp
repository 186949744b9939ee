#include "tests/support/testbox/LiveFeed.h"

#include <algorithm>
#include <stdexcept>

namespace testbox {

namespace {

// A feed that fell further behind than this starts its pace again from now.
constexpr std::chrono::milliseconds kMaxLag{500};

std::uint32_t rel(std::uint32_t later, std::uint32_t earlier) {
    return later - earlier;
}

} // namespace

LiveRecords::LiveRecords(const streamfixture::Fixture& fixture) {
    const std::vector<streamfixture::Record>& all = fixture.records();
    if (all.empty() || !all.front().video)
        throw std::runtime_error("test box: the live stream must begin with a picture");
    const std::uint32_t first = all.front().timestamp;
    std::uint32_t lastPicture = first, previousPicture = first;
    for (const streamfixture::Record& r : all)
        if (r.video && r.timestamp != lastPicture) {
            previousPicture = lastPicture;
            lastPicture = r.timestamp;
        }
    interval_ = std::max<std::uint32_t>(1, rel(lastPicture, previousPicture));
    period_ = rel(lastPicture, first) + interval_;
    for (const streamfixture::Record& r : all)
        if (r.video || rel(r.timestamp, first) < period_)
            records_.push_back(LiveRecord{r.video, r.timestamp, r.payload});
}

std::shared_ptr<const LiveRecords> LiveRecords::Load(const std::string& folder) {
    return std::make_shared<const LiveRecords>(streamfixture::Fixture(folder));
}

LiveFeed::LiveFeed(std::shared_ptr<const LiveRecords> records)
    : records_(std::move(records)), start_(platform::Now()) {}

platform::Duration LiveFeed::Due() const {
    const std::uint32_t timestamp = records_->Records()[next_].timestamp + offset_;
    return sent_ ? start_ + std::chrono::milliseconds(rel(timestamp, firstSent_)) : start_;
}

std::vector<std::uint8_t> LiveFeed::Take() {
    const LiveRecord& r = records_->Records()[next_];
    const std::uint32_t timestamp = r.timestamp + offset_;
    const platform::Duration now = platform::Now();
    if (!sent_) {
        firstSent_ = timestamp;
        start_ = now;
        sent_ = true;
    } else if (now - Due() > kMaxLag) {
        start_ += now - Due();
    }
    lastSent_ = timestamp;
    std::vector<std::uint8_t> out;
    const std::uint8_t type = static_cast<std::uint8_t>((r.video ? 15 : 10) + 16 * generation_);
    streamfixture::appendMediaRecord(out, type, timestamp, r.payload, count_++);
    if (++next_ == records_->Records().size()) {
        next_ = 0;
        offset_ += records_->Period();
    }
    return out;
}

void LiveFeed::NewGeneration() {
    ++generation_;
    if (!sent_)
        return;
    next_ = 0;
    offset_ = lastSent_ + kRestartGapMs + records_->Interval() - records_->Records().front().timestamp;
}

} // namespace testbox
