#include "h264/Context.h"
#include "h264/CpuFeatures.h"
#include "tests/h264/DecodeHelpers.h"
#include "tests/h264/StreamWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace h264test;

namespace {

// Three IDR pictures of 2x2 I_PCM macroblocks with luma 10, 20, 30.
std::vector<std::vector<uint8_t>> threeAccessUnits() {
    SpsParams sps;
    PpsParams pps;
    std::vector<std::vector<uint8_t>> units;
    for (int i = 0; i < 3; ++i) {
        SliceParams s;
        s.idrPicId = uint32_t(i);
        std::vector<uint8_t> au = i == 0 ? parameterSets(sps, pps) : std::vector<uint8_t>{};
        const std::vector<uint8_t> pic = ipcmPicture(s, sps, pps, uint8_t(10 * (i + 1)));
        au.insert(au.end(), pic.begin(), pic.end());
        units.push_back(au);
    }
    return units;
}

std::vector<uint8_t> joined(const std::vector<std::vector<uint8_t>>& units) {
    std::vector<uint8_t> out;
    for (const auto& u : units)
        out.insert(out.end(), u.begin(), u.end());
    return out;
}

TEST(DecoderApi, ConfigurationDefaultsAndLimits) {
    struct Case {
        H264DecoderConfig config;
        uint32_t width, height, dpb, buffers;
        bool zeroCopy;
    } cases[] = {
        {{0, 0, 0, 0, 0, 0, 0}, 45, 36, 4, 12, false},
        {{0, 0, 200, 3, 17, 0, 0}, 45, 36, 16, 36, false},
        {{0, 0, -1, -1, -1, 1, 0}, 45, 36, 16, 36, true},
        {{0, 0, 2, 6, 1, 3, 0}, 2, 6, 1, 6, true},
        {{0, 0, 128, 128, 16, 0, 0}, 128, 128, 16, 36, false},
    };
    for (const Case& c : cases) {
        H264DecoderContext* d = H264DecoderCreateAtLevel(&c.config, 2);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->maxWidthInMbs, c.width);
        EXPECT_EQ(d->maxHeightInMbs, c.height);
        EXPECT_EQ(d->dpbFrames, c.dpb);
        EXPECT_EQ(d->numFrameBuffers, c.buffers);
        EXPECT_EQ(d->zeroCopy, c.zeroCopy);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(d->planeY[c.buffers - 1]) % 16, 0u);
        H264DecoderDestroy(d);
    }
}

// Where no macroblock of a picture was decoded it shows what a new decoder's buffers hold: luma 0, chroma
// 128 (the buffers are filled when first taken, not at creation).
TEST(DecoderApi, UndecodedAreasOfAFirstPictureAreBlackGrey) {
    SpsParams sps;
    PpsParams pps;
    std::vector<uint8_t> stream = parameterSets(sps, pps);
    BitWriter w;
    sliceHeader(w, SliceParams{}, sps, pps);
    ipcmMacroblocks(w, 1, false, 0, sps.widthMbsMinus1 + 1,
                    [](int plane, uint32_t, uint32_t) { return uint8_t(plane ? 60 : 50); });
    w.trailing();
    appendNal(stream, 1, 5, w.bytes());
    SliceParams next;
    next.idrPicId = 1;
    const std::vector<uint8_t> full = ipcmPicture(next, sps, pps, 90);
    stream.insert(stream.end(), full.begin(), full.end());
    for (unsigned level : {2u, 4u})
        for (int32_t flags : {0, H264_FLAG_ZERO_COPY}) {
            const Decoded d = decodeStream(stream, smallConfig(16, flags), level);
            ASSERT_EQ(d.frames.size(), 2u);
            const Frame& f = d.frames[0];
            EXPECT_EQ(f.incomplete, 1);
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width; ++x)
                    ASSERT_EQ(f.y[size_t(y) * f.width + x], x < 16 && y < 16 ? 50 : 0) << x << "," << y;
            for (int y = 0; y < f.height / 2; ++y)
                for (int x = 0; x < f.width / 2; ++x) {
                    const uint8_t expected = x < 8 && y < 8 ? 60 : 128;
                    ASSERT_EQ(f.cb[size_t(y) * f.width / 2 + x], expected) << x << "," << y;
                    ASSERT_EQ(f.cr[size_t(y) * f.width / 2 + x], expected) << x << "," << y;
                }
            EXPECT_EQ(d.frames[1].y[0], 90);
        }
}

