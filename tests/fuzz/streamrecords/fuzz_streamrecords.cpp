// The stream parser on arbitrary bytes: the input goes into the stream ring in chunks whose sizes it
// chooses, the record parser cuts and dispatches records (video into the access-unit assembly, audio and
// units into a live context that takes everything, files into a download folder that does not exist), and
// the stream generation changes, and the parser starts where it must find the records first, as the input
// asks. The same bytes are then cut into access units directly.
#include "boxlink/AccessUnitCutter.h"
#include "boxlink/BoxClient.h"
#include "boxlink/StreamRecordParser.h"
#include "media/PlayerControl.h"
#include "tests/support/fakes/FakeLive.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

class DiscardingSink final : public LiveUnitSink {
public:
    int PushVideo(const BYTE* unit, DWORD length, const std::atomic<bool>&) override {
        return touch(unit, length);
    }
    int PushAudio(const BYTE* unit, DWORD length, const std::atomic<bool>&) override {
        return touch(unit, length);
    }
    DWORD GetVideoFill() override { return fill; }
    DWORD fill = 100;

private:
    int touch(const BYTE* unit, DWORD length) {
        checksum += length ? unit[0] + unit[length - 1] : 0; // every byte handed on must be readable
        return 1;
    }
    DWORD checksum = 0;
};

using Player = FakeLivePlayerOf<DiscardingSink>;

struct Harness {
    Harness() {
        client.SetPlayer(&player);
        client.SetDownloadFolder(L"/nonexistent-veloq-fuzz-folder");
    }
    KQ_TCP_BoxClient client;
    Player player;
    KQ_TCP_RingBuffer ring{0x10000};
    std::atomic<bool> stop{false};
    StreamRecordParser parser{client, ring, stop};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness h;
    if (size < 2)
        return 0;
    // Two control bytes: live mode, free share, generation events, a lost place and the chunk size.
    const uint8_t mode = data[0], chunkByte = data[1];
    h.player.live = mode & 1;
    h.player.sink->fill = mode & 2 ? 100 : 5;
    BoxLinkState& link = h.client.Link();
    link.ResetForLogin();
    if (mode & 4)
        link.StartNewGeneration();
    if (mode & 8)
        ++link.restartedGeneration;
    h.ring.Reset();
    h.parser.Reset();
    if (mode & 16)
        h.parser.LosePlace();

    const uint8_t* stream = data + 2;
    const size_t length = size - 2;
    const size_t chunk = 1 + chunkByte * 16;
    for (size_t at = 0; at < length;) {
        const size_t n = std::min(chunk, length - at);
        if (!h.ring.Write(stream + at, static_cast<DWORD>(n)))
            h.ring.Reset();
        at += n;
        for (int steps = 0; steps < 4096; ++steps) {
            const StreamRecordParser::Step step = h.parser.Next();
            if (step == StreamRecordParser::Step::Empty || step == StreamRecordParser::Step::Incomplete)
                break;
        }
    }

    // Units follow each other without gaps, are never empty and stay inside the bytes given.
    BitstreamRecord record{stream, stream + length};
    const uint8_t* next = stream;
    while (VD_BITSTREAM_load_AU(&record) == VD_AU_READY) {
        if (record.unit != next || record.unitLength == 0 ||
            record.start != record.unit + record.unitLength || record.start > stream + length)
            __builtin_trap();
        next = record.start;
    }
    return 0;
}
