#include "DeinterlaceModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

Picture::Picture(int w, int h, uint8_t fill)
    : width(w), height(h), y(static_cast<size_t>(w) * h, fill), u(static_cast<size_t>(w / 2) * (h / 2), fill),
      v(u.size(), fill) {}

std::array<Picture, 2> splitFields(const Picture& frame) {
    std::array<Picture, 2> fields = {Picture(frame.width, frame.height / 2),
                                     Picture(frame.width, frame.height / 2)};
    const int cw = frame.width / 2;
    for (int f = 0; f < 2; ++f) {
        Picture& field = fields[f];
        for (int r = 0; r < field.height; ++r) {
            for (int c = 0; c < frame.width; ++c) {
                field.luma(r, c) = frame.luma(2 * r + f, c);
            }
        }
        for (int r = 0; r < field.height / 2; ++r) {
            for (int c = 0; c < cw; ++c) {
                field.cb(r, c) = frame.u[static_cast<size_t>(2 * r + f) * cw + c];
                field.cr(r, c) = frame.v[static_cast<size_t>(2 * r + f) * cw + c];
            }
        }
    }
    return fields;
}

Geometry tightGeometry(int width, int fieldHeight) {
    return {width, fieldHeight, width, width / 2, width, width / 2};
}

namespace {

size_t planeBytes(int rows, int stride, int rowBytes) {
    return static_cast<size_t>(rows - 1) * stride + rowBytes;
}

void putRows(std::vector<uint8_t>& dst, int stride, const std::vector<uint8_t>& src, int rowBytes, int rows) {
    for (int r = 0; r < rows; ++r) {
        std::copy_n(src.begin() + static_cast<ptrdiff_t>(r) * rowBytes, rowBytes,
                    dst.begin() + static_cast<ptrdiff_t>(r) * stride);
    }
}

void takeRows(std::vector<uint8_t>& dst, const std::vector<uint8_t>& src, int stride, int rowBytes, int rows,
              const char* plane) {
    for (int r = 0; r < rows; ++r) {
        const auto row = src.begin() + static_cast<ptrdiff_t>(r) * stride;
        std::copy_n(row, rowBytes, dst.begin() + static_cast<ptrdiff_t>(r) * rowBytes);
        if (r + 1 < rows) {
            for (int c = rowBytes; c < stride; ++c) {
                if (row[c] != kOutputSentinel) {
                    ADD_FAILURE() << plane << " padding written at row " << r << " column " << c;
                    return;
                }
            }
        }
    }
}

} // namespace

DeinterlaceRunner::DeinterlaceRunner(const Geometry& g, DeinterlaceKernelSet set) : g_(g) {
    const int fh = g.fieldHeight;
    const int cw = g.width / 2;
    // Input padding holds a pattern that must never reach the frame.
    inY_.assign(planeBytes(fh, g.inLumaStride, g.width), 0x3C);
    inU_.assign(planeBytes(fh / 2, g.inChromaStride, cw), 0x3C);
    inV_.assign(inU_.size(), 0x3C);
    outY_.assign(planeBytes(2 * fh, g.outLumaStride, g.width), kOutputSentinel);
    outU_.assign(planeBytes(fh, g.outChromaStride, cw), kOutputSentinel);
    outV_.assign(outU_.size(), kOutputSentinel);
    if (VD_InitDeinterlace(&handle_, g.width, fh, g.inLumaStride, g.inChromaStride, g.outLumaStride,
                           g.outChromaStride) != DEINTERLACE_OK) {
        handle_ = nullptr;
        return;
    }
    if (deinterlaceUseKernels(handle_, set) != DEINTERLACE_OK) {
        VD_ReleaseDeinterlace(handle_);
        handle_ = nullptr;
    }
}

DeinterlaceRunner::~DeinterlaceRunner() {
    if (handle_) {
        VD_ReleaseDeinterlace(handle_);
    }
}

int32_t DeinterlaceRunner::send(const Picture& field, int32_t kind) {
    putRows(inY_, g_.inLumaStride, field.y, g_.width, g_.fieldHeight);
    putRows(inU_, g_.inChromaStride, field.u, g_.width / 2, g_.fieldHeight / 2);
    putRows(inV_, g_.inChromaStride, field.v, g_.width / 2, g_.fieldHeight / 2);
    return VD_Deinterlace(handle_, outY(), outU(), outV(), inY(), inU(), inV(), kind);
}

