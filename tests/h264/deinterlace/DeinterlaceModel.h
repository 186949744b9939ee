// Test support: pictures with tight rows, the deinterlacer driven through strided buffers, and a per-pixel
// model of the algorithm written from its rules (no pair kernels, no shared code with the library).
#pragma once

#include "h264/deinterlace/Deinterlace.h"
#include "h264/deinterlace/DeinterlaceKernels.h"

#include <array>
#include <cstdint>
#include <ostream>
#include <vector>

inline const char* kernelSetName(DeinterlaceKernelSet set) {
    return set == DeinterlaceKernelSet::Portable ? "Portable" : "Sse2";
}

inline void PrintTo(DeinterlaceKernelSet set, std::ostream* os) {
    *os << kernelSetName(set);
}

// 4:2:0 planes with rows exactly as wide as the picture.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;

    Picture() = default;
    Picture(int w, int h, uint8_t fill = 0);
    uint8_t& luma(int row, int col) { return y[static_cast<size_t>(row) * width + col]; }
    uint8_t luma(int row, int col) const { return y[static_cast<size_t>(row) * width + col]; }
    uint8_t& cb(int row, int col) { return u[static_cast<size_t>(row) * (width / 2) + col]; }
    uint8_t& cr(int row, int col) { return v[static_cast<size_t>(row) * (width / 2) + col]; }
};

// The two fields of a progressive picture: first = even rows, second = odd rows. Each field's chroma takes
// the picture's even or odd chroma rows.
std::array<Picture, 2> splitFields(const Picture& frame);

struct Geometry {
    int width;
    int fieldHeight;
    int inLumaStride;
    int inChromaStride;
    int outLumaStride;
    int outChromaStride;
};

// Tight strides.
Geometry tightGeometry(int width, int fieldHeight);

// One handle with input and output planes of exactly the size their strides need (no slack after the last
// row, so sanitizers catch a read or write past it). Output padding bytes are checked to stay untouched.
class DeinterlaceRunner {
public:
    DeinterlaceRunner(const Geometry& g, DeinterlaceKernelSet set);
    ~DeinterlaceRunner();
    DeinterlaceRunner(const DeinterlaceRunner&) = delete;
    DeinterlaceRunner& operator=(const DeinterlaceRunner&) = delete;

    bool ok() const { return handle_ != nullptr; }
    DeinterlaceState* handle() { return handle_; }
    uint8_t* outY() { return outY_.data(); }
    uint8_t* outU() { return outU_.data(); }
    uint8_t* outV() { return outV_.data(); }
    uint8_t* inY() { return inY_.data(); }
    uint8_t* inU() { return inU_.data(); }
    uint8_t* inV() { return inV_.data(); }

    // Sends one field with the given kind; returns the result code.
    int32_t send(const Picture& field, int32_t kind);
    // The output planes as a tight frame; reports a failure when a padding byte was written.
    Picture frame() const;
    // A pair: the first field, then the second; returns the frame.
    Picture pair(const Picture& first, const Picture& second);

private:
    Geometry g_;
    DeinterlaceState* handle_ = nullptr;
    std::vector<uint8_t> inY_, inU_, inV_, outY_, outU_, outV_;
};

inline constexpr uint8_t kOutputSentinel = 0xA5;

class DeinterlaceModel {
public:
    DeinterlaceModel(int width, int fieldHeight);
    // Stores a field; at kind 2 returns the frame built before storing completes.
    Picture push(const Picture& field, int kind);

private:
    int width_, fieldHeight_;
    std::array<Picture, 4> history_; // [0] the newest field
    std::vector<int> still_;         // per pair: consecutive still frames
    Picture chroma_;                 // the last stored field (its chroma is used)
};
