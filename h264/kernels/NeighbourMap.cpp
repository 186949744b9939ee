#include "h264/kernels/MacroblockBuffers.h"

namespace h264 {
namespace {

constexpr uint16_t sampleAt(int x, int y) {
    return static_cast<uint16_t>(((y / 8) * 2 + x / 8) * 64 + (y % 8) * 8 + x % 8);
}

// Blocks whose above-right 4x4 block is decoded later (or lies in the macroblock to the right, below
// the top row) substitute p[3, -1] for p[4..7, -1].
constexpr bool aboveRightMissing(int block) {
    return block == 3 || block == 7 || block == 11 || block == 13 || block == 15;
}

constexpr Intra4x4NeighbourTables buildMap() {
    Intra4x4NeighbourTables map{};
    for (int block = 0; block < 16; ++block) {
        const int offset = Block4x4Offset[block];
        const int bx = (offset / 64 % 2) * 8 + offset % 8;
        const int by = (offset / 128) * 8 + offset % 64 / 8;
        for (int y = 0; y < 4; ++y)
            map.left[y][block] = bx == 0 ? LumaWorkBuffer::Left + by + y : sampleAt(bx - 1, by + y);
        for (int x = 0; x < 8; ++x) {
            const int ax = x < 4 || !aboveRightMissing(block) ? x : 3;
            map.above[x][block] = by == 0 ? LumaWorkBuffer::Above + bx + ax : sampleAt(bx + ax, by - 1);
        }
        if (bx == 0 && by == 0)
            map.topLeft[block] = LumaWorkBuffer::TopLeft;
        else if (bx == 0)
            map.topLeft[block] = LumaWorkBuffer::Left + by - 1;
        else if (by == 0)
            map.topLeft[block] = LumaWorkBuffer::Above + bx - 1;
        else
            map.topLeft[block] = sampleAt(bx - 1, by - 1);
        map.leftAvailable[block] =
            bx == 0 ? LumaWorkBuffer::LeftAvailable + by / 4 : LumaWorkBuffer::AlwaysAvailable;
        map.aboveAvailable[block] =
            by == 0 ? LumaWorkBuffer::AboveAvailable : LumaWorkBuffer::AlwaysAvailable;
    }
    return map;
}

} // namespace

constinit const Intra4x4NeighbourTables Intra4x4NeighbourMap = buildMap();

} // namespace h264
