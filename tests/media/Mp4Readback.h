// Test support: an MP4 file read back through libavformat's demuxer, and a small box reader for what
// the demuxer does not show (movie time scale, iods profiles, esds object type).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct ReadSample {
    std::vector<uint8_t> data;
    int64_t dts = 0;
    int64_t duration = 0;
    bool sync = false;
};

struct ReadTrack {
    int id = 0;
    std::string kind;  // "video", "audio"
    std::string codec; // "h264", "aac"
    int timeScale = 0; // of a time base 1/timeScale
    std::vector<uint8_t> extradata;
    int sampleRate = 0;
    int channels = 0;
    int width = 0;
    int height = 0;
    std::vector<ReadSample> samples;
};

struct ReadMp4 {
    bool opened = false;
    std::string encoder; // the tool tag
    std::vector<ReadTrack> tracks;
};

ReadMp4 readMp4(const std::string& path);

// The payload of the index-th child box of the given type inside a box payload (or a whole file).
std::optional<std::span<const uint8_t>> findBox(std::span<const uint8_t> payload, const char* type,
                                                int index = 0);

struct Descriptor {
    uint8_t tag = 0;
    std::span<const uint8_t> body;
};
// An MPEG-4 descriptor (tag, expandable size, body) at the start of data.
std::optional<Descriptor> readDescriptor(std::span<const uint8_t> data);
