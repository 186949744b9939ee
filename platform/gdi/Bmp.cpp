#include "platform/gdi/Bmp.h"

#include "platform/win32/Paths.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace platform::gdi {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// Scales a channel taken out with a bit-field mask to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(std::uint32_t m) : mask(m) {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        while (shift + bits < 32 && ((mask >> (shift + bits)) & 1))
            ++bits;
    }
    std::uint32_t value(std::uint32_t pixel) const {
        if (!bits)
            return 0;
        const std::uint32_t v = (pixel & mask) >> shift;
        if (bits >= 8)
            return (v >> (bits - 8)) & 0xFF;
        const std::uint32_t max = (1u << bits) - 1;
        return (v * 255 + max / 2) / max;
    }
};

} // namespace

std::optional<Dib> DecodeBmp(std::span<const std::uint8_t> file) {
    if (file.size() < 14 + 12 || file[0] != 'B' || file[1] != 'M')
        return std::nullopt;
    const std::uint32_t pixelOffset = le32(&file[10]);
    const std::uint8_t* h = file.data() + 14;
    const std::uint32_t headerSize = le32(h);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return std::nullopt;
    if (file.size() < 14 + static_cast<size_t>(headerSize))
        return std::nullopt;
    std::int64_t width, height;
    int bitCount;
    std::uint32_t compression = BI_RGB, coloursUsed = 0;
    size_t paletteEntrySize = 4;
    if (headerSize == 12) {
        width = le16(h + 4);
        height = static_cast<std::int16_t>(le16(h + 6));
        bitCount = le16(h + 10);
        paletteEntrySize = 3;
    } else {
        width = static_cast<std::int32_t>(le32(h + 4));
        height = static_cast<std::int32_t>(le32(h + 8));
        bitCount = le16(h + 14);
        compression = le32(h + 16);
        coloursUsed = le32(h + 32);
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width * height > kMaxImagePixels)
        return std::nullopt;
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)))
        return std::nullopt;

    // Bit-field masks follow an info header of 40 bytes, or stand inside the longer headers.
    std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    size_t tableStart = 14 + headerSize;
    if (bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
    if (compression == BI_BITFIELDS) {
        const std::uint8_t* m = h + 40;
        if (headerSize == 40) {
            if (file.size() < 14 + 40 + 12)
                return std::nullopt;
            tableStart += 12;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = le32(m + 4 * i);
    }

    std::vector<std::uint32_t> palette;
    if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
        const std::uint32_t maxColours = 1u << bitCount;
        std::uint32_t count = coloursUsed == 0 || coloursUsed > maxColours ? maxColours : coloursUsed;
        if (pixelOffset > tableStart) // the table ends where the pixels begin
            count = std::min<std::uint32_t>(
                count, static_cast<std::uint32_t>((pixelOffset - tableStart) / paletteEntrySize));
        if (tableStart + count * paletteEntrySize > file.size())
            return std::nullopt;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* e = file.data() + tableStart + i * paletteEntrySize;
            palette.push_back(static_cast<std::uint32_t>(e[2]) << 16 | static_cast<std::uint32_t>(e[1]) << 8 |
                              e[0]);
        }
        palette.resize(maxColours, 0); // indices past the table read black
    } else if (bitCount != 16 && bitCount != 24 && bitCount != 32) {
        return std::nullopt;
    }

    const std::uint64_t stride =
        ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 31) / 32) * 4;
    if (pixelOffset > file.size() || stride * static_cast<std::uint64_t>(height) > file.size() - pixelOffset)
        return std::nullopt;

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    Dib dib;
    dib.width = static_cast<int>(width);
    dib.height = static_cast<int>(height);
    dib.pixels.resize(static_cast<size_t>(width * height));
    for (std::int64_t y = 0; y < height; ++y) {
        const std::uint8_t* row = file.data() + pixelOffset + (topDown ? y : height - 1 - y) * stride;
        std::uint32_t* out = dib.pixels.data() + y * width;
        for (std::int64_t x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1:
                out[x] = palette[(row[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                out[x] = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF];
                break;
            case 8:
                out[x] = palette[row[x]];
                break;
            case 24:
                out[x] = static_cast<std::uint32_t>(row[3 * x + 2]) << 16 |
                         static_cast<std::uint32_t>(row[3 * x + 1]) << 8 | row[3 * x];
                break;
            default: {
                const std::uint32_t p = bitCount == 16 ? le16(row + 2 * x) : le32(row + 4 * x);
                out[x] = red.value(p) << 16 | green.value(p) << 8 | blue.value(p);
            }
            }
        }
    }
    return dib;
}

