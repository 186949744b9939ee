// Where each unit goes in the file. The staged audio and video units are written in the order of their
// timestamps; the sound is the master: its units follow each other without a gap, and the box time at which
// each lies (the anchor) comes from their timestamps. A unit's timestamp is the time of the record that
// completed it, the first of the next unit: so a picture lasts until its own timestamp (and until the next
// picture begins, at the timestamp of the parameter sets before it), mapped through the anchor; the
// pictures keep the box's own spacing and stay on the sound.
#include "media/LiveContext.h"

#include "media/AccessUnitKind.h"
#include "media/Mp4Recorder.h"
#include "media/RecordPlan.h"

#include <algorithm>
#include <climits>

namespace {

// A picture whose time would reach further than this past the last one's end is taken for a jump of the
// stream's clock when the sound that follows jumps as well.
constexpr LONGLONG kLongestStepTicks = 100 * 90;

} // namespace

void KQ_AV_LiveContext::resetFileTimeline(DWORD videoStart) {
    fileVideoStart_ = videoStart;
    audioAligned_ = false;
    audioTrackPending_ = true;
    anchored_ = false;
    audioUnitsWritten_ = 0;
    videoEnd_ = 0;
    pictureDuration_ = frameDuration_;
    lastVideoTime_ = videoStart;
    pictureWritten_ = false;
    rolloverDue_ = false;
    cut_ = false;
    audioEndsAt_.reset();
    videoEndsAt_.reset();
    videoStopped_ = false;
}

LONGLONG KQ_AV_LiveContext::fileTicks(DWORD timestamp) const {
    return static_cast<LONGLONG>(static_cast<LONG>(timestamp - anchorTime_)) * 90 + anchorTicks_;
}

ULONGLONG KQ_AV_LiveContext::audioTicks(ULONGLONG units) const {
    return AudioUnitsTicks(units, audioRate_);
}

// Whether an audio unit's middle lies before a time (box ms).
bool KQ_AV_LiveContext::audioMiddleBefore(DWORD timestamp, DWORD time) const {
    return static_cast<LONGLONG>(static_cast<LONG>(timestamp - time)) * 90 +
               static_cast<LONGLONG>(audioTicks(1) / 2) <
           0;
}

// The anchor follows the audio unit that comes next in the file when its timestamp lies more than half a
// unit away from where the sound has got to: the box's clock jumped, or units were lost.
void KQ_AV_LiveContext::followAudio(DWORD timestamp) {
    const LONGLONG at = static_cast<LONGLONG>(audioTicks(audioUnitsWritten_));
    if (anchored_ && std::abs(fileTicks(timestamp) - at) <= static_cast<LONGLONG>(audioTicks(1) / 2))
        return;
    anchorTime_ = timestamp;
    anchorTicks_ = at;
    anchored_ = true;
}

// Whether the audio unit may go into this file now: not past a cut, nor past the video's end at the stop.
bool KQ_AV_LiveContext::audioBelongs(DWORD timestamp) const {
    return (!cut_ || audioMiddleBefore(timestamp, cutTime_)) &&
           (!audioEndsAt_ || audioMiddleBefore(timestamp, *audioEndsAt_));
}

void KQ_AV_LiveContext::writeCycle() {
    BYTE* unit = recordUnit_.get();
    if (!fileOpen_ || !writing_) { // no file to write into: the units are dropped
        audioStaging_->Flush();
        staging_->Flush();
        audioStaged_ = pictureStaged_ = false;
        return;
    }
    alignAudio();
    for (;;) {
        DWORD audio = 0, video = 0;
        const bool haveAudio = audioAligned_ && audioStaging_->PeekTimestamp(&audio) && audioBelongs(audio);
        const bool haveVideo = staging_->PeekTimestamp(&video);
        if (!haveAudio && !haveVideo)
            break;
        DWORD length = 0;
        if (haveAudio && (!haveVideo || static_cast<LONG>(audio - video) <= 0)) {
            if (audioStaging_->Read(unit, kLargestVideoUnit, &length) == AV_RING_OK)
                writeAudioUnit(unit, length);
        } else if (staging_->Read(unit, kLargestVideoUnit, &length) == AV_RING_OK) {
            writeVideoUnit(unit, length);
        }
        if (!writing_)
            return;
    }
    audioStaged_ = audioStaging_->UsedBytes() != 0;
    pictureStaged_ = false;
}

