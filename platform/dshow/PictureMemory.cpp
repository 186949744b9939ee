#include "platform/dshow/PictureMemory.h"

#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace platform::dshow {

PictureMemory::PictureMemory(std::size_t pixels) {
    if (pixels == 0 || pixels > SIZE_MAX / sizeof(std::uint32_t))
        return;
    const std::size_t bytes = pixels * sizeof(std::uint32_t);
    const int fd = memfd_create("video picture", MFD_CLOEXEC);
    if (fd >= 0) {
        void* mapped = ftruncate(fd, static_cast<off_t>(bytes)) == 0
                           ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                           : MAP_FAILED;
        if (mapped != MAP_FAILED) {
            pixels_ = static_cast<std::uint32_t*>(mapped);
            bytes_ = bytes;
            fd_ = fd;
            return;
        }
        close(fd);
    }
    pixels_ = new (std::nothrow) std::uint32_t[pixels];
    bytes_ = pixels_ ? bytes : 0;
}

PictureMemory::~PictureMemory() {
    release();
}

PictureMemory::PictureMemory(PictureMemory&& other) noexcept
    : pixels_(std::exchange(other.pixels_, nullptr)), bytes_(std::exchange(other.bytes_, 0)),
      fd_(std::exchange(other.fd_, -1)) {}

PictureMemory& PictureMemory::operator=(PictureMemory&& other) noexcept {
    if (this != &other) {
        release();
        pixels_ = std::exchange(other.pixels_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

void PictureMemory::release() {
    if (fd_ >= 0) {
        munmap(pixels_, bytes_);
        close(fd_);
    } else {
        delete[] pixels_;
    }
    pixels_ = nullptr;
    bytes_ = 0;
    fd_ = -1;
}

} // namespace platform::dshow
