#include "boxlink/StreamRecordParser.h"

#include "boxlink/BoxClient.h"
#include "media/PlayerControl.h"
#include "platform/win32/Clock.h"

#include <algorithm>
#include <memory>

namespace {

constexpr DWORD kHeader = 3;
constexpr DWORD kMediaPrefix = 8; // the u32 not used and the timestamp

DWORD lengthOf(const BYTE* header) {
    return header[1] | DWORD{header[2]} << 8;
}

BYTE nextGeneration(BYTE type) {
    return static_cast<BYTE>(type + 16);
}

std::shared_ptr<LiveUnitSink> liveSink(BoxLinkState& link) {
    PlayerControl* player = link.player;
    return player ? player->LiveSink() : nullptr;
}

} // namespace

StreamRecordParser::StreamRecordParser(KQ_TCP_BoxClient& client, KQ_TCP_RingBuffer& ring,
                                       const std::atomic<bool>& stop)
    : client_(client), ring_(ring), stop_(stop), download_(client), lastCurrent_(GetTickCount()) {}

StreamRecordParser::Step StreamRecordParser::Next() {
    Step searched = Step::Empty;
    if (!placeKnown_ && !findRecordStart(searched))
        return searched;
    BYTE header[kHeader];
    if (!ring_.Peek(kHeader, header))
        return Step::Empty;
    const DWORD n = lengthOf(header);
    if (n > kMaxRecordLength) {
        ring_.Reset();
        placeKnown_ = false;
        return Step::BadLength;
    }
    if (!ring_.Read(kHeader + n, record_))
        return Step::Incomplete;

    // Records wait while a new stream generation has begun and live view has not been restarted for it.
    BoxLinkState& link = client_.Link();
    const DWORD generation = link.generation;
    DWORD restarted = link.restartedGeneration;
    if (restarted < generation)
        return Step::Held;
    BYTE waiting = 1;
    if (link.waitForNewStream.compare_exchange_strong(waiting, 0))
        link.restartedGeneration.compare_exchange_strong(restarted, generation);

    const BYTE type = record_[0];
    const BYTE* body = record_ + kHeader;
    const BYTE videoType = link.videoRecordType, audioType = link.audioRecordType;
    if (type == nextGeneration(videoType) || type == nextGeneration(audioType)) {
        nextGenerationRecord();
        return Step::Dropped;
    }
    if (type == videoType || type == audioType) {
        nextRecords_ = 0;
        lastCurrent_ = GetTickCount();
        if (n <= kMediaPrefix)
            return Step::Dropped;
        // The MediaUnit begins at the timestamp: n - 4 bytes.
        if (type == videoType)
            pushVideo(body + 4, n - 4);
        else
            pushAudio(body + 4, n - 4);
        return Step::Used;
    }
    switch (type) {
    case AV_REC_FILE_BEGIN:
        download_.Begin(body, n);
        return Step::Used;
    case AV_REC_FILE_DATA:
        download_.Data(body, n);
        return Step::Used;
    case AV_REC_FILE_END:
        download_.End();
        return Step::Used;
    default:
        return Step::Dropped;
    }
}

void StreamRecordParser::Reset() {
    assembler_.Clear();
    download_.Abandon();
    nextRecords_ = 0;
    lastCurrent_ = GetTickCount();
}

bool StreamRecordParser::findRecordStart(Step& step) {
    const DWORD stored = ring_.Stored();
    const DWORD n = std::min(stored, kScanWindow);
    if (n < kHeader) {
        step = n == 0 ? Step::Empty : Step::Incomplete;
        return false;
    }
    ring_.Peek(n, scan_);
    const BYTE videoType = client_.Link().videoRecordType, audioType = client_.Link().audioRecordType;
    DWORD at = 0;
    Plausible found = Plausible::No;
    for (; at + kHeader <= n; ++at)
        if ((found = plausibleAt(at, n, videoType, audioType)) != Plausible::No)
            break;
    discard(at);
    if (found == Plausible::Yes) {
        placeKnown_ = true;
        return true;
    }
    // Every start before at is ruled out; the rest is judged once more bytes are there.
    step = n < stored ? Step::Skipped : Step::Incomplete;
    return false;
}

StreamRecordParser::Plausible StreamRecordParser::plausibleAt(DWORD at, DWORD stored, BYTE videoType,
                                                              BYTE audioType) const {
    const auto media = [&](BYTE type) {
        return type == videoType || type == audioType || type == nextGeneration(videoType) ||
               type == nextGeneration(audioType);
    };
    const BYTE* first = scan_ + at;
    if (!media(first[0]) || lengthOf(first) > kMaxRecordLength)
        return Plausible::No;
    const DWORD next = at + kHeader + lengthOf(first);
    if (next + kHeader > stored)
        return Plausible::Undecided;
    const BYTE* second = scan_ + next;
    const bool known = media(second[0]) || second[0] == AV_REC_FILE_BEGIN || second[0] == AV_REC_FILE_DATA ||
                       second[0] == AV_REC_FILE_END;
    return known && lengthOf(second) <= kMaxRecordLength ? Plausible::Yes : Plausible::No;
}

void StreamRecordParser::discard(DWORD n) {
    while (n > 0) {
        const DWORD k = std::min(n, kRecordBuffer);
        ring_.Read(k, record_);
        n -= k;
    }
}

void StreamRecordParser::nextGenerationRecord() {
    if (++nextRecords_ < kFollowRecords || GetTickCount() - lastCurrent_ < kFollowAfterMs)
        return;
    if (client_.Channel().FollowBoxStream()) {
        nextRecords_ = 0;
        lastCurrent_ = GetTickCount();
    }
}

void StreamRecordParser::pushVideo(const BYTE* body, DWORD length) {
    const std::span<const BYTE> unit = assembler_.Push(body, length);
    if (unit.empty())
        return;
    const std::shared_ptr<LiveUnitSink> sink = liveSink(client_.Link());
    if (sink)
        sink->PushVideo(unit.data(), static_cast<DWORD>(unit.size()), stop_);
    // The rest starts the next unit only while the live context has room for it.
    assembler_.Settle(sink && sink->GetVideoFill() >= 10);
}

void StreamRecordParser::pushAudio(const BYTE* body, DWORD length) {
    if (const std::shared_ptr<LiveUnitSink> sink = liveSink(client_.Link()))
        sink->PushAudio(body, length, stop_);
}
