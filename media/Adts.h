// ADTS headers of the received AAC frames and the AudioSpecificConfig of the MP4 audio track.
// Frames come from the box and are untrusted: every length is checked against the data given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

constexpr size_t kAdtsMaxHeaderSize = 9;

// Finds the first ADTS header (a byte 0xFF, then one that masked with 0xF6 is 0xF0) and copies it
// whole (7 bytes, 9 with CRC) to header; offset, when given, receives its position in source.
// false when there is none or the data end inside it.
bool AdtsFindHeader(const uint8_t* source, size_t length, uint8_t (&header)[kAdtsMaxHeaderSize],
                    size_t* offset = nullptr);
// 7 when protection_absent is 1, else 9.
uint32_t AdtsHeaderSize(const uint8_t* header);
// The 13-bit frame length, header included.
uint32_t AdtsFrameSize(const uint8_t* header);

struct AdtsFields {
    uint8_t id;            // 0 MPEG-4, 1 MPEG-2
    uint8_t profile;       // audio object type - 1
    uint8_t samplingIndex; // 4 bits
    uint8_t channels;      // channel configuration, 3 bits
};
AdtsFields AdtsParseFields(const uint8_t* header);

// The sampling rate of an index of the sampling-frequency table (96000 down to 7350); 0 for 13 to 15.
uint32_t AacSamplingRate(uint32_t index);

// The raw AAC data of one ADTS frame (the frame without its header), or an empty span when the frame
// has no header, or its frame length is not above the header size or runs past the data.
std::span<const uint8_t> AdtsRawData(const uint8_t* frame, size_t length);

// AudioSpecificConfig: audioObjectType = profile + 1, the sampling-frequency index of the rate (15
// when it is not in the table, with no explicit frequency behind it), channelConfiguration.
std::array<uint8_t, 2> AacMakeConfig(uint32_t profile, uint32_t samplingRate, uint32_t channels);
