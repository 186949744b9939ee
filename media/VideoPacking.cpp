#include "media/VideoPacking.h"

#if defined(__x86_64__) || defined(__SSE2__)
#include <emmintrin.h>
#define VELOQ_PACK_SSE2 1
#endif

namespace {

// byte order of one pixel pair: UYVY puts chroma first, YUY2 luma first.
template <bool ChromaFirst>
void packRows(const PlanarPicture& p, BYTE* dst, int width, int height, int pitch, int from) {
    for (int row = 0; row < height; ++row) {
        const BYTE* y = p.y + row * p.lumaStride;
        const BYTE* u = p.u + (row / 2) * p.chromaStride;
        const BYTE* v = p.v + (row / 2) * p.chromaStride;
        BYTE* out = dst + row * pitch;
        for (int x = from; x + 1 < width; x += 2) {
            BYTE* o = out + 2 * x;
            const BYTE cu = u[x / 2], cv = v[x / 2];
            if (ChromaFirst) {
                o[0] = cu, o[1] = y[x], o[2] = cv, o[3] = y[x + 1];
            } else {
                o[0] = y[x], o[1] = cu, o[2] = y[x + 1], o[3] = cv;
            }
        }
    }
}

template <bool ChromaFirst>
void packPortable(const PlanarPicture& p, BYTE* dst, int width, int height, int pitch) {
    packRows<ChromaFirst>(p, dst, width, height, pitch, 0);
}

#ifdef VELOQ_PACK_SSE2
// 16 pixels a step: 16 luma, 8 U and 8 V bytes give 32 output bytes; the rest of a row goes the portable way.
template <bool ChromaFirst>
void packSse2(const PlanarPicture& p, BYTE* dst, int width, int height, int pitch) {
    const int wide = width & ~15;
    for (int row = 0; row < height; ++row) {
        const BYTE* y = p.y + row * p.lumaStride;
        const BYTE* u = p.u + (row / 2) * p.chromaStride;
        const BYTE* v = p.v + (row / 2) * p.chromaStride;
        BYTE* out = dst + row * pitch;
        for (int x = 0; x < wide; x += 16) {
            const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
            const __m128i cb = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
            const __m128i cr = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
            const __m128i chroma = _mm_unpacklo_epi8(cb, cr);
            __m128i low, high;
            if (ChromaFirst) {
                low = _mm_unpacklo_epi8(chroma, luma);
                high = _mm_unpackhi_epi8(chroma, luma);
            } else {
                low = _mm_unpacklo_epi8(luma, chroma);
                high = _mm_unpackhi_epi8(luma, chroma);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * x), low);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * x + 16), high);
        }
    }
    if (wide < width)
        packRows<ChromaFirst>(p, dst, width, height, pitch, wide);
}
#endif

} // namespace

const PackKernels& PortablePackKernels() {
    static const PackKernels kernels{&packPortable<true>, &packPortable<false>};
    return kernels;
}

const PackKernels& Sse2PackKernels() {
#ifdef VELOQ_PACK_SSE2
    static const PackKernels kernels{&packSse2<true>, &packSse2<false>};
#else
    static const PackKernels kernels{nullptr, nullptr};
#endif
    return kernels;
}

const PackKernels& SelectedPackKernels() {
    const PackKernels& sse2 = Sse2PackKernels();
    return sse2.uyvy ? sse2 : PortablePackKernels();
}
