#include "h264/Context.h"
#include "tests/h264/DecodeHelpers.h"
#include "tests/h264/StreamWriter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace h264test;

namespace {

// Decodes the units and answers the decoder for inspection; the caller destroys it.
H264DecoderContext* decodeUnits(const std::vector<uint8_t>& stream, const H264DecoderConfig& config) {
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, 2);
    DecodedPicture p;
    for (int r = H264DecoderDecode(d, stream.data(), uint32_t(stream.size()), 0, 0, &p, 0); r == DECODE_OK;)
        r = H264DecoderDecode(d, nullptr, 0, 0, 0, &p, 0);
    while (H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT) == DECODE_OK) {
    }
    return d;
}

int32_t lastResult(const std::vector<uint8_t>& stream, const H264DecoderConfig& config = smallConfig()) {
    H264DecoderContext* d = decodeUnits(stream, config);
    const int32_t r = H264DecoderGetDiagnostics(d)->lastNalResult;
    H264DecoderDestroy(d);
    return r;
}

std::vector<uint8_t> spsUnit(const SpsParams& s) {
    std::vector<uint8_t> out;
    appendNal(out, 3, 7, spsPayload(s));
    return out;
}

TEST(ParameterSets, SequenceParameterSetChecks) {
    struct Case {
        const char* name;
        std::function<void(SpsParams&)> change;
        int32_t dpbFrames;
        int32_t result;
    } cases[] = {
        {"45x36 fits", [](SpsParams& s) { s.widthMbsMinus1 = 44, s.heightMbsMinus1 = 35; }, 16, 7},
        {"46 wide", [](SpsParams& s) { s.widthMbsMinus1 = 45, s.heightMbsMinus1 = 35; }, 16, 0x2000000C},
        {"37 high", [](SpsParams& s) { s.heightMbsMinus1 = 36; }, 16, 0x2000000C},
        {"1 wide", [](SpsParams& s) { s.widthMbsMinus1 = 0, s.heightMbsMinus1 = 35; }, 16, 0x2000000C},
        {"width wraps", [](SpsParams& s) { s.widthMbsMinus1 = 0xFFFFFFFEu; }, 16, 0x2000000C},
        {"refs above dpbFrames", [](SpsParams& s) { s.numRefFrames = 5; }, 4, 0x2000000A},
        {"refs at dpbFrames", [](SpsParams& s) { s.numRefFrames = 4; }, 4, 7},
        {"17 refs", [](SpsParams& s) { s.numRefFrames = 17; }, 16, 0x20000003},
        {"fields", [](SpsParams& s) { s.frameMbsOnly = false; }, 16, 0x2000000B},
        {"high profile", [](SpsParams& s) { s.profileIdc = 100; }, 16, 0x20000008},
        {"main profile", [](SpsParams& s) { s.profileIdc = 77; }, 16, 7},
        {"frame num bits", [](SpsParams& s) { s.log2MaxFrameNumMinus4 = 13; }, 16, 0x20000002},
        {"poc lsb bits", [](SpsParams& s) { s.pocType = 0, s.log2MaxPocLsbMinus4 = 13; }, 16, 0x20000007},
        {"poc type 3", [](SpsParams& s) { s.pocType = 3; }, 16, 0x20000004},
        {"crop keeps a column", [](SpsParams& s) { s.cropping = true, s.crop[0] = 7, s.crop[1] = 8; }, 16, 7},
        {"crop takes the width", [](SpsParams& s) { s.cropping = true, s.crop[0] = 8, s.crop[1] = 8; }, 16,
         0x20000006},
        {"crop sum wraps", [](SpsParams& s) { s.cropping = true, s.crop[2] = 0xFFFFFFFEu, s.crop[3] = 2; },
         16, 0x20000006},
        {"sps id 32", [](SpsParams& s) { s.id = 32; }, 16, 0x20000001},
    };
    for (const Case& c : cases) {
        SpsParams s;
        c.change(s);
        EXPECT_EQ(lastResult(spsUnit(s), smallConfig(c.dpbFrames)), c.result) << c.name;
    }
}

TEST(ParameterSets, DpbSizeFollowsTheLevelAndTheConfiguration) {
    struct Case {
        int level, refs, dpbFrames;
        uint32_t expected;
    } cases[] = {{30, 1, 16, 5}, {30, 7, 16, 7}, {30, 1, 2, 4}, {99, 1, 16, 16}, {10, 0, 16, 1}};
    for (const Case& c : cases) {
        SpsParams s;
        s.widthMbsMinus1 = 44, s.heightMbsMinus1 = 35, s.levelIdc = c.level, s.numRefFrames = c.refs;
        H264DecoderContext* d = decodeUnits(spsUnit(s), smallConfig(c.dpbFrames));
        EXPECT_EQ(d->spsTable[0].dpbSize, c.expected) << c.level << " " << c.refs;
        H264DecoderDestroy(d);
    }
}

TEST(ParameterSets, PictureParameterSetNeedsItsSequenceSet) {
    std::vector<uint8_t> stream;
    appendNal(stream, 3, 8, ppsPayload(PpsParams{}));
    H264DecoderContext* d = decodeUnits(stream, smallConfig());
    EXPECT_EQ(d->diagnostics.lastNalResult, 0x20000012);
    EXPECT_EQ(d->psState, h264::PS_NONE);
    H264DecoderDestroy(d);

    PpsParams cabac;
    cabac.cabac = true;
    std::vector<uint8_t> withSps = spsUnit(SpsParams{});
    appendNal(withSps, 3, 8, ppsPayload(cabac));
    EXPECT_EQ(lastResult(withSps), 0x2000001B);
}

TEST(ParameterSets, PrivateSeiSetsTheFieldPairFlagAndUserData) {
    struct Case {
        std::vector<uint8_t> payload;
        uint32_t fieldPair;
        uint32_t userLength;
        std::vector<uint8_t> userBytes;
    } cases[] = {
        {{0xE0, 0x01, 0x01, 0x80}, 1, 0, {}},
        {{0xE0, 0x01, 0x00, 0x80}, 0, 0, {}},
        {{0xE0, 0x02, 0x01, 0x80}, 0, 0, {}},
        {{0xF0, 0x03, 0x41, 0x42, 0x43, 0x80}, 0, 3, {0x41, 0x42, 0x43}},
        // A length beyond the unit keeps to the bytes the unit holds.
        {{0xF0, 0xFF, 0x41, 0x42, 0x80}, 0, 3, {0x41, 0x42, 0x80}},
        // Emulation prevention: 00 00 03 01 arrives as 00 00 01.
        {{0xF0, 0x04, 0x00, 0x00, 0x01, 0x07, 0x80}, 0, 4, {0x00, 0x00, 0x01, 0x07}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> stream;
        appendNal(stream, 0, 6, c.payload);
        H264DecoderContext* d = decodeUnits(stream, smallConfig());
        EXPECT_EQ(d->fieldPairFlag, c.fieldPair);
        EXPECT_EQ(d->userData.length, c.userLength);
        EXPECT_EQ(std::vector<uint8_t>(d->userData.bytes, d->userData.bytes + d->userData.length),
                  c.userBytes);
        H264DecoderDestroy(d);
    }
}

} // namespace
