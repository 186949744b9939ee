#include "platform/win32/RingMemory.h"

#include <sys/mman.h>
#include <utility>

namespace platform {

RingMemory::RingMemory(std::size_t bytes) {
    if (bytes == 0)
        return;
    void* mapped =
        mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (mapped == MAP_FAILED)
        return;
    madvise(mapped, bytes, MADV_DONTFORK); // without it the ring still works, only slower after a fork
    data_ = static_cast<BYTE*>(mapped);
    bytes_ = bytes;
}

RingMemory::~RingMemory() {
    if (data_)
        munmap(data_, bytes_);
}

RingMemory::RingMemory(RingMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), bytes_(std::exchange(other.bytes_, 0)) {}

RingMemory& RingMemory::operator=(RingMemory&& other) noexcept {
    if (this != &other) {
        if (data_)
            munmap(data_, bytes_);
        data_ = std::exchange(other.data_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

} // namespace platform
