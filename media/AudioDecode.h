// KQ_AV_AudioDecode: the live audio thread and the clock of the live view. It takes AAC units (MediaUnit: a
// u32 ms timestamp, one ADTS frame) from the live context's audio input ring, decodes them with FAAD2 to
// 16-bit PCM and delivers that on the source filter's "Audio Out" pin. Before each unit it publishes the
// unit's timestamp as the live context's audio clock and sets audio running; after the ring ran empty it
// clears audio running and waits until more than 8192 bytes are queued again. The video thread decodes only
// while audio runs.
//
// Ownership and threads: the live context creates the object and calls Start, and later Stop, which clears
// the run flag and waits for the exit event; the thread is the only reader of the audio ring (a flush may
// come from the control dispatcher at any time). The live context, filter and ring are borrowed and outlive
// the thread. While too little is queued it waits on the live context for more (or the stop).
#pragma once

#include "platform/aac/AacDecoder.h"
#include "platform/win32/Types.h"

#include <atomic>
#include <memory>

class KQ_AV_LiveContext;
class KQ_AV_RingBuffer;
class KQ_AV_SourceFilter;

class KQ_AV_AudioDecode {
public:
    static constexpr DWORD kHysteresisBytes = 8192;
    static constexpr DWORD kReadBufferSize = 5000;  // timestamp and the largest ADTS frame the box sends
    static constexpr DWORD kInputBufferSize = 4608; // what FAAD2 is handed (6144 bits per channel x 6)
    static constexpr DWORD kLargestOpeningUnit = 499;
    static constexpr DWORD kSampleRate = 32000;
    static constexpr int kChannels = 2;

    KQ_AV_AudioDecode(KQ_AV_LiveContext* live, KQ_AV_SourceFilter* filter, KQ_AV_RingBuffer* ring);
    ~KQ_AV_AudioDecode(); // closes the decoder; the thread must have been stopped
    KQ_AV_AudioDecode(const KQ_AV_AudioDecode&) = delete;
    KQ_AV_AudioDecode& operator=(const KQ_AV_AudioDecode&) = delete;

    // Starts the thread; false when it could not be started.
    bool Start();
    // Clears the run flag and waits for the thread to end.
    void Stop();

    // Opens the AAC decoder on the first unit's AAC data as FAAD2's own front end opens a stream: 0 on
    // success, 1 on failure (then nothing is ever decoded by this object).
    int OpenDecoder(const BYTE* data, DWORD length);

private:
    // After a pass: the pause that paces the units, none, waiting for more queued audio (or the stop), or
    // the end.
    enum class Pass { Sleep, Continue, Wait, Leave };

    static DWORD ThreadProc(LPVOID self);
    void Run();
    // One unit at most; Continue skips the pause after a unit without AAC data.
    Pass runPass(DWORD& threshold);
    // Decodes and delivers one frame; false when the run flag cleared while waiting for a sample.
    bool decodeUnit(const BYTE* aac, DWORD length, int duration);
    // Waits for a free audio sample; false when the run flag cleared meanwhile.
    bool waitForSample(BYTE** data, LONG* size);
    void closeDecoder();

    KQ_AV_LiveContext* live_;
    KQ_AV_SourceFilter* filter_;
    KQ_AV_RingBuffer* ring_;

    std::atomic<bool> run_{true};
    std::atomic<bool> done_{true};
    HANDLE exitEvent_ = nullptr;
    HANDLE thread_ = nullptr;

    bool decoderOpened_ = false; // the one attempt to open was made
    platform::aac::AacDecoder decoder_;
    std::unique_ptr<BYTE[]> input_; // kInputBufferSize; absent until opened and after a failed open
    std::unique_ptr<BYTE[]> unit_;  // kReadBufferSize
    DWORD previousTimestamp_ = 0;
    bool formatReported_ = false;
};
