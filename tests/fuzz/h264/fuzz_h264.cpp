// The decoder fed random bytes in random pieces, with a small configuration, once with the portable and
// once with the SSE2 kernels: it must not crash, and both must hand out the same pictures.
#include "h264/Decoder.h"
#include "h264/DecoderHooks.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Output {
    std::vector<uint8_t> bytes;
    void add(const DecodedPicture& p) {
        const size_t luma = size_t(p.width) * p.height;
        bytes.insert(bytes.end(), p.lumaPlane, p.lumaPlane + luma);
        bytes.insert(bytes.end(), p.cbPlane, p.cbPlane + luma / 4);
        bytes.insert(bytes.end(), p.crPlane, p.crPlane + luma / 4);
        const int32_t meta[] = {p.width, p.height, p.poc, p.kind, p.idr, p.incomplete};
        const auto* m = reinterpret_cast<const uint8_t*>(meta);
        bytes.insert(bytes.end(), m, m + sizeof meta);
    }
};

Output decode(const uint8_t* data, size_t size, unsigned level, uint8_t control) {
    H264DecoderConfig config;
    config.maxWidthInMbs = 8;
    config.maxHeightInMbs = 6;
    config.dpbFrames = 1 + (control & 3);
    config.flags = (control >> 2) & 1 ? H264_FLAG_ZERO_COPY : 0;
    Output out;
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, level);
    if (!d)
        std::abort();
    // Piece sizes come from the control byte, so the scanner sees start codes split every way.
    const size_t piece = 1 + (size_t(control >> 3) * 37) % 512;
    DecodedPicture p;
    for (size_t at = 0; at < size; at += piece) {
        const uint32_t n = uint32_t(size - at < piece ? size - at : piece);
        for (int r = H264DecoderDecode(d, data + at, n, 0, 0, &p, 0); r == DECODE_OK;
             r = H264DecoderDecode(d, nullptr, 0, 0, 0, &p, 0))
            out.add(p);
    }
    while (H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT) == DECODE_OK)
        out.add(p);
    H264DecoderDestroy(d);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    const Output portable = decode(data + 1, size - 1, 2, control);
    const Output simd = decode(data + 1, size - 1, 4, control);
    if (portable.bytes != simd.bytes)
        std::abort();
    return 0;
}
