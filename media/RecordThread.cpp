// The record thread: takes the units of the record rings, interleaves them paced by the audio, gives each
// cycle's video the duration of its audio, and hands both to the MP4 recorder; rolls over to the next
// file after the period, when the picture size changes or when the stream's sequence parameter set does,
// and tells the main window once when the disk runs low or a write fails (the window then stops the
// recording: the thread never stops itself).
#include "media/LiveContext.h"

#include "media/AccessUnitKind.h"
#include "media/Mp4Recorder.h"
#include "media/PlayerMessages.h"
#include "media/RecordPlan.h"

#include "platform/win32/Clock.h"
#include "platform/win32/Messages.h"
#include "platform/win32/Sync.h"

namespace {

DWORD readLe32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

} // namespace

DWORD KQ_AV_LiveContext::RecordThreadProc(LPVOID self) {
    static_cast<KQ_AV_LiveContext*>(self)->RecordLoop();
    return 0;
}

void KQ_AV_LiveContext::RecordLoop() {
    while (recording_) {
        if (!audioAligned_) {
            DWORD firstVideo = 0;
            if (!staging_->PeekTimestamp(&firstVideo))
                firstVideo = 0;
            alignAudio(firstVideo);
        }
        const DWORD audioMs = takeAudio();
        stageVideo();
        writeStagedVideo(audioMs);
        checkFile();
        ++recordCycles_;
        Sleep(1);
    }
    previousAudio_ = 0;
    audioAligned_ = false;
    stagedCount_ = 0;
    stagedCompleting_ = 0;
    lowSpaceReported_ = false;
    SetEvent(recordEnd_);
}

// Drops the audio older than the first video unit of the file.
void KQ_AV_LiveContext::alignAudio(DWORD firstVideo) {
    BYTE* unit = recordUnit_.get();
    while (recording_) {
        DWORD timestamp = 0;
        if (!audioRecord_->PeekUnitTimestamp(&timestamp)) {
            Sleep(1);
            continue;
        }
        audioTime_ = timestamp;
        if (timestamp >= firstVideo)
            break;
        DWORD length = 0;
        audioRecord_->Read(unit, kLargestVideoUnit, &length);
        Sleep(1);
    }
    audioAligned_ = true;
}

// Writes the cycle's audio units; the first after a file open makes the audio track instead. Returns the
// audio time of the cycle in milliseconds.
DWORD KQ_AV_LiveContext::takeAudio() {
    BYTE* unit = recordUnit_.get();
    DWORD timestamp = 0;
    if (audioRecord_->PeekUnitTimestamp(&timestamp))
        audioTime_ = timestamp;
    DWORD total = 0;
    for (int taken = 0; taken < kCycleAudioUnits && recording_;) {
        DWORD length = 0;
        if (audioRecord_->Read(unit, kLargestVideoUnit, &length) == AV_RING_OK && length > 4) {
            ++taken;
            timestamp = readLe32(unit);
            total += AudioStepMs(previousAudio_, timestamp);
            previousAudio_ = timestamp;
            audioTime_ = timestamp;
            if (fileOpen_ && writing_) {
                if (audioTrackPending_) {
                    recorder_->AddAudioTrack(unit + 4, length - 4);
                    audioTrackPending_ = false;
                } else if (recorder_->WriteAudio(unit + 4, length - 4) == 0) {
                    writing_ = false;
                    reportDiskFull();
                }
            }
        }
        Sleep(1);
    }
    return total;
}

// Moves the video units up to the newest audio time into the staging ring; after a change of the
// sequence parameter set the rest waits for the next file.
void KQ_AV_LiveContext::stageVideo() {
    BYTE* unit = recordUnit_.get();
    while (recording_ && !sequenceChanged_) {
        DWORD timestamp = 0;
        if (!videoRecord_->PeekUnitTimestamp(&timestamp)) {
            Sleep(1);
            continue;
        }
        if (timestamp > audioTime_)
            return; // stays for a later cycle
        DWORD length = 0;
        if (videoRecord_->Read(unit, kLargestVideoUnit, &length) == AV_RING_OK)
            carryOrStage(unit, length);
        Sleep(1);
    }
}

