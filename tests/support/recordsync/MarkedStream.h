// Test support: marked streams (tools/make-fixtures/make-marked-stream.sh) made at test time with ffmpeg
// and x264 into the build tree, once for every name and set of segments, and shared by the test processes
// that ask for the same one (a lock file orders them).
#pragma once

#include <string>
#include <vector>

namespace recordsync {

struct MarkedStream {
    bool made = false;
    std::string folder;        // a stream fixture folder: video.264, audio.aac, records.txt, units.txt
    std::string problem;       // why it was not made
    bool toolsMissing = false; // ffmpeg, ffprobe or x264 is not installed
};

// segments as the script takes them: "WIDTHxHEIGHT:PICTURES[:X264_OPTION,...]".
MarkedStream MakeMarkedStream(const std::string& name, const std::vector<std::string>& segments);

} // namespace recordsync
