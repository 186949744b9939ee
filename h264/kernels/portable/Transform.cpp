#include "h264/kernels/KernelMath.h"
#include "h264/kernels/portable/Portable.h"

#include <cstring>

namespace h264::portable {

using kernels::wrap16;

namespace {

// One 4-point inverse transform over in[0], in[step], in[2 step], in[3 step], in 16-bit lanes.
void transform4(const int16_t* in, int step, int16_t* out) {
    const int c0 = in[0], c1 = in[step], c2 = in[2 * step], c3 = in[3 * step];
    const int e0 = wrap16(c0 + c2);
    const int e1 = wrap16(c0 - c2);
    const int e2 = wrap16((c1 >> 1) - c3);
    const int e3 = wrap16(c1 + (c3 >> 1));
    out[0] = wrap16(e0 + e3);
    out[1] = wrap16(e1 + e2);
    out[2] = wrap16(e1 - e2);
    out[3] = wrap16(e0 - e3);
}

} // namespace

void InverseTransform4x4(const int16_t* coefficients, int16_t* out) {
    int16_t rows[16];
    for (int r = 0; r < 4; ++r)
        transform4(coefficients + 4 * r, 1, rows + 4 * r);
    for (int k = 0; k < 4; ++k) {
        int16_t column[4];
        transform4(rows + k, 4, column);
        for (int r = 0; r < 4; ++r)
            out[8 * r + k] = static_cast<int16_t>(wrap16(column[r] + 32) >> 6);
    }
}

void ClearInnerStrengths(EdgeStrengths* strengths) {
    std::memset(strengths->vertical, 0, sizeof strengths->vertical);
    std::memset(strengths->horizontal, 0, sizeof strengths->horizontal);
}

void InnerStrengthsFromCoefficients(const uint8_t* counts, EdgeStrengths* strengths) {
    // Blocks (luma4x4BlkIdx) on either side of each internal segment, in EdgeStrengths order.
    static constexpr uint8_t pairs[24][2] = {{0, 1},  {2, 3},   {8, 9},  {10, 11}, {1, 4},   {3, 6},
                                             {9, 12}, {11, 14}, {4, 5},  {6, 7},   {12, 13}, {14, 15},
                                             {0, 2},  {1, 3},   {4, 6},  {5, 7},   {2, 8},   {3, 9},
                                             {6, 12}, {7, 13},  {8, 10}, {9, 11},  {12, 14}, {13, 15}};
    for (int i = 0; i < 24; ++i) {
        uint8_t& edge = i < 12 ? strengths->vertical[i / 4][i % 4] : strengths->horizontal[i / 4 - 3][i % 4];
        edge = counts[pairs[i][0]] || counts[pairs[i][1]] ? 2 : 0;
    }
}

} // namespace h264::portable
