#include "h264/kernels/KernelTable.h"

// Placeholder bodies: every slot does nothing until the kernel sets land.
namespace h264 {
namespace {

void noTransform(const int16_t*, int16_t*) {}
void noClear(EdgeStrengths*) {}
void noInner(const uint8_t*, EdgeStrengths*) {}
void noTranspose(uint8_t*) {}
void noLumaNormal(uint8_t*, uint8_t*, uint32_t, uint32_t, const uint8_t*) {}
void noLumaStrong(uint8_t*, uint8_t*, uint32_t, uint32_t) {}
void noChromaNormal(uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint32_t, uint32_t, const uint8_t*, int) {}
void noChromaStrong(uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint32_t, uint32_t) {}
void noGather(const uint8_t*, const uint8_t*, uint8_t*, int) {}
void noScatter(uint8_t*, uint8_t*, const uint8_t*, int) {}
void noGatherChroma(uint8_t*, const uint8_t*, int) {}
void noCopy(const uint8_t*, uint8_t*) {}
void noGatherLuma(uint8_t*, uint8_t*, const uint8_t*, int) {}
void noScatterLuma(const uint8_t*, const uint8_t*, uint8_t*, int) {}
void noStoreLuma(uint8_t*, const LumaWorkBuffer*, int) {}
void noStoreChroma(uint8_t*, uint8_t*, const ChromaWorkBuffer*, const ChromaWorkBuffer*, int) {}
void noUnused() {}
void no4x4(int, LumaWorkBuffer*, LumaResidualBlock*, int) {}
void no16x16(LumaWorkBuffer*, LumaResidualBlock*) {}
void noChroma(const LumaWorkBuffer*, ChromaWorkBuffer*, ChromaWorkBuffer*, ChromaResidualBlock*,
              ChromaResidualBlock*, int) {}
void noBlock(const InterPredBlock*) {}
void noCombine(const CombineRequest*, const CombineContext*) {}

template <typename T, std::size_t N> constexpr std::array<T, N> filled(T kernel) {
    std::array<T, N> table{};
    table.fill(kernel);
    return table;
}

constexpr Intra4x4Kernels intra4x4 = filled<Intra4x4Kernel, 9>(no4x4);
constexpr Intra16x16Kernels intra16x16 = filled<Intra16x16Kernel, 4>(no16x16);
constexpr IntraChromaKernels intraChroma = filled<IntraChromaKernel, 4>(noChroma);
constexpr LumaQpelKernels qpel = filled<LumaQpelKernel, 16>(noBlock);
constexpr ChromaMcKernels chromaMc = filled<ChromaMcKernel, 4>(noBlock);
constexpr PredCombineKernels combine = filled<PredCombineKernel, 12>(noCombine);

constexpr H264KernelTable placeholder = {
    noTransform,    noClear,
    noInner,        noTranspose,
    noLumaNormal,   noUnused,
    noLumaStrong,   noChromaNormal,
    noChromaStrong, {noUnused, noUnused, noUnused, noUnused, noUnused, noUnused},
    noGather,       noUnused,
    noScatter,      noGatherChroma,
    noCopy,         noGatherLuma,
    noScatterLuma,  noStoreLuma,
    noStoreChroma,  &intra4x4,
    &intra16x16,    &intraChroma,
    &qpel,          &qpel,
    &qpel,          &chromaMc,
    &chromaMc,      &combine};

} // namespace

const ChromaMcKernels ChromaMcTable2 = chromaMc;

void FillPortableKernels(H264KernelTable& table) {
    table = placeholder;
}
void FillSse2Kernels(H264KernelTable& table) {
    table = placeholder;
}

} // namespace h264