TEST(DecoderApi, FeatureLevelChoosesTheKernelSet) {
    const H264DecoderConfig config = smallConfig();
    const unsigned measured = h264::CpuFeatureLevel();
    struct Case {
        unsigned level;
        int kernels; // 0: no decoder
    } cases[] = {{0, 0}, {1, 0}, {2, 2}, {3, 2}, {4, measured >= 4 ? 4 : 2}, {5, measured >= 4 ? 4 : 2}};
    for (const Case& c : cases) {
        H264DecoderContext* d = H264DecoderCreateAtLevel(&config, c.level);
        if (c.kernels == 0 || measured < 2) {
            EXPECT_EQ(d, nullptr) << c.level;
            continue;
        }
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(H264DecoderGetDiagnostics(d)->kernelLevel, c.kernels) << c.level;
        H264DecoderDestroy(d);
    }
}

TEST(DecoderApi, BadArgumentsChangeNothing) {
    const H264DecoderConfig config = smallConfig();
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, 2);
    DecodedPicture p;
    const auto stream = joined(threeAccessUnits());
    EXPECT_EQ(H264DecoderDecode(nullptr, stream.data(), uint32_t(stream.size()), 0, 0, &p, 0),
              DECODE_BAD_ARGUMENT);
    EXPECT_EQ(H264DecoderDecode(d, stream.data(), uint32_t(stream.size()), 0, 0, nullptr, 0),
              DECODE_BAD_ARGUMENT);
    EXPECT_EQ(H264DecoderGetPicture(d, nullptr), DECODE_BAD_ARGUMENT);
    EXPECT_EQ(H264DecoderGetPicture(nullptr, &p), DECODE_BAD_ARGUMENT);
    EXPECT_EQ(d->diagnostics.nalUnits, 0u);
    EXPECT_EQ(H264DecoderGetPicture(d, &p), DECODE_NO_MORE_PICTURES);
    H264DecoderDestroy(d);
    H264DecoderDestroy(nullptr);
}

TEST(DecoderApi, OneAccessUnitPerCallComesOutTwoCallsLater) {
    const H264DecoderConfig config = smallConfig();
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, 2);
    const auto units = threeAccessUnits();
    DecodedPicture p;
    std::vector<int> results;
    for (size_t i = 0; i < units.size(); ++i) {
        int r = H264DecoderDecode(d, units[i].data(), uint32_t(units[i].size()), int32_t(i), 7, &p, 1);
        results.push_back(r);
        if (r == DECODE_OK) {
            EXPECT_EQ(p.lumaPlane[0], 10);
            EXPECT_EQ(p.userValue1, 1); // the call that completed its slice
            EXPECT_EQ(p.userValue2, 7);
            EXPECT_EQ(p.idr, 1);
            r = H264DecoderDecode(d, nullptr, 0, 0, 0, &p, 0);
            EXPECT_EQ(r, DECODE_NEED_MORE_DATA);
        }
    }
    EXPECT_EQ(results, (std::vector<int>{DECODE_NEED_MORE_DATA, DECODE_NEED_MORE_DATA, DECODE_OK}));
    // The end of the unit flushes the remaining pictures one per call, once.
    EXPECT_EQ(H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT), DECODE_OK);
    EXPECT_EQ(p.lumaPlane[0], 20);
    EXPECT_EQ(H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT), DECODE_OK);
    EXPECT_EQ(p.lumaPlane[0], 30);
    EXPECT_EQ(H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT), DECODE_NO_MORE_PICTURES);
    EXPECT_EQ(H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT), DECODE_NO_MORE_PICTURES);
    // Data of length 0 is no data.
    EXPECT_EQ(H264DecoderDecode(d, units[0].data(), 0, 0, 0, &p, 0), DECODE_NEED_MORE_DATA);
    H264DecoderDestroy(d);
}

