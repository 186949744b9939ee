#include "platform/dshow/VideoPixels.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) || defined(__SSE2__)
#include <emmintrin.h>
#define VELOQ_PIXELS_SSE2 1
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELOQ_PIXELS_AVX2 1
#endif

namespace platform::dshow {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

std::uint32_t clampByte(int v) {
    return static_cast<std::uint32_t>(std::clamp(v, 0, 255));
}

std::uint32_t rgbOf(int y, int u, int v) {
    const int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
    return kOpaque | clampByte((c + 409 * e) >> 8) << 16 | clampByte((c - 100 * d - 208 * e) >> 8) << 8 |
           clampByte((c + 516 * d) >> 8);
}

// Byte offsets of Y0, U, Y1, V within a pixel pair.
template <int Y0, int U, int Y1, int V> void pairsPortable(const BYTE* row, std::uint32_t* rgb, int pairs) {
    for (int i = 0; i < pairs; ++i, row += 4, rgb += 2) {
        rgb[0] = rgbOf(row[Y0], row[U], row[V]);
        rgb[1] = rgbOf(row[Y1], row[U], row[V]);
    }
}

template <int Y0, int U, int Y1, int V> void rowPortable(const BYTE* row, std::uint32_t* rgb, int width) {
    pairsPortable<Y0, U, Y1, V>(row, rgb, width / 2);
}

#ifdef VELOQ_PIXELS_SSE2
// Eight pixels a step in 32-bit lanes (pmaddwd of a luma and a chroma word against their two
// coefficients), so every sum is exact and the packs clamp as the portable kernel does. ChromaFirst: UYVY.
template <bool ChromaFirst> void rowSse2(const BYTE* row, std::uint32_t* rgb, int width) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = ChromaFirst ? _mm_set1_epi32(0x00100080) : _mm_set1_epi32(0x00800010);
    const __m128i round = _mm_set1_epi32(128);
    const __m128i red = _mm_set1_epi32(409 << 16 | 298);
    const __m128i blue = _mm_set1_epi32(516 << 16 | 298);
    const __m128i greenU = _mm_set1_epi32(static_cast<int>(0xFF9Cu << 16 | 298)); // -100, 298
    const __m128i greenV = _mm_set1_epi32(static_cast<int>(0xFF30u << 16));       // -208, 0
    const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
    // Per 32-bit lane (one pixel): its luma word and the V (or U) word of its pair.
    const auto lumaAndV = [](__m128i words) {
        return ChromaFirst ? _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, _MM_SHUFFLE(2, 3, 2, 1)),
                                                 _MM_SHUFFLE(2, 3, 2, 1))
                           : _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, _MM_SHUFFLE(3, 2, 3, 0)),
                                                 _MM_SHUFFLE(3, 2, 3, 0));
    };
    const auto lumaAndU = [](__m128i words) {
        return ChromaFirst ? _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, _MM_SHUFFLE(0, 3, 0, 1)),
                                                 _MM_SHUFFLE(0, 3, 0, 1))
                           : _mm_shufflehi_epi16(_mm_shufflelo_epi16(words, _MM_SHUFFLE(1, 2, 1, 0)),
                                                 _MM_SHUFFLE(1, 2, 1, 0));
    };
    const auto channels = [&](__m128i words, __m128i* r, __m128i* g, __m128i* b) {
        words = _mm_sub_epi16(words, bias);
        const __m128i yv = lumaAndV(words), yu = lumaAndU(words);
        *r = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yv, red), round), 8);
        *b = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yu, blue), round), 8);
        *g = _mm_srai_epi32(
            _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(yu, greenU), _mm_madd_epi16(yv, greenV)), round), 8);
    };
    const int wide = width & ~7;
    for (int x = 0; x < wide; x += 8) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 2 * x));
        __m128i r0, g0, b0, r1, g1, b1;
        channels(_mm_unpacklo_epi8(bytes, zero), &r0, &g0, &b0);
        channels(_mm_unpackhi_epi8(bytes, zero), &r1, &g1, &b1);
        const __m128i r8 = _mm_packus_epi16(_mm_packs_epi32(r0, r1), zero);
        const __m128i g8 = _mm_packus_epi16(_mm_packs_epi32(g0, g1), zero);
        const __m128i b8 = _mm_packus_epi16(_mm_packs_epi32(b0, b1), zero);
        const __m128i bg = _mm_unpacklo_epi8(b8, g8);
        const __m128i ra = _mm_unpacklo_epi8(r8, alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + x), _mm_unpacklo_epi16(bg, ra));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + x + 4), _mm_unpackhi_epi16(bg, ra));
    }
    if (ChromaFirst)
        pairsPortable<1, 0, 3, 2>(row + 2 * wide, rgb + wide, (width - wide) / 2);
    else
        pairsPortable<0, 1, 2, 3>(row + 2 * wide, rgb + wide, (width - wide) / 2);
}
#endif

