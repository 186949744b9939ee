// Test support: fixture files and a plain Annex B splitter of the tests' own.
#pragma once

#include "tests/support/ReadFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string fixturePath(const std::string& name) {
    return std::string(VELOQ_FIXTURES_DIR) + "/recorder/" + name;
}

// The NAL units of an Annex B stream, without their start codes.
inline std::vector<std::vector<uint8_t>> splitNals(const std::vector<uint8_t>& stream) {
    std::vector<size_t> starts; // first byte behind each 00 00 01
    for (size_t i = 0; i + 2 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1)
            starts.push_back(i + 3);
    }
    std::vector<std::vector<uint8_t>> nals;
    for (size_t k = 0; k < starts.size(); ++k) {
        size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : stream.size();
        while (end > starts[k] && stream[end - 1] == 0) // zero byte of a 4-byte start code
            --end;
        nals.emplace_back(stream.begin() + starts[k], stream.begin() + end);
    }
    return nals;
}

inline std::vector<uint8_t> withStartCode(const std::vector<uint8_t>& nal) {
    std::vector<uint8_t> unit(nal.size() + 4);
    unit[3] = 1;
    std::copy(nal.begin(), nal.end(), unit.begin() + 4);
    return unit;
}

// The frames of an ADTS stream, each with its header.
inline std::vector<std::vector<uint8_t>> adtsFrames(const std::vector<uint8_t>& stream) {
    std::vector<std::vector<uint8_t>> frames;
    for (size_t pos = 0; stream.size() - pos >= 7;) {
        const size_t length = ((stream[pos + 3] & 3) << 11) | (stream[pos + 4] << 3) | (stream[pos + 5] >> 5);
        if (length < 7 || length > stream.size() - pos)
            break;
        frames.emplace_back(stream.begin() + pos, stream.begin() + pos + length);
        pos += length;
    }
    return frames;
}
