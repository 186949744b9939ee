#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

#include <utility>

namespace h264::portable {

using kernels::clip1;

namespace {

// Raw 6-tap sum of six samples step apart, centred between s[0] and s[step]: -2550 .. 10710.
int tap6(const uint8_t* s, int step) {
    return s[-2 * step] - 5 * s[-step] + 20 * s[0] + 20 * s[step] - 5 * s[2 * step] + s[3 * step];
}

int average(int a, int b) {
    return (a + b + 1) >> 1;
}

// One kernel per shape and fractional position; the position is a template argument so that no sample
// branches on it. g points at the full sample G of the block's first row; row y of the block goes to
// rows(y).
template <int W, int H, int XFrac, int YFrac, typename Rows>
void interpolate(const uint8_t* source, int s, Rows rows) {
    const uint8_t* g = source + (XFrac ? 2 : 0) + (YFrac ? 2 * s : 0);
    constexpr bool needsCentre = (XFrac == 2 && YFrac != 0) || (YFrac == 2 && XFrac != 0);
    // First pass of the centre sample: horizontal raw sums of rows -2 .. H + 2, kept in 16 bits.
    int16_t first[needsCentre ? (H + 5) * W : 1];
    if constexpr (needsCentre) {
        for (int r = 0; r < H + 5; ++r)
            for (int x = 0; x < W; ++x)
                first[r * W + x] = static_cast<int16_t>(tap6(g + (r - 2) * s + x, 1));
    }
    const auto full = [&](int x, int y) { return int{g[y * s + x]}; };
    const auto horizontal = [&](int x, int y) { return clip1((tap6(g + y * s + x, 1) + 16) >> 5); };
    const auto vertical = [&](int x, int y) { return clip1((tap6(g + y * s + x, s) + 16) >> 5); };
    const auto centre = [&](int x, int y) {
        const int16_t* c = first + (y + 2) * W + x;
        const int sum = c[-2 * W] - 5 * c[-W] + 20 * c[0] + 20 * c[W] - 5 * c[2 * W] + c[3 * W];
        return clip1((sum + 512) >> 10);
    };
    const auto sample = [&](int x, int y) -> int {
        constexpr int index = 4 * XFrac + YFrac;
        if constexpr (index == 0)
            return full(x, y);
        else if constexpr (index == 1)
            return average(full(x, y), vertical(x, y));
        else if constexpr (index == 2)
            return vertical(x, y);
        else if constexpr (index == 3)
            return average(full(x, y + 1), vertical(x, y));
        else if constexpr (index == 4)
            return average(full(x, y), horizontal(x, y));
        else if constexpr (index == 5)
            return average(horizontal(x, y), vertical(x, y));
        else if constexpr (index == 6)
            return average(vertical(x, y), centre(x, y));
        else if constexpr (index == 7)
            return average(vertical(x, y), horizontal(x, y + 1));
        else if constexpr (index == 8)
            return horizontal(x, y);
        else if constexpr (index == 9)
            return average(horizontal(x, y), centre(x, y));
        else if constexpr (index == 10)
            return centre(x, y);
        else if constexpr (index == 11)
            return average(centre(x, y), horizontal(x, y + 1));
        else if constexpr (index == 12)
            return average(full(x + 1, y), horizontal(x, y));
        else if constexpr (index == 13)
            return average(horizontal(x, y), vertical(x + 1, y));
        else if constexpr (index == 14)
            return average(centre(x, y), vertical(x + 1, y));
        else
            return average(vertical(x + 1, y), horizontal(x, y + 1));
    };
    for (int y = 0; y < H; ++y) {
        uint8_t* out = rows(y);
        for (int x = 0; x < W; ++x)
            out[x] = static_cast<uint8_t>(sample(x, y));
    }
}

template <int W, int H, int XFrac, int YFrac> void lumaQpel(const InterPredBlock* block) {
    // Rows 8..15 of an 8x16 block go to the quadrant below (128 bytes on, not 64).
    uint8_t* const destination = block->lumaDestination;
    interpolate<W, H, XFrac, YFrac>(block->lumaSource, block->lumaStride,
                                    [=](int y) { return destination + 8 * y + (y >= 8 ? 64 : 0); });
}

// A 16x16 block into picture rows, as two 8-column halves.
template <int XFrac, int YFrac> void lumaPicture(const InterPredBlock* block, int stride) {
    uint8_t* const destination = block->lumaDestination;
    for (int half = 0; half < 2; ++half)
        interpolate<8, 16, XFrac, YFrac>(block->lumaSource + 8 * half, block->lumaStride,
                                         [=](int y) { return destination + 8 * half + y * stride; });
}

template <int W, int H, std::size_t... I> constexpr LumaQpelKernels table(std::index_sequence<I...>) {
    return {lumaQpel<W, H, I / 4, I % 4>...};
}

template <std::size_t... I> constexpr PictureLumaKernels pictureTable(std::index_sequence<I...>) {
    return {lumaPicture<I / 4, I % 4>...};
}

} // namespace

const LumaQpelKernels LumaQpelTable4x4 = table<4, 4>(std::make_index_sequence<16>());
const LumaQpelKernels LumaQpelTable4x8 = table<4, 8>(std::make_index_sequence<16>());
const LumaQpelKernels LumaQpelTable8x16 = table<8, 16>(std::make_index_sequence<16>());
const PictureLumaKernels LumaPictureTable = pictureTable(std::make_index_sequence<16>());

} // namespace h264::portable
