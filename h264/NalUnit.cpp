#include "h264/Context.h"

namespace h264 {

int32_t DecodeNalUnit(H264DecoderContext& ctx) {
    H264BitReader& r = ctx.reader;
    ReadBits(r, 1); // forbidden_zero_bit
    ctx.nalRefIdc = ReadBits(r, 2);
    const uint32_t type = ReadBits(r, 5);
    switch (type) {
    case 1:
    case 5:
        ctx.slice.nalUnitType = type;
        ctx.slice.nalRefIdc = ctx.nalRefIdc;
        return DecodeSlice(ctx);
    case 6:
        ParsePrivateSei(ctx);
        return NAL_NEW_PICTURE;
    case 7: {
        const int32_t err = ParseSps(ctx);
        if (err)
            return err;
        if (ctx.psState == PS_NONE)
            ctx.psState = PS_SPS;
        return NAL_SPS_STORED;
    }
    case 8: {
        const int32_t err = ParsePps(ctx);
        if (err)
            return err;
        if (ctx.psState == PS_SPS)
            ctx.psState = PS_PPS;
        return NAL_PPS_STORED;
    }
    case 9:
    case 10:
    case 12:
        return NAL_IGNORED;
    case 11:
        return NAL_END_OF_STREAM;
    default:
        return H264ERR_NAL_TYPE;
    }
}

} // namespace h264
