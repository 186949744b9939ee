#include "media/Adts.h"

#include "tests/media/AnnexB.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// An ADTS header (7 bytes, or 9 with a CRC) for a frame of frameLength bytes in all.
Bytes adtsHeader(int id, int profile, int samplingIndex, int channels, uint32_t frameLength, bool crc) {
    Bytes h = {0xFF,
               static_cast<uint8_t>(0xF0 | (id << 3) | (crc ? 0 : 1)),
               static_cast<uint8_t>((profile << 6) | (samplingIndex << 2) | (channels >> 2)),
               static_cast<uint8_t>(((channels & 3) << 6) | ((frameLength >> 11) & 3)),
               static_cast<uint8_t>(frameLength >> 3),
               static_cast<uint8_t>(((frameLength & 7) << 5) | 0x1F),
               0xFC};
    if (crc) {
        h.push_back(0xAB);
        h.push_back(0xCD);
    }
    return h;
}

Bytes adtsFrame(const Bytes& header, size_t rawLength) {
    Bytes frame = header;
    for (size_t i = 0; i < rawLength; ++i)
        frame.push_back(static_cast<uint8_t>(i * 7 + 1));
    return frame;
}

TEST(Adts, Headers) {
    const struct {
        const char* name;
        Bytes header;
        uint32_t headerSize, frameSize;
        AdtsFields fields;
        uint32_t rate;
    } cases[] = {
        {"MPEG-4 LC 32000 stereo", adtsHeader(0, 1, 5, 2, 371, false), 7, 371, {0, 1, 5, 2}, 32000},
        {"with CRC", adtsHeader(0, 1, 3, 1, 200, true), 9, 200, {0, 1, 3, 1}, 48000},
        {"MPEG-2 main 96000 5.1", adtsHeader(1, 0, 0, 6, 8191, false), 7, 8191, {1, 0, 0, 6}, 96000},
        {"7350, channel configuration 7", adtsHeader(0, 3, 12, 7, 2048, true), 9, 2048, {0, 3, 12, 7}, 7350},
        {"index outside the table", adtsHeader(0, 1, 13, 2, 100, false), 7, 100, {0, 1, 13, 2}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AdtsHeaderSize(c.header.data()), c.headerSize);
        EXPECT_EQ(AdtsFrameSize(c.header.data()), c.frameSize);
        const AdtsFields f = AdtsParseFields(c.header.data());
        EXPECT_EQ(f.id, c.fields.id);
        EXPECT_EQ(f.profile, c.fields.profile);
        EXPECT_EQ(f.samplingIndex, c.fields.samplingIndex);
        EXPECT_EQ(f.channels, c.fields.channels);
        EXPECT_EQ(AacSamplingRate(f.samplingIndex), c.rate);
    }
    const Bytes fixture = readFile(fixturePath("audio.aac"));
    ASSERT_GE(fixture.size(), 7u);
    const AdtsFields f = AdtsParseFields(fixture.data());
    EXPECT_EQ(AacSamplingRate(f.samplingIndex), 32000u);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.profile, 1);
}

TEST(Adts, FindHeaderSearchesForTheSyncWord) {
    const Bytes plain = adtsHeader(0, 1, 5, 2, 100, false);
    const Bytes crc = adtsHeader(0, 1, 5, 2, 100, true);
    auto prefixed = [](Bytes prefix, const Bytes& header) {
        prefix.insert(prefix.end(), header.begin(), header.end());
        return prefix;
    };
    const struct {
        const char* name;
        Bytes data;
        bool found;
        size_t offset;
        Bytes header;
    } cases[] = {
        {"at the start", adtsFrame(plain, 10), true, 0, plain},
        {"behind other bytes", prefixed({0x12, 0xFF, 0x00, 0xFF}, crc), true, 4, crc},
        {"layer bits set are no header", prefixed({0xFF, 0xF2, 0xFF, 0xF7}, plain), true, 4, plain},
        {"7 bytes exactly", plain, true, 0, plain},
        {"cut inside the header", Bytes(plain.begin(), plain.begin() + 6), false, 0, {}},
        {"CRC header cut before the CRC", Bytes(crc.begin(), crc.begin() + 8), false, 0, {}},
        {"no sync word", Bytes(16, 0xF0), false, 0, {}},
        {"sync byte last", Bytes{0x00, 0xFF}, false, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t header[kAdtsMaxHeaderSize] = {};
        size_t offset = 99;
        ASSERT_EQ(AdtsFindHeader(c.data.data(), c.data.size(), header, &offset), c.found);
        if (c.found) {
            EXPECT_EQ(offset, c.offset);
            EXPECT_EQ(Bytes(header, header + c.header.size()), c.header);
        }
    }
}

TEST(Adts, RawDataIsBoundedByTheHeaderAndTheData) {
    const struct {
        const char* name;
        Bytes header;
        size_t rawInBuffer;
        size_t rawExpected; // 0: the frame is rejected
    } cases[] = {
        {"7-byte header", adtsHeader(0, 1, 5, 2, 107, false), 100, 100},
        {"9-byte header", adtsHeader(0, 1, 5, 2, 109, true), 100, 100},
        {"data beyond the frame length", adtsHeader(0, 1, 5, 2, 57, false), 100, 50},
        {"frame length past the data", adtsHeader(0, 1, 5, 2, 300, false), 100, 0},
        {"frame length of the header alone", adtsHeader(0, 1, 5, 2, 7, false), 100, 0},
        {"frame length below the CRC header", adtsHeader(0, 1, 5, 2, 8, true), 100, 0},
        {"frame length 0", adtsHeader(0, 1, 5, 2, 0, false), 100, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes frame = adtsFrame(c.header, c.rawInBuffer);
        const std::span<const uint8_t> raw = AdtsRawData(frame.data(), frame.size());
        ASSERT_EQ(raw.size(), c.rawExpected);
        if (!raw.empty()) {
            EXPECT_EQ(raw.data(), frame.data() + c.header.size());
        }
    }
    EXPECT_TRUE(AdtsRawData(nullptr, 0).empty());
}

TEST(Adts, AudioSpecificConfig) {
    const struct {
        uint32_t profile, rate, channels;
        std::array<uint8_t, 2> config;
    } cases[] = {
        {1, 48000, 2, {0x11, 0x90}}, {1, 44100, 1, {0x12, 0x08}}, {1, 32000, 2, {0x12, 0x90}},
        {0, 96000, 6, {0x08, 0x30}}, {3, 7350, 7, {0x26, 0x38}},  {1, 12345, 2, {0x17, 0x90}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AacMakeConfig(c.profile, c.rate, c.channels), c.config) << c.rate;
}

} // namespace
