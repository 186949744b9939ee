// Reference lists, marking, order counts and gaps, observed through probe pictures: a non-reference P
// picture of skipped macroblocks copies reference index 0, so its luma names the picture that the
// list (after reordering and marking) puts first.
#include "tests/h264/DecodeHelpers.h"
#include "tests/h264/StreamWriter.h"

#include <gtest/gtest.h>

using namespace h264test;

namespace {

struct Sequence {
    SpsParams sps;
    PpsParams pps;
    std::vector<uint8_t> stream;
    uint32_t idr = 0;

    explicit Sequence(int numRefFrames = 4, int pocType = 2) {
        sps.numRefFrames = numRefFrames;
        sps.pocType = pocType;
        sps.log2MaxPocLsbMinus4 = 0;
        stream = parameterSets(sps, pps);
    }
    void add(const std::vector<uint8_t>& unit) { stream.insert(stream.end(), unit.begin(), unit.end()); }
    SliceParams slice(uint32_t frameNum, int nalRefIdc = 1) const {
        SliceParams s;
        s.nalUnitType = 1;
        s.sliceType = 5;
        s.frameNum = frameNum;
        s.nalRefIdc = nalRefIdc;
        return s;
    }
    // An IDR picture of luma `value`.
    void intra(uint8_t value, bool longTerm = false) {
        SliceParams s;
        s.idrPicId = idr++;
        s.longTermReference = longTerm;
        add(ipcmPicture(s, sps, pps, value));
    }
    // A reference P picture of I_PCM macroblocks of luma `value`.
    void reference(uint8_t value, uint32_t frameNum, std::vector<Mmco> mmco = {}) {
        SliceParams s = slice(frameNum);
        s.adaptiveMarking = !mmco.empty();
        s.mmco = std::move(mmco);
        add(ipcmPicture(s, sps, pps, value));
    }
    void probe(uint32_t frameNum, std::vector<std::pair<uint32_t, uint32_t>> reorder = {},
               uint32_t pocLsb = 0) {
        SliceParams s = slice(frameNum, 0);
        s.reorder = std::move(reorder);
        s.pocLsb = pocLsb;
        add(skipPicture(s, sps, pps));
    }
    // A non-reference P picture whose macroblocks all read reference index `refIdx` of `active` entries.
    void probeIndex(uint32_t frameNum, int active, uint32_t refIdx,
                    std::vector<std::pair<uint32_t, uint32_t>> reorder = {}) {
        SliceParams s = slice(frameNum, 0);
        s.overrideRefIdx = true;
        s.numRefIdxL0Minus1 = active - 1;
        s.reorder = std::move(reorder);
        BitWriter w;
        sliceHeader(w, s, sps, pps);
        for (uint32_t mb = 0; mb < (sps.widthMbsMinus1 + 1) * (sps.heightMbsMinus1 + 1); ++mb) {
            w.ue(0); // mb_skip_run
            w.ue(0); // P_L0_16x16
            w.ue(refIdx);
            w.se(0), w.se(0);
            w.ue(0); // coded_block_pattern 0
        }
        w.trailing();
        appendNal(stream, 0, 1, w.bytes());
    }
    std::vector<int> lumas(const H264DecoderConfig& config = smallConfig()) const {
        return outputs(config, [](const Frame& f) { return int(f.y[0]); });
    }
    // The order counts of the pictures in output order.
    std::vector<int> pocs(const H264DecoderConfig& config = smallConfig()) const {
        return outputs(config, [](const Frame& f) { return f.poc; });
    }
    template <class Of> std::vector<int> outputs(const H264DecoderConfig& config, Of of) const {
        std::vector<int> out;
        for (const Frame& f : decodeStream(stream, config).frames)
            out.push_back(of(f));
        return out;
    }
};

TEST(PictureBuffer, InitialListAndReordering) {
    Sequence q;
    q.intra(10);
    q.reference(20, 1);
    q.reference(30, 2);
    q.reference(40, 3);
    q.probe(4);                   // PicNum 3 first
    q.probe(4, {{0, 1}});         // 4 - 2
    q.probe(4, {{0, 3}});         // 4 - 4
    q.probe(4, {{1, 0}});         // 5: no such picture, the command is skipped
    q.probe(4, {{0, 3}, {1, 0}}); // 0, then 1: the first command stands
    q.probe(4, {{0, 99}});        // abs_diff_pic_num_minus1 beyond MaxPicNum: refused
    EXPECT_EQ(q.lumas(), (std::vector<int>{10, 20, 30, 40, 40, 30, 10, 40, 10}));
}

TEST(PictureBuffer, LongTermReferencesAndMemoryManagement) {
    Sequence q;
    q.intra(10, true); // long-term index 0
    q.reference(20, 1);
    q.reference(30, 2, {{4, 2}, {3, 0, 1}}); // max index 1; PicNum 1 becomes long-term 1
    q.probe(3);                              // short-term first
    q.probe(3, {{2, 1}});
    q.probe(3, {{2, 0}});
    q.reference(40, 3, {{2, 0}}); // long-term 0 unmarked
    q.probe(4, {{2, 0}});
    q.probe(4, {{2, 1}});
    q.reference(50, 4, {{1, 0}}); // PicNum 3 (40) unmarked
    q.probe(5, {{0, 1}});         // PicNum 3: gone, 50 stays first
    q.probe(5, {{0, 2}});         // PicNum 2: 30
    q.reference(60, 5, {{5}});    // everything unmarked, frame_num 0 from now
    q.probe(1, {{2, 1}});
    EXPECT_EQ(q.lumas(), (std::vector<int>{10, 20, 30, 30, 20, 10, 40, 40, 20, 50, 50, 30, 60, 60}));
}

TEST(PictureBuffer, SlidingWindowKeepsNumRefFrames) {
    Sequence q(2);
    q.intra(10);
    q.reference(20, 1);
    q.reference(30, 2);
    q.probe(3, {{0, 2}}); // PicNum 0 slid out
    q.probe(3, {{0, 1}}); // PicNum 1
    EXPECT_EQ(q.lumas(), (std::vector<int>{10, 20, 30, 30, 20}));
}

// Entries past the initial list, and those the reordering leaves empty, name entry 0.
TEST(PictureBuffer, IndicesOfEmptyListEntriesNameTheFirstEntry) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, uint32_t>> reorder;
        uint32_t refIdx;
        int luma;
    } cases[] = {
        {"second of two", {}, 1, 10},
        {"past the two references", {}, 3, 20},
        {"moved to the front", {{0, 1}, {1, 0}}, 1, 20},
        {"left empty by the reordering", {{0, 1}, {1, 0}}, 2, 10},
        {"last, left empty", {{0, 1}, {1, 0}}, 3, 10},
    };
    for (const Case& c : cases) {
        Sequence q;
        q.intra(10);
        q.reference(20, 1);
        q.probeIndex(2, 4, c.refIdx, c.reorder);
        const Decoded d = decodeStream(q.stream, smallConfig());
        EXPECT_EQ(d.diagnostics.sliceDataErrors, 0u) << c.name;
        ASSERT_EQ(d.frames.size(), 3u) << c.name;
        EXPECT_EQ(d.frames[2].y[0], c.luma) << c.name;
    }
}

