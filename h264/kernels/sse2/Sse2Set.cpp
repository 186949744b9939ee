#include "h264/kernels/KernelTable.h"

namespace h264 {

// The SSE2 kernels arrive kernel by kernel; until then the set is the portable one.
void FillSse2Kernels(H264KernelTable& table) {
    FillPortableKernels(table);
}

} // namespace h264
