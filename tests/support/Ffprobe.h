// ffprobe decoding every frame of a file: its exit status and what it printed, the "codec,frames" line of
// each stream and any error (an error line makes the output differ from the expected lines).
#pragma once

#include <array>
#include <cstdio>
#include <string>

struct Probe {
    int status;
    std::string output;
};

inline Probe runFfprobe(const std::string& file) {
    const std::string command =
        "ffprobe -v error -count_frames -show_entries stream=codec_name,nb_read_frames "
        "-of csv=p=0 '" +
        file + "' 2>&1";
    Probe probe{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return probe;
    std::array<char, 256> buffer;
    while (fgets(buffer.data(), buffer.size(), pipe))
        probe.output += buffer.data();
    probe.status = pclose(pipe);
    return probe;
}
