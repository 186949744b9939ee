// KQ_AV_RingBuffer: the lock-free queue of variable-length records that carries media units between two
// threads (the live input rings, the GOP caches, the record rings). Each record is a little-endian u32
// length L (L >= 1), the L data bytes and 0 to 3 padding bytes up to a multiple of 4; the data may wrap to
// offset 0, the length word never does. The ring is never completely full, so read = write means empty.
//
// Threads: one writer (Write) and one reader (Read, PeekTimestamp, PeekUnitTimestamp); each side publishes
// its position with one release store after the bytes it covers are complete. Flush may come from a third
// thread; it wins over a read in progress (that read reports an empty ring), so the read position never falls
// back behind bytes the writer may already reuse. UsedBytes and FreePercent may be asked from any thread.
// Allocate runs before either side starts.
#pragma once

#include "platform/win32/RingMemory.h"
#include "platform/win32/Types.h"

#include <atomic>
#include <memory>

enum AvRingResult : DWORD {
    AV_RING_OK = 0,
    AV_RING_EMPTY = 0x01020003,       // empty, no buffer, or the oldest record is not (yet) consistent
    AV_RING_FULL = 0x01020004,        // the record does not fit; nothing stored
    AV_RING_ZERO_LENGTH = 0x01020005, // nothing to store
    AV_RING_TOO_LARGE = 0x01020006,   // the oldest record exceeds the destination; it was removed unread
};

class KQ_AV_RingBuffer {
public:
    KQ_AV_RingBuffer() = default;
    virtual ~KQ_AV_RingBuffer() = default;
    KQ_AV_RingBuffer(const KQ_AV_RingBuffer&) = delete;
    KQ_AV_RingBuffer& operator=(const KQ_AV_RingBuffer&) = delete;

    // Replaces any previous buffer with capacity bytes (rounded down to a multiple of 4) of zeros, both
    // positions 0. false when the memory cannot be had; the ring then has no buffer.
    bool Allocate(DWORD capacity);

    // Appends one record of length bytes; recordSize, when given, receives the bytes it takes in the ring.
    DWORD Write(const void* data, DWORD length, DWORD* recordSize = nullptr);
    // Removes the oldest record. On AV_RING_OK its L data bytes are in destination (no padding is copied)
    // and L in *length; on AV_RING_TOO_LARGE (L above capacity) *length is L and the record is gone.
    DWORD Read(void* destination, DWORD capacity, DWORD* length);
    // The timestamp of the oldest record, that is its first 4 data bytes read as a little-endian u32; false
    // when the ring is empty or that record is shorter than 4 bytes or not complete.
    bool PeekTimestamp(DWORD* timestamp) const;
    // As PeekTimestamp, for a reader that waits for timestamps: a record too short to hold one is removed,
    // so that it cannot hold the ring up. Both the look and the removal see one state of the ring, so a
    // record that arrives meanwhile is never taken for it.
    bool PeekUnitTimestamp(DWORD* timestamp);

    // Drops everything stored: read position := write position.
    void Flush();

    DWORD Capacity() const { return capacity_; }
    DWORD UsedBytes() const;
    // Free bytes * 100 / capacity, rounded down; 100 for an empty ring and for a ring without buffer.
    DWORD FreePercent() const;

private:
    // The oldest record as the reader sees it now: the read state and the record's data length; false
    // when the ring is empty or the record is not complete.
    bool oldest(ULONGLONG* readState, DWORD* dataLength) const;
    DWORD timestampAt(DWORD read) const;
    DWORD used(DWORD read, DWORD write) const;
    DWORD loadWord(DWORD offset) const;
    // Copies count bytes between the ring at offset (wrapping at the end) and outside memory.
    void copyIn(DWORD offset, const BYTE* source, DWORD count);
    void copyOut(DWORD offset, BYTE* destination, DWORD count) const;

    std::atomic<DWORD> write_{0};
    // The read position and a count of flushes: a reader whose read met a flush sees the count changed,
    // even when the flush put the position back to the very value it started from.
    std::atomic<ULONGLONG> read_{0};
    DWORD capacity_ = 0;
    platform::RingMemory buffer_;
};

// A ring with its buffer allocated; null when the memory cannot be had.
std::unique_ptr<KQ_AV_RingBuffer> MakeRingBuffer(DWORD capacity);
