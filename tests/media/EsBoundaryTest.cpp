#include "media/EsH264.h"

#include "tests/support/NalBuilder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes nalOfType(uint8_t header) {
    return makeNal(header, {0x80});
}

// Runs NAL units through the new-picture test and gives its answer for each.
std::vector<int> boundaries(const std::vector<Bytes>& nals) {
    EsParserState state;
    std::vector<int> out;
    for (const Bytes& nal : nals)
        out.push_back(EsDetectBoundary(nal.data(), nal.size(), state));
    return out;
}

TEST(EsBoundary, SequencesOfUnits) {
    const SpsFields sps = [] {
        SpsFields s;
        s.pic_order_cnt_type = 0;
        return s;
    }();
    const Bytes spsNal = makeSps(sps);
    const Bytes pps = nalOfType(0x68);
    const Bytes sei = nalOfType(0x06);
    const Bytes idrA = makeSlice(sps, {5, 3, 0, 7, 0});
    const Bytes idrB = makeSlice(sps, {5, 3, 40, 7, 0});
    const Bytes p1a = makeSlice(sps, {1, 2, 0, 5, 1, false, false, 0, 2});
    const Bytes p1b = makeSlice(sps, {1, 2, 40, 5, 1, false, false, 0, 2}, 3);
    const Bytes p2 = makeSlice(sps, {1, 2, 0, 5, 2, false, false, 0, 4});
    const Bytes p3 = makeSlice(sps, {1, 2, 0, 5, 3, false, false, 0, 6});
    const struct {
        const char* name;
        std::vector<Bytes> nals;
        std::vector<int> expect;
    } cases[] = {
        {"parameter sets, then the slices of two pictures",
         {spsNal, pps, idrA, idrB, p1a, p1b, p2},
         {1, 0, 0, 0, 1, 0, 1}},
        {"the boundary falls on the SPS, not on the IDR slice",
         {p1a, p2, spsNal, pps, sei, idrA},
         {0, 1, 1, 0, 0, 0}},
        {"SEI before a picture", {spsNal, p1a, sei, p2, sei, sei, p3}, {1, 0, 1, 0, 1, 0, 0}},
        {"access unit delimiters always begin a picture",
         {nalOfType(0x09), p1a, nalOfType(0x09), nalOfType(0x09), p2},
         {1, 0, 1, 1, 0}},
        {"end of sequence and end of stream",
         {spsNal, p1a, nalOfType(0x0A), nalOfType(0x0B), p2},
         {1, 0, 1, 1, 0}},
        {"a slice first is no boundary", {p1a, p1b, p2}, {0, 0, 1}},
        {"filler after a slice", {spsNal, p1a, nalOfType(0x0C), p2}, {1, 0, 1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(boundaries(c.nals), c.expect);
    }
}

struct PairCase {
    const char* name;
    SpsFields sps;
    SliceFields first, second;
    int expect;
};

SpsFields spsWith(uint32_t pocType, bool frameMbsOnly = true) {
    SpsFields s;
    s.pic_order_cnt_type = pocType;
    s.frame_mbs_only_flag = frameMbsOnly;
    return s;
}

TEST(EsBoundary, SliceAfterSlice) {
    const SliceFields p{1, 2, 0, 5, 4, false, false, 0, 8, 0};
    auto with = [&p](auto change) {
        SliceFields s = p;
        s.first_mb = 30;
        change(s);
        return s;
    };
    const SliceFields idr{5, 3, 0, 2, 0, false, false, 7};
    const PairCase cases[] = {
        {"second slice of the same picture", spsWith(0), p, with([](SliceFields&) {}), 0},
        {"frame_num differs", spsWith(0), p, with([](SliceFields& s) { s.frame_num = 5; }), 1},
        {"pic_order_cnt_lsb differs", spsWith(0), p, with([](SliceFields& s) { s.pic_order_cnt_lsb = 10; }),
         1},
        {"lsb ignored for order type 2", spsWith(2), p,
         with([](SliceFields& s) { s.pic_order_cnt_lsb = 10; }), 0},
        {"delta_pic_order_cnt[0] differs", spsWith(1), p,
         with([](SliceFields& s) { s.delta_pic_order_cnt0 = -3; }), 1},
        {"field_pic_flag differs", spsWith(2, false), p,
         with([](SliceFields& s) { s.field_pic_flag = true; }), 1},
        {"bottom field of the same frame_num", spsWith(2, false),
         with([](SliceFields& s) { s.field_pic_flag = true; }),
         with([](SliceFields& s) { s.field_pic_flag = s.bottom_field_flag = true; }), 0},
        {"reference to non-reference", spsWith(2), p, with([](SliceFields& s) { s.nal_ref_idc = 0; }), 1},
        {"non-reference to reference", spsWith(2), with([](SliceFields& s) { s.nal_ref_idc = 0; }), p, 1},
        {"both reference, different nal_ref_idc", spsWith(2), p,
         with([](SliceFields& s) { s.nal_ref_idc = 3; }), 0},
        {"two IDR pictures", spsWith(2), idr,
         [&idr] {
             SliceFields s = idr;
             s.idr_pic_id = 8;
             return s;
         }(),
         1},
        {"two slices of one IDR picture", spsWith(2), idr,
         [&idr] {
             SliceFields s = idr;
             s.first_mb = 50;
             return s;
         }(),
         0},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes sps = makeSps(c.sps);
        const Bytes first = makeSlice(c.sps, c.first);
        const Bytes second = makeSlice(c.sps, c.second);
        EXPECT_EQ(boundaries({sps, first, second}), (std::vector<int>{1, 0, c.expect}));
    }
}

TEST(EsBoundary, UnreadableUnitsAnswerMinusOneAndKeepTheState) {
    const SpsFields sps = spsWith(0);
    const Bytes spsNal = makeSps(sps);
    const Bytes p1 = makeSlice(sps, {1, 2, 0, 5, 1, false, false, 0, 2});
    const Bytes p1b = makeSlice(sps, {1, 2, 30, 5, 1, false, false, 0, 2});
    const Bytes cutSlice(p1.begin(), p1.begin() + 6);
    const Bytes cutSps(spsNal.begin(), spsNal.begin() + 7);
    // The unreadable units change nothing: the slice after them still belongs to the picture of p1.
    EXPECT_EQ(boundaries({spsNal, p1, cutSlice, cutSps, Bytes{0, 0, 0, 1}, Bytes{0, 0}, p1b}),
              (std::vector<int>{1, 0, -1, -1, -1, -1, 0}));
}

} // namespace
