#include "h264/deinterlace/Deinterlace.h"

#include "h264/deinterlace/DeinterlaceKernels.h"

#include <cstdlib>
#include <cstring>
#include <new>

// Owns the plane block and the saved chroma. The four history planes rotate through the block so that a new
// field is stored without moving the others; plane 4 (the stillness counters) stays where it is.
struct DeinterlaceState {
    uint8_t* planeBlock = nullptr;
    uint8_t* planes[5] = {};
    uint8_t* savedU = nullptr;
    uint8_t* savedV = nullptr;
    int32_t width = 0;
    int32_t frameHeight = 0;
    int32_t fieldHeight = 0;
    int32_t inLumaStride = 0;
    int32_t inChromaStride = 0;
    int32_t outLumaStride = 0;
    int32_t outChromaStride = 0;
    const DeinterlaceKernels* kernels = nullptr;
};

namespace {

constexpr char kVersion[] = "1.1.0.2";
static_assert(kDeinterlaceMaxWidth / 2 - 2 <= kMaxLinePairs);
constexpr size_t kAlignment = 8;

enum : int { kStoring, kFirstField, kPreviousSecond, kPreviousFirst, kCounters };

uint8_t* rowOf(uint8_t* plane, int32_t stride, int row) {
    return plane + static_cast<size_t>(row) * stride;
}

const uint8_t* rowOf(const uint8_t* plane, int32_t stride, int row) {
    return plane + static_cast<size_t>(row) * stride;
}

void copyRows(uint8_t* dst, int32_t dstStride, const uint8_t* src, int32_t srcStride, size_t bytes,
              int rows) {
    for (int r = 0; r < rows; ++r) {
        std::memcpy(rowOf(dst, dstStride, r), rowOf(src, srcStride, r), bytes);
    }
}

bool sizeAccepted(int32_t width, int32_t fieldHeight, int32_t inLumaStride, int32_t inChromaStride,
                  int32_t outLumaStride, int32_t outChromaStride) {
    // Odd sizes would leave a column or a chroma row of the frame unwritten.
    if (width < kDeinterlaceMinWidth || width > kDeinterlaceMaxWidth || width % 2 != 0) {
        return false;
    }
    if (fieldHeight < kDeinterlaceMinFieldHeight || fieldHeight > kDeinterlaceMaxFieldHeight ||
        fieldHeight % 2 != 0) {
        return false;
    }
    return inLumaStride >= width && inChromaStride >= width / 2 && outLumaStride >= width &&
           outChromaStride >= width / 2;
}

void release(DeinterlaceState* s) {
    std::free(s->planeBlock);
    std::free(s->savedU);
    std::free(s->savedV);
    delete s;
}

// Allocates and fills the history (grey), the counters (0) and the saved chroma (grey).
bool allocatePlanes(DeinterlaceState* s) {
    const size_t fieldBytes = static_cast<size_t>(s->fieldHeight) * static_cast<size_t>(s->inLumaStride);
    const size_t chromaBytes =
        static_cast<size_t>(s->fieldHeight / 2) * static_cast<size_t>(s->inChromaStride) + kAlignment;
    s->savedU = static_cast<uint8_t*>(std::malloc(chromaBytes));
    s->savedV = static_cast<uint8_t*>(std::malloc(chromaBytes));
    s->planeBlock = static_cast<uint8_t*>(std::malloc(5 * fieldBytes + kAlignment));
    if (!s->savedU || !s->savedV || !s->planeBlock) {
        return false;
    }
    std::memset(s->savedU, 128, chromaBytes);
    std::memset(s->savedV, 128, chromaBytes);
    const auto base = reinterpret_cast<uintptr_t>(s->planeBlock);
    uint8_t* plane = s->planeBlock + ((kAlignment - base % kAlignment) % kAlignment);
    for (uint8_t*& p : s->planes) {
        p = plane;
        plane += fieldBytes;
    }
    std::memset(s->planes[0], 128, 4 * fieldBytes);
    std::memset(s->planes[kCounters], 0, fieldBytes);
    return true;
}

// Writes each saved chroma row twice into out and then replaces it with the new field's row, in one pass over
// both (rows at least 16 bytes). Chunks of 16 bytes; the last one, which may overlap the one before it, is
// read first so that it still sees the saved row.
void doubleChroma(uint8_t* out, int32_t outStride, uint8_t* saved, const uint8_t* in, int32_t inStride,
                  size_t bytes, int rows) {
    constexpr size_t kChunk = 16;
    const size_t last = bytes - kChunk;
    for (int k = 0; k < rows; ++k) {
        uint8_t* const first = rowOf(out, outStride, 2 * k);
        uint8_t* const second = first + outStride;
        uint8_t* const keep = rowOf(saved, inStride, k);
        const uint8_t* const next = rowOf(in, inStride, k);
        uint8_t tail[kChunk];
        std::memcpy(tail, keep + last, kChunk);
        for (size_t x = 0; x < last; x += kChunk) {
            uint8_t chunk[kChunk];
            std::memcpy(chunk, keep + x, kChunk);
            std::memcpy(first + x, chunk, kChunk);
            std::memcpy(second + x, chunk, kChunk);
            std::memcpy(keep + x, next + x, kChunk);
        }
        std::memcpy(first + last, tail, kChunk);
        std::memcpy(second + last, tail, kChunk);
        std::memcpy(keep + last, next + last, kChunk);
    }
}

// The frame of the pair whose second field is f2 (the caller's plane); stores f2 in plane 0 on the way (the
// kernel all but row 0 and the two columns at each edge, which it does not read) and its chroma.
void buildFrame(const DeinterlaceState& s, const uint8_t* f2, const uint8_t* inU, const uint8_t* inV,
                uint8_t* outY, uint8_t* outU, uint8_t* outV) {
    const size_t w = static_cast<size_t>(s.width);
    const int fh = s.fieldHeight;
    const int32_t in = s.inLumaStride;
    const int32_t out = s.outLumaStride;
    uint8_t* f2Store = s.planes[kStoring];
    std::memcpy(f2Store, f2, w);
    for (int j = 1; j < fh; ++j) {
        uint8_t* stored = rowOf(f2Store, in, j);
        const uint8_t* row = rowOf(f2, in, j);
        stored[0] = row[0];
        stored[1] = row[1];
        stored[w - 2] = row[w - 2];
        stored[w - 1] = row[w - 1];
    }
    const uint8_t* f1 = s.planes[kFirstField];
    const uint8_t* p2 = s.planes[kPreviousSecond];
    const uint8_t* p1 = s.planes[kPreviousFirst];
    uint8_t* counters = s.planes[kCounters];

    // The first and last first-field lines stand twice: there is no second line to interpolate against.
    std::memcpy(rowOf(outY, out, 0), f1, w);
    std::memcpy(rowOf(outY, out, 1), f1, w);
    std::memcpy(rowOf(outY, out, s.frameHeight - 2), rowOf(f1, in, fh - 1), w);
    std::memcpy(rowOf(outY, out, s.frameHeight - 1), rowOf(f1, in, fh - 1), w);

    // The kernel writes the other lines but for their two columns at each edge, which repeat the first
    // field's row above.
    for (int j = 1; j <= fh - 2; ++j) {
        const uint8_t* above = rowOf(f1, in, j);
        for (int copy = 0; copy < 2; ++copy) {
            uint8_t* line = rowOf(outY, out, 2 * j + copy);
            line[0] = above[0];
            line[1] = above[1];
            line[w - 2] = above[w - 2];
            line[w - 1] = above[w - 1];
        }
    }
    const FieldPlanes src = {rowOf(f1, in, 1),
                             rowOf(f2, in, 1),
                             rowOf(p1, in, 1),
                             rowOf(p2, in, 1),
                             rowOf(counters, in, 1),
                             rowOf(f2Store, in, 1),
                             in};
    s.kernels->interpolateLines(rowOf(outY, out, 2), out, src, fh - 2, s.width / 2 - 2);

    // Chroma comes from the first field alone, each row doubled.
    const int32_t inChroma = s.inChromaStride, outChroma = s.outChromaStride;
    doubleChroma(outU, outChroma, s.savedU, inU, inChroma, w / 2, fh / 2);
    doubleChroma(outV, outChroma, s.savedV, inV, inChroma, w / 2, fh / 2);
}

} // namespace

