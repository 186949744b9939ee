#include "media/AvRingBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kWord = 4;

// In 64 bits, so that no length word read from the buffer can wrap it.
ULONGLONG recordSize(DWORD length) {
    return kWord + ((ULONGLONG{length} + 3) & ~ULONGLONG{3});
}

// The read state: the read position in the low half, the number of flushes in the high half.
DWORD position(ULONGLONG readState) {
    return static_cast<DWORD>(readState);
}
ULONGLONG withPosition(ULONGLONG readState, DWORD read) {
    return (readState & ~ULONGLONG{0xFFFFFFFF}) | read;
}
ULONGLONG nextFlush(ULONGLONG readState, DWORD write) {
    return ((readState >> 32) + 1) << 32 | write;
}

} // namespace

bool KQ_AV_RingBuffer::Allocate(DWORD capacity) {
    buffer_ = {};
    capacity_ = 0;
    write_.store(0, std::memory_order_relaxed);
    read_.store(0, std::memory_order_relaxed);
    capacity &= ~DWORD{3};
    if (capacity == 0)
        return true;
    buffer_ = platform::RingMemory(capacity);
    if (!buffer_)
        return false;
    capacity_ = capacity;
    return true;
}

DWORD KQ_AV_RingBuffer::used(DWORD read, DWORD write) const {
    return write >= read ? write - read : capacity_ - read + write;
}

DWORD KQ_AV_RingBuffer::loadWord(DWORD offset) const {
    const BYTE* p = buffer_.get() + offset;
    return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24;
}

void KQ_AV_RingBuffer::copyIn(DWORD offset, const BYTE* source, DWORD count) {
    if (offset == capacity_)
        offset = 0;
    const DWORD first = std::min(count, capacity_ - offset);
    std::memcpy(buffer_.get() + offset, source, first);
    std::memcpy(buffer_.get(), source + first, count - first);
}

void KQ_AV_RingBuffer::copyOut(DWORD offset, BYTE* destination, DWORD count) const {
    if (offset == capacity_)
        offset = 0;
    const DWORD first = std::min(count, capacity_ - offset);
    std::memcpy(destination, buffer_.get() + offset, first);
    std::memcpy(destination + first, buffer_.get(), count - first);
}

DWORD KQ_AV_RingBuffer::Write(const void* data, DWORD length, DWORD* recordSizeOut) {
    if (length == 0)
        return AV_RING_ZERO_LENGTH;
    if (!buffer_ || length > capacity_)
        return AV_RING_FULL;
    const DWORD size = static_cast<DWORD>(recordSize(length));
    const DWORD write = write_.load(std::memory_order_relaxed);
    const DWORD read = position(read_.load(std::memory_order_acquire));
    const DWORD free = read > write ? read - write : capacity_ - write + read;
    if (size >= free)
        return AV_RING_FULL;

    const BYTE header[kWord] = {BYTE(length), BYTE(length >> 8), BYTE(length >> 16), BYTE(length >> 24)};
    std::memcpy(buffer_.get() + write, header, kWord);
    // Only the data is copied; when just the padding passes the end nothing is written at offset 0.
    copyIn(write + kWord, static_cast<const BYTE*>(data), length);
    const DWORD end = write + size;
    write_.store(end >= capacity_ ? end - capacity_ : end, std::memory_order_release);
    if (recordSizeOut)
        *recordSizeOut = size;
    return AV_RING_OK;
}

DWORD KQ_AV_RingBuffer::Read(void* destination, DWORD capacity, DWORD* length) {
    if (!buffer_)
        return AV_RING_EMPTY;
    const ULONGLONG readState = read_.load(std::memory_order_acquire);
    const DWORD read = position(readState);
    const DWORD write = write_.load(std::memory_order_acquire);
    const DWORD stored = used(read, write);
    if (stored == 0)
        return AV_RING_EMPTY;
    const DWORD dataLength = loadWord(read);
    if (dataLength == 0 || recordSize(dataLength) > stored)
        return AV_RING_EMPTY;
    const DWORD size = static_cast<DWORD>(recordSize(dataLength));
    *length = dataLength;
    DWORD result = AV_RING_TOO_LARGE;
    if (dataLength <= capacity) {
        copyOut(read + kWord, static_cast<BYTE*>(destination), dataLength);
        result = AV_RING_OK;
    }
    // A flush that came meanwhile wins: the writer may already be reusing the bytes just copied, so the
    // record is given up rather than the read position put back behind the flush.
    const DWORD end = read + size;
    ULONGLONG expected = readState;
    if (!read_.compare_exchange_strong(expected,
                                       withPosition(readState, end >= capacity_ ? end - capacity_ : end),
                                       std::memory_order_acq_rel))
        return AV_RING_EMPTY;
    return result;
}

bool KQ_AV_RingBuffer::oldest(ULONGLONG* readState, DWORD* dataLength) const {
    if (!buffer_)
        return false;
    *readState = read_.load(std::memory_order_acquire);
    const DWORD read = position(*readState);
    const DWORD stored = used(read, write_.load(std::memory_order_acquire));
    if (stored == 0)
        return false;
    *dataLength = loadWord(read);
    return *dataLength != 0 && recordSize(*dataLength) <= stored;
}

DWORD KQ_AV_RingBuffer::timestampAt(DWORD read) const {
    const DWORD at = read + kWord;
    return loadWord(at == capacity_ ? 0 : at);
}

bool KQ_AV_RingBuffer::PeekTimestamp(DWORD* timestamp) const {
    ULONGLONG readState = 0;
    DWORD dataLength = 0;
    if (!oldest(&readState, &dataLength) || dataLength < kWord)
        return false;
    *timestamp = timestampAt(position(readState));
    return true;
}

bool KQ_AV_RingBuffer::PeekUnitTimestamp(DWORD* timestamp) {
    ULONGLONG readState = 0;
    DWORD dataLength = 0;
    if (!oldest(&readState, &dataLength))
        return false;
    const DWORD read = position(readState);
    if (dataLength >= kWord) {
        *timestamp = timestampAt(read);
        return true;
    }
    // A flush that came meanwhile wins, as in Read.
    const DWORD end = read + static_cast<DWORD>(recordSize(dataLength));
    ULONGLONG expected = readState;
    read_.compare_exchange_strong(expected, withPosition(readState, end >= capacity_ ? end - capacity_ : end),
                                  std::memory_order_acq_rel);
    return false;
}

void KQ_AV_RingBuffer::Flush() {
    ULONGLONG state = read_.load(std::memory_order_relaxed);
    while (!read_.compare_exchange_weak(state, nextFlush(state, write_.load(std::memory_order_acquire)),
                                        std::memory_order_acq_rel))
        ;
}

DWORD KQ_AV_RingBuffer::UsedBytes() const {
    if (!buffer_)
        return 0;
    const DWORD read = position(read_.load(std::memory_order_acquire));
    return used(read, write_.load(std::memory_order_acquire));
}

DWORD KQ_AV_RingBuffer::FreePercent() const {
    if (!buffer_)
        return 100;
    const ULONGLONG free = capacity_ - UsedBytes();
    return static_cast<DWORD>(free * 100 / capacity_);
}

std::unique_ptr<KQ_AV_RingBuffer> MakeRingBuffer(DWORD capacity) {
    auto ring = std::make_unique<KQ_AV_RingBuffer>();
    if (!ring->Allocate(capacity))
        return nullptr;
    return ring;
}
