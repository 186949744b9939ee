// Packing of a planar 4:2:0 picture into the 4:2:2 rows of the "Video Out" pin: UYVY (U Y V Y) or YUY2
// (Y U Y V). Two luma rows share one chroma row; rows go `pitch` bytes apart in the destination. A table of
// kernels, the portable set first and the SSE2 set beside it; both give the same bytes.
#pragma once

#include "platform/win32/Types.h"

struct PlanarPicture {
    const BYTE* y;
    const BYTE* u;
    const BYTE* v;
    int lumaStride;
    int chromaStride;
};

// width even; pitch at least 2 x width; the destination holds height rows of pitch bytes.
using PackKernel = void (*)(const PlanarPicture& picture, BYTE* destination, int width, int height,
                            int pitch);

struct PackKernels {
    PackKernel uyvy;
    PackKernel yuy2;
};

const PackKernels& PortablePackKernels();
// Null kernels where the processor lacks SSE2 (never on x86-64).
const PackKernels& Sse2PackKernels();
// The SSE2 set when the processor has it, else the portable one.
const PackKernels& SelectedPackKernels();
