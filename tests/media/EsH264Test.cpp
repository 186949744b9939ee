#include "media/EsH264.h"

#include "tests/media/AnnexB.h"
#include "tests/support/NalBuilder.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes firstNalOfType(const std::string& fixture, uint8_t type) {
    for (const Bytes& nal : splitNals(readFile(fixturePath(fixture)))) {
        if ((nal[0] & 0x1F) == type)
            return withStartCode(nal);
    }
    return {};
}

struct SpsExpect {
    uint32_t profile_idc, level_idc, chroma_format_idc;
    bool scaling;
    uint32_t log2_max_frame_num_minus4, pic_order_cnt_type, log2_max_pic_order_cnt_lsb_minus4;
    bool frame_mbs_only_flag;
    uint32_t width, height;
};

void expectSps(const EsSequenceInfo& s, const SpsExpect& e) {
    EXPECT_EQ(s.profile_idc, e.profile_idc);
    EXPECT_EQ(s.level_idc, e.level_idc);
    EXPECT_EQ(s.chroma_format_idc, e.chroma_format_idc);
    EXPECT_EQ(s.seq_scaling_matrix_present_flag, e.scaling);
    EXPECT_EQ(s.log2_max_frame_num_minus4, e.log2_max_frame_num_minus4);
    EXPECT_EQ(s.pic_order_cnt_type, e.pic_order_cnt_type);
    EXPECT_EQ(s.log2_max_pic_order_cnt_lsb_minus4, e.log2_max_pic_order_cnt_lsb_minus4);
    EXPECT_EQ(s.frame_mbs_only_flag, e.frame_mbs_only_flag);
    EXPECT_EQ(s.pic_width, e.width);
    EXPECT_EQ(s.pic_height, e.height);
}

SpsFields highWithScalingLists() {
    SpsFields s;
    s.profile_idc = 100;
    s.level_idc = 40;
    std::vector<int> ramp64(64, 1);
    ramp64[20] = -10;
    s.scaling_lists = std::vector<std::optional<std::vector<int>>>{std::vector<int>(16, 2),
                                                                   std::nullopt,
                                                                   std::vector<int>{-8},
                                                                   std::nullopt,
                                                                   std::vector<int>{3, -11},
                                                                   std::nullopt,
                                                                   ramp64,
                                                                   std::vector<int>{0, 0, -8}};
    s.log2_max_frame_num_minus4 = 5;
    s.pic_order_cnt_type = 0;
    s.log2_max_pic_order_cnt_lsb_minus4 = 3;
    s.width_mbs = 80;
    s.height_map_units = 45;
    return s;
}

TEST(EsH264, SequenceParameterSets) {
    SpsFields high444;
    high444.profile_idc = 144;
    high444.chroma_format_idc = 3;
    high444.residual_colour_transform_flag = true;
    high444.bit_depth_luma_minus8 = 2;
    high444.bit_depth_chroma_minus8 = 4;
    high444.log2_max_frame_num_minus4 = 12;
    high444.width_mbs = 120;
    high444.height_map_units = 34;
    high444.frame_mbs_only_flag = false;
    SpsFields escaped; // 42 00 00 02: an emulation prevention byte right behind level_idc
    escaped.constraints = 0;
    escaped.level_idc = 0;
    escaped.seq_parameter_set_id = 63;
    escaped.log2_max_frame_num_minus4 = 3;
    SpsFields high110;
    high110.profile_idc = 110;
    high110.chroma_format_idc = 2;
    high110.width_mbs = 45;
    high110.height_map_units = 36;

    const struct {
        const char* name;
        Bytes nal;
        SpsExpect expect;
    } cases[] = {
        {"x264 baseline", firstNalOfType("stream.264", 7), {66, 10, 1, false, 0, 2, 0, true, 96, 64}},
        {"x264 high, field coding",
         firstNalOfType("sps_interlaced.264", 7),
         {100, 21, 1, false, 0, 0, 2, false, 64, 64}},
        {"high with eight scaling lists",
         makeSps(highWithScalingLists()),
         {100, 40, 1, true, 5, 0, 3, true, 1280, 720}},
        {"high 4:4:4", makeSps(high444), {144, 30, 3, false, 12, 2, 0, false, 1920, 1088}},
        {"high 4:2:2 without matrix", makeSps(high110), {110, 30, 2, false, 0, 2, 0, true, 720, 576}},
        {"emulation prevention in the header", makeSps(escaped), {66, 0, 1, false, 3, 2, 0, true, 352, 240}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.nal.empty());
        EsParserState state;
        ASSERT_EQ(EsReadSequenceInfo(c.nal.data(), c.nal.size(), state), 0);
        expectSps(state.sps, c.expect);
    }

    EsParserState state;
    const Bytes nal = makeSps(high444);
    ASSERT_EQ(EsReadSequenceInfo(nal.data(), nal.size(), state), 0);
    EXPECT_TRUE(state.sps.residual_colour_transform_flag);
    EXPECT_EQ(state.sps.bit_depth_luma_minus8, 2u);
    EXPECT_EQ(state.sps.bit_depth_chroma_minus8, 4u);
}

