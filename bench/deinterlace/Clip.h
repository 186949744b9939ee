// A generated SD clip at 50 progressive pictures per second, cut into the fields of a 25-frame interlaced
// stream (first field from picture 2t, second field from picture 2t + 1), in our field form and woven into
// interlaced frames for libavfilter.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFrame;

// yuv420p with rows exactly as wide as the picture.
struct Planes {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> y, u, v;
};

struct FrameDeleter {
    void operator()(AVFrame* f) const;
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct Clip {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<Planes> pictures;              // the progressive source
    std::vector<std::array<Planes, 2>> fields; // per pair: first field, second field
    std::vector<FramePtr> interlaced;          // per pair: both fields woven
};

// lavfiSource: a libavfilter source such as "testsrc2" or "mandelbrot"; pairs: frames of the interlaced
// stream.
Clip makeClip(const std::string& lavfiSource, int width, int height, int pairs);

// Mean squared error over the odd luma rows (the lines a deinterlacer makes up), summed over frames.
class InterpolatedLinesPsnr {
public:
    // frameY: a deinterlaced frame of the reference's size, rows stride bytes apart.
    void add(const uint8_t* frameY, ptrdiff_t stride, const Planes& reference);
    double decibels() const;

private:
    double squaredError_ = 0;
    double samples_ = 0;
};
