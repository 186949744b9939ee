#include "media/EsH264.h"
#include "media/EsBitReader.h"

#include <algorithm>
#include <array>

namespace {

// Payloads are parsed from their first bytes only; the recorder needs fields near the start.
constexpr size_t kSpsPayloadLimit = 2048;
constexpr size_t kSlicePayloadLimit = 512;

// The payload behind the NAL header, emulation prevention removed, at most limit bytes of it.
template <size_t limit> struct Payload {
    std::array<uint8_t, limit> bytes;
    size_t length = 0;

    Payload(const uint8_t* nal, size_t nalLength) {
        if (nalLength < 3)
            return;
        const size_t header = EsStartCodeLength(nal);
        if (nalLength <= header + 1)
            return;
        length =
            EsRemoveEmulationBytes(nal + header + 1, std::min(nalLength - header - 1, limit), bytes.data());
    }
};

uint32_t fieldBits(uint32_t minus4) {
    if (minus4 > 28)
        throw BitstreamErrTooManyBits;
    return minus4 + 4;
}

void readSequence(EsBitReader& r, EsSequenceInfo& s) {
    s = EsSequenceInfo{};
    s.profile_idc = r.GetBits(8);
    r.GetBits(8); // constraint flags
    s.level_idc = r.GetBits(8);
    EsReadUe(r); // seq_parameter_set_id
    if (s.profile_idc == 100 || s.profile_idc == 110 || s.profile_idc == 122 || s.profile_idc == 144) {
        s.chroma_format_idc = EsReadUe(r);
        if (s.chroma_format_idc == 3)
            s.residual_colour_transform_flag = r.GetBits(1);
        s.bit_depth_luma_minus8 = EsReadUe(r);
        s.bit_depth_chroma_minus8 = EsReadUe(r);
        s.qpprime_y_zero_transform_bypass_flag = r.GetBits(1);
        s.seq_scaling_matrix_present_flag = r.GetBits(1);
        if (s.seq_scaling_matrix_present_flag) {
            for (uint32_t list = 0; list < 8; ++list) {
                if (r.GetBits(1))
                    EsSkipScalingList(r, list < 6 ? 16 : 64);
            }
        }
    }
    s.log2_max_frame_num_minus4 = EsReadUe(r);
    s.pic_order_cnt_type = EsReadUe(r);
    if (s.pic_order_cnt_type == 0) {
        s.log2_max_pic_order_cnt_lsb_minus4 = EsReadUe(r);
    } else if (s.pic_order_cnt_type == 1) {
        s.delta_pic_order_always_zero_flag = r.GetBits(1);
        s.offset_for_non_ref_pic = EsReadSe(r);
        s.offset_for_top_to_bottom_field = EsReadSe(r);
        s.num_ref_frames_in_pic_order_cnt_cycle = EsReadUe(r);
        // The count is untrusted; each value takes at least one bit, so the payload ends the loop.
        for (uint32_t i = 0; i < s.num_ref_frames_in_pic_order_cnt_cycle; ++i)
            s.offset_for_ref_frame[std::min<uint32_t>(i, 255)] = EsReadSe(r);
    }
    EsReadUe(r);  // num_ref_frames
    r.GetBits(1); // gaps_in_frame_num_value_allowed_flag
    s.pic_width = static_cast<uint32_t>((uint64_t{EsReadUe(r)} + 1) * 16);
    const uint64_t mapUnits = uint64_t{EsReadUe(r)} + 1;
    s.frame_mbs_only_flag = r.GetBits(1);
    s.pic_height = static_cast<uint32_t>((s.frame_mbs_only_flag ? 1 : 2) * mapUnits * 16);
}

void readSlice(EsBitReader& r, uint8_t nalUnitType, const EsSequenceInfo& sps, EsSliceInfo& s) {
    s = EsSliceInfo{};
    EsReadUe(r); // first_mb_in_slice
    s.slice_type = EsReadUe(r);
    EsReadUe(r); // pic_parameter_set_id
    s.frame_num = r.GetBits(fieldBits(sps.log2_max_frame_num_minus4));
    if (!sps.frame_mbs_only_flag) {
        s.field_pic_flag = r.GetBits(1);
        if (s.field_pic_flag)
            s.bottom_field_flag = r.GetBits(1);
    }
    if (nalUnitType == EsNalIdr)
        s.idr_pic_id = EsReadUe(r);
    if (sps.pic_order_cnt_type == 0)
        s.pic_order_cnt_lsb = r.GetBits(fieldBits(sps.log2_max_pic_order_cnt_lsb_minus4));
    else if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag)
        s.delta_pic_order_cnt0 = EsReadSe(r);
}

bool beginsNewPicture(const EsParserState& previous, const EsParserState& next) {
    const EsSliceInfo& a = previous.slice;
    const EsSliceInfo& b = next.slice;
    if (a.frame_num != b.frame_num || a.field_pic_flag != b.field_pic_flag)
        return true;
    if (previous.nal_ref_idc != next.nal_ref_idc && (previous.nal_ref_idc == 0 || next.nal_ref_idc == 0))
        return true;
    if (next.sps.pic_order_cnt_type == 0 && a.pic_order_cnt_lsb != b.pic_order_cnt_lsb)
        return true;
    if (next.sps.pic_order_cnt_type == 1 && a.delta_pic_order_cnt0 != b.delta_pic_order_cnt0)
        return true;
    return previous.nal_unit_type == EsNalIdr && next.nal_unit_type == EsNalIdr &&
           a.idr_pic_id != b.idr_pic_id;
}

} // namespace

int EsReadSequenceInfo(const uint8_t* nal, size_t length, EsParserState& state) {
    const Payload<kSpsPayloadLimit> payload(nal, length);
    EsBitReader reader(payload.bytes.data(), payload.length);
    EsParserState parsed = state;
    try {
        readSequence(reader, parsed.sps);
    } catch (BitstreamErr_t) {
        return -1;
    }
    state = parsed;
    return 0;
}

int EsReadSliceInfo(const uint8_t* nal, size_t length, EsParserState& state) {
    const Payload<kSlicePayloadLimit> payload(nal, length);
    if (payload.length == 0)
        return -1;
    EsBitReader reader(payload.bytes.data(), payload.length);
    EsParserState parsed = state;
    try {
        readSlice(reader, nal[EsStartCodeLength(nal)] & 0x1F, parsed.sps, parsed.slice);
    } catch (BitstreamErr_t) {
        return -1;
    }
    state = parsed;
    return 0;
}

int EsDetectBoundary(const uint8_t* nal, size_t length, EsParserState& state) {
    if (length < 3 || length <= EsStartCodeLength(nal))
        return -1;
    const uint8_t header = nal[EsStartCodeLength(nal)];
    EsParserState next = state;
    next.nal_unit_type = header & 0x1F;
    next.nal_ref_idc = (header >> 5) & 3;
    const bool afterSlice = EsIsSlice(state.nal_unit_type);
    int boundary = 0;
    switch (next.nal_unit_type) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
        if (EsReadSliceInfo(nal, length, next) < 0)
            return -1;
        // After a non-slice unit the boundary was already reported at the first non-slice unit.
        boundary = afterSlice && beginsNewPicture(state, next);
        break;
    case EsNalAccessUnitDelimiter:
    case EsNalEndOfSequence:
    case EsNalEndOfStream:
        boundary = 1;
        break;
    case EsNalSps:
        if (EsReadSequenceInfo(nal, length, next) < 0)
            return -1;
        [[fallthrough]];
    default:
        boundary = afterSlice || state.nal_unit_type == 0;
        break;
    }
    state = next;
    return boundary;
}
