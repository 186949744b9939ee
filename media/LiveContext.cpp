// The live context's data side: picture size, input rings, the pushes with their caches, record tap and
// audio-fill hysteresis, the flushes and the call guard. Recording itself is in LiveRecord.cpp and
// RecordThread.cpp.
#include "media/LiveContext.h"

#include "media/AccessUnitKind.h"
#include "media/AudioDecode.h"
#include "media/AvGraph.h"
#include "media/GraphHelpers.h"
#include "media/Mp4Recorder.h"
#include "media/RecordPlan.h"
#include "media/VideoDecode.h"

#include "platform/win32/Clock.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

struct SizeRow {
    LivePictureSize rows60Hz;
    LivePictureSize rows50Hz;
};

constexpr SizeRow kSizeTable[] = {
    {{176, 128, false}, {176, 144, false}}, {{352, 240, false}, {352, 288, false}},
    {{528, 384, true}, {528, 384, true}},   {{720, 240, false}, {720, 288, false}},
    {{720, 480, true}, {720, 576, true}},
};

} // namespace

KQ_AV_LiveContext::KQ_AV_LiveContext(IGraphBuilder* graph, KQ_AV_Graph* holder, HWND mainWindow)
    : graph_(graph), holder_(holder), mainWindow_(mainWindow),
      savedUnit_(new (std::nothrow) BYTE[kSavedUnitSize]),
      videoDrain_(new (std::nothrow) BYTE[kLargestVideoUnit]),
      audioDrain_(new (std::nothrow) BYTE[kLargestAudioUnit]),
      recordEnvironment_(DefaultRecordEnvironment()) {
    videoGop_.Allocate(kVideoGopCacheSize);
    audioGop_.Allocate(kAudioGopCacheSize);
}

KQ_AV_LiveContext::~KQ_AV_LiveContext() {
    Destroy();
}

HRESULT KQ_AV_LiveContext::AllocateInputRings(DWORD videoCapacity, DWORD audioCapacity) {
    if (videoCapacity != 0 && !(videoRing_ = MakeRingBuffer(videoCapacity)))
        return E_OUTOFMEMORY;
    if (audioCapacity != 0 && !(audioRing_ = MakeRingBuffer(audioCapacity)))
        return E_OUTOFMEMORY;
    return S_OK;
}

bool KQ_AV_LiveContext::LookUpPictureSize(int sizeClass, bool rows50Hz, LivePictureSize* size) {
    if (sizeClass < 0 || sizeClass >= static_cast<int>(std::size(kSizeTable)))
        return false;
    *size = rows50Hz ? kSizeTable[sizeClass].rows50Hz : kSizeTable[sizeClass].rows60Hz;
    return true;
}

HRESULT KQ_AV_LiveContext::SetPictureSize(int sizeClass, int standard) {
    if (standard != 0 && standard != 1)
        return S_OK;
    std::lock_guard lock(sizeMutex_);
    rows50Hz_ = standard == 0;
    LivePictureSize size{};
    if (!LookUpPictureSize(sizeClass, rows50Hz_, &size))
        return E_FAIL;
    width_ = size.width;
    height_ = size.height;
    largePicture_ = size.largePicture;
    sizeClass_ = sizeClass;
    return S_OK;
}

KQ_AV_LiveContext::RecordFormat KQ_AV_LiveContext::currentFormat() {
    std::lock_guard lock(sizeMutex_);
    return {width_, height_, rows50Hz_, largePicture_, sizeClass_};
}

DWORD KQ_AV_LiveContext::AcceptedPitch(DWORD probed, DWORD width) {
    const DWORD pitch = probed == 0 || probed > kLargestPitch ? kDefaultPitch : probed;
    return pitch < 2 * width ? 2 * width : pitch;
}

bool KQ_AV_LiveContext::enterCall() {
    std::lock_guard lock(callMutex_);
    if (closing_)
        return false;
    ++calls_;
    return true;
}

void KQ_AV_LiveContext::leaveCall() {
    std::lock_guard lock(callMutex_);
    if (--calls_ == 0)
        callsDone_.notify_all();
}

