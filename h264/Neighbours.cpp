#include "h264/Neighbours.h"

#include "h264/SliceData.h"

#include <cstdint>

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

// The neighbour macroblocks of the slots L, U, UR, UL, C and NONE with their availability.
struct Slots {
    bool available[6];
    const MacroblockMotion* motion[6];

    explicit Slots(const H264DecoderContext& ctx) {
        const MacroblockLayer& mb = ctx.mb;
        available[L] = mb.availLeft, motion[L] = &mb.left->motion;
        available[U] = mb.availTop, motion[U] = &mb.top->motion;
        available[UR] = mb.availTopRight, motion[UR] = &mb.topRight->motion;
        available[UL] = mb.availTopLeft, motion[UL] = &mb.topLeft->motion;
        available[C] = true, motion[C] = &ctx.cur->info.motion;
        available[NONE] = false, motion[NONE] = &mb.notAvailable.motion;
    }

    void read(Ref ref, NeighbourMotion& out) const {
        const MacroblockMotion& m = *motion[ref.slot];
        out.available = available[ref.slot];
        out.intra = isIntra(m.type);
        if (!out.available || out.intra) {
            out.refIdx = -1;
            out.mv[0] = out.mv[1] = 0;
            return;
        }
        out.refIdx = m.refIdx[ref.block >> 2];
        out.mv[0] = m.mv[ref.block][0];
        out.mv[1] = m.mv[ref.block][1];
    }
};

} // namespace

void DeriveNeighbours(H264DecoderContext& ctx, int code) {
    const Descriptor& d = kDescriptors[kClass[code]];
    NeighbourMotion* n = ctx.mb.neighbours;
    const Slots slots(ctx);
    slots.read(d.a, n[0]);
    slots.read(d.b, n[1]);
    slots.read(slots.available[d.c.slot] ? d.c : d.d, n[2]);
}

} // namespace h264
