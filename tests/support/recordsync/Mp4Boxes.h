// Test support: a small reader of MP4 boxes and MPEG-4 descriptors, for what the demuxer does not show
// (track header sizes, movie time scale, iods profiles, esds object type).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

inline uint32_t readBe32(std::span<const uint8_t> b) {
    return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
}

// The payload of the index-th child box of the given type inside a box payload (or a whole file).
inline std::optional<std::span<const uint8_t>> findBox(std::span<const uint8_t> payload, const char* type,
                                                       int index = 0) {
    size_t pos = 0;
    while (payload.size() - pos >= 8) {
        const std::span<const uint8_t> b = payload.subspan(pos);
        uint64_t size = readBe32(b);
        size_t header = 8;
        if (size == 1 && b.size() >= 16) {
            size = uint64_t{readBe32(b.subspan(8))} << 32 | readBe32(b.subspan(12));
            header = 16;
        } else if (size == 0) {
            size = b.size();
        }
        if (size < header || size > b.size())
            return std::nullopt;
        if (std::string(reinterpret_cast<const char*>(b.data() + 4), 4) == type && index-- == 0)
            return b.subspan(header, size - header);
        pos += size;
    }
    return std::nullopt;
}

// The display size a track header gives (16.16 fixed point behind its matrix), from the payload of a trak
// box; false when there is no readable track header.
inline bool trackDisplaySize(std::span<const uint8_t> trak, int* width, int* height) {
    const auto tkhd = findBox(trak, "tkhd");
    if (!tkhd || tkhd->empty())
        return false;
    const size_t at = (*tkhd)[0] == 1 ? 88 : 76;
    if (tkhd->size() < at + 8)
        return false;
    *width = static_cast<int>(readBe32(tkhd->subspan(at)) >> 16);
    *height = static_cast<int>(readBe32(tkhd->subspan(at + 4)) >> 16);
    return true;
}

struct Descriptor {
    uint8_t tag = 0;
    std::span<const uint8_t> body;
};
// An MPEG-4 descriptor (tag, expandable size, body) at the start of data.
inline std::optional<Descriptor> readDescriptor(std::span<const uint8_t> data) {
    if (data.empty())
        return std::nullopt;
    size_t pos = 1;
    size_t size = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= data.size())
            return std::nullopt;
        const uint8_t b = data[pos++];
        size = (size << 7) | (b & 0x7F);
        if (!(b & 0x80))
            break;
    }
    if (size > data.size() - pos)
        return std::nullopt;
    return Descriptor{data[0], data.subspan(pos, size)};
}