// The file's sound begins with the audio unit nearest its first picture: the units whose middle lies before
// that picture are dropped.
void KQ_AV_LiveContext::alignAudio() {
    BYTE* unit = recordUnit_.get();
    DWORD timestamp = 0;
    while (!audioAligned_ && audioStaging_->PeekTimestamp(&timestamp) && audioBelongs(timestamp)) {
        DWORD length = 0;
        if (audioStaging_->Read(unit, kLargestVideoUnit, &length) != AV_RING_OK || length <= 4)
            continue;
        if (const DWORD rate = AdtsUnitRate(unit + 4, length - 4))
            audioRate_ = rate;
        if (audioMiddleBefore(timestamp, fileVideoStart_))
            continue;
        audioAligned_ = true;
        writeAudioUnit(unit, length);
    }
}

// The first audio unit of a file makes its audio track and is its first sample.
void KQ_AV_LiveContext::writeAudioUnit(const BYTE* unit, DWORD length) {
    if (length <= 4)
        return;
    if (audioTrackPending_) {
        recorder_->AddAudioTrack(unit + 4, length - 4);
        audioTrackPending_ = false;
    }
    lastAudioTime_ = ReadUnitTimestamp(unit);
    followAudio(lastAudioTime_);
    if (recorder_->WriteAudio(unit + 4, length - 4) == 0) {
        writing_ = false;
        reportDiskFull();
        return;
    }
    ++audioUnitsWritten_;
}

// The recorder writes a picture when the next unit begins, with the duration given then: the last picture's.
void KQ_AV_LiveContext::writeVideoUnit(const BYTE* unit, DWORD length) {
    if (length <= 4 || videoStopped_)
        return;
    const DWORD timestamp = ReadUnitTimestamp(unit);
    const bool picture = ScanMediaUnit(unit, length).picture;
    LONGLONG duration = 0;
    if (picture) {
        // At the stop, a picture whose middle lies past the sound's end is left out, with all after it.
        if (videoEndsAt_ && static_cast<LONG>(lastVideoTime_ - *videoEndsAt_) +
                                    static_cast<LONG>(timestamp - *videoEndsAt_) >=
                                0) {
            videoStopped_ = true;
            return;
        }
        if (!anchored_) { // no sound yet: the file's time begins with its first picture
            anchorTime_ = fileVideoStart_;
            anchorTicks_ = 0;
            anchored_ = true;
        }
        // When the sound goes on within a picture's reach of this one's end, a jump of its timestamps is a
        // jump of the stream's clock, which this picture's timestamp has made too.
        DWORD nextAudio = 0;
        if (fileTicks(timestamp) - static_cast<LONGLONG>(videoEnd_) > kLongestStepTicks &&
            audioStaging_->PeekTimestamp(&nextAudio) && audioBelongs(nextAudio) &&
            std::abs(static_cast<LONG>(nextAudio - timestamp)) * 90 <= kLongestStepTicks)
            followAudio(nextAudio);
        duration = std::max<LONGLONG>(fileTicks(timestamp) - static_cast<LONGLONG>(videoEnd_), 1);
    } else if (pictureWritten_) {
        // The next picture begins at this unit's time: the last one lasts until then.
        const LONGLONG gap = fileTicks(timestamp) - static_cast<LONGLONG>(videoEnd_);
        if (gap > 0 && gap <= kLongestStepTicks) {
            videoEnd_ += static_cast<ULONGLONG>(gap);
            pictureDuration_ += static_cast<DWORD>(gap);
        }
    }
    if (recorder_->WriteVideo(unit + 4, length - 4, pictureDuration_) == 0) {
        writing_ = false;
        reportDiskFull();
        return;
    }
    lastVideoTime_ = timestamp;
    if (picture) {
        videoEnd_ += static_cast<ULONGLONG>(duration);
        pictureDuration_ = static_cast<DWORD>(std::min<LONGLONG>(duration, UINT32_MAX));
        lastPictureTime_ = timestamp;
        pictureWritten_ = true;
    }
}

// At the stop: the track that would reach further is held to the other's end (box times).
void KQ_AV_LiveContext::endTracksTogether() {
    const bool anyPicture = pictureStaged_ || pictureWritten_;
    const bool anyAudio = audioStaged_ || audioUnitsWritten_ > 0;
    if (!anyPicture || !anyAudio)
        return;
    const DWORD videoEnd = pictureStaged_ ? newestPicture_ : lastPictureTime_;
    const DWORD audioEnd =
        (audioStaged_ ? newestAudio_ : lastAudioTime_) + static_cast<DWORD>(audioTicks(1) / 90);
    if (static_cast<LONG>(audioEnd - videoEnd) > 0)
        audioEndsAt_ = videoEnd;
    else
        videoEndsAt_ = audioEnd;
}
