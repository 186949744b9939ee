// Test support: writes H.264 syntax (bits, Exp-Golomb codes) and wraps it into NAL units with start
// codes and emulation prevention, so that parser tests can state their input field by field.
#pragma once

#include "tests/support/BitWriter.h"

#include <cstdint>
#include <optional>
#include <vector>

// Start code, header byte, then the payload with 03 inserted wherever 00 00 is followed by 0 to 3.
inline std::vector<uint8_t> makeNal(uint8_t header, const std::vector<uint8_t>& rbsp, int startCode = 4) {
    std::vector<uint8_t> nal(startCode - 1, 0);
    nal.push_back(1);
    nal.push_back(header);
    appendEscaped(nal, rbsp);
    return nal;
}

struct SpsFields {
    uint32_t profile_idc = 66;
    uint32_t constraints = 0xC0;
    uint32_t level_idc = 30;
    uint32_t seq_parameter_set_id = 0;
    uint32_t chroma_format_idc = 1;
    bool residual_colour_transform_flag = false;
    uint32_t bit_depth_luma_minus8 = 0;
    uint32_t bit_depth_chroma_minus8 = 0;
    // high profiles: for each of the 8 lists, absent or the delta_scale values written for it
    std::optional<std::vector<std::optional<std::vector<int>>>> scaling_lists;
    uint32_t log2_max_frame_num_minus4 = 0;
    uint32_t pic_order_cnt_type = 2;
    uint32_t log2_max_pic_order_cnt_lsb_minus4 = 0;
    bool delta_pic_order_always_zero_flag = false;
    int32_t offset_for_non_ref_pic = 0;
    int32_t offset_for_top_to_bottom_field = 0;
    std::vector<int32_t> offset_for_ref_frame;
    uint32_t width_mbs = 22;
    uint32_t height_map_units = 15;
    bool frame_mbs_only_flag = true;
};

inline std::vector<uint8_t> makeSps(const SpsFields& s) {
    BitWriter w;
    w.bits(s.profile_idc, 8);
    w.bits(s.constraints, 8);
    w.bits(s.level_idc, 8);
    w.ue(s.seq_parameter_set_id);
    if (s.profile_idc == 100 || s.profile_idc == 110 || s.profile_idc == 122 || s.profile_idc == 144) {
        w.ue(s.chroma_format_idc);
        if (s.chroma_format_idc == 3)
            w.bit(s.residual_colour_transform_flag);
        w.ue(s.bit_depth_luma_minus8);
        w.ue(s.bit_depth_chroma_minus8);
        w.bit(0);
        w.bit(s.scaling_lists.has_value());
        if (s.scaling_lists) {
            for (const auto& list : *s.scaling_lists) {
                w.bit(list.has_value());
                if (list)
                    for (int delta : *list)
                        w.se(delta);
            }
        }
    }
    w.ue(s.log2_max_frame_num_minus4);
    w.ue(s.pic_order_cnt_type);
    if (s.pic_order_cnt_type == 0) {
        w.ue(s.log2_max_pic_order_cnt_lsb_minus4);
    } else if (s.pic_order_cnt_type == 1) {
        w.bit(s.delta_pic_order_always_zero_flag);
        w.se(s.offset_for_non_ref_pic);
        w.se(s.offset_for_top_to_bottom_field);
        w.ue(static_cast<uint32_t>(s.offset_for_ref_frame.size()));
        for (int32_t offset : s.offset_for_ref_frame)
            w.se(offset);
    }
    w.ue(1); // num_ref_frames
    w.bit(0);
    w.ue(s.width_mbs - 1);
    w.ue(s.height_map_units - 1);
    w.bit(s.frame_mbs_only_flag);
    if (!s.frame_mbs_only_flag)
        w.bit(0); // mb_adaptive_frame_field_flag
    w.bit(1);     // direct_8x8_inference_flag
    w.bit(0);     // frame_cropping_flag
    w.bit(0);     // vui_parameters_present_flag
    w.trailing();
    return makeNal(0x67, w.bytes());
}

struct SliceFields {
    uint8_t nal_unit_type = 1;
    uint8_t nal_ref_idc = 2;
    uint32_t first_mb = 0;
    uint32_t slice_type = 5;
    uint32_t frame_num = 0;
    bool field_pic_flag = false;
    bool bottom_field_flag = false;
    uint32_t idr_pic_id = 0;
    uint32_t pic_order_cnt_lsb = 0;
    int32_t delta_pic_order_cnt0 = 0;
};

// A slice header for the given sequence parameter set, followed by a few bytes of slice data.
inline std::vector<uint8_t> makeSlice(const SpsFields& sps, const SliceFields& s, int startCode = 4) {
    BitWriter w;
    w.ue(s.first_mb);
    w.ue(s.slice_type);
    w.ue(0);
    w.bits(s.frame_num, static_cast<int>(sps.log2_max_frame_num_minus4 + 4));
    if (!sps.frame_mbs_only_flag) {
        w.bit(s.field_pic_flag);
        if (s.field_pic_flag)
            w.bit(s.bottom_field_flag);
    }
    if (s.nal_unit_type == 5)
        w.ue(s.idr_pic_id);
    if (sps.pic_order_cnt_type == 0)
        w.bits(s.pic_order_cnt_lsb, static_cast<int>(sps.log2_max_pic_order_cnt_lsb_minus4 + 4));
    else if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag)
        w.se(s.delta_pic_order_cnt0);
    w.bits(0xA5C3, 16); // stands for the slice data
    w.trailing();
    return makeNal(static_cast<uint8_t>((s.nal_ref_idc << 5) | s.nal_unit_type), w.bytes(), startCode);
}
