#include "platform/dshow/VideoPixels.h"

#include <algorithm>
#include <cmath>

namespace platform::dshow {
namespace {

// Byte offsets of Y0, U, Y1, V within a pixel pair.
struct Layout {
    int y0, u, y1, v;
};

Layout layoutOf(DWORD fourcc) {
    return fourcc == MakeFourCC('U', 'Y', 'V', 'Y') ? Layout{1, 0, 3, 2} : Layout{0, 1, 2, 3};
}

BYTE clampByte(int v) {
    return static_cast<BYTE>(std::clamp(v, 0, 255));
}

struct Yuv {
    int y, u, v;
};

Yuv toYuv(std::uint32_t rgb) {
    const int r = static_cast<int>((rgb >> 16) & 0xFF), g = static_cast<int>((rgb >> 8) & 0xFF),
              b = static_cast<int>(rgb & 0xFF);
    return {16 + ((66 * r + 129 * g + 25 * b + 128) >> 8), 128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8),
            128 + ((112 * r - 94 * g - 18 * b + 128) >> 8)};
}

std::uint32_t toRgb(int y, int u, int v) {
    const int c = y - 16, d = u - 128, e = v - 128;
    const BYTE r = clampByte((298 * c + 409 * e + 128) >> 8);
    const BYTE g = clampByte((298 * c - 100 * d - 208 * e + 128) >> 8);
    const BYTE b = clampByte((298 * c + 516 * d + 128) >> 8);
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 | b;
}

} // namespace

std::vector<std::uint32_t> ToRgb(DWORD fourcc, int width, int height, int pitch, const BYTE* rows) {
    if (width <= 0 || height <= 0 || pitch < 2 * width || !rows)
        return {};
    std::vector<std::uint32_t> out(static_cast<size_t>(width) * static_cast<size_t>(height));
    const Layout l = layoutOf(fourcc);
    for (int y = 0; y < height; ++y) {
        const BYTE* row = rows + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        std::uint32_t* dst = out.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x + 1 < width; x += 2) { // whole pixel pairs: an odd last column keeps black
            const BYTE* pair = row + 2 * x;
            dst[x] = toRgb(pair[l.y0], pair[l.u], pair[l.v]);
            dst[x + 1] = toRgb(pair[l.y1], pair[l.u], pair[l.v]);
        }
    }
    return out;
}

std::vector<std::uint32_t> FrameToRgb(const VideoFrame& frame) {
    return ToRgb(frame.fourcc, frame.width, frame.height, frame.pitch, frame.data);
}

void BlendOverlay(PackedPicture& p, const Overlay& o) {
    const platform::gdi::Dib& bm = o.bitmap;
    if (bm.width <= 0 || bm.height <= 0 || o.alpha <= 0)
        return;
    const int x0 = static_cast<int>(std::lround(o.left * static_cast<float>(p.width)));
    const int y0 = static_cast<int>(std::lround(o.top * static_cast<float>(p.height)));
    const int x1 = static_cast<int>(std::lround(o.right * static_cast<float>(p.width)));
    const int y1 = static_cast<int>(std::lround(o.bottom * static_cast<float>(p.height)));
    if (x1 <= x0 || y1 <= y0)
        return;
    const int a = static_cast<int>(std::lround(std::min(o.alpha, 1.0f) * 256));
    const Layout l = layoutOf(p.fourcc);
    // The weight (0..256) and colour the bitmap gives one picture pixel.
    auto sampleAt = [&](int x, int y, Yuv* colour) -> int {
        if (x < x0 || x >= x1 || y < y0 || y >= y1)
            return 0;
        const int bx = static_cast<int>(static_cast<long long>(x - x0) * bm.width / (x1 - x0));
        const int by = static_cast<int>(static_cast<long long>(y - y0) * bm.height / (y1 - y0));
        const std::uint32_t pixel = bm.at(bx, by) & 0x00FFFFFFu;
        if (o.keyed && pixel == o.key)
            return 0;
        *colour = toYuv(pixel);
        return a;
    };
    for (int y = std::max(y0, 0); y < std::min(y1, p.height); ++y) {
        BYTE* row = p.bytes.data() + static_cast<size_t>(y) * static_cast<size_t>(p.pitch);
        for (int x = std::max(x0, 0) & ~1; x < std::min(x1, p.width); x += 2) {
            BYTE* pair = row + 2 * x;
            Yuv c0{}, c1{};
            const int w0 = sampleAt(x, y, &c0);
            const int w1 = x + 1 < p.width ? sampleAt(x + 1, y, &c1) : 0;
            if (!w0 && !w1)
                continue;
            pair[l.y0] = static_cast<BYTE>(pair[l.y0] + (w0 * (c0.y - pair[l.y0]) >> 8));
            pair[l.y1] = static_cast<BYTE>(pair[l.y1] + (w1 * (c1.y - pair[l.y1]) >> 8));
            // The pair's chroma moves by the mean of what the two pixels bring.
            pair[l.u] = clampByte(pair[l.u] + ((w0 * (c0.u - pair[l.u]) + w1 * (c1.u - pair[l.u])) >> 9));
            pair[l.v] = clampByte(pair[l.v] + ((w0 * (c0.v - pair[l.v]) + w1 * (c1.v - pair[l.v])) >> 9));
        }
    }
}

} // namespace platform::dshow