TEST(EsH264, PictureOrderType1Offsets) {
    SpsFields s;
    s.pic_order_cnt_type = 1;
    s.offset_for_non_ref_pic = -2;
    s.offset_for_top_to_bottom_field = 5;
    s.offset_for_ref_frame = {1, -1, 7};
    EsParserState state;
    Bytes nal = makeSps(s);
    ASSERT_EQ(EsReadSequenceInfo(nal.data(), nal.size(), state), 0);
    EXPECT_EQ(state.sps.pic_order_cnt_type, 1u);
    EXPECT_FALSE(state.sps.delta_pic_order_always_zero_flag);
    EXPECT_EQ(state.sps.offset_for_non_ref_pic, -2);
    EXPECT_EQ(state.sps.offset_for_top_to_bottom_field, 5);
    ASSERT_EQ(state.sps.num_ref_frames_in_pic_order_cnt_cycle, 3u);
    EXPECT_EQ(state.sps.offset_for_ref_frame[0], 1);
    EXPECT_EQ(state.sps.offset_for_ref_frame[1], -1);
    EXPECT_EQ(state.sps.offset_for_ref_frame[2], 7);
    EXPECT_EQ(state.sps.pic_width, 352u);

    // More than 256 offsets: the later ones overwrite the last entry and parsing goes on.
    s.offset_for_ref_frame.assign(300, 3);
    s.offset_for_ref_frame[299] = -9;
    nal = makeSps(s);
    ASSERT_EQ(EsReadSequenceInfo(nal.data(), nal.size(), state), 0);
    EXPECT_EQ(state.sps.num_ref_frames_in_pic_order_cnt_cycle, 300u);
    EXPECT_EQ(state.sps.offset_for_ref_frame[254], 3);
    EXPECT_EQ(state.sps.offset_for_ref_frame[255], -9);
    EXPECT_EQ(state.sps.pic_height, 240u);
}

TEST(EsH264, UnreadableParameterSetsLeaveTheStateAlone) {
    EsParserState state;
    const Bytes good = makeSps(highWithScalingLists());
    ASSERT_EQ(EsReadSequenceInfo(good.data(), good.size(), state), 0);
    const EsParserState before = state;

    BitWriter huge; // picture order type 1 with a count of offsets the payload cannot hold
    huge.bits(66, 8);
    huge.bits(0, 8);
    huge.bits(30, 8);
    huge.ue(0);
    huge.ue(0);
    huge.ue(1);
    huge.bit(0);
    huge.se(0);
    huge.se(0);
    huge.ue(0xFFFFFFF0u);
    huge.trailing();
    const std::vector<Bytes> bad = {
        makeNal(0x67, huge.bytes()),
        Bytes(good.begin(), good.begin() + 12), // cut inside the scaling lists
        Bytes(good.begin(), good.begin() + 5),  // header and profile only
        Bytes{0, 0, 0, 1, 0x67},
        Bytes{0, 0, 1},
        Bytes{},
    };
    for (const Bytes& nal : bad) {
        SCOPED_TRACE(::testing::PrintToString(nal));
        EXPECT_EQ(EsReadSequenceInfo(nal.data(), nal.size(), state), -1);
        EXPECT_EQ(state.sps.pic_width, before.sps.pic_width);
        EXPECT_EQ(state.sps.log2_max_frame_num_minus4, before.sps.log2_max_frame_num_minus4);
    }

    // A slice whose frame_num would need more than 32 bits cannot be read.
    SpsFields wide;
    wide.log2_max_frame_num_minus4 = 29;
    BitWriter w;
    w.ue(0);
    w.ue(0);
    w.ue(0);
    w.bits(0xFFFFFFFF, 32);
    w.bits(0xFF, 8);
    const Bytes wideSps = makeSps(wide);
    ASSERT_EQ(EsReadSequenceInfo(wideSps.data(), wideSps.size(), state), 0);
    const Bytes slice = makeNal(0x41, w.bytes());
    EXPECT_EQ(EsReadSliceInfo(slice.data(), slice.size(), state), -1);
}

