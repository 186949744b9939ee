// A source area of tight stride that touches an inaccessible page on one side, so that a kernel
// reading before its first byte or past its last byte faults instead of passing unseen.
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace h264::test {

class GuardedArea {
public:
    enum class Side { Before, After };

    GuardedArea(int width, int height, Side side) : width_(width), height_(height) {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* p = mmap(nullptr, 3 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(p, MAP_FAILED);
        base_ = static_cast<uint8_t*>(p);
        mprotect(base_, page_, PROT_NONE);
        mprotect(base_ + 2 * page_, page_, PROT_NONE);
        data_ = side == Side::Before ? base_ + page_ : base_ + 2 * page_ - width * height;
    }
    ~GuardedArea() { munmap(base_, 3 * page_); }
    GuardedArea(const GuardedArea&) = delete;
    GuardedArea& operator=(const GuardedArea&) = delete;

    uint8_t* data() const { return data_; }
    int stride() const { return width_; }
    int size() const { return width_ * height_; }

private:
    int width_, height_;
    size_t page_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};

} // namespace h264::test
