// The 4:2:0 to 4:2:2 packing of the decode filter. The chroma row of each pair of luma rows serves both.
#include "decodefilter/Tessane.h"

#include <cstddef>

namespace {

// One row of pixel pairs: UYVY puts the chroma bytes first (U Y V Y), YUY2 the luma (Y U Y V).
template <bool ChromaFirst> void packRow(const BYTE* y, const BYTE* u, const BYTE* v, int width, BYTE* out) {
    for (int pair = 0; pair < width / 2; ++pair, out += 4) {
        const BYTE y0 = y[2 * pair], y1 = y[2 * pair + 1];
        if (ChromaFirst) {
            out[0] = u[pair];
            out[1] = y0;
            out[2] = v[pair];
            out[3] = y1;
        } else {
            out[0] = y0;
            out[1] = u[pair];
            out[2] = y1;
            out[3] = v[pair];
        }
    }
}

// Two output rows a pass: the luma rows of a pair and their one chroma row.
template <bool ChromaFirst>
void packPairs(const BYTE* y, const BYTE* u, const BYTE* v, int lumaStride, int chromaStride, int width,
               int lines, size_t rowBytes, BYTE* out) {
    for (int line = 0; line < lines; line += 2) {
        const size_t chroma = static_cast<size_t>(line / 2) * chromaStride;
        const BYTE* luma = y + static_cast<size_t>(line) * lumaStride;
        BYTE* row = out + static_cast<size_t>(line) * rowBytes;
        packRow<ChromaFirst>(luma, u + chroma, v + chroma, width, row);
        if (line + 1 < lines)
            packRow<ChromaFirst>(luma + lumaStride, u + chroma, v + chroma, width, row + rowBytes);
    }
}

} // namespace

void Tessane::PackUyvy(const BYTE* y, const BYTE* u, const BYTE* v, int lumaStride, int chromaStride,
                       int columns, int lines, DWORD rowPitch, BYTE* out) {
    packPairs<true>(y, u, v, lumaStride, chromaStride, columns, lines, rowPitch, out);
}

void Tessane::PackYuy2(const BYTE* y, const BYTE* u, const BYTE* v, int lumaStride, int chromaStride,
                       int columns, int lines, BYTE* out) {
    packPairs<false>(y, u, v, lumaStride, chromaStride, columns, lines, 2 * static_cast<size_t>(columns),
                     out);
}
