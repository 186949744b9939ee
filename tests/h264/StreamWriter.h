// A small H.264 stream writer for the tests: the parameter sets, slice headers and macroblocks that x264
// never makes (I_PCM, memory management, long-term references, POC types 1 and 2, frame_num gaps, far
// motion vectors) written bit by bit, with emulation prevention and 4-byte start codes.
#pragma once

#include "tests/support/BitWriter.h"

#include <cstdint>
#include <vector>

namespace h264test {

using ::BitWriter;

// Appends 00 00 00 01, the NAL header and the payload with emulation-prevention bytes.
void appendNal(std::vector<uint8_t>& stream, int nalRefIdc, int nalUnitType,
               const std::vector<uint8_t>& payload);

struct SpsParams {
    int profileIdc = 66, levelIdc = 30, id = 0;
    int log2MaxFrameNumMinus4 = 0;
    int pocType = 2, log2MaxPocLsbMinus4 = 0;
    // POC type 1.
    bool deltaPicOrderAlwaysZero = false;
    int offsetForNonRefPic = 0, offsetForTopToBottomField = 0;
    std::vector<int> offsetForRefFrame;
    int numRefFrames = 1;
    bool gapsAllowed = false;
    uint32_t widthMbsMinus1 = 1, heightMbsMinus1 = 1;
    bool frameMbsOnly = true;
    bool cropping = false;
    uint32_t crop[4] = {}; // left, right, top, bottom
};

struct PpsParams {
    int id = 0, spsId = 0;
    bool cabac = false, picOrderPresent = false;
    int numRefIdxL0Minus1 = 0;
    bool weightedPred = false;
    int picInitQpMinus26 = 0, chromaQpIndexOffset = 0;
    bool deblockingControl = true, constrainedIntra = false, redundantPicCnt = false;
};

struct Mmco {
    uint32_t op, a = 0, b = 0; // a: difference_of_pic_nums_minus1 / long_term_pic_num / max idx plus1
};

// One reference index's entry of an explicit weight table; a flag left false writes no weights.
struct WeightEntry {
    bool luma = false;
    int lumaWeight = 0, lumaOffset = 0;
    bool chroma = false;
    int chromaWeight[2] = {}, chromaOffset[2] = {};
};

struct SliceParams {
    int nalUnitType = 5, nalRefIdc = 1;
    uint32_t firstMb = 0;
    int sliceType = 7; // 7 I, 5 P
    int ppsId = 0;
    uint32_t frameNum = 0;
    uint32_t idrPicId = 0;
    uint32_t pocLsb = 0;
    int deltaPocBottom = 0;
    int deltaPoc[2] = {0, 0};
    bool overrideRefIdx = false;
    int numRefIdxL0Minus1 = 0;
    std::vector<std::pair<uint32_t, uint32_t>> reorder; // (idc, value)
    // Written when the picture parameter set asks for explicit weights; missing entries carry no weights.
    uint32_t lumaLog2Denom = 0, chromaLog2Denom = 0;
    std::vector<WeightEntry> weights;
    bool noOutputOfPriorPics = false, longTermReference = false;
    bool adaptiveMarking = false;
    std::vector<Mmco> mmco;
    int sliceQpDelta = 0;
    int disableDeblocking = 1;
    int alphaOffsetDiv2 = 0, betaOffsetDiv2 = 0;
};

std::vector<uint8_t> spsPayload(const SpsParams& s);
std::vector<uint8_t> ppsPayload(const PpsParams& p);
// The slice header; the caller appends the slice data and the trailing bits.
void sliceHeader(BitWriter& w, const SliceParams& s, const SpsParams& sps, const PpsParams& pps);

// Slice data helpers. An I slice of I_PCM macroblocks whose samples come from `sample(plane, x, y)`.
template <typename Sample>
void ipcmMacroblocks(BitWriter& w, uint32_t count, bool pSlice, uint32_t firstMb, uint32_t widthMbs,
                     Sample sample) {
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t mb = firstMb + i, mx = mb % widthMbs, my = mb / widthMbs;
        if (pSlice)
            w.ue(0); // mb_skip_run
        w.ue(pSlice ? 30 : 25);
        w.alignZero();
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 16; ++x)
                w.bits(sample(0, 16 * mx + x, 16 * my + y), 8);
        for (int plane = 1; plane < 3; ++plane)
            for (uint32_t y = 0; y < 8; ++y)
                for (uint32_t x = 0; x < 8; ++x)
                    w.bits(sample(plane, 8 * mx + x, 8 * my + y), 8);
    }
}

} // namespace h264test

namespace h264test {

// A picture of I_PCM macroblocks in one slice; every sample of plane p is value(p).
std::vector<uint8_t> ipcmPicture(SliceParams s, const SpsParams& sps, const PpsParams& pps, uint8_t luma,
                                 uint8_t chroma = 128);
// A P picture of skipped macroblocks in one slice.
std::vector<uint8_t> skipPicture(SliceParams s, const SpsParams& sps, const PpsParams& pps);
// SPS and PPS units.
std::vector<uint8_t> parameterSets(const SpsParams& sps, const PpsParams& pps);

} // namespace h264test
