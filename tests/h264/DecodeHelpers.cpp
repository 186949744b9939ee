#include "tests/h264/DecodeHelpers.h"

#include "tools/h264dec/Md5.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace h264test {

H264DecoderConfig smallConfig(int32_t dpbFrames, int32_t flags) {
    H264DecoderConfig c;
    c.maxWidthInMbs = 45;
    c.maxHeightInMbs = 36;
    c.dpbFrames = dpbFrames;
    c.flags = flags;
    return c;
}

namespace {

Frame copy(const DecodedPicture& p) {
    Frame f;
    f.width = p.width, f.height = p.height, f.poc = p.poc, f.kind = p.kind, f.idr = p.idr;
    f.incomplete = p.incomplete;
    f.crop[0] = p.cropLeft, f.crop[1] = p.cropRight, f.crop[2] = p.cropTop, f.crop[3] = p.cropBottom;
    f.y.assign(p.lumaPlane, p.lumaPlane + size_t(p.width) * p.height);
    f.cb.assign(p.cbPlane, p.cbPlane + size_t(p.width) * p.height / 4);
    f.cr.assign(p.crPlane, p.crPlane + size_t(p.width) * p.height / 4);
    return f;
}

} // namespace

Decoded decodeStream(const std::vector<uint8_t>& stream, const H264DecoderConfig& config, unsigned level,
                     size_t chunk) {
    Decoded out;
    H264DecoderContext* d = H264DecoderCreateAtLevel(&config, level);
    if (!d)
        return out;
    DecodedPicture p;
    const size_t step = chunk ? chunk : std::max<size_t>(stream.size(), 1);
    for (size_t at = 0; at < stream.size(); at += step) {
        const uint32_t n = uint32_t(std::min(step, stream.size() - at));
        for (int r = H264DecoderDecode(d, stream.data() + at, n, 0, 0, &p, 0); r == DECODE_OK;
             r = H264DecoderDecode(d, nullptr, 0, 0, 0, &p, 0))
            out.frames.push_back(copy(p));
        while (H264DecoderGetPicture(d, &p) == DECODE_OK)
            out.frames.push_back(copy(p));
    }
    while (H264DecoderDecode(d, nullptr, 0, 0, 0, &p, DECODE_FLAG_END_OF_UNIT) == DECODE_OK)
        out.frames.push_back(copy(p));
    out.diagnostics = *H264DecoderGetDiagnostics(d);
    H264DecoderDestroy(d);
    return out;
}

std::string md5Hex(const std::vector<Frame>& frames) {
    Md5 md5;
    for (const Frame& f : frames) {
        const int left = 2 * f.crop[0], top = 2 * f.crop[2];
        const int w = f.width - 2 * (f.crop[0] + f.crop[1]), h = f.height - 2 * (f.crop[2] + f.crop[3]);
        for (int y = 0; y < h; ++y)
            md5.update(f.y.data() + size_t(top + y) * f.width + left, size_t(w));
        for (const std::vector<uint8_t>* plane : {&f.cb, &f.cr})
            for (int y = 0; y < h / 2; ++y)
                md5.update(plane->data() + size_t(top / 2 + y) * (f.width / 2) + left / 2, size_t(w / 2));
    }
    return md5.hexDigest();
}

} // namespace h264test