// A parameter-set unit with another sequence parameter set than the file's avcC is held back: with the
// IDR unit behind it the stream has changed, and both begin the next file; before any other unit it is
// staged after all.
void KQ_AV_LiveContext::carryOrStage(const BYTE* unit, DWORD length) {
    if (!carried_.empty()) {
        if (ScanMediaUnit(unit, length).idr) {
            carried_.emplace_back(unit, unit + length);
            sequenceChanged_ = true;
            return;
        }
        stageUnit(carried_.front().data(), static_cast<DWORD>(carried_.front().size()));
        carried_.clear();
    }
    if (changesSequence(unit, length))
        carried_.emplace_back(unit, unit + length);
    else
        stageUnit(unit, length);
}

bool KQ_AV_LiveContext::changesSequence(const BYTE* unit, DWORD length) const {
    if (!fileOpen_ || !writing_ || !ScanMediaUnit(unit, length).parameterSets)
        return false;
    const std::vector<BYTE> sps = UnitSequenceParameterSet(unit, length);
    return !sps.empty() && sps != recorder_->SequenceParameterSet();
}

// Only a unit really written to the staging ring is counted.
void KQ_AV_LiveContext::stageUnit(const BYTE* unit, DWORD length) {
    if (staging_->Write(unit, length) != AV_RING_OK)
        return;
    ++stagedCount_;
    stagedCompleting_ += lastStagedPicture_;
    lastStagedPicture_ = ScanMediaUnit(unit, length).picture;
}

// Writes the staged units. The units that complete a picture share the cycle's audio time, so that the
// cycle's pictures in the file last exactly as long as its audio; the others (parameter sets before an
// IDR picture, the IDR unit behind them) get the same share, which the recorder only keeps as the last
// known duration.
void KQ_AV_LiveContext::writeStagedVideo(DWORD audioMs) {
    const DWORD count = stagedCount_;
    const DWORD completing = stagedCompleting_;
    stagedCount_ = 0;
    stagedCompleting_ = 0;
    if (count == 0)
        return;
    const DWORD shares = completing != 0 ? completing : count;
    const CycleDurations durations = SplitCycleDuration(audioMs, shares);
    BYTE* unit = recordUnit_.get();
    DWORD shared = 0;
    for (DWORD i = 0; i < count; ++i) {
        DWORD length = 0;
        if (staging_->Read(unit, kLargestVideoUnit, &length) != AV_RING_OK)
            break;
        const bool completes = completing == 0 || lastWrittenPicture_;
        lastWrittenPicture_ = ScanMediaUnit(unit, length).picture;
        const DWORD duration = completes && ++shared == shares ? durations.last : durations.each;
        if (fileOpen_ && writing_ && length > 4 &&
            recorder_->WriteVideo(unit + 4, length - 4, duration) == 0) {
            writing_ = false;
            reportDiskFull();
        }
        Sleep(1);
    }
}

// Rollover after the period, when the picture or the sequence parameter set changed, or when the last
// rollover could not open its file (the next try takes any parameter sets); then the free space.
void KQ_AV_LiveContext::checkFile() {
    if (writing_) {
        const DWORD elapsed = recordEnvironment_.tickCount() - fileStart_;
        const bool sizeChanged = !(currentFormat() == fileFormat_);
        if (!fileOpen_ || elapsed > RolloverPeriodMs(fileFormat_.sizeClass) || sizeChanged ||
            sequenceChanged_)
            RolloverFile(sizeChanged);
    }
    ULONGLONG bytes = 0;
    if (FAILED(GetFreeDiskSpace(&bytes)) || bytes < kLowSpaceBytes)
        reportDiskFull();
}

void KQ_AV_LiveContext::reportDiskFull() {
    if (lowSpaceReported_)
        return;
    lowSpaceReported_ = true;
    PostMessage(mainWindow_, WM_AV_DISK_FULL, 0, 0);
}
