#include "Clip.h"

#include "LavfiGraph.h"

extern "C" {
#include <libavutil/frame.h>
}

#include <cmath>
#include <cstring>

void FrameDeleter::operator()(AVFrame* f) const {
    av_frame_free(&f);
}

namespace {

Planes fromFrame(const AVFrame& f) {
    Planes p;
    p.width = f.width;
    p.height = f.height;
    const int cw = f.width / 2, ch = f.height / 2;
    p.y.resize(static_cast<size_t>(f.width) * f.height);
    p.u.resize(static_cast<size_t>(cw) * ch);
    p.v.resize(p.u.size());
    for (int r = 0; r < f.height; ++r) {
        std::memcpy(&p.y[static_cast<size_t>(r) * f.width],
                    f.data[0] + static_cast<ptrdiff_t>(r) * f.linesize[0], f.width);
    }
    for (int r = 0; r < ch; ++r) {
        std::memcpy(&p.u[static_cast<size_t>(r) * cw], f.data[1] + static_cast<ptrdiff_t>(r) * f.linesize[1],
                    cw);
        std::memcpy(&p.v[static_cast<size_t>(r) * cw], f.data[2] + static_cast<ptrdiff_t>(r) * f.linesize[2],
                    cw);
    }
    return p;
}

// Rows parity, parity + 2, ... of each plane: one field of a picture (chroma subsampled within the field).
Planes field(const Planes& picture, int parity) {
    Planes f;
    f.width = picture.width;
    f.height = picture.height / 2;
    const int w = picture.width, cw = w / 2;
    for (int r = parity; r < picture.height; r += 2) {
        f.y.insert(f.y.end(), picture.y.begin() + static_cast<ptrdiff_t>(r) * w,
                   picture.y.begin() + static_cast<ptrdiff_t>(r + 1) * w);
    }
    for (int r = parity; r < picture.height / 2; r += 2) {
        f.u.insert(f.u.end(), picture.u.begin() + static_cast<ptrdiff_t>(r) * cw,
                   picture.u.begin() + static_cast<ptrdiff_t>(r + 1) * cw);
        f.v.insert(f.v.end(), picture.v.begin() + static_cast<ptrdiff_t>(r) * cw,
                   picture.v.begin() + static_cast<ptrdiff_t>(r + 1) * cw);
    }
    return f;
}

// The two fields line by line: the first on even rows, the second on odd rows, chroma likewise.
FramePtr weave(const Planes& first, const Planes& second) {
    FramePtr f(av_frame_alloc());
    f->width = first.width;
    f->height = 2 * first.height;
    f->format = 0; // AV_PIX_FMT_YUV420P
    if (const int code = av_frame_get_buffer(f.get(), 0); code < 0) {
        lavfiFailed("frame buffer", code);
    }
    f->interlaced_frame = 1;
    f->top_field_first = 1;
    const auto put = [](uint8_t* dst, int stride, const std::vector<uint8_t>& a,
                        const std::vector<uint8_t>& b, int w) {
        const int rows = static_cast<int>(a.size()) / w;
        for (int r = 0; r < rows; ++r) {
            std::memcpy(dst + static_cast<ptrdiff_t>(2 * r) * stride, &a[static_cast<size_t>(r) * w], w);
            std::memcpy(dst + static_cast<ptrdiff_t>(2 * r + 1) * stride, &b[static_cast<size_t>(r) * w], w);
        }
    };
    put(f->data[0], f->linesize[0], first.y, second.y, first.width);
    put(f->data[1], f->linesize[1], first.u, second.u, first.width / 2);
    put(f->data[2], f->linesize[2], first.v, second.v, first.width / 2);
    return f;
}

} // namespace

Clip makeClip(const std::string& lavfiSource, int width, int height, int pairs) {
    Clip clip;
    clip.name = lavfiSource;
    clip.width = width;
    clip.height = height;
    LavfiGraph source(lavfiSource + "=size=" + std::to_string(width) + "x" + std::to_string(height) +
                          ":rate=50,format=yuv420p",
                      0, 0);
    FramePtr frame(av_frame_alloc());
    while (static_cast<int>(clip.pictures.size()) < 2 * pairs && source.pull(frame.get())) {
        clip.pictures.push_back(fromFrame(*frame));
    }
    for (int t = 0; t + 1 < static_cast<int>(clip.pictures.size()); t += 2) {
        clip.fields.push_back({field(clip.pictures[t], 0), field(clip.pictures[t + 1], 1)});
        clip.interlaced.push_back(weave(clip.fields.back()[0], clip.fields.back()[1]));
    }
    return clip;
}

void InterpolatedLinesPsnr::add(const uint8_t* frameY, ptrdiff_t stride, const Planes& reference) {
    for (int r = 1; r < reference.height; r += 2) {
        const uint8_t* got = frameY + r * stride;
        const uint8_t* want = &reference.y[static_cast<size_t>(r) * reference.width];
        for (int c = 0; c < reference.width; ++c) {
            const double d = static_cast<double>(got[c]) - want[c];
            squaredError_ += d * d;
        }
        samples_ += reference.width;
    }
}

double InterpolatedLinesPsnr::decibels() const {
    if (squaredError_ == 0) {
        return INFINITY;
    }
    return 10 * std::log10(255.0 * 255.0 * samples_ / squaredError_);
}