const DeinterlaceKernels* deinterlaceKernels(DeinterlaceKernelSet set) {
    switch (set) {
    case DeinterlaceKernelSet::Portable:
        return &kDeinterlacePortable;
    case DeinterlaceKernelSet::Sse2:
#if defined(__SSE2__)
        return &kDeinterlaceSse2;
#else
        return nullptr;
#endif
    }
    return nullptr;
}

DeinterlaceKernelSet bestDeinterlaceKernelSet() {
#if defined(__SSE2__)
    return DeinterlaceKernelSet::Sse2;
#else
    return DeinterlaceKernelSet::Portable;
#endif
}

int32_t deinterlaceUseKernels(DeinterlaceState* handle, DeinterlaceKernelSet set) {
    if (!handle) {
        return DEINTERLACE_ERR_NULL;
    }
    const DeinterlaceKernels* kernels = deinterlaceKernels(set);
    if (!kernels) {
        return DEINTERLACE_ERR_SIZE;
    }
    handle->kernels = kernels;
    return DEINTERLACE_OK;
}

int32_t VD_InitDeinterlace(DeinterlaceState** handle, int32_t width, int32_t fieldHeight,
                           int32_t inLumaStride, int32_t inChromaStride, int32_t outLumaStride,
                           int32_t outChromaStride) {
    if (!handle) {
        return DEINTERLACE_ERR_NULL;
    }
    *handle = nullptr;
    if (!sizeAccepted(width, fieldHeight, inLumaStride, inChromaStride, outLumaStride, outChromaStride)) {
        return DEINTERLACE_ERR_SIZE;
    }
    auto* s = new (std::nothrow) DeinterlaceState;
    if (!s) {
        return DEINTERLACE_ERR_NO_MEMORY;
    }
    s->width = width;
    s->fieldHeight = fieldHeight;
    s->frameHeight = 2 * fieldHeight;
    s->inLumaStride = inLumaStride;
    s->inChromaStride = inChromaStride;
    s->outLumaStride = outLumaStride;
    s->outChromaStride = outChromaStride;
    s->kernels = deinterlaceKernels(bestDeinterlaceKernelSet());
    if (!allocatePlanes(s)) {
        release(s);
        return DEINTERLACE_ERR_NO_MEMORY;
    }
    *handle = s;
    return DEINTERLACE_OK;
}

