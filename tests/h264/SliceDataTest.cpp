#include "tests/h264/DecodeHelpers.h"
#include "tests/h264/StreamWriter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace h264test;

namespace {

// Samples of the I_PCM test picture: every position has its own value.
uint8_t pattern(int plane, uint32_t x, uint32_t y) {
    return uint8_t(plane * 80 + 7 * x + 13 * y);
}

std::vector<uint8_t> ipcmPatternStream(const SpsParams& sps, const PpsParams& pps) {
    std::vector<uint8_t> stream = parameterSets(sps, pps);
    BitWriter w;
    sliceHeader(w, SliceParams{}, sps, pps);
    const uint32_t width = sps.widthMbsMinus1 + 1;
    ipcmMacroblocks(w, width * (sps.heightMbsMinus1 + 1), false, 0, width, pattern);
    w.trailing();
    appendNal(stream, 1, 5, w.bytes());
    return stream;
}

// A P picture of P_L0_16x16 macroblocks without residual, all with the vector (mvx, mvy).
std::vector<uint8_t> motionPicture(const SpsParams& sps, const PpsParams& pps, int mvx, int mvy) {
    SliceParams s;
    s.nalUnitType = 1, s.sliceType = 5, s.frameNum = 1;
    BitWriter w;
    sliceHeader(w, s, sps, pps);
    const uint32_t mbs = (sps.widthMbsMinus1 + 1) * (sps.heightMbsMinus1 + 1);
    for (uint32_t i = 0; i < mbs; ++i) {
        w.ue(0);                // mb_skip_run
        w.ue(0);                // P_L0_16x16
        w.se(i == 0 ? mvx : 0); // the rest predict the same vector
        w.se(i == 0 ? mvy : 0);
        w.ue(0); // coded_block_pattern 0
    }
    w.trailing();
    std::vector<uint8_t> out;
    appendNal(out, 1, 1, w.bytes());
    return out;
}

TEST(SliceData, IpcmSamplesLandInThePicture) {
    SpsParams sps;
    sps.widthMbsMinus1 = 2, sps.heightMbsMinus1 = 1;
    PpsParams pps;
    for (unsigned level : {2u, 4u}) {
        const Decoded d = decodeStream(ipcmPatternStream(sps, pps), smallConfig(), level);
        ASSERT_EQ(d.frames.size(), 1u);
        const Frame& f = d.frames[0];
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                ASSERT_EQ(f.y[size_t(y) * f.width + x], pattern(0, x, y)) << x << "," << y;
        for (int y = 0; y < f.height / 2; ++y)
            for (int x = 0; x < f.width / 2; ++x) {
                ASSERT_EQ(f.cb[size_t(y) * f.width / 2 + x], pattern(1, x, y));
                ASSERT_EQ(f.cr[size_t(y) * f.width / 2 + x], pattern(2, x, y));
            }
    }
}

TEST(SliceData, VectorsFarOutsideThePictureRepeatTheEdges) {
    SpsParams sps;
    sps.widthMbsMinus1 = 2, sps.heightMbsMinus1 = 1;
    PpsParams pps;
    struct Case {
        int mvx, mvy;
        std::function<uint8_t(int plane, int x, int y, int w, int h)> expected;
    } cases[] = {
        {-4000, 0, [](int p, int, int y, int, int) { return pattern(p, 0, y); }},
        {0, -8000, [](int p, int x, int, int, int) { return pattern(p, x, 0); }},
        {32000, 32000, [](int p, int, int, int w, int h) { return pattern(p, w - 1, h - 1); }},
        {8, 16,
         [](int p, int x, int y, int w, int h) {
             const int dx = p ? 1 : 2, dy = p ? 2 : 4;
             return pattern(p, std::min(x + dx, w - 1), std::min(y + dy, h - 1));
         }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> stream = ipcmPatternStream(sps, pps);
        const std::vector<uint8_t> p = motionPicture(sps, pps, c.mvx, c.mvy);
        stream.insert(stream.end(), p.begin(), p.end());
        for (unsigned level : {2u, 4u}) {
            const Decoded d = decodeStream(stream, smallConfig(), level);
            ASSERT_EQ(d.frames.size(), 2u);
            EXPECT_EQ(d.diagnostics.sliceDataErrors, 0u);
            const Frame& f = d.frames[1];
            for (int y = 0; y < f.height; ++y)
                for (int x = 0; x < f.width; ++x)
                    ASSERT_EQ(f.y[size_t(y) * f.width + x], c.expected(0, x, y, f.width, f.height))
                        << c.mvx << "," << c.mvy << " at " << x << "," << y;
            const int cw = f.width / 2, ch = f.height / 2;
            for (int y = 0; y < ch; ++y)
                for (int x = 0; x < cw; ++x)
                    ASSERT_EQ(f.cr[size_t(y) * cw + x], c.expected(2, x, y, cw, ch)) << x << "," << y;
        }
    }
}

// Slices that must be refused, each after a good IDR picture.
TEST(SliceData, RefusedSlicesAndMacroblocks) {
    SpsParams sps;
    PpsParams pps;
    using Writer = std::function<void(BitWriter&)>;
    struct Case {
        const char* name;
        SliceParams slice;
        Writer data;
        int32_t result;
    };
    auto p = [](std::function<void(SliceParams&)> change = {}) {
        SliceParams s;
        s.nalUnitType = 1, s.sliceType = 5, s.frameNum = 1;
        if (change)
            change(s);
        return s;
    };
    auto i = [](std::function<void(SliceParams&)> change = {}) {
        SliceParams s;
        s.nalUnitType = 1, s.sliceType = 2, s.frameNum = 1;
        if (change)
            change(s);
        return s;
    };
    const Writer allSkipped = [](BitWriter& w) { w.ue(4); };
    const Case cases[] = {
        {"all skipped", p(), allSkipped, 2},
        {"skip run beyond the picture", p(), [](BitWriter& w) { w.ue(5); }, 0x40000001},
        {"skip run that wraps", p(), [](BitWriter& w) { w.ue(0xFFFFFFFEu); }, 0x40000001},
        {"first macroblock outside", p([](SliceParams& s) { s.firstMb = 4; }), allSkipped, 0x40000001},
        {"SP slice decodes as P", p([](SliceParams& s) { s.sliceType = 3; }), allSkipped, 2},
        {"B slice", p([](SliceParams& s) { s.sliceType = 1; }), allSkipped, 0x3000001A},
        {"slice type 10", p([](SliceParams& s) { s.sliceType = 10; }), allSkipped, 0x30000001},
        {"slice QP 52", p([](SliceParams& s) { s.sliceQpDelta = 26; }), allSkipped, 0x30000009},
        {"slice QP -1", p([](SliceParams& s) { s.sliceQpDelta = -27; }), allSkipped, 0x30000009},
        {"deblocking idc 3", p([](SliceParams& s) { s.disableDeblocking = 3; }), allSkipped, 0x3000000C},
        {"alpha offset 7", p([](SliceParams& s) { s.disableDeblocking = 0, s.alphaOffsetDiv2 = 7; }),
         allSkipped, 0x3000000D},
        {"beta offset -7", p([](SliceParams& s) { s.disableDeblocking = 2, s.betaOffsetDiv2 = -7; }),
         allSkipped, 0x3000000D},
        {"MMCO difference beyond MaxPicNum", p([](SliceParams& s) {
             s.adaptiveMarking = true, s.mmco = {{1, 16}};
         }),
         allSkipped, 0x3000000F},
        {"mb_type beyond I_PCM", i(), [](BitWriter& w) { w.ue(26); }, 0x40000008},
        {"mb_qp_delta 26", i(), [](BitWriter& w) { w.ue(3), w.ue(0), w.se(26); },
         0x40000008}, // I_16x16_2_0_0
        {"coded_block_pattern code 48", i(),
         [](BitWriter& w) {
             w.ue(0); // I_NxN
             for (int b = 0; b < 16; ++b)
                 w.flag(true);
             w.ue(0), w.ue(48);
         },
         0x40000008},
        {"I_PCM cut short", i(),
         [](BitWriter& w) {
             w.ue(25);
             w.alignZero();
             w.bits(0x12345678, 32);
         },
         0x40000008},
        {"slice data cut short", i(), [](BitWriter& w) { w.ue(15), w.ue(0), w.se(0), w.bits(1, 1); },
         0x40000004},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> stream = parameterSets(sps, pps);
        const std::vector<uint8_t> idr = ipcmPicture(SliceParams{}, sps, pps, 50);
        stream.insert(stream.end(), idr.begin(), idr.end());
        BitWriter w;
        sliceHeader(w, c.slice, sps, pps);
        c.data(w);
        w.trailing();
        appendNal(stream, 1, 1, w.bytes());
        const Decoded d = decodeStream(stream, smallConfig());
        EXPECT_EQ(d.diagnostics.lastNalResult, c.result) << c.name;
    }
}

// Explicit weight tables: denominators above 7 and weights or offsets outside -128..127 drop the slice; the
// limits themselves are taken.
TEST(SliceData, WeightTablesOutOfRangeAreRefused) {
    SpsParams sps;
    PpsParams pps;
    pps.weightedPred = true;
    struct Case {
        const char* name;
        uint32_t lumaDenom, chromaDenom;
        WeightEntry entry;
        int32_t result;
    };
    auto luma = [](int weight, int offset) { return WeightEntry{true, weight, offset, false, {}, {}}; };
    auto chroma = [](int weight, int offset) {
        return WeightEntry{false, 0, 0, true, {64, weight}, {0, offset}};
    };
    const Case cases[] = {
        {"limits", 7, 7, WeightEntry{true, -128, 127, true, {127, -128}, {-128, 127}}, 2},
        {"luma denominator 8", 8, 0, {}, 0x3000000A},
        {"chroma denominator 8", 0, 8, {}, 0x3000000A},
        {"luma weight 128", 7, 7, luma(128, 0), 0x3000000B},
        {"luma weight -129", 7, 7, luma(-129, 0), 0x3000000B},
        {"luma offset 128", 7, 7, luma(1, 128), 0x3000000B},
        {"luma offset -129", 7, 7, luma(1, -129), 0x3000000B},
        {"chroma weight 128", 6, 6, chroma(128, 0), 0x3000000B},
        {"chroma offset -129", 6, 6, chroma(64, -129), 0x3000000B},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> stream = parameterSets(sps, pps);
        const std::vector<uint8_t> idr = ipcmPicture(SliceParams{}, sps, pps, 50);
        stream.insert(stream.end(), idr.begin(), idr.end());
        SliceParams s;
        s.nalUnitType = 1, s.sliceType = 5, s.frameNum = 1;
        s.lumaLog2Denom = c.lumaDenom, s.chromaLog2Denom = c.chromaDenom;
        s.weights = {c.entry};
        const std::vector<uint8_t> p = skipPicture(s, sps, pps);
        stream.insert(stream.end(), p.begin(), p.end());
        const Decoded d = decodeStream(stream, smallConfig());
        EXPECT_EQ(d.diagnostics.lastNalResult, c.result) << c.name;
        EXPECT_EQ(d.frames.size(), c.result == 2 ? 2u : 1u) << c.name;
    }
}

// A P_L0_L0_16x8 picture whose lower partitions read a reference index past the three active ones: it names
// the first list entry and, having no weights in the table, the default ones.
TEST(SliceData, ReferenceIndicesPastTheActiveOnesGetDefaultWeights) {
    SpsParams sps;
    PpsParams pps;
    pps.weightedPred = true;
    pps.numRefIdxL0Minus1 = 2;
    std::vector<uint8_t> stream = parameterSets(sps, pps);
    const std::vector<uint8_t> idr = ipcmPicture(SliceParams{}, sps, pps, 20, 100);
    stream.insert(stream.end(), idr.begin(), idr.end());
    SliceParams s;
    s.nalUnitType = 1, s.sliceType = 5, s.frameNum = 1;
    const WeightEntry raised{true, 1, 50, true, {1, 1}, {10, 10}};
    s.weights = {raised, raised, raised};
    BitWriter w;
    sliceHeader(w, s, sps, pps);
    for (int mb = 0; mb < 4; ++mb) {
        w.ue(0); // mb_skip_run
        w.ue(1); // P_L0_L0_16x8
        w.ue(0); // ref_idx of the upper partition
        w.ue(7); // of the lower one
        for (int i = 0; i < 4; ++i)
            w.se(0);
        w.ue(0); // coded_block_pattern 0
    }
    w.trailing();
    appendNal(stream, 1, 1, w.bytes());
    for (unsigned level : {2u, 4u}) {
        const Decoded d = decodeStream(stream, smallConfig(), level);
        ASSERT_EQ(d.frames.size(), 2u);
        EXPECT_EQ(d.diagnostics.sliceDataErrors, 0u);
        const Frame& f = d.frames[1];
        EXPECT_EQ(f.y[0], 70);
        EXPECT_EQ(f.y[size_t(f.height - 1) * f.width + f.width - 1], 20);
        EXPECT_EQ(f.cb[0], 110);
        EXPECT_EQ(f.cr[size_t(f.height / 2 - 1) * (f.width / 2)], 100);
    }
}

// coeff_token codes that name no token, or a TotalCoeff above the 15 coefficients of an AC block, refuse
// the macroblock. Four I_16x16 macroblocks with AC blocks, the last one's residual from the case: read
// without the bound, each would end the picture as if nothing were wrong.
TEST(SliceData, ImpossibleCoefficientTokensAreRefused) {
    SpsParams sps;
    PpsParams pps;
    using Writer = std::function<void(BitWriter&)>;
    struct Case {
        const char* name;
        Writer residual; // of the last macroblock: the DC block, then the 16 AC blocks
        bool refused;
    };
    const Case cases[] = {
        {"empty blocks", [](BitWriter& w) { w.bits(0x1FFFF, 17); }, false},
        {"TotalCoeff 16 in an AC block",
         [](BitWriter& w) {
             w.bits(1, 1);  // DC block empty
             w.bits(4, 16); // TotalCoeff 16, no trailing ones
             for (int i = 0; i < 16; ++i)
                 w.bits(0b10, 2);        // level 1
             w.bits(0b000011000011, 12); // the two blocks next to it at nC 8: empty
             w.bits(0x1FFF, 13);
         },
         true},
        {"fifteen zeros and a one", [](BitWriter& w) { w.bits(1, 16); }, true},
        {"sixteen zeros", [](BitWriter& w) { w.bits(0, 16), w.bits(0xFFFF, 16); }, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> stream = parameterSets(sps, pps);
        BitWriter w;
        sliceHeader(w, SliceParams{}, sps, pps);
        for (int mb = 0; mb < 4; ++mb) {
            w.ue(15); // I_16x16_2_0_1: DC prediction, no chroma, AC blocks
            w.ue(0);  // intra_chroma_pred_mode DC
            w.se(0);  // mb_qp_delta
            if (mb < 3)
                w.bits(0x1FFFF, 17);
            else
                c.residual(w);
        }
        w.trailing();
        appendNal(stream, 1, 5, w.bytes());
        const Decoded d = decodeStream(stream, smallConfig());
        EXPECT_EQ(d.diagnostics.sliceDataErrors, c.refused ? 1u : 0u) << c.name;
        EXPECT_EQ(d.frames.size(), 1u) << c.name;
    }
}

TEST(SliceData, PSlicesWaitForAnIntraSlice) {
    SpsParams sps;
    PpsParams pps;
    std::vector<uint8_t> stream = parameterSets(sps, pps);
    SliceParams p;
    p.nalUnitType = 1, p.sliceType = 5, p.frameNum = 1;
    const std::vector<uint8_t> skip = skipPicture(p, sps, pps);
    stream.insert(stream.end(), skip.begin(), skip.end());
    Decoded d = decodeStream(stream, smallConfig());
    EXPECT_EQ(d.diagnostics.lastNalResult, 0x10000004);
    EXPECT_TRUE(d.frames.empty());

    SliceParams i;
    i.nalUnitType = 1, i.sliceType = 4, i.frameNum = 0; // SI decodes as I and starts decoding
    const std::vector<uint8_t> intra = ipcmPicture(i, sps, pps, 90);
    stream.insert(stream.end(), intra.begin(), intra.end());
    stream.insert(stream.end(), skip.begin(), skip.end());
    d = decodeStream(stream, smallConfig());
    ASSERT_EQ(d.frames.size(), 2u);
    EXPECT_EQ(d.frames[1].y[100], 90);
}

} // namespace
