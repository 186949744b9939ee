// Test support for the recorder: a scratch folder and sample layout helpers.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// A private temporary folder for the files a test writes, removed with them at its end. Unlike TempFolder
// (tests/support/fakes) it leaves the program's folder where it is.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "veloq-recorder-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::wstring wfile(const std::string& name) const { return (path_ / name).wstring(); }

private:
    std::filesystem::path path_;
};

// NAL units without start codes, each behind its 4-byte big-endian length: one MP4 video sample.
inline std::vector<uint8_t> lengthPrefixed(const std::vector<std::vector<uint8_t>>& nals) {
    std::vector<uint8_t> sample;
    for (const auto& nal : nals) {
        const size_t n = nal.size();
        const uint8_t length[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        sample.insert(sample.end(), length, length + 4);
        sample.insert(sample.end(), nal.begin(), nal.end());
    }
    return sample;
}

// The avcC the recorder writes: version 1, profile bytes of the SPS, 4-byte lengths, one SPS, one PPS.
inline std::vector<uint8_t> expectedAvcC(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps) {
    std::vector<uint8_t> avcC = {
        1, sps[1], sps[2], sps[3], 0xFF, 0xE1, uint8_t(sps.size() >> 8), uint8_t(sps.size())};
    avcC.insert(avcC.end(), sps.begin(), sps.end());
    avcC.push_back(1);
    avcC.push_back(uint8_t(pps.size() >> 8));
    avcC.push_back(uint8_t(pps.size()));
    avcC.insert(avcC.end(), pps.begin(), pps.end());
    return avcC;
}