// A stream that keeps more reference frames than its buffer holds (adaptive marking that unmarks nothing,
// a DPB of two frames at level 1): the oldest reference leaves, every picture still comes out once.
TEST(PictureBuffer, FullBufferEvictsTheOldestReference) {
    for (const int32_t flags : {0, H264_FLAG_ZERO_COPY}) {
        Sequence q(2);
        q.sps.levelIdc = 10;
        q.sps.widthMbsMinus1 = 19, q.sps.heightMbsMinus1 = 9;
        q.stream = parameterSets(q.sps, q.pps);
        q.intra(10);
        for (uint32_t k = 1; k <= 2; ++k) {
            SliceParams s = q.slice(k);
            s.adaptiveMarking = true;
            q.add(ipcmPicture(s, q.sps, q.pps, uint8_t(10 + 10 * k)));
        }
        q.probe(3, {{0, 2}}); // PicNum 0: evicted, 30 stays first
        q.probe(3, {{0, 1}}); // PicNum 1
        const Decoded d = decodeStream(q.stream, smallConfig(16, flags));
        EXPECT_EQ(d.diagnostics.forcedEvictions, 1u) << flags;
        std::vector<int> lumas;
        for (const Frame& f : d.frames)
            lumas.push_back(f.y[0]);
        EXPECT_EQ(lumas, (std::vector<int>{10, 20, 30, 30, 20})) << flags;
    }
}

