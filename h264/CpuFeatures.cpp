#include "h264/CpuFeatures.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace h264 {

unsigned CpuFeatureLevel() {
#if defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx) || eax == 0)
        return 0;
    __get_cpuid(1, &eax, &ebx, &ecx, &edx);
    const bool features[] = {
        (edx >> 23 & 1) != 0,                    // MMX
        (edx >> 15 & 1) != 0,                    // CMOV
        (edx >> 24 & 1) != 0 && (edx >> 25 & 1), // FXSR and SSE
        (edx >> 26 & 1) != 0,                    // SSE2
        (ecx & 1) != 0,                          // SSE3
    };
    unsigned level = 0;
    while (level < 5 && features[level])
        ++level;
    return level;
#else
    return 2;
#endif
}

void SelectKernels(H264KernelTable& table, unsigned level) {
#if defined(__x86_64__)
    if (level >= 4) {
        FillSse2Kernels(table);
        return;
    }
#endif
    (void)level;
    FillPortableKernels(table);
}

const PictureMcKernels& SelectPictureKernels(unsigned level) {
#if defined(__x86_64__)
    if (level >= 4)
        return Sse2PictureMc;
#endif
    (void)level;
    return PortablePictureMc;
}

} // namespace h264
