// H.264 elementary-stream parsing for the MP4 recorder: start codes, emulation prevention, a NAL
// reader over a memory buffer, the sequence parameter set and slice header fields the recorder
// needs, the new-picture test and the SEI filter. Independent of the decoder's own parser.
// Every function bounds its reads by the length it is given; NAL units are passed with their
// 3- or 4-byte start code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum EsNalType : uint8_t {
    EsNalSlice = 1,
    EsNalIdr = 5,
    EsNalSei = 6,
    EsNalSps = 7,
    EsNalPps = 8,
    EsNalAccessUnitDelimiter = 9,
    EsNalEndOfSequence = 10,
    EsNalEndOfStream = 11,
    EsNalFiller = 12,
};

inline bool EsIsSlice(uint8_t nalUnitType) {
    return nalUnitType >= EsNalSlice && nalUnitType <= EsNalIdr;
}

// Copies source to destination, turning each 00 00 03 that has at least one more byte behind it
// into 00 00; returns the new length. destination holds at least length bytes.
size_t EsRemoveEmulationBytes(const uint8_t* source, size_t length, uint8_t* destination);

// Offset of the next start code (of its first zero byte, the one before 00 00 01 when that is 0 too)
// behind the start code the buffer itself may begin with; 0 when there is none.
size_t EsFindStartCode(const uint8_t* buffer, size_t length);

// 3 when the unit's third byte is 1, else 4. unit holds at least 3 bytes.
inline uint32_t EsStartCodeLength(const uint8_t* unit) {
    return unit[2] == 1 ? 3 : 4;
}

// Cuts a buffer of Annex B NAL units into units, each with its start code and at least a header
// byte. Bytes before the first start code are skipped. The reader borrows the buffer until the next
// Reset; the current unit is its own copy, which the SEI filter may shorten.
class EsNalReader {
public:
    void Reset(const uint8_t* data, size_t length);
    // Moves to the next NAL unit; false when the buffer is exhausted. The accessors below need a
    // current unit (Next returned true).
    bool Next();
    std::vector<uint8_t>& Unit() { return unit_; }
    const std::vector<uint8_t>& Unit() const { return unit_; }
    uint32_t StartCodeLength() const { return EsStartCodeLength(unit_.data()); }
    uint8_t Type() const { return unit_[StartCodeLength()] & 0x1F; }

private:
    const uint8_t* data_ = nullptr;
    size_t length_ = 0;
    size_t position_ = 0;
    std::vector<uint8_t> unit_;
};

// Fields of the last sequence parameter set; the names are the standard's syntax elements.
struct EsSequenceInfo {
    uint32_t profile_idc = 0;
    uint32_t level_idc = 0;
    uint32_t chroma_format_idc = 1;
    bool residual_colour_transform_flag = false;
    uint32_t bit_depth_luma_minus8 = 0;
    uint32_t bit_depth_chroma_minus8 = 0;
    bool qpprime_y_zero_transform_bypass_flag = false;
    bool seq_scaling_matrix_present_flag = false;
    uint32_t log2_max_frame_num_minus4 = 0;
    uint32_t pic_order_cnt_type = 0;
    uint32_t log2_max_pic_order_cnt_lsb_minus4 = 0;
    bool delta_pic_order_always_zero_flag = false;
    int32_t offset_for_non_ref_pic = 0;
    int32_t offset_for_top_to_bottom_field = 0;
    uint32_t num_ref_frames_in_pic_order_cnt_cycle = 0;
    int32_t offset_for_ref_frame[256] = {}; // entries beyond 256 overwrite the last one
    bool frame_mbs_only_flag = true;
    uint32_t pic_width = 0; // pixels
    uint32_t pic_height = 0;
};

// Fields of the last slice header. The picture parameter set is not parsed, so the bottom-field
// picture order deltas that depend on it are never read.
struct EsSliceInfo {
    uint32_t slice_type = 0;
    uint32_t frame_num = 0;
    bool field_pic_flag = false;
    bool bottom_field_flag = false;
    uint32_t idr_pic_id = 0;
    uint32_t pic_order_cnt_lsb = 0;
    int32_t delta_pic_order_cnt0 = 0;
};

// The parser state of one recorder: the values of the last NAL unit.
struct EsParserState {
    uint8_t nal_unit_type = 0; // 0: no NAL unit seen yet
    uint8_t nal_ref_idc = 0;
    EsSequenceInfo sps;
    EsSliceInfo slice;
};

// Parse a sequence parameter set (first 2048 payload bytes) or a slice header (first 512) into
// state: 0, or -1 on a read error, leaving state untouched.
int EsReadSequenceInfo(const uint8_t* nal, size_t length, EsParserState& state);
int EsReadSliceInfo(const uint8_t* nal, size_t length, EsParserState& state);

// 1 when this NAL unit begins a new picture, 0 when not, -1 when its slice header or sequence
// parameter set cannot be read (state then unchanged). Otherwise state takes this unit's values.
int EsDetectBoundary(const uint8_t* nal, size_t length, EsParserState& state);

// Cuts the SEI messages of payload types 3, 10, 11 and 12 out of the reader's current SEI unit;
// whether the unit is to be kept (false: a malformed SEI, or one left without messages).
bool EsStripSeiMessages(EsNalReader& reader, uint32_t startCodeLength);
