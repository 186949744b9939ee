// Bit reader over an elementary-stream payload (emulation prevention already removed), most
// significant bit first, with a one-level look-ahead and the Exp-Golomb codes of H.264.
// The reader borrows the bytes it is given; they must outlive it.
#pragma once

#include <cstddef>
#include <cstdint>

// Thrown by every read past the end of the data and by a request of more than 32 bits. The parse
// routines of EsH264.h catch it and report -1.
enum BitstreamErr_t { BitstreamErrPastEnd, BitstreamErrTooManyBits };

class EsBitReader {
public:
    EsBitReader(const uint8_t* data, size_t length);

    // The next n bits (0 to 32) as an unsigned value; n = 0 gives 0.
    uint32_t GetBits(uint32_t n);
    // The same value, leaving the reader where it was.
    uint32_t PeekBits(uint32_t n);
    // Saves the read position (on) or returns to the saved one (off).
    void Bookmark(bool on);
    uint64_t BitsRemain() const { return bitsInByte_ + bitsRemaining_; }

private:
    struct Position {
        uint32_t bitsInByte = 0; // unread bits of the current byte
        uint8_t current = 0;
        const uint8_t* next = nullptr;
        uint64_t bitsRemaining = 0; // unread bits after the current byte
    };
    uint32_t bitsInByte_ = 0;
    uint8_t current_ = 0;
    const uint8_t* next_ = nullptr;
    uint64_t bitsRemaining_ = 0;
    Position bookmark_;
    bool bookmarked_ = false;
};

// ue(v): unsigned Exp-Golomb.
uint32_t EsReadUe(EsBitReader& reader);
// se(v): code k gives (k + 1) / 2 when k is odd, -(k / 2) when even.
int32_t EsReadSe(EsBitReader& reader);
// Reads and discards one scaling list of 16 or 64 entries.
void EsSkipScalingList(EsBitReader& reader, uint32_t size);