std::vector<std::uint8_t> EncodeBmp(const Dib& image, int bitCount) {
    if ((bitCount != 24 && bitCount != 32) || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return {};
    const size_t bytes = static_cast<size_t>(bitCount / 8);
    const size_t stride = (static_cast<size_t>(image.width) * bytes + 3) & ~size_t{3};
    const size_t pixelBytes = stride * static_cast<size_t>(image.height);
    std::vector<std::uint8_t> file(14 + 40 + pixelBytes, 0);
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(file.size()), 0, 0, 14 + 40};
    BITMAPINFOHEADER ih{};
    ih.biSize = 40;
    ih.biWidth = image.width;
    ih.biHeight = image.height;
    ih.biPlanes = 1;
    ih.biBitCount = static_cast<WORD>(bitCount);
    ih.biSizeImage = static_cast<DWORD>(pixelBytes);
    ih.biXPelsPerMeter = ih.biYPelsPerMeter = 3780; // 96 per inch
    std::memcpy(file.data(), &fh, 14);
    std::memcpy(file.data() + 14, &ih, 40);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = file.data() + 54 + static_cast<size_t>(image.height - 1 - y) * stride;
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.at(x, y);
            row[x * bytes] = static_cast<std::uint8_t>(p);
            row[x * bytes + 1] = static_cast<std::uint8_t>(p >> 8);
            row[x * bytes + 2] = static_cast<std::uint8_t>(p >> 16);
        }
    }
    return file;
}

std::optional<Dib> ReadBmpFile(LPCWSTR path) {
    if (!path)
        return std::nullopt;
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    return DecodeBmp(bytes);
}

bool WriteBmpFile(LPCWSTR path, const Dib& image, int bitCount) {
    const std::vector<std::uint8_t> bytes = EncodeBmp(image, bitCount);
    if (bytes.empty() || !path)
        return false;
    std::ofstream out(platform::NativePath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace platform::gdi

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    using namespace platform::gdi;
    if (type != IMAGE_BITMAP || !(flags & LR_LOADFROMFILE) || cx < 0 || cy < 0)
        return nullptr;
    auto image = ReadBmpFile(name);
    if (!image)
        return nullptr;
    if ((cx && cx != image->width) || (cy && cy != image->height)) {
        Dib scaled;
        scaled.width = cx ? cx : image->width;
        scaled.height = cy ? cy : image->height;
        if (static_cast<std::int64_t>(scaled.width) * scaled.height > kMaxImagePixels)
            return nullptr;
        scaled.pixels.resize(static_cast<size_t>(scaled.width) * static_cast<size_t>(scaled.height));
        for (int y = 0; y < scaled.height; ++y)
            for (int x = 0; x < scaled.width; ++x)
                scaled.pixels[static_cast<size_t>(y) * static_cast<size_t>(scaled.width) +
                              static_cast<size_t>(x)] =
                    image->at(static_cast<int>(static_cast<long long>(x) * image->width / scaled.width),
                              static_cast<int>(static_cast<long long>(y) * image->height / scaled.height));
        image = std::move(scaled);
    }
    return CreateBitmapFromDib(*image);
}
