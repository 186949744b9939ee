#include "h264/kernels/portable/Portable.h"

namespace h264 {

void FillPortableKernels(H264KernelTable& table) {
    using namespace portable;
    table = {InverseTransform4x4,
             ClearInnerStrengths,
             InnerStrengthsFromCoefficients,
             Transpose8x8,
             FilterLumaEdgeNormal,
             Unused,
             FilterLumaEdgeStrong,
             FilterChromaEdgesNormal,
             FilterChromaEdgesStrong,
             {Unused, Unused, Unused, Unused, Unused, Unused},
             GatherEdgeColumns,
             Unused,
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

const PictureMcKernels PortablePictureMc = {&portable::LumaPictureTable, &portable::ChromaPictureTable};

} // namespace h264
