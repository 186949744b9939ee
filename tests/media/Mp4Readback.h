// Test support: an MP4 file read back through libavformat's demuxer (the box reader for what the demuxer
// does not show is Mp4Boxes.h).
#pragma once

#include "tests/support/recordsync/Mp4Boxes.h"

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
    int width = 0; // the coded picture
    int height = 0;
    int aspectNum = 0; // the sample aspect ratio (0/1: none)
    int aspectDen = 1;
    int displayWidth = 0; // the track header's display size
    int displayHeight = 0;
    std::vector<ReadSample> samples;
};

struct ReadMp4 {
    bool opened = false;
    std::string encoder; // the tool tag
    std::vector<ReadTrack> tracks;
};

ReadMp4 readMp4(const std::string& path);
