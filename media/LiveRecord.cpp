// Recording control of the live context: the record tap's rings, the start and stop of a recording, the
// open of each file from its first video units, the rollover to the next file and the free-space query.
#include "media/LiveContext.h"

#include "media/AccessUnitKind.h"
#include "media/Mp4Recorder.h"
#include "media/RecordPlan.h"

#include "platform/win32/Clock.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Sync.h"

#include <new>

RecordEnvironment DefaultRecordEnvironment() {
    RecordEnvironment environment;
    environment.tickCount = [] { return GetTickCount(); };
    environment.freeSpace = [](const std::wstring& folder, ULONGLONG* bytes) {
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr))
            return false;
        *bytes = available.QuadPart;
        return true;
    };
    return environment;
}

void KQ_AV_LiveContext::SetRecordEnvironment(RecordEnvironment environment) {
    recordEnvironment_ = std::move(environment);
}

HRESULT KQ_AV_LiveContext::OpenRecordRings(const std::wstring& path) {
    if (recording_)
        return E_FAIL;
    auto video = MakeRingBuffer(kVideoRecordRingSize);
    auto audio = MakeRingBuffer(kAudioRecordRingSize);
    if (!video || !audio)
        return E_FAIL;
    {
        std::lock_guard lock(tapMutex_);
        videoRecord_ = std::move(video);
        audioRecord_ = std::move(audio);
        recordPath_ = path;
        videoRecordStart_ = true; // every recording starts from the cached group of pictures
        audioRecordStart_ = true;
    }
    recording_ = true;
    return S_OK;
}

void KQ_AV_LiveContext::CloseRecordRings() {
    recording_ = false;
    std::lock_guard lock(tapMutex_); // a push copying into the rings finishes first
    videoRecord_.reset();
    audioRecord_.reset();
}

HRESULT KQ_AV_LiveContext::StartRecord(const std::wstring& path) {
    if (recording_)
        return E_FAIL;
    staging_ = MakeRingBuffer(kStagingRingSize);
    recordUnit_.reset(new (std::nothrow) BYTE[kLargestVideoUnit]);
    recorder_.reset(new (std::nothrow) KQ_AV_Mp4Recorder);
    if (!staging_ || !recordUnit_ || !recorder_ || FAILED(OpenRecordRings(path))) {
        releaseRecording();
        return E_FAIL;
    }
    stagedCount_ = 0;
    rolloverIndex_ = 1;
    lowSpaceReported_ = false;
    writing_ = true;
    previousAudio_ = 0;
    audioTime_ = 0;
    recordCycles_ = 0;
    carried_.clear();
    if (FAILED(OpenRecordFile(path, false))) {
        releaseRecording();
        return E_FAIL;
    }
    recordEnd_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (recordEnd_)
        recordThread_ = CreateThread(nullptr, 0, &KQ_AV_LiveContext::RecordThreadProc, this, 0, nullptr);
    if (!recordThread_) {
        closeRecordFile();
        releaseRecording();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT KQ_AV_LiveContext::StopRecord() {
    recording_ = false;
    if (recordThread_) {
        WaitForSingleObject(recordEnd_, INFINITE);
        CloseHandle(recordThread_); // joins the thread, which has signalled its end
        recordThread_ = nullptr;
    }
    closeRecordFile();
    releaseRecording();
    return S_OK;
}

void KQ_AV_LiveContext::releaseRecording() {
    CloseRecordRings();
    if (recordEnd_) {
        CloseHandle(recordEnd_);
        recordEnd_ = nullptr;
    }
    recorder_.reset();
    staging_.reset();
    recordUnit_.reset();
    stagedCount_ = 0;
    stagedCompleting_ = 0;
}

// The file's index is written at the close: a close that fails (most likely a full disk) leaves a file that
// does not play, which the window is told of as of a failed write (once: not again after one).
void KQ_AV_LiveContext::closeRecordFile() {
    if (fileOpen_ && recorder_ && !recorder_->Close() && writing_) {
        writing_ = false;
        reportDiskFull();
    }
    fileOpen_ = false;
}

// The units the record thread carried over from the last file come first, then the video record ring's.
bool KQ_AV_LiveContext::collectFirstUnits(std::vector<BYTE>& payloads, bool matchPicture) {
    RecordStartCollector collector;
    if (matchPicture)
        collector.RequirePicture(fileFormat_.width, fileFormat_.height, fileFormat_.largePicture);
    const std::vector<std::vector<BYTE>> carried = std::move(carried_);
    carried_.clear();
    size_t nextCarried = 0;
    std::vector<std::vector<BYTE>> taken;
    const DWORD start = recordEnvironment_.tickCount();
    while (!collector.Done()) {
        if (!recording_ || recordEnvironment_.tickCount() - start > kFirstUnitsWaitMs)
            return false;
        const BYTE* unit = recordUnit_.get();
        DWORD length = 0;
        if (nextCarried < carried.size()) {
            unit = carried[nextCarried].data();
            length = static_cast<DWORD>(carried[nextCarried++].size());
        } else if (videoRecord_->Read(recordUnit_.get(), kLargestVideoUnit, &length) != AV_RING_OK) {
            Sleep(1);
            continue;
        }
        taken.clear();
        collector.Offer(unit, length, taken);
        for (const std::vector<BYTE>& unit : taken) {
            if (unit.size() <= 4)
                continue;
            stageUnit(unit.data(), static_cast<DWORD>(unit.size()));
            payloads.insert(payloads.end(), unit.begin() + 4, unit.end());
        }
    }
    return true;
}

HRESULT KQ_AV_LiveContext::OpenRecordFile(const std::wstring& name, bool matchPicture) {
    fileFormat_ = currentFormat();
    if (!recorder_->Open(name, fileFormat_.width, fileFormat_.height))
        return E_FAIL;
    fileOpen_ = true;
    staging_->Flush(); // a failed open before this one may have left units
    stagedCount_ = 0;
    stagedCompleting_ = 0;
    lastStagedPicture_ = false;
    lastWrittenPicture_ = false;
    sequenceChanged_ = false;
    std::vector<BYTE> payloads;
    if (!collectFirstUnits(payloads, matchPicture) ||
        recorder_->AddVideoTrack(payloads.data(), payloads.size()) == 0) {
        closeRecordFile();
        staging_->Flush();
        stagedCount_ = 0;
        stagedCompleting_ = 0;
        return E_FAIL;
    }
    const RecordFrameRate rate = LookUpRecordFrameRate(fileFormat_.rows50Hz, fileFormat_.largePicture);
    frameRate_ = rate.rate;
    frameDuration_ = rate.duration;
    audioAligned_ = false;
    audioTrackPending_ = true;
    fileStart_ = recordEnvironment_.tickCount();
    return S_OK;
}

HRESULT KQ_AV_LiveContext::RolloverFile(bool matchPicture) {
    closeRecordFile();
    recorder_.reset(new (std::nothrow) KQ_AV_Mp4Recorder);
    if (!recorder_)
        return E_FAIL;
    const std::wstring name = RolloverFileName(recordPath_, rolloverIndex_++);
    return OpenRecordFile(name, matchPicture);
}

HRESULT KQ_AV_LiveContext::GetFreeDiskSpace(ULONGLONG* bytes) {
    *bytes = 0;
    return recordEnvironment_.freeSpace(RecordFolder(recordPath_), bytes) ? S_OK : E_FAIL;
}
