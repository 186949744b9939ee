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
    {
        std::lock_guard lock(tapMutex_); // a push copying into the rings finishes first
        recording_ = false;
        videoRecord_.reset();
        audioRecord_.reset();
    }
    recordUnits_.notify_all();
}

HRESULT KQ_AV_LiveContext::StartRecord(const std::wstring& path) {
    if (recording_)
        return E_FAIL;
    staging_ = MakeRingBuffer(kStagingRingSize);
    audioStaging_ = MakeRingBuffer(kAudioStagingSize);
    recordUnit_.reset(new (std::nothrow) BYTE[kLargestVideoUnit]);
    recorder_.reset(new (std::nothrow) KQ_AV_Mp4Recorder);
    if (!staging_ || !audioStaging_ || !recordUnit_ || !recorder_ || FAILED(OpenRecordRings(path))) {
        releaseRecording();
        return E_FAIL;
    }
    rolloverIndex_ = 1;
    lowSpaceReported_ = false;
    writing_ = true;
    audioStaged_ = pictureStaged_ = false;
    audioRate_ = 32000;
    recordCycles_ = 0;
    carried_.clear();
    if (FAILED(OpenRecordFile(path))) {
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
    {
        std::lock_guard lock(tapMutex_);
        recording_ = false;
    }
    recordUnits_.notify_all();
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
    audioStaging_.reset();
    recordUnit_.reset();
    carried_.clear();
}

// The last picture gets its own duration. A close that fails (most likely a full disk) loses the end of
// the file, which the window is told of as of a failed write (once: not again after one).
void KQ_AV_LiveContext::closeRecordFile() {
    if (fileOpen_ && recorder_ && !recorder_->Close(pictureDuration_) && writing_) {
        writing_ = false;
        reportDiskFull();
    }
    fileOpen_ = false;
}

// The units the record thread carried over from the last file come first, then the video record ring's.
bool KQ_AV_LiveContext::collectFirstUnits(std::vector<BYTE>& payloads, DWORD* firstUnit, bool* firstPicture) {
    RecordStartCollector collector;
    const std::vector<std::vector<BYTE>> carried = std::move(carried_);
    carried_.clear();
    size_t nextCarried = 0;
    std::vector<std::vector<BYTE>> taken;
    const DWORD start = recordEnvironment_.tickCount();
    const platform::Duration deadline = platform::DeadlineAfter(kFirstUnitsWaitMs);
    while (!collector.Done()) {
        if (!recording_ || recordEnvironment_.tickCount() - start > kFirstUnitsWaitMs ||
            platform::Now() >= deadline)
            return false;
        const BYTE* unit = recordUnit_.get();
        DWORD length = 0;
        if (nextCarried < carried.size()) {
            unit = carried[nextCarried].data();
            length = static_cast<DWORD>(carried[nextCarried++].size());
        } else if (videoRecord_->Read(recordUnit_.get(), kLargestVideoUnit, &length) != AV_RING_OK) {
            waitForRecordUnits([this] { return videoRecord_->UsedBytes() != 0; }, deadline);
            continue;
        }
        taken.clear();
        collector.Offer(unit, length, taken);
        for (const std::vector<BYTE>& unit : taken) {
            if (unit.size() <= 4)
                continue;
            if (payloads.empty()) {
                *firstUnit = ReadUnitTimestamp(unit.data());
                *firstPicture = ScanMediaUnit(unit.data(), unit.size()).picture;
            }
            stageUnit(unit.data(), static_cast<DWORD>(unit.size()));
            payloads.insert(payloads.end(), unit.begin() + 4, unit.end());
        }
    }
    return true;
}

// The picture a file is recorded with: the live picture's, unless the parameter sets that begin the file
// still give the last file's picture and not the new one (a restart for a new size was told while units of
// the old size were still to be written).
KQ_AV_LiveContext::RecordFormat KQ_AV_LiveContext::formatForFile() {
    const RecordFormat told = currentFormat();
    if (carried_.empty()) // the first file, or a file after a failed open
        return told;
    const std::vector<BYTE>& unit = carried_.front();
    const std::vector<BYTE> sps = UnitSequenceParameterSet(unit.data(), static_cast<DWORD>(unit.size()));
    const bool givesTold = SpsGivesPicture(sps, told.width, told.height, told.largePicture);
    const bool givesLast =
        SpsGivesPicture(sps, fileFormat_.width, fileFormat_.height, fileFormat_.largePicture);
    return !givesTold && givesLast ? fileFormat_ : told;
}

HRESULT KQ_AV_LiveContext::OpenRecordFile(const std::wstring& name) {
    fileFormat_ = formatForFile();
    if (!recorder_->Open(name, fileFormat_.width, fileFormat_.height)) {
        carried_.clear(); // the units after them are not kept for a later try
        return E_FAIL;
    }
    fileOpen_ = true;
    staging_->Flush(); // a failed open before this one may have left units
    pictureStaged_ = false;
    std::vector<BYTE> payloads;
    DWORD firstUnit = 0;
    bool firstPicture = false;
    if (!collectFirstUnits(payloads, &firstUnit, &firstPicture) ||
        recorder_->AddVideoTrack(payloads.data(), payloads.size()) == 0) {
        closeRecordFile();
        staging_->Flush();
        pictureStaged_ = false;
        return E_FAIL;
    }
    const RecordFrameRate rate = LookUpRecordFrameRate(fileFormat_.rows50Hz, fileFormat_.largePicture);
    frameRate_ = rate.rate;
    frameDuration_ = rate.duration;
    // The file's first picture begins with the unit before it, normally the parameter sets; a file that
    // begins with a picture has it begin a frame before its timestamp.
    resetFileTimeline(firstPicture ? firstUnit - frameDuration_ / 90 : firstUnit);
    fileStart_ = recordEnvironment_.tickCount();
    return S_OK;
}

HRESULT KQ_AV_LiveContext::RolloverFile() {
    closeRecordFile();
    recorder_.reset(new (std::nothrow) KQ_AV_Mp4Recorder);
    if (!recorder_)
        return E_FAIL;
    const std::wstring name = RolloverFileName(recordPath_, rolloverIndex_++);
    return OpenRecordFile(name);
}

HRESULT KQ_AV_LiveContext::GetFreeDiskSpace(ULONGLONG* bytes) {
    *bytes = 0;
    return recordEnvironment_.freeSpace(RecordFolder(recordPath_), bytes) ? S_OK : E_FAIL;
}