// Holds the context's call guard for one push or flush.
class KQ_AV_LiveContext::CallScope {
public:
    explicit CallScope(KQ_AV_LiveContext* context) : context_(context), entered_(context->enterCall()) {}
    ~CallScope() {
        if (entered_)
            context_->leaveCall();
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    explicit operator bool() const { return entered_; }

private:
    KQ_AV_LiveContext* context_;
    bool entered_;
};

void KQ_AV_LiveContext::unitsArrived(std::condition_variable& waiters) {
    { std::lock_guard lock(ringsMutex_); }
    waiters.notify_all();
}

void KQ_AV_LiveContext::SetAudioRunning(bool running) {
    if (audioRunning_.exchange(running) != running && running)
        unitsArrived(videoUnits_);
}

bool KQ_AV_LiveContext::WaitForVideoUnit(const std::atomic<bool>& run) {
    std::unique_lock lock(ringsMutex_);
    videoUnits_.wait(lock,
                     [&] { return !run || (audioRunning_ && videoRing_ && videoRing_->UsedBytes() > 0); });
    return run;
}

bool KQ_AV_LiveContext::WaitForAudio(DWORD bytes, const std::atomic<bool>& run) {
    std::unique_lock lock(ringsMutex_);
    audioUnits_.wait(lock, [&] { return !run || (audioRing_ && audioRing_->UsedBytes() > bytes); });
    return run;
}

void KQ_AV_LiveContext::WakeDecodeThreads() {
    { std::lock_guard lock(ringsMutex_); }
    videoUnits_.notify_all();
    audioUnits_.notify_all();
}

void KQ_AV_LiveContext::UnitTaken() {
    {
        std::lock_guard lock(ringsMutex_);
        ++unitsTaken_;
    }
    roomMade_.notify_all();
}

void KQ_AV_LiveContext::waitForRoom(platform::Duration deadline) {
    std::unique_lock lock(ringsMutex_);
    const ULONGLONG seen = unitsTaken_;
    platform::WaitUntilScaled(roomMade_, lock, std::min(deadline, platform::DeadlineAfter(kStopCheckMs)),
                              [&] { return unitsTaken_ != seen || closing_; });
}

int KQ_AV_LiveContext::PushVideo(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) {
    CallScope call(this);
    KQ_AV_RingBuffer* ring = videoRing_.get();
    if (!call || !ring || length == 0)
        return 1;
    for (;;) {
        const DWORD result = ring->Write(unit, length);
        if (result == AV_RING_OK) {
            videoFull_ = false;
            unitsArrived(videoUnits_);
            break;
        }
        if (result != AV_RING_FULL)
            return 1;
        const DWORD now = GetTickCount();
        if (!videoFull_) {
            videoFull_ = true;
            videoFullSince_ = now;
        } else if (now - videoFullSince_ > kVideoFullDropMs) {
            break; // the decoder has stalled: this unit is not decoded, the caches and recording still get it
        }
        if (closing_)
            return 1;
        if (stop)
            return 0;
        waitForRoom(platform::DeadlineAfter(kVideoFullDropMs + 1 - (now - videoFullSince_)));
    }

    const bool idr = ScanMediaUnit(unit, length).idr;
    if (idr) {
        videoGop_.Flush();
        if (savedLength_ != 0)
            videoGop_.Write(savedUnit_.get(), savedLength_);
        // The IDR picture begins with the unit before it (a unit carries the time of the one after it).
        const DWORD unitTime = ReadUnitTimestamp(unit);
        gopStart_ = savedLength_ >= 4 ? ReadUnitTimestamp(savedUnit_.get()) : unitTime;
        idrSeen_ = true;
    } else if (savedUnit_ && length <= kSavedUnitSize) {
        std::memcpy(savedUnit_.get(), unit, length);
        savedLength_ = length;
    } else {
        savedLength_ = 0; // too large to keep: no stale unit goes before the next IDR unit
    }
    videoGop_.Write(unit, length);
    tapVideo(unit, length);
    return 1;
}

int KQ_AV_LiveContext::PushAudio(const BYTE* unit, DWORD length, const std::atomic<bool>& stop) {
    CallScope call(this);
    KQ_AV_RingBuffer* ring = audioRing_.get();
    if (!call || !ring || length == 0)
        return 1;
    for (;;) {
        paceGraph(ring->UsedBytes());
        const DWORD result = ring->Write(unit, length);
        if (result == AV_RING_OK) {
            unitsArrived(audioUnits_);
            break;
        }
        if (result != AV_RING_FULL || closing_)
            return 1;
        if (stop)
            return 0;
        waitForRoom(platform::Duration::max());
    }
    if (idrSeen_.exchange(false))
        trimAudioGop(gopStart_);
    audioGop_.Write(unit, length);
    tapAudio(unit, length);
    return 1;
}

DWORD KQ_AV_LiveContext::GetVideoFill() {
    CallScope call(this);
    if (!call || !videoRing_)
        return 100;
    return videoRing_->FreePercent();
}

HRESULT KQ_AV_LiveContext::FlushAudio() {
    CallScope call(this);
    if (!call || !audioRing_)
        return E_FAIL;
    audioRing_->Flush();
    UnitTaken();
    return S_OK;
}

HRESULT KQ_AV_LiveContext::FlushVideo() {
    CallScope call(this);
    if (!call || !videoRing_)
        return E_FAIL;
    videoRing_->Flush();
    UnitTaken();
    return S_OK;
}

void KQ_AV_LiveContext::paceGraph(DWORD used) {
    std::lock_guard lock(graphMutex_);
    if (graphHeld_)
        return;
    const AudioFillPacer::Action action = pacer_.Step(used);
    if (!holder_)
        return;
    if (action == AudioFillPacer::Run)
        holder_->Run();
    else if (action == AudioFillPacer::Pause)
        holder_->Pause();
}

void KQ_AV_LiveContext::HoldGraph() {
    std::lock_guard lock(graphMutex_);
    graphHeld_ = true;
}

void KQ_AV_LiveContext::ReleaseGraph() {
    std::lock_guard lock(graphMutex_);
    graphHeld_ = false;
}

void KQ_AV_LiveContext::drain(KQ_AV_RingBuffer& cache, KQ_AV_RingBuffer* record, BYTE* buffer, DWORD size) {
    if (!buffer)
        return;
    // Each record goes back behind the others, so that the cache still holds the group of pictures for a
    // recording started again before the next IDR unit. The parser thread is the cache's one reader and
    // writer, and a record read frees the room its copy takes.
    DWORD remaining = cache.UsedBytes();
    while (remaining > 0) {
        const DWORD before = cache.UsedBytes();
        DWORD length = 0;
        const DWORD result = cache.Read(buffer, size, &length);
        if (result != AV_RING_OK && result != AV_RING_TOO_LARGE)
            return;
        const DWORD freed = before - cache.UsedBytes();
        remaining -= std::min(freed, remaining);
        if (result == AV_RING_TOO_LARGE)
            continue; // a record no unit of the box reaches; it is dropped
        cache.Write(buffer, length);
        record->Write(buffer, length);
    }
}

// Drops the cached audio units that begin more than the lead before the IDR picture's time; those that
// arrived after the picture began but before its unit was complete stay with it.
void KQ_AV_LiveContext::trimAudioGop(DWORD pictureTime) {
    if (!audioDrain_) {
        audioGop_.Flush();
        return;
    }
    DWORD timestamp = 0;
    while (audioGop_.PeekTimestamp(&timestamp) &&
           static_cast<LONG>(timestamp - pictureTime) < -static_cast<LONG>(kAudioGopLeadMs)) {
        DWORD length = 0;
        audioGop_.Read(audioDrain_.get(), kLargestAudioUnit, &length);
    }
}

void KQ_AV_LiveContext::tapVideo(const BYTE* unit, DWORD length) {
    if (!recording_)
        return;
    std::lock_guard lock(tapMutex_);
    if (!videoRecord_)
        return;
    if (videoRecordStart_) {
        // The cache already ends with this unit, so it goes into the recording once.
        drain(videoGop_, videoRecord_.get(), videoDrain_.get(), kLargestVideoUnit);
        videoRecordStart_ = false;
    } else {
        videoRecord_->Write(unit, length);
    }
    recordUnits_.notify_all();
}

void KQ_AV_LiveContext::tapAudio(const BYTE* unit, DWORD length) {
    if (!recording_)
        return;
    std::lock_guard lock(tapMutex_);
    if (!audioRecord_)
        return;
    if (audioRecordStart_) {
        drain(audioGop_, audioRecord_.get(), audioDrain_.get(), kLargestAudioUnit);
        audioRecordStart_ = false;
    } else {
        audioRecord_->Write(unit, length);
    }
    recordUnits_.notify_all();
}
