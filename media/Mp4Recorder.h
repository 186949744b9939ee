// KQ_AV_Mp4Recorder writes one MP4 file of a recording: track 1 H.264 (avc1, time scale 90000,
// 4-byte NAL lengths, parameter sets also kept in the samples) from the received access units, and
// track 2 AAC (mp4a, 1024 samples per frame) from the received ADTS frames, the way mp4creator 1.6.1
// imports raw streams, with the durations the caller chooses. The file is written in fragments (see
// Mp4Writer.h), so that it plays up to its last seconds when the program dies before the close. The
// video track's sample entry has the live picture size; it says what the pictures are by their sample
// aspect ratio, which shows them at 4:3 (8:15 for the field pictures of 720x288 that make the box's
// 720x576), and its track header gives the 4:3 display size of the live picture (768x576). The record
// thread of the live context drives it, one thread at a time; a new recorder is made for every file.
//
// Order of use: Open, AddVideoTrack, AddAudioTrack (from the first audio frame, before the first
// sample is written: the file header follows the first sample), then WriteAudio / WriteVideo, and
// Close. Input comes from the box and is untrusted; every length is checked.
#pragma once

#include "media/EsH264.h"
#include "media/Mp4Writer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class KQ_AV_Mp4Recorder {
public:
    KQ_AV_Mp4Recorder() = default;
    ~KQ_AV_Mp4Recorder() = default; // a file still open is finished by the writer

    // Creates the file (movie time scale 90000, the tool tag) and keeps the live picture size for the video
    // track's display size. false when the file cannot be created.
    bool Open(const std::wstring& path, uint32_t pictureWidth, uint32_t pictureHeight);

    // The video track from the payloads of the first units of the file (NAL units with start codes):
    // the first sequence parameter set gives the profile; every distinct sequence and picture
    // parameter set among them goes into the avcC. The track id, or 0 when there is no usable SPS.
    uint32_t AddVideoTrack(const uint8_t* buffer, size_t length);
    // The first sequence parameter set of the avcC (without start code); empty before the video track.
    const std::vector<uint8_t>& SequenceParameterSet() const { return sequenceParameterSet_; }

    // One access unit (without its timestamp). A picture is written when the first NAL unit of the
    // next picture arrives, with the duration (90 kHz ticks) given with that call; the last one at
    // Close. SEI messages of types 3, 10, 11, 12 and filler data are left out; IDR I pictures are
    // sync samples. 1, or 0 once a sample could not be written (the track is then stopped).
    int WriteVideo(const uint8_t* payload, size_t length, uint32_t duration);

    // The audio track from an ADTS header (searched for when the frame does not begin with it); the
    // frame itself is not written. The track id, or 0 (no header, a sampling index outside the table,
    // MPEG-2 AAC with profile 3, or a header already written).
    uint32_t AddAudioTrack(const uint8_t* frame, size_t length);

    // The raw AAC data of one ADTS frame as one sample. 0 when the sample could not be written; 1
    // otherwise, also when there is no audio track or the frame's length does not fit its data (the
    // frame is then dropped).
    int WriteAudio(const uint8_t* frame, size_t length);

    // Writes the pending picture with lastDuration (0: the last duration given) and closes the file;
    // false when the file could not be finished.
    bool Close(uint32_t lastDuration = 0);

private:
    void append(const std::vector<uint8_t>& unit, uint32_t startCodeLength);
    void setPictureShape(Mp4Writer::H264Config& config) const;
    bool writePicture(uint32_t duration);

    Mp4Writer writer_;
    EsNalReader reader_;
    EsParserState parser_;
    std::vector<uint8_t> sequenceParameterSet_;
    std::vector<uint8_t> sample_; // the picture being assembled, as length-prefixed NAL units
    bool sampleHasSlice_ = false; // a picture is pending, not only parameter sets or SEIs
    bool sync_ = false;
    bool videoFailed_ = false;
    uint32_t videoTrack_ = 0;
    uint32_t audioTrack_ = 0;
    uint32_t pictureWidth_ = 0;
    uint32_t pictureHeight_ = 0;
    uint32_t lastDuration_ = 0;
};

// The tool tag of a finished file: an existing tag that begins with "mp4creator" (any case) stays,
// another gets " mp4creator 1.6.1" behind it, none becomes "mp4creator 1.6.1".
std::string Mp4CreatorToolTag(const std::optional<std::string>& existing);
