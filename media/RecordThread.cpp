// The record thread: takes the units of the record rings a cycle at a time (the audio units of the cycle,
// then the video units up to the newest of them), hands both to the MP4 recorder in step by their
// timestamps (RecordTimeline.cpp), rolls over to the next file after the period, when the picture size
// changes or when the stream's sequence parameter set does (at the next parameter sets with an IDR picture,
// which begin the next file), and tells the main window once when the disk runs low or a write fails (the
// window then stops the recording: the thread never stops itself). At the stop it writes what has come
// before it. It waits on the record rings' fill, never polls them.
#include "media/LiveContext.h"

#include "media/AccessUnitKind.h"
#include "media/Mp4Recorder.h"
#include "media/PlayerMessages.h"
#include "media/RecordPlan.h"

#include "platform/win32/Messages.h"
#include "platform/win32/Sync.h"


DWORD KQ_AV_LiveContext::RecordThreadProc(LPVOID self) {
    static_cast<KQ_AV_LiveContext*>(self)->RecordLoop();
    return 0;
}

void KQ_AV_LiveContext::RecordLoop() {
    while (recording_) {
        takeAudio(true);
        stageVideo(true);
        if (!recording_)
            break; // the stop writes what is staged, both tracks ending together
        writeCycle();
        checkFile();
        ++recordCycles_;
    }
    finishRecording();
    lowSpaceReported_ = false;
    SetEvent(recordEnd_);
}

bool KQ_AV_LiveContext::waitForRecordUnits(const std::function<bool()>& ready, platform::Duration deadline) {
    std::unique_lock lock(tapMutex_);
    const auto done = [&] { return !recording_ || ready(); };
    if (deadline == platform::Duration::max())
        recordUnits_.wait(lock, done);
    else
        platform::WaitUntilScaled(recordUnits_, lock, deadline, done);
    return recording_ && ready();
}

// Moves a cycle's audio units (with wait: waiting for them; without: what there is) into the audio staging
// ring.
void KQ_AV_LiveContext::takeAudio(bool wait) {
    BYTE* unit = recordUnit_.get();
    for (int taken = 0; !wait || taken < kCycleAudioUnits;) {
        DWORD timestamp = 0;
        const auto arrived = [&] { return audioRecord_->PeekUnitTimestamp(&timestamp); };
        if (!arrived() && (!wait || !waitForRecordUnits(arrived)))
            return;
        DWORD length = 0;
        if (audioRecord_->Read(unit, kLargestVideoUnit, &length) != AV_RING_OK)
            continue;
        ++taken;
        if (audioStaging_->Write(unit, length) == AV_RING_OK) {
            newestAudio_ = timestamp;
            audioStaged_ = true;
        }
    }
}

// Moves the video units up to the newest audio time into the staging ring (with wait: waiting for the first
// unit newer than it, which stays for a later cycle; without: every unit there is); stops at a pair that
// begins the next file.
void KQ_AV_LiveContext::stageVideo(bool wait) {
    BYTE* unit = recordUnit_.get();
    while (!cut_) {
        DWORD timestamp = 0;
        const auto arrived = [&] { return videoRecord_->PeekUnitTimestamp(&timestamp); };
        if (!arrived() && (!wait || !waitForRecordUnits(arrived)))
            return;
        if (wait && (!audioStaged_ || static_cast<LONG>(timestamp - newestAudio_) > 0))
            return;
        DWORD length = 0;
        if (videoRecord_->Read(unit, kLargestVideoUnit, &length) == AV_RING_OK)
            stageOrHold(unit, length);
    }
}

// A parameter-set unit is held back until the unit behind it shows whether the pair begins the next file:
// an IDR unit after parameter sets that the file cannot go on with (another sequence parameter set, the
// period over, a new picture size that they give).
void KQ_AV_LiveContext::stageOrHold(const BYTE* unit, DWORD length) {
    const AccessUnitKind kind = ScanMediaUnit(unit, length);
    if (!carried_.empty()) {
        const std::vector<BYTE> held = std::move(carried_.front());
        carried_.clear();
        if (kind.idr && startsNewFile(held.data(), static_cast<DWORD>(held.size()))) {
            cutTime_ = ReadUnitTimestamp(held.data());
            carried_.push_back(held);
            carried_.emplace_back(unit, unit + length);
            cut_ = true;
            return;
        }
        stageUnit(held.data(), static_cast<DWORD>(held.size()));
    }
    if (kind.parameterSets && !kind.picture && fileOpen_ && writing_)
        carried_.emplace_back(unit, unit + length);
    else
        stageUnit(unit, length);
}

bool KQ_AV_LiveContext::startsNewFile(const BYTE* parameterSets, DWORD length) {
    const std::vector<BYTE> sps = UnitSequenceParameterSet(parameterSets, length);
    if (sps.empty())
        return false;
    if (sps != recorder_->SequenceParameterSet() || rolloverDue_)
        return true;
    const RecordFormat format = currentFormat();
    return !(format == fileFormat_) && SpsGivesPicture(sps, format.width, format.height, format.largePicture);
}

// Only a unit really written to the staging ring counts.
void KQ_AV_LiveContext::stageUnit(const BYTE* unit, DWORD length) {
    if (length <= 4 || staging_->Write(unit, length) != AV_RING_OK)
        return;
    if (ScanMediaUnit(unit, length).picture) {
        newestPicture_ = ReadUnitTimestamp(unit);
        pictureStaged_ = true;
    }
}

// Rollover at a pair that begins the next file, and again after an open that failed (the next try begins
// with the next parameter sets and IDR unit); the period; then the free space.
void KQ_AV_LiveContext::checkFile() {
    if (writing_ && (cut_ || !fileOpen_))
        RolloverFile();
    cut_ = false;
    if (fileOpen_ && recordEnvironment_.tickCount() - fileStart_ > RolloverPeriodMs(fileFormat_.sizeClass))
        rolloverDue_ = true;
    ULONGLONG bytes = 0;
    if (FAILED(GetFreeDiskSpace(&bytes)) || bytes < kLowSpaceBytes)
        reportDiskFull();
}

// What came before the stop goes into the file: what is left in the record rings, a pair held for the next
// file too. The track that reaches further loses what lies beyond the other's end (to the nearest unit).
void KQ_AV_LiveContext::finishRecording() {
    cut_ = false;
    takeAudio(false);
    for (const std::vector<BYTE>& unit : carried_)
        stageUnit(unit.data(), static_cast<DWORD>(unit.size()));
    carried_.clear();
    BYTE* unit = recordUnit_.get();
    for (DWORD length = 0; videoRecord_->Read(unit, kLargestVideoUnit, &length) == AV_RING_OK;)
        stageUnit(unit, length);
    endTracksTogether();
    writeCycle();
    audioStaging_->Flush();
    staging_->Flush();
}

void KQ_AV_LiveContext::reportDiskFull() {
    if (lowSpaceReported_)
        return;
    lowSpaceReported_ = true;
    PostMessage(mainWindow_, WM_AV_DISK_FULL, 0, 0);
}
