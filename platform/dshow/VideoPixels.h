// The program's one YUV-to-RGB converter and the video renderer's mixer bitmap.
//
// Conversion: packed 4:2:2 rows (UYVY: U Y0 V Y1; YUY2: Y0 U Y1 V; BT.601, studio range) become opaque
// 0xFFRRGGBB pixels, with c = Y - 16, d = U - 128, e = V - 128:
//   R = clamp((298c + 409e + 128) >> 8), G = clamp((298c - 100d - 208e + 128) >> 8),
//   B = clamp((298c + 516d + 128) >> 8).
// One table of row kernels per byte order, filled with the portable kernels, then the SSE2 ones and then the
// AVX2 ones where the processor has them; all give the same pixels.
//
// The mixer bitmap: prepared once for a picture size (the runs of each picture row that the bitmap covers
// with pixels other than its key colour), then blended into each converted row in the same pass.
#pragma once

#include "platform/dshow/MediaType.h"
#include "platform/gdi/Gdi.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::dshow {

// width pixels (even, at least 2) of one packed row into rgb.
using PackedRowKernel = void (*)(const BYTE* row, std::uint32_t* rgb, int width);

struct PixelKernels {
    PackedRowKernel uyvy;
    PackedRowKernel yuy2;
};

const PixelKernels& PortablePixelKernels();
// Null kernels where the processor lacks SSE2 (never on x86-64).
const PixelKernels& Sse2PixelKernels();
// Null kernels where the processor (or its system) lacks AVX2.
const PixelKernels& Avx2PixelKernels();
// The fastest set the processor has.
const PixelKernels& SelectedPixelKernels();

// The selected kernel for a FOURCC (UYVY or YUY2); null for another.
PackedRowKernel PackedRowKernelFor(DWORD fourcc);

// A packed picture of height rows, pitch bytes apart, into rows of `stride` pixels; false, with nothing
// written, for an odd or non-positive width, a pitch below 2 x width or another FOURCC.
bool ConvertPackedPicture(DWORD fourcc, int width, int height, int pitch, const BYTE* rows,
                          std::uint32_t* rgb, std::ptrdiff_t stride);

// The mixer bitmap as the renderer keeps it: a copy of the application's bitmap and where it goes.
struct Overlay {
    platform::gdi::Dib bitmap;                      // 0x00RRGGBB
    float left = 0, top = 0, right = 1, bottom = 1; // of the picture, 0..1
    float alpha = 1;
    bool keyed = false;
    std::uint32_t key = 0; // 0x00RRGGBB: pixels of this colour leave the picture alone
};

// The overlay laid over pictures of one size: each picture pixel takes the bitmap pixel that covers it
// (nearest), unless that is the key; the blend moves each colour by alpha (1: the bitmap's colour).
class OverlayRuns {
public:
    // Allocates; called when the bitmap, its place or the picture size change, never per frame.
    void Prepare(const Overlay& overlay, int width, int height);
    void Clear();
    bool Empty() const { return runs_.empty(); }
    bool PreparedFor(int width, int height) const { return width == width_ && height == height_; }
    // Blends the overlay into row y of a picture of the prepared size.
    void BlendRow(int y, std::uint32_t* row) const;

private:
    struct Run {
        int x;
        int count;
        std::size_t colours; // index of the run's first colour
    };
    int width_ = -1, height_ = -1;
    int weight_ = 256;                 // alpha in 256ths
    std::vector<std::size_t> rowRuns_; // runs of picture row y: rowRuns_[y] .. rowRuns_[y + 1]
    std::vector<Run> runs_;
    std::vector<std::uint32_t> colours_;
};

} // namespace platform::dshow
