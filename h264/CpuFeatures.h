// Processor feature level and the choice of kernel set.
#pragma once

#include "h264/kernels/KernelTable.h"

namespace h264 {

// 0 no features (or no MMX), 1 MMX, 2 + CMOV, 3 + FXSR and SSE, 4 + SSE2, 5 + SSE3. On x86-64 the
// operating system always keeps the XMM state, so its check counts as passed. Other processors report 2:
// they run the portable set.
unsigned CpuFeatureLevel();

// Level 4 and above takes the SSE2 set (x86-64 only), anything lower the portable set; the same for the
// kernels that predict straight into the picture.
void SelectKernels(H264KernelTable& table, unsigned level);
const PictureMcKernels& SelectPictureKernels(unsigned level);

} // namespace h264
