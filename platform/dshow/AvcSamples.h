// Inside the MP4 demultiplexer: H.264 samples of an MP4 file (NAL units behind big-endian lengths, the
// parameter sets in the track's avcC record) turned into the Annex B byte stream the decode filter takes,
// with 4-byte start codes. Both readers bound every length by the bytes at hand.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace platform::dshow {

struct AvcConfig {
    int lengthSize = 4;                      // bytes of each NAL unit's length in the samples
    std::vector<std::uint8_t> parameterSets; // the SPS and PPS units, each behind a start code
};

// False for a record that is not an avcC of version 1 or runs past its end.
bool ParseAvcConfig(std::span<const std::uint8_t> record, AvcConfig* config);

// Appends the sample's NAL units to `out`, each behind 00 00 00 01; false (with the units read so far
// appended) when a length runs past the sample.
bool AppendAnnexB(std::span<const std::uint8_t> sample, int lengthSize, std::vector<std::uint8_t>* out);

} // namespace platform::dshow