TEST(DecoderApi, AnySplitOfTheInputGivesTheSamePictures) {
    const auto stream = joined(threeAccessUnits());
    const Decoded whole = decodeStream(stream, smallConfig());
    ASSERT_EQ(whole.frames.size(), 3u);
    for (size_t chunk : {1, 2, 3, 5, 64, 383}) {
        const Decoded split = decodeStream(stream, smallConfig(), 2, chunk);
        EXPECT_EQ(md5Hex(split.frames), md5Hex(whole.frames)) << chunk;
        EXPECT_EQ(split.frames.size(), 3u) << chunk;
    }
}

TEST(DecoderApi, ZeroCopyHandsOutFrameBuffers) {
    const Decoded d = decodeStream(joined(threeAccessUnits()), smallConfig(16, H264_FLAG_ZERO_COPY));
    ASSERT_EQ(d.frames.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(d.frames[i].y[0], 10 * (i + 1));
}

TEST(DecoderApi, InPlaceOutputHandsOutFrameBuffersInDecodingOrder) {
    const H264DecoderConfig config = smallConfig(16, H264_FLAG_IN_PLACE_OUTPUT);
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, 2);
    ASSERT_NE(d, nullptr);
    DecodedPicture p;
    std::vector<int> lumas;
    std::vector<const uint8_t*> planes;
    const auto stream = joined(threeAccessUnits());
    for (int r = H264DecoderDecode(d, stream.data(), uint32_t(stream.size()), 0, 0, &p, 0); r == DECODE_OK;
         r = H264DecoderDecode(d, nullptr, 0, 0, 0, &p, 0)) {
        lumas.push_back(p.lumaPlane[0]);
        planes.push_back(p.lumaPlane);
    }
    while (H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT) == DECODE_OK) {
        lumas.push_back(p.lumaPlane[0]);
        planes.push_back(p.lumaPlane);
    }
    H264DecoderDestroy(d);
    EXPECT_EQ(lumas, (std::vector<int>{10, 20, 30}));
    // A picture is being decoded while the one before it waits to go out: consecutive pictures lie in
    // different frame buffers, where the output copy would be one plane.
    ASSERT_EQ(planes.size(), 3u);
    EXPECT_NE(planes[0], planes[1]);
    EXPECT_NE(planes[1], planes[2]);
}

TEST(DecoderApi, EmptyAndOverlongUnitsAreSkipped) {
    const auto units = threeAccessUnits();
    std::vector<uint8_t> stream = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1};
    stream.insert(stream.end(), units[0].begin(), units[0].end());
    // A unit longer than the NAL buffer of a 2x6 decoder (400 bytes a macroblock plus 4096).
    stream.insert(stream.end(), {0, 0, 0, 1, 0x06});
    stream.insert(stream.end(), 400 * 12 + 5000, 0x55);
    stream.insert(stream.end(), units[1].begin(), units[1].end());
    H264DecoderConfig config = smallConfig();
    config.maxWidthInMbs = 2, config.maxHeightInMbs = 6;
    const Decoded d = decodeStream(stream, config);
    EXPECT_EQ(d.frames.size(), 2u);
    EXPECT_GE(d.diagnostics.emptyUnits, 2u);
    EXPECT_EQ(d.diagnostics.droppedUnits, 1u);
}

// The scanner contract as a plain byte-by-byte loop: the units it completes, trimmed of their trailing zero
// bytes (empty for a unit of zeros only).
struct ScannerModel {
    explicit ScannerModel(uint32_t bufferCapacity) : capacity(bufferCapacity) {}

    uint32_t capacity;
    uint32_t shift = 0x1010100, startCodes = 0;
    std::vector<uint8_t> buffer;
    std::vector<std::vector<uint8_t>> units;