#ifdef VELOQ_PIXELS_AVX2
#define VELOQ_AVX2 __attribute__((target("avx2")))

// Per 32-bit lane (one pixel): its luma word and the V (or U) word of its pair, as in the SSE2 kernel.
template <bool ChromaFirst> VELOQ_AVX2 __m256i lumaAndV(__m256i words) {
    return ChromaFirst ? _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(words, _MM_SHUFFLE(2, 3, 2, 1)),
                                                _MM_SHUFFLE(2, 3, 2, 1))
                       : _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(words, _MM_SHUFFLE(3, 2, 3, 0)),
                                                _MM_SHUFFLE(3, 2, 3, 0));
}

template <bool ChromaFirst> VELOQ_AVX2 __m256i lumaAndU(__m256i words) {
    return ChromaFirst ? _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(words, _MM_SHUFFLE(0, 3, 0, 1)),
                                                _MM_SHUFFLE(0, 3, 0, 1))
                       : _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(words, _MM_SHUFFLE(1, 2, 1, 0)),
                                                _MM_SHUFFLE(1, 2, 1, 0));
}

// The red, green and blue of eight pixels (words of four pixel pairs), each 0..255 once packed.
template <bool ChromaFirst> VELOQ_AVX2 void channelsAvx2(__m256i words, __m256i* r, __m256i* g, __m256i* b) {
    const __m256i bias = ChromaFirst ? _mm256_set1_epi32(0x00100080) : _mm256_set1_epi32(0x00800010);
    const __m256i round = _mm256_set1_epi32(128);
    words = _mm256_sub_epi16(words, bias);
    const __m256i yv = lumaAndV<ChromaFirst>(words), yu = lumaAndU<ChromaFirst>(words);
    const __m256i red = _mm256_set1_epi32(409 << 16 | 298);
    const __m256i blue = _mm256_set1_epi32(516 << 16 | 298);
    const __m256i greenU = _mm256_set1_epi32(static_cast<int>(0xFF9Cu << 16 | 298)); // -100, 298
    const __m256i greenV = _mm256_set1_epi32(static_cast<int>(0xFF30u << 16));       // -208, 0
    *r = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yv, red), round), 8);
    *b = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yu, blue), round), 8);
    const __m256i green = _mm256_add_epi32(_mm256_madd_epi16(yu, greenU), _mm256_madd_epi16(yv, greenV));
    *g = _mm256_srai_epi32(_mm256_add_epi32(green, round), 8);
}

// The SSE2 kernel's arithmetic on sixteen pixels a step. The unpacks and packs work within each 128-bit
// half, so a step's halves hold pixels 0-3 with 8-11 and 4-7 with 12-15 until the last permute puts
// them in order. The rest of a row goes the SSE2 way.
template <bool ChromaFirst> VELOQ_AVX2 void rowAvx2(const BYTE* row, std::uint32_t* rgb, int width) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i alpha = _mm256_set1_epi8(static_cast<char>(0xFF));
    const int wide = width & ~15;
    for (int x = 0; x < wide; x += 16) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 2 * x));
        __m256i r0, g0, b0, r1, g1, b1;
        channelsAvx2<ChromaFirst>(_mm256_unpacklo_epi8(bytes, zero), &r0, &g0, &b0);
        channelsAvx2<ChromaFirst>(_mm256_unpackhi_epi8(bytes, zero), &r1, &g1, &b1);
        const __m256i r8 = _mm256_packus_epi16(_mm256_packs_epi32(r0, r1), zero);
        const __m256i g8 = _mm256_packus_epi16(_mm256_packs_epi32(g0, g1), zero);
        const __m256i b8 = _mm256_packus_epi16(_mm256_packs_epi32(b0, b1), zero);
        const __m256i bg = _mm256_unpacklo_epi8(b8, g8);
        const __m256i ra = _mm256_unpacklo_epi8(r8, alpha);
        const __m256i low = _mm256_unpacklo_epi16(bg, ra), high = _mm256_unpackhi_epi16(bg, ra);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(rgb + x), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(rgb + x + 8),
                            _mm256_permute2x128_si256(low, high, 0x31));
    }
    if (wide < width)
        rowSse2<ChromaFirst>(row + 2 * wide, rgb + wide, width - wide);
}

bool haveAvx2() {
    return __builtin_cpu_supports("avx2");
}
#endif

} // namespace

const PixelKernels& PortablePixelKernels() {
    static const PixelKernels kernels{&rowPortable<1, 0, 3, 2>, &rowPortable<0, 1, 2, 3>};
    return kernels;
}

const PixelKernels& Sse2PixelKernels() {
#ifdef VELOQ_PIXELS_SSE2
    static const PixelKernels kernels{&rowSse2<true>, &rowSse2<false>};
#else
    static const PixelKernels kernels{nullptr, nullptr};
#endif
    return kernels;
}

