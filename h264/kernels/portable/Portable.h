// The portable kernel set (internal to h264/kernels): what FillPortableKernels puts in the table.
#pragma once

#include "h264/kernels/KernelTable.h"

namespace h264::portable {

void InverseTransform4x4(const int16_t* coefficients, int16_t* out);
void ClearInnerStrengths(EdgeStrengths* strengths);
void InnerStrengthsFromCoefficients(const uint8_t* counts, EdgeStrengths* strengths);

void FilterLumaEdgeNormal(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta, const uint8_t* tc0);
void FilterLumaEdgeStrong(uint8_t* p, uint8_t* q, uint32_t alpha, uint32_t beta);
void FilterChromaEdgesNormal(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta, const uint8_t* tc0, int qStride);
void FilterChromaEdgesStrong(uint8_t* cbP, uint8_t* cbQ, uint8_t* crP, uint8_t* crQ, uint32_t alpha,
                             uint32_t beta);

void Transpose8x8(uint8_t* block);
void GatherEdgeColumns(const uint8_t* first, const uint8_t* second, uint8_t* destination, int stride);
void ScatterEdgeColumns(uint8_t* first, uint8_t* second, const uint8_t* source, int stride);
void GatherChromaRows(uint8_t* destination, const uint8_t* source, int stride);
void CopyRow8(const uint8_t* source, uint8_t* destination);
void GatherLumaRows(uint8_t* left, uint8_t* right, const uint8_t* source, int stride);
void ScatterLumaRows(const uint8_t* left, const uint8_t* right, uint8_t* destination, int stride);
void StoreLumaMacroblock(uint8_t* destination, const LumaWorkBuffer* luma, int stride);
void StoreChromaMacroblock(uint8_t* cbDestination, uint8_t* crDestination, const ChromaWorkBuffer* cb,
                           const ChromaWorkBuffer* cr, int stride);
void Unused();

extern const Intra4x4Kernels Intra4x4Table;
extern const Intra16x16Kernels Intra16x16Table;
extern const IntraChromaKernels IntraChromaTable;
extern const LumaQpelKernels LumaQpelTable4x4;
extern const LumaQpelKernels LumaQpelTable4x8;
extern const LumaQpelKernels LumaQpelTable8x16;
extern const ChromaMcKernels ChromaMcTable4;
extern const ChromaMcKernels ChromaMcTable8;
extern const PredCombineKernels PredCombineTable;
extern const PictureLumaKernels LumaPictureTable;
extern const PictureChromaKernels ChromaPictureTable;

// One form in both sets.
void PredCombineWeighted(const CombineRequest* request, const CombineContext* context);
// Entries of the combining table that only list-1 and bi-prediction would use.
void PredCombineNothing(const CombineRequest* request, const CombineContext* context);

} // namespace h264::portable