    void feed(const std::vector<uint8_t>& bytes) {
        for (const uint8_t b : bytes) {
            if (buffer.size() >= capacity) {
                buffer.clear();
                startCodes = 0;
            }
            const uint32_t window = (shift | b) & 0xFFFFFF;
            if (startCodes == 1 && window != 3)
                buffer.push_back(b);
            if (window == 1)
                ++startCodes;
            shift = window << 8;
            if (startCodes == 2) {
                size_t end = buffer.size() - 3;
                while (end > 0 && buffer[end - 1] == 0)
                    --end;
                units.emplace_back(buffer.begin(), buffer.begin() + long(end));
                buffer.clear();
                startCodes = 1;
            }
        }
    }
};

// Units of filler type full of zero runs, 00 00 03 escapes, 00 00 02 and bytes with the top bit set, a few
// longer than the NAL buffer, fed in random pieces: every unit reaches the bit reader as the byte-wise
// scanner delivers it.
TEST(DecoderApi, ScannerDeliversUnitsAsTheByteWiseContractDoes) {
    H264DecoderConfig config = smallConfig();
    config.maxWidthInMbs = 2, config.maxHeightInMbs = 6;
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, 2);
    ScannerModel model(d->reader.capacity);
    std::mt19937 random(7);
    const uint8_t alphabet[] = {0, 0, 0, 0, 1, 2, 3, 3, 0x80, 0xFF, 0x41};
    DecodedPicture p;
    size_t checked = 0;
    for (int unit = 0; unit < 400; ++unit) {
        std::vector<uint8_t> bytes = {0x0C}; // filler unit
        if (unit == 0)
            bytes.insert(bytes.begin(), {0, 0, 1});
        const size_t length = unit % 50 == 49 ? d->reader.capacity * 5 / 4 : random() % 300;
        for (size_t i = 0; i < length; ++i) {
            uint8_t b = alphabet[random() % sizeof alphabet];
            if (b == 0x41)
                b = uint8_t(random());
            const size_t n = bytes.size();
            if (n >= 2 && bytes[n - 1] == 0 && bytes[n - 2] == 0 && b < 2)
                b = 3; // no start code inside the unit
            bytes.push_back(b);
        }
        if (random() % 4 == 0)
            bytes.push_back(0); // the extra zero of a 4-byte start code
        bytes.insert(bytes.end(), {0, 0, 1});
        // Pieces of random length; the last one ends with the start code that completes the unit, so the
        // NAL buffer still holds the unit when the call returns.
        for (size_t at = 0; at < bytes.size();) {
            const size_t piece = std::min<size_t>(bytes.size() - at, 1 + random() % 40);
            const std::vector<uint8_t> part(bytes.begin() + long(at), bytes.begin() + long(at + piece));
            const size_t before = model.units.size();
            model.feed(part);
            const uint32_t emptyBefore = d->diagnostics.emptyUnits;
            const uint32_t unitsBefore = d->diagnostics.nalUnits;
            EXPECT_EQ(H264DecoderDecode(d, part.data(), uint32_t(part.size()), 0, 0, &p, 0),
                      DECODE_NEED_MORE_DATA);
            ASSERT_LE(model.units.size(), before + 1);
            if (model.units.size() == before + 1) {
                const std::vector<uint8_t>& u = model.units.back();
                if (u.empty()) {
                    EXPECT_EQ(d->diagnostics.emptyUnits, emptyBefore + 1);
                } else {
                    ASSERT_EQ(d->diagnostics.nalUnits, unitsBefore + 1) << unit;
                    ASSERT_EQ(d->reader.bitCount, 8 * (u.size() - 1)) << unit;
                    EXPECT_EQ(std::memcmp(d->reader.buffer, u.data(), u.size()), 0) << unit;
                    ++checked;
                }
            } else {
                EXPECT_EQ(d->diagnostics.nalUnits, unitsBefore);
            }
            at += piece;
        }
    }
    EXPECT_GT(checked, 300u);
    EXPECT_EQ(d->diagnostics.droppedUnits, 8u);
    H264DecoderDestroy(d);
}

} // namespace
