#include "h264/Neighbours.h"

#include "h264/SliceData.h"

#include <cstdint>
#include <cstring>

namespace h264 {

namespace {

enum Slot : uint8_t { L = 0, U = 1, UR = 2, UL = 3, C = 4, NONE = 5 };

constexpr uint8_t kClass[41] = {0,  0,  1,  2,  3,  2,  2,  4,  5,  6,  5,  6,  7,  8,
                                3,  3,  9,  10, 11, 10, 11, 12, 13, 14, 14, 15, 16, 17,
                                16, 17, 18, 19, 20, 20, 21, 22, 23, 22, 23, 24, 25};

struct Ref {
    uint8_t slot, block;
};
struct Descriptor {
    Ref a, b, c, d;
};

constexpr Descriptor kDescriptors[26] = {
    {{L, 5}, {U, 10}, {UR, 10}, {UL, 15}}, {{L, 13}, {C, 2}, {NONE, 0}, {L, 7}},
    {{L, 5}, {U, 10}, {U, 14}, {UL, 15}},  {{C, 1}, {U, 14}, {UR, 10}, {U, 11}},
    {{L, 7}, {C, 0}, {NONE, 0}, {L, 5}},   {{L, 5}, {U, 10}, {U, 11}, {UL, 15}},
    {{C, 0}, {U, 11}, {U, 14}, {U, 10}},   {{L, 7}, {C, 0}, {C, 1}, {L, 5}},
    {{C, 2}, {C, 1}, {NONE, 0}, {C, 0}},   {{C, 3}, {C, 4}, {NONE, 0}, {C, 1}},
    {{C, 1}, {U, 14}, {U, 15}, {U, 11}},   {{C, 4}, {U, 15}, {UR, 10}, {U, 14}},
    {{C, 3}, {C, 4}, {C, 5}, {C, 1}},      {{C, 6}, {C, 5}, {NONE, 0}, {C, 4}},
    {{L, 13}, {C, 2}, {C, 6}, {L, 7}},     {{L, 15}, {C, 8}, {NONE, 0}, {L, 13}},
    {{L, 13}, {C, 2}, {C, 3}, {L, 7}},     {{C, 8}, {C, 3}, {C, 6}, {C, 2}},
    {{L, 15}, {C, 8}, {C, 9}, {L, 13}},    {{C, 10}, {C, 9}, {NONE, 0}, {C, 8}},
    {{C, 9}, {C, 6}, {NONE, 0}, {C, 3}},   {{C, 11}, {C, 12}, {NONE, 0}, {C, 9}},
    {{C, 9}, {C, 6}, {C, 7}, {C, 3}},      {{C, 12}, {C, 7}, {NONE, 0}, {C, 6}},
    {{C, 11}, {C, 12}, {C, 13}, {C, 9}},   {{C, 14}, {C, 13}, {NONE, 0}, {C, 12}},
};

void read(const MacroblockLayer& mb, Ref ref, NeighbourMotion& out) {
    const MacroblockMotion& m = *mb.slotMotion[ref.slot];
    out.available = int8_t(mb.slotAvailable[ref.slot]);
    out.intra = isIntra(m.type);
    if (!out.available || out.intra) {
        out.refIdx = -1;
        std::memset(out.mv, 0, 4);
        return;
    }
    out.refIdx = m.refIdx[ref.block >> 2];
    std::memcpy(out.mv, m.mv[ref.block], 4); // one 4-byte access, as the vector was stored
}

} // namespace

void DeriveNeighbours(H264DecoderContext& ctx, int code) {
    const Descriptor& d = kDescriptors[kClass[code]];
    const MacroblockLayer& mb = ctx.mb;
    NeighbourMotion* n = ctx.mb.neighbours;
    read(mb, d.a, n[0]);
    read(mb, d.b, n[1]);
    read(mb, mb.slotAvailable[d.c.slot] ? d.c : d.d, n[2]);
}

} // namespace h264
