// The line kernel of the deinterlacer: decides and writes the in-between pixels of one output line.
// A portable form and, on x86-64, an SSE2 form that gives the same bytes; the handle picks one at creation.
#pragma once

#include <cstdint>

struct DeinterlaceState;

// Rows j and j + 1 of one field.
struct FieldRows {
    const uint8_t* top;
    const uint8_t* bottom;
};

// The four fields the decision reads: the pair being built (f1 first, f2 second) and the pair before it.
struct LineSources {
    FieldRows f1;
    FieldRows f2;
    FieldRows p1;
    FieldRows p2;
};

// Motion threshold on a 2x2 sum difference and the stillness count after which a pair is woven.
inline constexpr int kMotionThreshold = 50;
inline constexpr int kStillCount = 8;

// Writes out[x], out[x + 1] and updates counters[x] for x = 2, 4, ..., 2 * pairs. All pointers are at
// column 0; the kernel reads columns 1 .. 2 * pairs + 2 of the field rows.
using InterpolateLineFn = void (*)(uint8_t* out, uint8_t* counters, const LineSources& src, int pairs);

struct DeinterlaceKernels {
    InterpolateLineFn interpolateLine;
};

// Each form's table, defined in its own file; the SSE2 one only where the compiler targets SSE2.
extern const DeinterlaceKernels kDeinterlacePortable;
#if defined(__SSE2__)
extern const DeinterlaceKernels kDeinterlaceSse2;
#endif

enum class DeinterlaceKernelSet { Portable, Sse2 };

// Null when the set is not built for this machine.
const DeinterlaceKernels* deinterlaceKernels(DeinterlaceKernelSet set);

// The fastest set this processor runs.
DeinterlaceKernelSet bestDeinterlaceKernelSet();

// Switches a live handle to another kernel set (tests run both forms through the whole frame path).
// Returns 0, -3 for a null handle, -2 when the set is not available.
int32_t deinterlaceUseKernels(DeinterlaceState* handle, DeinterlaceKernelSet set);

// The portable loop over the pairs at even columns x in [begin, end); also the tail of the SIMD forms.
void interpolatePairsPortable(uint8_t* out, uint8_t* counters, const LineSources& src, int begin, int end);
