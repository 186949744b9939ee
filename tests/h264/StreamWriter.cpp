#include "tests/h264/StreamWriter.h"

#include <cstddef>

namespace h264test {

void appendNal(std::vector<uint8_t>& stream, int nalRefIdc, int nalUnitType,
               const std::vector<uint8_t>& payload) {
    stream.insert(stream.end(), {0, 0, 0, 1, uint8_t(nalRefIdc << 5 | nalUnitType)});
    appendEscaped(stream, payload);
}

std::vector<uint8_t> spsPayload(const SpsParams& s) {
    BitWriter w;
    w.bits(uint32_t(s.profileIdc), 8);
    w.bits(0, 8); // constraint flags and reserved bits
    w.bits(uint32_t(s.levelIdc), 8);
    w.ue(uint32_t(s.id));
    w.ue(uint32_t(s.log2MaxFrameNumMinus4));
    w.ue(uint32_t(s.pocType));
    if (s.pocType == 0) {
        w.ue(uint32_t(s.log2MaxPocLsbMinus4));
    } else if (s.pocType == 1) {
        w.flag(s.deltaPicOrderAlwaysZero);
        w.se(s.offsetForNonRefPic);
        w.se(s.offsetForTopToBottomField);
        w.ue(uint32_t(s.offsetForRefFrame.size()));
        for (int o : s.offsetForRefFrame)
            w.se(o);
    }
    w.ue(uint32_t(s.numRefFrames));
    w.flag(s.gapsAllowed);
    w.ue(s.widthMbsMinus1);
    w.ue(s.heightMbsMinus1);
    w.flag(s.frameMbsOnly);
    if (!s.frameMbsOnly)
        w.flag(false);
    w.flag(true); // direct_8x8_inference_flag
    w.flag(s.cropping);
    if (s.cropping)
        for (uint32_t c : s.crop)
            w.ue(c);
    w.flag(false); // vui_parameters_present_flag
    w.trailing();
    return w.bytes();
}

std::vector<uint8_t> ppsPayload(const PpsParams& p) {
    BitWriter w;
    w.ue(uint32_t(p.id));
    w.ue(uint32_t(p.spsId));
    w.flag(p.cabac);
    w.flag(p.picOrderPresent);
    w.ue(0); // num_slice_groups_minus1
    w.ue(uint32_t(p.numRefIdxL0Minus1));
    w.ue(0);
    w.flag(p.weightedPred);
    w.bits(0, 2);
    w.se(p.picInitQpMinus26);
    w.se(0);
    w.se(p.chromaQpIndexOffset);
    w.flag(p.deblockingControl);
    w.flag(p.constrainedIntra);
    w.flag(p.redundantPicCnt);
    w.trailing();
    return w.bytes();
}

void sliceHeader(BitWriter& w, const SliceParams& s, const SpsParams& sps, const PpsParams& pps) {
    w.ue(s.firstMb);
    w.ue(uint32_t(s.sliceType));
    w.ue(uint32_t(s.ppsId));
    w.bits(s.frameNum, sps.log2MaxFrameNumMinus4 + 4);
    if (s.nalUnitType == 5)
        w.ue(s.idrPicId);
    if (sps.pocType == 0) {
        w.bits(s.pocLsb, sps.log2MaxPocLsbMinus4 + 4);
        if (pps.picOrderPresent)
            w.se(s.deltaPocBottom);
    }
    if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
        w.se(s.deltaPoc[0]);
        if (pps.picOrderPresent)
            w.se(s.deltaPoc[1]);
    }
    const bool p = s.sliceType % 5 == 0 || s.sliceType % 5 == 3;
    if (p) {
        w.flag(s.overrideRefIdx);
        if (s.overrideRefIdx)
            w.ue(uint32_t(s.numRefIdxL0Minus1));
        w.flag(!s.reorder.empty());
        if (!s.reorder.empty()) {
            for (auto [idc, value] : s.reorder) {
                w.ue(idc);
                w.ue(value);
            }
            w.ue(3);
        }
        if (pps.weightedPred) {
            w.ue(s.lumaLog2Denom);
            w.ue(s.chromaLog2Denom);
            const int active = (s.overrideRefIdx ? s.numRefIdxL0Minus1 : pps.numRefIdxL0Minus1) + 1;
            for (int i = 0; i < active; ++i) {
                const WeightEntry e =
                    std::size_t(i) < s.weights.size() ? s.weights[std::size_t(i)] : WeightEntry{};
                w.flag(e.luma);
                if (e.luma) {
                    w.se(e.lumaWeight);
                    w.se(e.lumaOffset);
                }
                w.flag(e.chroma);
                if (e.chroma)
                    for (int c = 0; c < 2; ++c) {
                        w.se(e.chromaWeight[c]);
                        w.se(e.chromaOffset[c]);
                    }
            }
        }
    }
    if (s.nalRefIdc) {
        if (s.nalUnitType == 5) {
            w.flag(s.noOutputOfPriorPics);
            w.flag(s.longTermReference);
        } else {
            w.flag(s.adaptiveMarking);
            if (s.adaptiveMarking) {
                for (const Mmco& m : s.mmco) {
                    w.ue(m.op);
                    if (m.op == 1 || m.op == 3 || m.op == 2 || m.op == 4 || m.op == 6)
                        w.ue(m.a);
                    if (m.op == 3)
                        w.ue(m.b);
                }
                w.ue(0);
            }
        }
    }
    w.se(s.sliceQpDelta);
    if (pps.deblockingControl) {
        w.ue(uint32_t(s.disableDeblocking));
        if (s.disableDeblocking != 1) {
            w.se(s.alphaOffsetDiv2);
            w.se(s.betaOffsetDiv2);
        }
    }
}

} // namespace h264test

namespace h264test {

std::vector<uint8_t> ipcmPicture(SliceParams s, const SpsParams& sps, const PpsParams& pps, uint8_t luma,
                                 uint8_t chroma) {
    BitWriter w;
    sliceHeader(w, s, sps, pps);
    const uint32_t mbs = (sps.widthMbsMinus1 + 1) * (sps.heightMbsMinus1 + 1);
    const bool p = s.sliceType % 5 == 0;
    ipcmMacroblocks(w, mbs, p, 0, sps.widthMbsMinus1 + 1,
                    [&](int plane, uint32_t, uint32_t) { return plane ? chroma : luma; });
    w.trailing();
    std::vector<uint8_t> out;
    appendNal(out, s.nalRefIdc, s.nalUnitType, w.bytes());
    return out;
}

std::vector<uint8_t> skipPicture(SliceParams s, const SpsParams& sps, const PpsParams& pps) {
    BitWriter w;
    sliceHeader(w, s, sps, pps);
    w.ue((sps.widthMbsMinus1 + 1) * (sps.heightMbsMinus1 + 1));
    w.trailing();
    std::vector<uint8_t> out;
    appendNal(out, s.nalRefIdc, s.nalUnitType, w.bytes());
    return out;
}

std::vector<uint8_t> parameterSets(const SpsParams& sps, const PpsParams& pps) {
    std::vector<uint8_t> out;
    appendNal(out, 3, 7, spsPayload(sps));
    appendNal(out, 3, 8, ppsPayload(pps));
    return out;
}

} // namespace h264test