int32_t VD_Deinterlace(DeinterlaceState* handle, uint8_t* outY, uint8_t* outU, uint8_t* outV,
                       const uint8_t* inY, const uint8_t* inU, const uint8_t* inV, int32_t fieldKind) {
    if (!handle || !outY || !outU || !outV || !inY || !inU || !inV) {
        return DEINTERLACE_ERR_NULL;
    }
    if (fieldKind != 1 && fieldKind != 2) {
        return DEINTERLACE_ERR_FIELD_KIND;
    }
    DeinterlaceState& s = *handle;
    const size_t w = static_cast<size_t>(s.width);
    if (fieldKind == 2) {
        buildFrame(s, inY, inU, inV, outY, outU, outV);
    } else {
        copyRows(s.planes[kStoring], s.inLumaStride, inY, s.inLumaStride, w, s.fieldHeight);
        copyRows(s.savedU, s.inChromaStride, inU, s.inChromaStride, w / 2, s.fieldHeight / 2);
        copyRows(s.savedV, s.inChromaStride, inV, s.inChromaStride, w / 2, s.fieldHeight / 2);
    }
    uint8_t* const oldest = s.planes[kPreviousFirst];
    s.planes[kPreviousFirst] = s.planes[kPreviousSecond];
    s.planes[kPreviousSecond] = s.planes[kFirstField];
    s.planes[kFirstField] = s.planes[kStoring];
    s.planes[kStoring] = oldest;
    return DEINTERLACE_OK;
}

int32_t VD_ReleaseDeinterlace(DeinterlaceState* handle) {
    if (!handle) {
        return DEINTERLACE_ERR_NULL;
    }
    release(handle);
    return DEINTERLACE_OK;
}

int32_t VD_GetVersion(char** buffer) {
    if (!buffer || !*buffer) {
        return DEINTERLACE_ERR_NULL;
    }
    std::memcpy(*buffer, kVersion, sizeof kVersion);
    return DEINTERLACE_OK;
}

int32_t VD_GetVersion(char* buffer, size_t size) {
    if (!buffer) {
        return DEINTERLACE_ERR_NULL;
    }
    if (size < sizeof kVersion) {
        return DEINTERLACE_ERR_SIZE;
    }
    std::memcpy(buffer, kVersion, sizeof kVersion);
    return DEINTERLACE_OK;
}
