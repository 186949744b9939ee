#include "boxlink/StreamRecordParser.h"

#include "boxlink/BoxClient.h"
#include "media/PlayerControl.h"

#include <memory>

namespace {

constexpr DWORD kHeader = 3;
constexpr DWORD kMediaPrefix = 8; // the u32 not used and the timestamp

std::shared_ptr<LiveUnitSink> liveSink(BoxLinkState& link) {
    PlayerControl* player = link.player;
    return player ? player->LiveSink() : nullptr;
}

} // namespace

StreamRecordParser::StreamRecordParser(KQ_TCP_BoxClient& client, KQ_TCP_RingBuffer& ring,
                                       const std::atomic<bool>& stop)
    : client_(client), ring_(ring), stop_(stop), download_(client) {}

StreamRecordParser::Step StreamRecordParser::Next() {
    BYTE header[kHeader];
    if (!ring_.Peek(kHeader, header))
        return Step::Empty;
    const DWORD n = header[1] | DWORD{header[2]} << 8;
    if (n > kMaxRecordLength) {
        ring_.Reset();
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
    const BYTE videoType = link.videoRecordType;
    if (type == videoType || type == link.audioRecordType) {
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