TEST(PictureBuffer, FrameNumGaps) {
    Sequence allowed(2);
    allowed.sps.gapsAllowed = true;
    allowed.stream = parameterSets(allowed.sps, allowed.pps);
    allowed.intra(10);
    allowed.reference(20, 5); // frame_nums 1 to 4 missing: only the last two are made up
    allowed.probe(6, {{0, 0}});
    allowed.probe(6, {{0, 2}}); // PicNum 3: made up, slid out by the picture of frame_num 5
    const Decoded d = decodeStream(allowed.stream, smallConfig());
    EXPECT_EQ(d.diagnostics.gapFrames, 2u);
    ASSERT_EQ(d.frames.size(), 4u);
    EXPECT_EQ(d.frames[2].y[0], 20);
    EXPECT_EQ(d.frames[3].y[0], 20);

    Sequence refused(2);
    refused.intra(10);
    refused.reference(20, 3); // forward without gaps allowed: decoded all the same
    refused.reference(30, 2); // backwards: refused, and P slices wait for the next I or IDR slice
    refused.probe(4);
    refused.intra(40);
    EXPECT_EQ(refused.lumas(), (std::vector<int>{10, 20, 40}));
}

TEST(PictureBuffer, FrameNumWrapsInLongSequences) {
    Sequence q(4); // MaxFrameNum 16
    q.intra(1);
    for (uint32_t k = 1; k < 40; ++k)
        q.reference(uint8_t(k + 1), k % 16);
    q.probe(40 % 16);           // frame_num 7 last: PicNum 7
    q.probe(40 % 16, {{0, 2}}); // PicNum 5: three back, across no wrap
    Sequence w(4);
    w.intra(1);
    for (uint32_t k = 1; k < 34; ++k)
        w.reference(uint8_t(k + 1), k % 16);
    w.probe(34 % 16, {{0, 2}}); // current frame_num 2: PicNum -1, frame_num 15 before the wrap
    const std::vector<int> a = q.lumas(), b = w.lumas();
    ASSERT_EQ(a.size(), 42u);
    EXPECT_EQ(a[40], 40);
    EXPECT_EQ(a[41], 38);
    ASSERT_EQ(b.size(), 35u);
    EXPECT_EQ(b[34], 32);
}

TEST(PictureBuffer, FieldPairSeiMarksPicturesAsFields) {
    Sequence q(4);
    std::vector<uint8_t> sei;
    appendNal(sei, 0, 6, {0xE0, 0x01, 0x01, 0x80});
    q.add(sei);
    q.intra(10);
    q.reference(20, 1);
    q.reference(30, 2);
    std::vector<uint8_t> off;
    appendNal(off, 0, 6, {0xE0, 0x01, 0x00, 0x80});
    q.add(off);
    q.reference(40, 3);
    EXPECT_EQ(q.outputs(smallConfig(), [](const Frame& f) { return int(f.kind); }),
              (std::vector<int>{1, 2, 1, 0}));
}

