#include "h264/kernels/portable/Portable.h"
#include "h264/kernels/sse2/Sse2.h"

namespace h264 {

void FillSse2Kernels(H264KernelTable& table) {
    using namespace sse2;
    table = {InverseTransform4x4,
             ClearInnerStrengths,
             InnerStrengthsFromCoefficients,
             Transpose8x8,
             FilterLumaEdgeNormal,
             portable::Unused,
             FilterLumaEdgeStrong,
             FilterChromaEdgesNormal,
             FilterChromaEdgesStrong,
             {portable::Unused, portable::Unused, portable::Unused, portable::Unused, portable::Unused,
              portable::Unused},
             GatherEdgeColumns,
             portable::Unused,
             ScatterEdgeColumns,
             GatherChromaRows,
             CopyRow8,
             GatherLumaRows,
             ScatterLumaRows,
             StoreLumaMacroblock,
             StoreChromaMacroblock,
             &Intra4x4Table,
             &Intra16x16Table,
             &IntraChromaTable,
             &LumaQpelTable4x4,
             &LumaQpelTable4x8,
             &LumaQpelTable8x16,
             &ChromaMcTable4,
             &ChromaMcTable8,
             &PredCombineTable};
}

const PictureMcKernels Sse2PictureMc = {&sse2::LumaPictureTable, &sse2::ChromaPictureTable};

} // namespace h264