const PixelKernels& Avx2PixelKernels() {
#ifdef VELOQ_PIXELS_AVX2
    static const PixelKernels kernels =
        haveAvx2() ? PixelKernels{&rowAvx2<true>, &rowAvx2<false>} : PixelKernels{nullptr, nullptr};
#else
    static const PixelKernels kernels{nullptr, nullptr};
#endif
    return kernels;
}

const PixelKernels& SelectedPixelKernels() {
    static const PixelKernels kernels = [] {
        PixelKernels k = PortablePixelKernels();
        for (const PixelKernels* faster : {&Sse2PixelKernels(), &Avx2PixelKernels()})
            if (faster->uyvy)
                k = *faster;
        return k;
    }();
    return kernels;
}

PackedRowKernel PackedRowKernelFor(DWORD fourcc) {
    if (fourcc == MakeFourCC('U', 'Y', 'V', 'Y'))
        return SelectedPixelKernels().uyvy;
    if (fourcc == MakeFourCC('Y', 'U', 'Y', '2'))
        return SelectedPixelKernels().yuy2;
    return nullptr;
}

bool ConvertPackedPicture(DWORD fourcc, int width, int height, int pitch, const BYTE* rows,
                          std::uint32_t* rgb, std::ptrdiff_t stride) {
    const PackedRowKernel kernel = PackedRowKernelFor(fourcc);
    if (!kernel || !rows || !rgb || width <= 0 || width % 2 != 0 || height <= 0 || pitch < 2 * width)
        return false;
    for (int y = 0; y < height; ++y)
        kernel(rows + static_cast<std::ptrdiff_t>(y) * pitch, rgb + y * stride, width);
    return true;
}

void OverlayRuns::Clear() {
    width_ = height_ = -1;
    weight_ = 256;
    rowRuns_.clear();
    runs_.clear();
    colours_.clear();
}

void OverlayRuns::Prepare(const Overlay& o, int width, int height) {
    Clear();
    width_ = width;
    height_ = height;
    rowRuns_.assign(static_cast<std::size_t>(std::max(height, 0)) + 1, 0);
    const platform::gdi::Dib& bm = o.bitmap;
    if (bm.width <= 0 || bm.height <= 0 || o.alpha <= 0 || width <= 0 || height <= 0)
        return;
    const int x0 = static_cast<int>(std::lround(o.left * static_cast<float>(width)));
    const int y0 = static_cast<int>(std::lround(o.top * static_cast<float>(height)));
    const int x1 = static_cast<int>(std::lround(o.right * static_cast<float>(width)));
    const int y1 = static_cast<int>(std::lround(o.bottom * static_cast<float>(height)));
    if (x1 <= x0 || y1 <= y0)
        return;
    weight_ = static_cast<int>(std::lround(std::min(o.alpha, 1.0f) * 256));
    for (int y = 0; y < height; ++y) {
        rowRuns_[static_cast<std::size_t>(y)] = runs_.size();
        if (y < y0 || y >= y1)
            continue;
        const int by = static_cast<int>(static_cast<long long>(y - y0) * bm.height / (y1 - y0));
        bool inRun = false;
        for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
            const int bx = static_cast<int>(static_cast<long long>(x - x0) * bm.width / (x1 - x0));
            const std::uint32_t pixel = bm.at(bx, by) & 0x00FFFFFFu;
            if (o.keyed && pixel == o.key) {
                inRun = false;
                continue;
            }
            if (!inRun)
                runs_.push_back({x, 0, colours_.size()});
            inRun = true;
            ++runs_.back().count;
            colours_.push_back(pixel);
        }
    }
    rowRuns_[static_cast<std::size_t>(height)] = runs_.size();
}

void OverlayRuns::BlendRow(int y, std::uint32_t* row) const {
    if (y < 0 || y >= height_)
        return;
    const auto blend = [this](std::uint32_t p, std::uint32_t o, int shift) {
        const int pc = static_cast<int>((p >> shift) & 0xFF), oc = static_cast<int>((o >> shift) & 0xFF);
        return static_cast<std::uint32_t>(pc + ((oc - pc) * weight_ >> 8)) << shift;
    };
    for (std::size_t i = rowRuns_[static_cast<std::size_t>(y)]; i < rowRuns_[static_cast<std::size_t>(y) + 1];
         ++i) {
        const Run& run = runs_[i];
        const std::uint32_t* colour = colours_.data() + run.colours;
        std::uint32_t* out = row + run.x;
        if (weight_ >= 256) {
            for (int k = 0; k < run.count; ++k)
                out[k] = kOpaque | colour[k];
        } else {
            for (int k = 0; k < run.count; ++k)
                out[k] = kOpaque | blend(out[k], colour[k], 16) | blend(out[k], colour[k], 8) |
                         blend(out[k], colour[k], 0);
        }
    }
}

} // namespace platform::dshow
