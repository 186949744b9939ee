#include "boxlink/RingBuffer.h"

#include <algorithm>
#include <cstring>

KQ_TCP_RingBuffer::KQ_TCP_RingBuffer(DWORD size) : size_(size), buffer_(size) {
    if (!buffer_)
        size_ = 0; // no buffer: every operation fails
}

KQ_TCP_RingBuffer::~KQ_TCP_RingBuffer() = default;

DWORD KQ_TCP_RingBuffer::Stored() const {
    if (!size_)
        return 0;
    const DWORD write = write_.load(std::memory_order_acquire);
    const DWORD read = read_.load(std::memory_order_acquire);
    return (write + size_ - read) % size_;
}

DWORD KQ_TCP_RingBuffer::Free() const {
    return size_ - Stored();
}

int KQ_TCP_RingBuffer::Write(const void* source, DWORD n, DWORD* written) {
    if (n == 0 || !buffer_ || n >= Free())
        return 0;
    DWORD write = write_.load(std::memory_order_relaxed);
    const DWORD first = std::min(n, size_ - write);
    std::memcpy(buffer_.get() + write, source, first);
    std::memcpy(buffer_.get(), static_cast<const BYTE*>(source) + first, n - first);
    write += n;
    if (write >= size_)
        write -= size_;
    write_.store(write, std::memory_order_release);
    if (written)
        *written = n;
    return 1;
}

bool KQ_TCP_RingBuffer::copyOut(DWORD n, void* destination, DWORD& read) const {
    if (!buffer_ || n == 0 || n > size_ || Stored() < n)
        return false;
    read = read_.load(std::memory_order_relaxed);
    const DWORD first = std::min(n, size_ - read);
    std::memcpy(destination, buffer_.get() + read, first);
    std::memcpy(static_cast<BYTE*>(destination) + first, buffer_.get(), n - first);
    read += n;
    if (read >= size_)
        read -= size_;
    return true;
}

int KQ_TCP_RingBuffer::Read(DWORD n, void* destination) {
    DWORD read = 0;
    if (!copyOut(n, destination, read))
        return 0;
    read_.store(read, std::memory_order_release);
    return 1;
}

int KQ_TCP_RingBuffer::Peek(DWORD n, void* destination) const {
    DWORD read = 0;
    return copyOut(n, destination, read) ? 1 : 0;
}

void KQ_TCP_RingBuffer::Reset() {
    read_.store(write_.load(std::memory_order_acquire), std::memory_order_release);
}
