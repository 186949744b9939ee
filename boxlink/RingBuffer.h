// KQ_TCP_RingBuffer: the byte ring between a socket thread (the only writer) and a parser thread (the only
// reader). Positions are byte offsets into the buffer the ring owns; it holds at most size - 1 bytes.
//
// Threads: Write from the writer, Read, Peek and Reset from the reader; the size queries from either. A
// Reset discards what is stored when it runs; bytes the writer adds afterwards stay.
#pragma once

#include "platform/win32/RingMemory.h"
#include "platform/win32/Types.h"

#include <atomic>

class KQ_TCP_RingBuffer {
public:
    explicit KQ_TCP_RingBuffer(DWORD size); // zero-filled; a size of 0 gives a ring without buffer
    virtual ~KQ_TCP_RingBuffer();
    KQ_TCP_RingBuffer(const KQ_TCP_RingBuffer&) = delete;
    KQ_TCP_RingBuffer& operator=(const KQ_TCP_RingBuffer&) = delete;

    // 1 with all n bytes stored (and n in *written), 0 without change when n is 0, there is no buffer, or n
    // is not smaller than the free bytes.
    int Write(const void* source, DWORD n, DWORD* written = nullptr);
    // 1 with n bytes copied out (and, for Read, consumed); 0 without change when there is no buffer, n is 0
    // or above the size, or fewer than n bytes are stored.
    int Read(DWORD n, void* destination);
    int Peek(DWORD n, void* destination) const;
    void Reset();

    DWORD Stored() const;
    DWORD Free() const;
    DWORD Size() const { return size_; }

private:
    bool copyOut(DWORD n, void* destination, DWORD& read) const;

    std::atomic<DWORD> write_{0};
    std::atomic<DWORD> read_{0};
    DWORD size_;
    platform::RingMemory buffer_;
};