struct SliceCase {
    const char* name;
    SpsFields sps;
    SliceFields slice;
};

SpsFields withPoc(uint32_t type, bool frameMbsOnly = true) {
    SpsFields s;
    s.pic_order_cnt_type = type;
    s.log2_max_pic_order_cnt_lsb_minus4 = 2;
    s.log2_max_frame_num_minus4 = 1;
    s.frame_mbs_only_flag = frameMbsOnly;
    return s;
}

TEST(EsH264, SliceHeaders) {
    SpsFields alwaysZero = withPoc(1);
    alwaysZero.delta_pic_order_always_zero_flag = true;
    const SliceCase cases[] = {
        {"P slice", withPoc(2), {1, 2, 0, 5, 17}},
        {"IDR slice", withPoc(2), {5, 3, 99, 7, 0, false, false, 12345}},
        {"picture order lsb", withPoc(0), {1, 2, 0, 0, 3, false, false, 0, 45}},
        {"bottom field", withPoc(0, false), {1, 0, 0, 1, 31, true, true, 0, 63}},
        {"top field", withPoc(0, false), {5, 3, 0, 2, 0, true, false, 4, 1}},
        {"frame of a field-coded stream", withPoc(0, false), {1, 2, 0, 0, 9, false, false, 0, 2}},
        {"picture order delta", withPoc(1), {1, 2, 0, 5, 6, false, false, 0, 0, -77}},
        {"delta always zero", alwaysZero, {1, 2, 0, 5, 6}},
    };
    for (const SliceCase& c : cases) {
        SCOPED_TRACE(c.name);
        EsParserState state;
        const Bytes sps = makeSps(c.sps);
        ASSERT_EQ(EsReadSequenceInfo(sps.data(), sps.size(), state), 0);
        state.slice.delta_pic_order_cnt0 = 555; // cleared by every slice header
        state.slice.bottom_field_flag = true;
        const Bytes nal = makeSlice(c.sps, c.slice);
        ASSERT_EQ(EsReadSliceInfo(nal.data(), nal.size(), state), 0);
        EXPECT_EQ(state.slice.slice_type, c.slice.slice_type);
        EXPECT_EQ(state.slice.frame_num, c.slice.frame_num);
        EXPECT_EQ(state.slice.field_pic_flag, c.slice.field_pic_flag);
        EXPECT_EQ(state.slice.bottom_field_flag, c.slice.bottom_field_flag);
        if (c.slice.nal_unit_type == 5) {
            EXPECT_EQ(state.slice.idr_pic_id, c.slice.idr_pic_id);
        }
        EXPECT_EQ(state.slice.pic_order_cnt_lsb, c.slice.pic_order_cnt_lsb);
        EXPECT_EQ(state.slice.delta_pic_order_cnt0, c.slice.delta_pic_order_cnt0);

        const Bytes cut(nal.begin(), nal.begin() + 6);
        const EsParserState before = state;
        EXPECT_EQ(EsReadSliceInfo(cut.data(), cut.size(), state), -1);
        EXPECT_EQ(state.slice.frame_num, before.slice.frame_num);
    }
}

} // namespace
