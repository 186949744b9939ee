// Scalar helpers shared by the kernel sets (internal to h264/kernels).
#pragma once

#include <cstdint>

namespace h264::kernels {

inline uint8_t clip1(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}
inline int clip3(int lo, int hi, int v) {
    return v < lo ? lo : v > hi ? hi : v;
}
inline int absDiff(int a, int b) {
    return a > b ? a - b : b - a;
}
// The sum as a 16-bit lane holds it: the SIMD kernels add in wrapping 16-bit arithmetic.
inline int16_t wrap16(int v) {
    return static_cast<int16_t>(v);
}
// Prediction plus residual as the SIMD kernels form it: 16-bit wrapping sum, then clamped to 0..255.
inline uint8_t addResidual(int prediction, int residual) {
    return clip1(wrap16(prediction + residual));
}

// Offset of quadrant q's 4x4 block inside an 8x8 chroma block (stride 8).
inline constexpr int ChromaQuadrantOffset[4] = {0, 4, 32, 36};

} // namespace h264::kernels
