#include "h264/kernels/portable/Portable.h"

#include <cstring>

namespace h264::portable {

void Transpose8x8(uint8_t* block) {
    for (int r = 0; r < 8; ++r)
        for (int c = r + 1; c < 8; ++c) {
            const uint8_t t = block[8 * r + c];
            block[8 * r + c] = block[8 * c + r];
            block[8 * c + r] = t;
        }
}

void GatherEdgeColumns(const uint8_t* first, const uint8_t* second, uint8_t* destination, int stride) {
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 4; ++c) {
            destination[8 * c + r] = first[r * stride + c];
            destination[32 + 8 * c + r] = second[r * stride + c];
        }
}

void ScatterEdgeColumns(uint8_t* first, uint8_t* second, const uint8_t* source, int stride) {
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 4; ++c) {
            first[r * stride + c] = source[8 * c + r];
            second[r * stride + c] = source[32 + 8 * c + r];
        }
}

void GatherChromaRows(uint8_t* destination, const uint8_t* source, int stride) {
    std::memcpy(destination, source, 8);
    std::memcpy(destination + 8, source + stride, 8);
}

void CopyRow8(const uint8_t* source, uint8_t* destination) {
    std::memcpy(destination, source, 8);
}

void GatherLumaRows(uint8_t* left, uint8_t* right, const uint8_t* source, int stride) {
    for (int r = 0; r < 4; ++r) {
        std::memcpy(left + 8 * r, source + r * stride, 8);
        std::memcpy(right + 8 * r, source + r * stride + 8, 8);
    }
}

void ScatterLumaRows(const uint8_t* left, const uint8_t* right, uint8_t* destination, int stride) {
    for (int r = 0; r < 3; ++r) {
        std::memcpy(destination + r * stride, left + 8 * r, 8);
        std::memcpy(destination + r * stride + 8, right + 8 * r, 8);
    }
}

void StoreLumaMacroblock(uint8_t* destination, const LumaWorkBuffer* luma, int stride) {
    for (int y = 0; y < 16; ++y) {
        const uint8_t* row = luma->bytes + (y / 8) * 128 + (y % 8) * 8;
        std::memcpy(destination + y * stride, row, 8);
        std::memcpy(destination + y * stride + 8, row + 64, 8);
    }
}

void StoreChromaMacroblock(uint8_t* cbDestination, uint8_t* crDestination, const ChromaWorkBuffer* cb,
                           const ChromaWorkBuffer* cr, int stride) {
    for (int y = 0; y < 8; ++y) {
        std::memcpy(cbDestination + y * stride, cb->bytes + 8 * y, 8);
        std::memcpy(crDestination + y * stride, cr->bytes + 8 * y, 8);
    }
}

void Unused() {}

} // namespace h264::portable