Picture DeinterlaceRunner::frame() const {
    Picture out(g_.width, 2 * g_.fieldHeight);
    takeRows(out.y, outY_, g_.outLumaStride, g_.width, out.height, "Y");
    takeRows(out.u, outU_, g_.outChromaStride, g_.width / 2, g_.fieldHeight, "U");
    takeRows(out.v, outV_, g_.outChromaStride, g_.width / 2, g_.fieldHeight, "V");
    return out;
}

Picture DeinterlaceRunner::pair(const Picture& first, const Picture& second) {
    EXPECT_EQ(send(first, 1), DEINTERLACE_OK);
    EXPECT_EQ(send(second, 2), DEINTERLACE_OK);
    return frame();
}

DeinterlaceModel::DeinterlaceModel(int width, int fieldHeight)
    : width_(width), fieldHeight_(fieldHeight), still_(static_cast<size_t>(width) * fieldHeight, 0),
      chroma_(width, fieldHeight, 128) {
    history_.fill(Picture(width, fieldHeight, 128));
}

namespace {

int blockSum(const Picture& f, int j, int x) {
    return f.luma(j, x) + f.luma(j, x + 1) + f.luma(j + 1, x) + f.luma(j + 1, x + 1);
}

// The pixel between rows j and j + 1 of the first field at column c.
uint8_t interpolated(const Picture& f1, int j, int c) {
    const auto above = [&](int col) { return int{f1.luma(j, col)}; };
    const auto below = [&](int col) { return int{f1.luma(j + 1, col)}; };
    const int vertical = std::abs(below(c) - above(c));
    const int first = std::abs(below(c - 1) - above(c + 1));
    const int second = std::abs(below(c + 1) - above(c - 1));
    if (second < vertical && second < first) {
        return static_cast<uint8_t>((above(c - 1) + below(c + 1)) / 2);
    }
    if (first < vertical) {
        return static_cast<uint8_t>((above(c + 1) + below(c - 1)) / 2);
    }
    return static_cast<uint8_t>((above(c) + below(c)) / 2);
}

} // namespace

Picture DeinterlaceModel::push(const Picture& field, int kind) {
    for (int i = 3; i > 0; --i) {
        history_[i] = history_[i - 1];
    }
    history_[0] = field;
    Picture out;
    if (kind == 2) {
        const Picture& f2 = history_[0];
        const Picture& f1 = history_[1];
        const Picture& p2 = history_[2];
        const Picture& p1 = history_[3];
        const int w = width_;
        const int fh = fieldHeight_;
        out = Picture(w, 2 * fh);
        for (int r = 0; r < 2 * fh; ++r) {
            for (int c = 0; c < w; ++c) {
                // Even rows and the two outer odd rows are first-field lines; so are the outer columns.
                const int above = r == 2 * fh - 1 ? fh - 1 : r / 2;
                out.luma(r, c) = f1.luma(above, c);
            }
        }
        for (int j = 1; j <= fh - 2; ++j) {
            for (int x = 2; x <= w - 4; x += 2) {
                const int a = blockSum(f2, j, x) - blockSum(p2, j, x);
                const int b = blockSum(f1, j, x) - blockSum(p1, j, x);
                int& still = still_[static_cast<size_t>(j) * w + x];
                const bool motion = std::abs(a) >= 50 || std::abs(b) >= 50;
                still = motion ? 0 : still + 1;
                const bool weave = still >= 8;
                if (weave) {
                    still = 7;
                }
                for (int c = x; c <= x + 1; ++c) {
                    out.luma(2 * j + 1, c) = weave ? f2.luma(j, c) : interpolated(f1, j, c);
                }
            }
        }
        for (int r = 0; r < fh; ++r) {
            for (int c = 0; c < w / 2; ++c) {
                out.cb(r, c) = chroma_.cb(r / 2, c);
                out.cr(r, c) = chroma_.cr(r / 2, c);
            }
        }
    }
    chroma_ = field;
    return out;
}
