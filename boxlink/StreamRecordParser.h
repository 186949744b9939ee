// The record side of the stream parser: cuts one record at a time out of the stream ring, drops what the
// stream generation gate or the record type rules out, and dispatches the rest: video NAL units to the
// access-unit assembly and its units to the live context, AAC frames to the live context, file records to
// the download. Records (StreamRecordHeader): u8 type, u16 little-endian n (at most 2045), n bytes; an audio
// or video body is a u32 not used, the u32 timestamp in ms, then the payload (n - 8 bytes).
//
// Where the stream begins, and after the ring was emptied (a header with a length out of bounds, a ring
// that overflowed), the parser has lost its place: it drops bytes up to the first plausible record, one of
// an audio or video type of the current stream generation or the next, with a length within bounds,
// followed where it ends by another header of a known type and length.
//
// Records of the next generation's types that keep coming while those of the current one have stopped
// mean that the box restarted its stream without a reply that said so: the parser has the link follow it
// (KQ_TCP_ControlChannel::FollowBoxStream).
//
// Threads: the stream parser thread only (the ring's only reader). The stream generation and the record
// types are read from the login's shared state, which the control dispatcher and the windows write.
#pragma once

#include "boxlink/AccessUnitAssembler.h"
#include "boxlink/RingBuffer.h"
#include "boxlink/StreamDownload.h"
#include "platform/win32/Types.h"

#include <atomic>

class KQ_TCP_BoxClient;

enum : BYTE {
    AV_REC_FILE_BEGIN = 11,
    AV_REC_FILE_DATA = 13,
    AV_REC_FILE_END = 14,
};

class StreamRecordParser {
public:
    static constexpr DWORD kRecordBuffer = 2048;    // header and body
    static constexpr DWORD kMaxRecordLength = 2045; // n
    // Records of the next generation, and the time without one of the current generation, after which the
    // link follows the box.
    static constexpr int kFollowRecords = 8;
    static constexpr DWORD kFollowAfterMs = 1000;

    // What one step did; the thread paces itself by it.
    enum class Step {
        Empty,      // fewer than 3 bytes stored
        Incomplete, // the record is not all there yet; it is read again later
        BadLength,  // n above 2045: the ring was emptied
        Held,       // dropped while the new stream generation has not been restarted
        Skipped,    // bytes before a record start dropped; more are stored to look at
        Dropped,    // a type without use, or an audio or video record without payload
        Used,
    };

    // stop: set when the receiver stops; a push that waits for room in the live context gives up on it.
    StreamRecordParser(KQ_TCP_BoxClient& client, KQ_TCP_RingBuffer& ring, const std::atomic<bool>& stop);

    Step Next();
    // Start of a new run: nothing half-assembled or half-downloaded is kept.
    void Reset();
    // The ring no longer begins at a record (a new stream, or the ring was emptied): the next record start
    // is looked for.
    void LosePlace() { placeKnown_ = false; }

    StreamDownload& Download() { return download_; }
    const StreamDownload& Download() const { return download_; }

private:
    // Bytes looked at in one go for a record start: every start in the first part can be judged.
    static constexpr DWORD kScanWindow = 4 * kRecordBuffer;

    enum class Plausible { No, Yes, Undecided };
    // Drops the bytes before the first plausible record start; true when the ring begins with one, else
    // *step says what to do.
    bool findRecordStart(Step& step);
    Plausible plausibleAt(DWORD at, DWORD stored, BYTE videoType, BYTE audioType) const;
    void discard(DWORD n);
    void nextGenerationRecord();
    void pushVideo(const BYTE* body, DWORD length);
    void pushAudio(const BYTE* body, DWORD length);

    KQ_TCP_BoxClient& client_;
    KQ_TCP_RingBuffer& ring_;
    const std::atomic<bool>& stop_;
    BYTE record_[kRecordBuffer];
    AccessUnitAssembler assembler_;
    StreamDownload download_;
    BYTE scan_[kScanWindow];
    bool placeKnown_ = true; // a fresh parser's ring begins at a record
    int nextRecords_ = 0;    // of the next generation, since the last of the current one
    DWORD lastCurrent_;      // tick of the last record of the current generation (or of the start)
};
