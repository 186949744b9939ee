// Test support: the recorder fixture as the box sends it for a recording. The parameter sets come as a unit
// of their own before each IDR picture, then one unit per picture (filler data left out); the fixture is
// looped, every unit 40 ms after the one before and every ADTS frame 32 ms after the one before, both from
// 1000 ms. Units are MediaUnits: timestamp, then the NAL units behind 00 00 00 01. A stream may carry
// sequence parameter sets of other picture sizes in place of the fixture's.
#pragma once

#include "media/EsH264.h"

#include "tests/media/AnnexB.h"
#include "tests/support/NalBuilder.h"

#include <cstdint>
#include <vector>

namespace recordstream {

using Bytes = std::vector<uint8_t>;

struct VideoUnit {
    Bytes media;
    uint32_t timestamp = 0;
    bool idr = false;
    bool picture = false;
};

struct Stream {
    std::vector<VideoUnit> video;
    std::vector<Bytes> audio; // MediaUnits with one ADTS frame
};

constexpr uint32_t kFirstTimestamp = 1000;
constexpr uint32_t kVideoStepMs = 40;
constexpr uint32_t kAudioStepMs = 32;

inline Bytes withTimestamp(uint32_t timestamp, const Bytes& payload) {
    Bytes unit = {uint8_t(timestamp), uint8_t(timestamp >> 8), uint8_t(timestamp >> 16),
                  uint8_t(timestamp >> 24)};
    unit.insert(unit.end(), payload.begin(), payload.end());
    return unit;
}

inline bool isSlice(uint8_t type) {
    return type == 1 || type == 5;
}

// One loop of the fixture cut into units: the NAL units of each (without start codes).
inline std::vector<std::vector<Bytes>> fixtureUnits() {
    std::vector<std::vector<Bytes>> units;
    uint8_t previous = 0;
    for (const Bytes& nal : splitNals(readFile(fixturePath("stream.264")))) {
        const uint8_t type = nal[0] & 0x1F;
        if (type == 12)
            continue;
        const bool firstSlice = isSlice(type) && (nal[1] & 0x80); // first_mb_in_slice 0
        if (units.empty() || type == 7 || previous == 8 || (isSlice(previous) && (type == 6 || firstSlice)))
            units.emplace_back();
        units.back().push_back(nal);
        previous = type;
    }
    return units;
}

// The fixture's sequence parameter set (without start code) for pictures of another size: the fields
// its slices are read with stay, the rest (reference frames, VUI) is left out.
inline Bytes fixtureSps(uint32_t width, uint32_t height) {
    Bytes sps;
    for (const Bytes& nal : splitNals(readFile(fixturePath("stream.264"))))
        if ((nal[0] & 0x1F) == 7 && sps.empty())
            sps = nal;
    const Bytes coded = withStartCode(sps);
    EsParserState state;
    EsReadSequenceInfo(coded.data(), coded.size(), state);
    SpsFields fields;
    fields.profile_idc = state.sps.profile_idc;
    fields.constraints = sps[2];
    fields.level_idc = state.sps.level_idc;
    fields.log2_max_frame_num_minus4 = state.sps.log2_max_frame_num_minus4;
    fields.pic_order_cnt_type = state.sps.pic_order_cnt_type;
    fields.log2_max_pic_order_cnt_lsb_minus4 = state.sps.log2_max_pic_order_cnt_lsb_minus4;
    fields.delta_pic_order_always_zero_flag = state.sps.delta_pic_order_always_zero_flag;
    fields.offset_for_non_ref_pic = state.sps.offset_for_non_ref_pic;
    fields.offset_for_top_to_bottom_field = state.sps.offset_for_top_to_bottom_field;
    fields.offset_for_ref_frame.assign(state.sps.offset_for_ref_frame,
                                       state.sps.offset_for_ref_frame +
                                           state.sps.num_ref_frames_in_pic_order_cnt_cycle);
    fields.width_mbs = width / 16;
    fields.height_map_units = height / 16;
    const Bytes made = makeSps(fields);
    return {made.begin() + 4, made.end()};
}

// From the unit at index from on, the sequence parameter sets are sps (without start code).
struct SpsChange {
    size_t from;
    Bytes sps;
};

inline Stream makeStream(size_t videoUnits, size_t audioFrames,
                         const std::vector<SpsChange>& spsChanges = {}) {
    static const std::vector<std::vector<Bytes>> loop = fixtureUnits();
    static const std::vector<Bytes> frames = adtsFrames(readFile(fixturePath("audio.aac")));
    Stream stream;
    for (size_t i = 0; i < videoUnits; ++i) {
        VideoUnit unit;
        unit.timestamp = kFirstTimestamp + kVideoStepMs * static_cast<uint32_t>(i);
        const Bytes* sps = nullptr;
        for (const SpsChange& change : spsChanges)
            if (i >= change.from)
                sps = &change.sps;
        Bytes payload;
        for (const Bytes& nal : loop[i % loop.size()]) {
            const Bytes coded = withStartCode(sps && (nal[0] & 0x1F) == 7 ? *sps : nal);
            payload.insert(payload.end(), coded.begin(), coded.end());
            unit.idr |= (nal[0] & 0x1F) == 5;
            unit.picture |= isSlice(nal[0] & 0x1F);
        }
        unit.media = withTimestamp(unit.timestamp, payload);
        stream.video.push_back(std::move(unit));
    }
    for (size_t i = 0; i < audioFrames; ++i)
        stream.audio.push_back(withTimestamp(kFirstTimestamp + kAudioStepMs * static_cast<uint32_t>(i),
                                             frames[i % frames.size()]));
    return stream;
}

// The units of a stream in the order the parser pushes them: by timestamp, video first at the same time.
template <class PushVideo, class PushAudio>
void pushInOrder(const Stream& stream, PushVideo pushVideo, PushAudio pushAudio) {
    size_t v = 0, a = 0;
    while (v < stream.video.size() || a < stream.audio.size()) {
        const bool video =
            a == stream.audio.size() ||
            (v < stream.video.size() &&
             stream.video[v].timestamp <= kFirstTimestamp + kAudioStepMs * static_cast<uint32_t>(a));
        if (video)
            pushVideo(stream.video[v++].media);
        else
            pushAudio(stream.audio[a++]);
    }
}

} // namespace recordstream
