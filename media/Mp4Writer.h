// A thin MP4 file writer on libavformat's mp4 muxer, offering the operations the recorder needs:
// create the file, movie time scale, an H.264 track with its parameter sets, profile and picture shape,
// an AAC track with its decoder configuration, iods profiles, samples with their own duration and sync
// flag, the tool tag, and close.
//
// The file is fragmented: the movie header (with every track, but no samples) comes first, then the
// samples in fragments of at most a second, each with its own index, handed to the file as soon as it is
// complete; the close adds the last fragment and an index of the sync samples of the whole file. A file
// whose writer dies plays up to its last complete fragment.
//
// Every track must be declared before the muxer writes the file header, so the header is written at
// the first sample write (or at close): a track added after that is refused, and so is the tool tag.
// The sample data go to the file as they are (H.264 samples already length-prefixed); decoding times
// are the running sum of the durations. A track whose sample write failed is stopped and its later
// writes fail; the muxer cannot take a track out of the file again, but it leaves out a track that got
// no sample. One thread at a time uses a writer.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

class Mp4Writer {
public:
    struct H264Config {
        uint16_t width = 0; // of the sample entry
        uint16_t height = 0;
        uint32_t aspectNum = 0; // the pictures' sample aspect ratio (0: none)
        uint32_t aspectDen = 0;
        uint16_t displayWidth = 0; // the track header's display size (0: the muxer's, from the entry's)
        uint16_t displayHeight = 0;
        uint8_t profile = 0; // the three bytes behind the SPS's NAL header
        uint8_t compatibility = 0;
        uint8_t level = 0;
        uint8_t lengthSizeMinusOne = 3;
        std::vector<std::vector<uint8_t>> sequenceParameterSets; // NAL units without start code
        std::vector<std::vector<uint8_t>> pictureParameterSets;
    };

    Mp4Writer();
    ~Mp4Writer(); // finishes a file that is still open
    Mp4Writer(const Mp4Writer&) = delete;
    Mp4Writer& operator=(const Mp4Writer&) = delete;

    // Creates (truncates) the file at a native UTF-8 path; false when it cannot be created.
    bool create(const std::string& path);
    void setTimeScale(uint32_t movieTimeScale);

    // Track ids count from 1 in the order the tracks are added; 0 when the track cannot be added.
    uint32_t addH264Track(uint32_t timeScale, const H264Config& config);
    // The esds object type is always MPEG-4 audio (0x40); the config is the AudioSpecificConfig.
    uint32_t addAacTrack(uint32_t sampleRate, uint32_t channels, std::span<const uint8_t> config);
    // The profile bytes of the iods; the muxer writes no per-track entries in it.
    void setVideoProfileLevel(uint8_t profile);
    void setAudioProfileLevel(uint8_t profile);

    // duration in the track's time scale (a zero duration counts as 1: decoding times must rise).
    bool writeSample(uint32_t track, std::span<const uint8_t> data, uint32_t duration, bool sync);

    std::optional<std::string> tool() const;
    void setTool(const std::string& tool);

    // Writes the index and closes the file; false when any of it could not be written.
    bool close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
