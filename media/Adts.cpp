#include "media/Adts.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kSamplingRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                         22050, 16000, 12000, 11025, 8000,  7350};

} // namespace

bool AdtsFindHeader(const uint8_t* source, size_t length, uint8_t (&header)[kAdtsMaxHeaderSize],
                    size_t* offset) {
    for (size_t i = 0; i + 1 < length; ++i) {
        if (source[i] != 0xFF || (source[i + 1] & 0xF6) != 0xF0)
            continue;
        const size_t size = AdtsHeaderSize(source + i);
        if (length - i < size)
            return false;
        std::memcpy(header, source + i, size);
        if (offset)
            *offset = i;
        return true;
    }
    return false;
}

uint32_t AdtsHeaderSize(const uint8_t* header) {
    return (header[1] & 1) ? 7 : 9;
}

uint32_t AdtsFrameSize(const uint8_t* header) {
    return ((header[3] & 3u) << 11) | (uint32_t{header[4]} << 3) | (header[5] >> 5);
}

AdtsFields AdtsParseFields(const uint8_t* header) {
    return {static_cast<uint8_t>((header[1] >> 3) & 1), static_cast<uint8_t>(header[2] >> 6),
            static_cast<uint8_t>((header[2] >> 2) & 0xF),
            static_cast<uint8_t>(((header[2] & 1) << 2) | (header[3] >> 6))};
}

uint32_t AacSamplingRate(uint32_t index) {
    return index < 13 ? kSamplingRates[index] : 0;
}

std::span<const uint8_t> AdtsRawData(const uint8_t* frame, size_t length) {
    uint8_t header[kAdtsMaxHeaderSize];
    size_t offset = 0;
    if (!AdtsFindHeader(frame, length, header, &offset))
        return {};
    const size_t headerSize = AdtsHeaderSize(header);
    const size_t frameSize = AdtsFrameSize(header);
    if (frameSize <= headerSize || frameSize > length - offset)
        return {};
    return {frame + offset + headerSize, frameSize - headerSize};
}

std::array<uint8_t, 2> AacMakeConfig(uint32_t profile, uint32_t samplingRate, uint32_t channels) {
    const uint32_t* found = std::find(std::begin(kSamplingRates), std::end(kSamplingRates), samplingRate);
    const uint32_t index =
        found == std::end(kSamplingRates) ? 15 : static_cast<uint32_t>(found - kSamplingRates);
    return {static_cast<uint8_t>(((profile + 1) << 3) | (index >> 1)),
            static_cast<uint8_t>(((index & 1) << 7) | ((channels & 0xF) << 3))};
}
