#include "media/AudioDecode.h"

#include "media/AvRingBuffer.h"
#include "media/LiveContext.h"
#include "media/SourceFilter.h"

#include "platform/win32/Clock.h"
#include "platform/win32/Sync.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr DWORD kPassMs = 10;
constexpr DWORD kDefaultDurationMs = 32;
constexpr DWORD kLongestDurationMs = 2000;
constexpr DWORD kId3HeaderSize = 10;

DWORD readLe32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

// The bytes an ID3v2 tag at the front takes (header and its synchsafe size), 0 without one.
DWORD id3TagLength(const BYTE* data, DWORD length) {
    if (length < kId3HeaderSize || std::memcmp(data, "ID3", 3) != 0)
        return 0;
    const DWORD size =
        (data[6] & 0x7Fu) << 21 | (data[7] & 0x7Fu) << 14 | (data[8] & 0x7Fu) << 7 | (data[9] & 0x7Fu);
    return kId3HeaderSize + size;
}

} // namespace

KQ_AV_AudioDecode::KQ_AV_AudioDecode(KQ_AV_LiveContext* live, KQ_AV_SourceFilter* filter,
                                     KQ_AV_RingBuffer* ring)
    : live_(live), filter_(filter), ring_(ring), unit_(new (std::nothrow) BYTE[kReadBufferSize]) {}

KQ_AV_AudioDecode::~KQ_AV_AudioDecode() {
    Stop();
    closeDecoder();
}

bool KQ_AV_AudioDecode::Start() {
    if (thread_ || !unit_)
        return false;
    exitEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!exitEvent_)
        return false;
    run_ = true;
    done_ = false;
    thread_ = CreateThread(nullptr, 0, &KQ_AV_AudioDecode::ThreadProc, this, 0, nullptr);
    if (!thread_) {
        done_ = true;
        CloseHandle(exitEvent_);
        exitEvent_ = nullptr;
        return false;
    }
    return true;
}

void KQ_AV_AudioDecode::Stop() {
    if (!thread_)
        return;
    run_ = false;
    live_->WakeDecodeThreads();
    WaitForSingleObject(exitEvent_, INFINITE);
    CloseHandle(exitEvent_);
    CloseHandle(thread_); // joins the thread, which has signalled its end
    exitEvent_ = nullptr;
    thread_ = nullptr;
}

DWORD KQ_AV_AudioDecode::ThreadProc(LPVOID self) {
    static_cast<KQ_AV_AudioDecode*>(self)->Run();
    return 0;
}

void KQ_AV_AudioDecode::Run() {
    SetThreadDescription(GetCurrentThread(), L"audio decode");
    DWORD threshold = kHysteresisBytes;
    while (!done_) {
        const Pass pass = runPass(threshold);
        if (pass == Pass::Leave)
            break;
        if (pass == Pass::Sleep)
            Sleep(kPassMs);
        else if (pass == Pass::Wait)
            live_->WaitForAudio(threshold, run_);
        if (!run_)
            break;
    }
    done_ = true;
    SetEvent(exitEvent_);
}

KQ_AV_AudioDecode::Pass KQ_AV_AudioDecode::runPass(DWORD& threshold) {
    if (!ring_)
        return Pass::Wait; // for the stop
    if (ring_->UsedBytes() <= threshold) {
        threshold = kHysteresisBytes;
        live_->SetAudioRunning(false);
        return Pass::Wait;
    }
    threshold = 0;
    DWORD oldest = 0;
    if (ring_->PeekTimestamp(&oldest))
        live_->SetAudioClock(oldest);
    live_->SetAudioRunning(true);
    DWORD length = 0;
    const DWORD read = ring_->Read(unit_.get(), kReadBufferSize, &length);
    if (read == AV_RING_OK || read == AV_RING_TOO_LARGE)
        live_->UnitTaken();
    if (read != AV_RING_OK || length < 4)
        return Pass::Sleep;
    if (!decoderOpened_ && length <= kLargestOpeningUnit) {
        if (OpenDecoder(unit_.get() + 4, length - 4) != 0)
            std::fprintf(stderr,
                         "live audio: the AAC decoder could not be opened; this live view has no sound\n");
        decoderOpened_ = true;
    }
    if (!input_)
        return Pass::Sleep;
    const DWORD timestamp = readLe32(unit_.get());
    DWORD duration = timestamp - previousTimestamp_;
    if (duration == 0 || duration > kLongestDurationMs)
        duration = kDefaultDurationMs;
    previousTimestamp_ = timestamp;
    live_->SetAudioClock(timestamp);
    if (length == 4)
        return Pass::Continue;
    return decodeUnit(unit_.get() + 4, length - 4, static_cast<int>(duration)) ? Pass::Sleep : Pass::Leave;
}

bool KQ_AV_AudioDecode::decodeUnit(const BYTE* aac, DWORD length, int duration) {
    if (length > kInputBufferSize)
        return true; // more than any AAC frame: dropped
    std::memcpy(input_.get(), aac, length);
    platform::aac::DecodedFrame frame;
    if (!decoder_.decode(input_.get(), length, &frame))
        return true;
    if (frame.rate != kSampleRate || frame.channels != kChannels) {
        // The audio pin plays 32000 Hz stereo only; anything else would play at the wrong pace.
        if (!formatReported_)
            std::fprintf(stderr, "live audio: %lu Hz with %d channels dropped (32000 Hz stereo expected)\n",
                         frame.rate, static_cast<int>(frame.channels));
        formatReported_ = true;
        return true;
    }
    BYTE* sample = nullptr;
    LONG size = 0;
    if (!waitForSample(&sample, &size))
        return false;
    const LONG bytes =
        static_cast<LONG>(std::min<unsigned long>(frame.samples * 2, static_cast<unsigned long>(size)));
    std::memcpy(sample, frame.pcm, static_cast<size_t>(bytes));
    filter_->DeliverAudio(duration, bytes);
    return true;
}

bool KQ_AV_AudioDecode::waitForSample(BYTE** data, LONG* size) {
    while (!filter_->GetAudioBuffer(data, size)) {
        if (!run_)
            return false;
        Sleep(kPassMs);
    }
    return true;
}

int KQ_AV_AudioDecode::OpenDecoder(const BYTE* data, DWORD length) {
    if (length > kInputBufferSize)
        return 1;
    input_.reset(new (std::nothrow) BYTE[kInputBufferSize]());
    if (!input_)
        return 1;
    std::memcpy(input_.get(), data, length);
    const DWORD tag = id3TagLength(input_.get(), length);
    if (tag >= kInputBufferSize) {
        input_.reset();
        return 1;
    }
    if (!decoder_.open()) {
        input_.reset();
        return 1;
    }
    if (!decoder_.initFromAdts(input_.get() + tag, kInputBufferSize - tag, nullptr, nullptr)) {
        closeDecoder();
        return 1;
    }
    return 0;
}

void KQ_AV_AudioDecode::closeDecoder() {
    decoder_.close();
    input_.reset();
}
