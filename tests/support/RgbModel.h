// Test support: what a window must show of a YUV picture, written here from the standard and not taken from
// the program's converter: BT.601 studio range with the usual 8-bit coefficients,
//   c = Y - 16, d = U - 128, e = V - 128,
//   R = (298c + 409e + 128) >> 8, G = (298c - 100d - 208e + 128) >> 8, B = (298c + 516d + 128) >> 8,
// each held to 0..255, as opaque 0xFFRRGGBB pixels.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace rgbmodel {

using Pixels = std::vector<std::uint32_t>;

inline std::uint32_t pixel(int y, int u, int v) {
    const int c = y - 16, d = u - 128, e = v - 128;
    const auto channel = [](int sum) { return static_cast<std::uint32_t>(std::clamp(sum >> 8, 0, 255)); };
    return 0xFF000000u | channel(298 * c + 409 * e + 128) << 16 |
           channel(298 * c - 100 * d - 208 * e + 128) << 8 | channel(298 * c + 516 * d + 128);
}

// Packed 4:2:2 rows (UYVY: U Y0 V Y1, else YUY2: Y0 U Y1 V), `pitch` bytes apart.
inline Pixels fromPacked(const std::uint8_t* rows, int width, int height, int pitch, bool uyvy) {
    Pixels out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* pair = rows + y * pitch + 4 * (x / 2);
            const int luma = uyvy ? pair[1 + 2 * (x % 2)] : pair[2 * (x % 2)];
            out.push_back(uyvy ? pixel(luma, pair[0], pair[2]) : pixel(luma, pair[1], pair[3]));
        }
    return out;
}

// Planar 4:2:0 (Y, then U, then V; each chroma sample under two by two luma samples).
inline Pixels fromPlanar(const std::vector<std::uint8_t>& planar, int width, int height) {
    const std::uint8_t* luma = planar.data();
    const std::uint8_t* cb = luma + width * height;
    const std::uint8_t* cr = cb + width * height / 4;
    Pixels out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int c = (y / 2) * (width / 2) + x / 2;
            out.push_back(pixel(luma[y * width + x], cb[c], cr[c]));
        }
    return out;
}

// The picture with a keyed bitmap of its own size laid over it at full opacity: every bitmap pixel
// (0x00RRGGBB) other than the key replaces the picture's.
inline Pixels overlaid(Pixels picture, const std::vector<std::uint32_t>& bitmap, std::uint32_t key) {
    for (std::size_t i = 0; i < picture.size(); ++i)
        if ((bitmap[i] & 0x00FFFFFFu) != key)
            picture[i] = 0xFF000000u | bitmap[i];
    return picture;
}

} // namespace rgbmodel
