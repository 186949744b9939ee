// The line kernel of the deinterlacer: decides and writes the in-between pixels of one output line.
// A portable form and, on x86-64, an SSE2 form that gives the same bytes; the handle picks one at creation.
#pragma once

#include <cstddef>
#include <cstdint>

struct DeinterlaceState;

// The four fields the decision reads, the pair being built (f1 first, f2 second) and the pair before it,
// for a run of lines: each pointer at row j of its plane, row j + 1 one stride further; the stillness
// counters of row j likewise: a pair's counter is the byte at its even column, and the byte after it is
// zero and stays zero (the SIMD forms take the two as one 16-bit count). f2 is the caller's new field, which
// the kernel copies into f2Store (the history plane it goes to) as it reads it.
struct FieldPlanes {
    const uint8_t* f1;
    const uint8_t* f2;
    const uint8_t* p1;
    const uint8_t* p2;
    uint8_t* counters;
    uint8_t* f2Store;
    ptrdiff_t stride;
};

// Motion threshold on a 2x2 sum difference and the stillness count after which a pair is woven.
inline constexpr int kMotionThreshold = 50;
inline constexpr int kStillCount = 8;

// The most pairs a line holds (the widest picture the deinterlacer accepts).
inline constexpr int kMaxLinePairs = 2048;

// For `lines` consecutive rows j from the one the planes point at, and x = 2, 4, ..., 2 * pairs (at most
// kMaxLinePairs): writes out[x], out[x + 1] of two frame lines, first field row j as it stands and then the
// line between field rows j and j + 1 (taking the row while the kernel reads it saves a pass over it), and
// updates the counter of row j. `outStride` is the frame's line stride; row j's pair of lines starts
// 2 * outStride after row j - 1's. All pointers are at column 0; the kernel reads columns 1 .. 2 * pairs + 2
// of field rows j .. j + lines, and copies columns 2 .. 2 * pairs + 1 of f2's rows j .. j + lines to f2Store
// (a copy made while the rows are loaded anyway saves a pass over the field).
using InterpolateLinesFn = void (*)(uint8_t* out, ptrdiff_t outStride, const FieldPlanes& src, int lines,
                                    int pairs);

struct DeinterlaceKernels {
    InterpolateLinesFn interpolateLines;
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

// The portable form of InterpolateLinesFn; the SIMD forms use it for lines shorter than their step.
void interpolateLinesPortable(uint8_t* out, ptrdiff_t outStride, const FieldPlanes& src, int lines,
                              int pairs);
