#include "media/EsBitReader.h"

#include <algorithm>
#include <array>

EsBitReader::EsBitReader(const uint8_t* data, size_t length)
    : next_(data), bitsRemaining_(static_cast<uint64_t>(length) * 8) {}

uint32_t EsBitReader::GetBits(uint32_t n) {
    if (n > 32)
        throw BitstreamErrTooManyBits;
    if (n > BitsRemain())
        throw BitstreamErrPastEnd;
    uint32_t value = 0;
    while (n > 0) {
        if (bitsInByte_ == 0) {
            current_ = *next_++;
            bitsInByte_ = 8;
            bitsRemaining_ -= 8;
        }
        const uint32_t take = std::min(n, bitsInByte_);
        const uint32_t bits = (current_ >> (bitsInByte_ - take)) & ((1u << take) - 1);
        value = (value << take) | bits;
        bitsInByte_ -= take;
        n -= take;
    }
    return value;
}

uint32_t EsBitReader::PeekBits(uint32_t n) {
    Bookmark(true);
    try {
        const uint32_t value = GetBits(n);
        Bookmark(false);
        return value;
    } catch (BitstreamErr_t) {
        Bookmark(false);
        throw;
    }
}

void EsBitReader::Bookmark(bool on) {
    if (on) {
        bookmark_ = {bitsInByte_, current_, next_, bitsRemaining_};
        bookmarked_ = true;
    } else if (bookmarked_) {
        bitsInByte_ = bookmark_.bitsInByte;
        current_ = bookmark_.current;
        next_ = bookmark_.next;
        bitsRemaining_ = bookmark_.bitsRemaining;
        bookmarked_ = false;
    }
}

namespace {

constexpr std::array<uint8_t, 256> makeLeadingZeros() {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        uint8_t zeros = 0;
        for (int bit = 7; bit >= 0 && !(v & (1 << bit)); --bit)
            ++zeros;
        table[v] = zeros;
    }
    return table;
}
constexpr std::array<uint8_t, 256> kLeadingZeros = makeLeadingZeros();

} // namespace

uint32_t EsReadUe(EsBitReader& reader) {
    uint32_t zeros = 0;
    for (;;) {
        const uint32_t look = static_cast<uint32_t>(std::min<uint64_t>(8, reader.BitsRemain()));
        if (look == 0)
            throw BitstreamErrPastEnd;
        const uint32_t byte = reader.PeekBits(look) << (8 - look);
        if (byte != 0) {
            const uint32_t lead = kLeadingZeros[byte];
            reader.GetBits(lead);
            zeros += lead;
            break;
        }
        reader.GetBits(look);
        zeros += look;
        if (zeros >= 32) // a 33-bit code cannot follow
            throw BitstreamErrTooManyBits;
    }
    return reader.GetBits(zeros + 1) - 1;
}

int32_t EsReadSe(EsBitReader& reader) {
    const uint32_t k = EsReadUe(reader);
    return (k & 1) ? static_cast<int32_t>((k + 1) / 2) : -static_cast<int32_t>(k / 2);
}

void EsSkipScalingList(EsBitReader& reader, uint32_t size) {
    int64_t lastScale = 8;
    int64_t nextScale = 8;
    for (uint32_t j = 0; j < size; ++j) {
        if (nextScale != 0) {
            const int64_t delta = EsReadSe(reader);
            nextScale = ((lastScale + delta) % 256 + 256) % 256;
        }
        if (nextScale != 0)
            lastScale = nextScale;
    }
}