// In-place output keeps the decoding order; only zero-copy reorders.
TEST(PictureBuffer, OutputOrderFollowsTheOrderCountsOnlyWithZeroCopy) {
    Sequence q(4, 0);
    q.sps.log2MaxPocLsbMinus4 = 1; // MaxPicOrderCntLsb 32
    q.stream = parameterSets(q.sps, q.pps);
    q.intra(10);
    const uint32_t lsbs[] = {12, 4, 8};
    for (int i = 0; i < 3; ++i)
        q.probe(1, {}, lsbs[i]);
    EXPECT_EQ(q.pocs(), (std::vector<int>{0, 12, 4, 8}));
    EXPECT_EQ(q.pocs(smallConfig(16, H264_FLAG_IN_PLACE_OUTPUT)), (std::vector<int>{0, 12, 4, 8}));
    EXPECT_EQ(q.pocs(smallConfig(16, H264_FLAG_ZERO_COPY)), (std::vector<int>{0, 4, 8, 12}));
}

TEST(PictureBuffer, OrderCountTypesZeroAndOne) {
    Sequence zero(4, 0);
    zero.stream = parameterSets(zero.sps, zero.pps); // MaxPicOrderCntLsb 16
    zero.intra(10);
    const uint32_t lsbs[] = {8, 14, 2, 10};
    for (uint32_t i = 0; i < 4; ++i) {
        SliceParams s = zero.slice(i + 1);
        s.pocLsb = lsbs[i];
        zero.add(ipcmPicture(s, zero.sps, zero.pps, 20));
    }
    EXPECT_EQ(zero.pocs(), (std::vector<int>{0, 8, 14, 18, 26}));

    Sequence one(4, 1);
    one.sps.offsetForRefFrame = {2};
    one.sps.offsetForNonRefPic = -1;
    one.stream = parameterSets(one.sps, one.pps);
    one.intra(10);
    one.reference(20, 1);
    one.probe(2);
    one.reference(30, 2);
    EXPECT_EQ(one.pocs(), (std::vector<int>{0, 2, 1, 4}));
}

// Order counts of type 0 that pass 2^31 on a long stream without an IDR picture wrap to negative values;
// pictures still come out in their order, with and without zero-copy.
TEST(PictureBuffer, OrderCountsWrapAroundOnLongStreams) {
    Sequence q(1, 0);
    q.sps.log2MaxPocLsbMinus4 = 12; // MaxPicOrderCntLsb 65536
    q.stream = parameterSets(q.sps, q.pps);
    q.intra(10);
    constexpr uint32_t kStep = 32767, kPictures = 65540; // past 2^31 after 65538 steps
    for (uint32_t k = 1; k < kPictures; ++k) {
        SliceParams s = q.slice(k % 16);
        s.pocLsb = (k * kStep) & 0xFFFF;
        q.add(skipPicture(s, q.sps, q.pps));
    }
    for (const int32_t flags : {0, H264_FLAG_ZERO_COPY}) {
        const H264DecoderConfig config = smallConfig(16, flags);
        H264DecoderContext* decoder = H264DecoderCreateAtLevel(&config, 2);
        ASSERT_NE(decoder, nullptr);
        std::vector<int32_t> pocs;
        DecodedPicture p;
        for (int r = H264DecoderDecode(decoder, q.stream.data(), uint32_t(q.stream.size()), 0, 0, &p, 0);
             r == DECODE_OK; r = H264DecoderDecode(decoder, nullptr, 0, 0, 0, &p, 0))
            pocs.push_back(p.poc);
        while (H264DecoderGetPicture(decoder, &p) == DECODE_OK)
            pocs.push_back(p.poc);
        while (H264DecoderDecode(decoder, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT) == DECODE_OK)
            pocs.push_back(p.poc);
        H264DecoderDestroy(decoder);
        ASSERT_EQ(pocs.size(), kPictures) << flags;
        size_t outOfStep = 0;
        for (uint32_t k = 0; k < kPictures; ++k)
            outOfStep += pocs[k] != int32_t(k * kStep);
        EXPECT_EQ(outOfStep, 0u) << flags;
        EXPECT_LT(pocs.back(), 0) << flags;
    }
}

} // namespace
