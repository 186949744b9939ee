#include "media/EsH264.h"

size_t EsRemoveEmulationBytes(const uint8_t* source, size_t length, uint8_t* destination) {
    size_t out = 0;
    size_t i = 0;
    while (i < length) {
        if (i + 3 < length && source[i] == 0 && source[i + 1] == 0 && source[i + 2] == 3) {
            destination[out++] = 0;
            destination[out++] = 0;
            i += 3;
        } else {
            destination[out++] = source[i++];
        }
    }
    return out;
}

namespace {

size_t leadingStartCode(const uint8_t* buffer, size_t length) {
    if (length >= 3 && buffer[0] == 0 && buffer[1] == 0 && buffer[2] == 1)
        return 3;
    if (length >= 4 && buffer[0] == 0 && buffer[1] == 0 && buffer[2] == 0 && buffer[3] == 1)
        return 4;
    return 0;
}

} // namespace

size_t EsFindStartCode(const uint8_t* buffer, size_t length) {
    for (size_t i = leadingStartCode(buffer, length); i + 2 < length; ++i) {
        if (buffer[i] == 0 && buffer[i + 1] == 0 && buffer[i + 2] == 1)
            return i > 0 && buffer[i - 1] == 0 ? i - 1 : i;
    }
    return 0;
}

void EsNalReader::Reset(const uint8_t* data, size_t length) {
    data_ = data;
    length_ = data ? length : 0;
    position_ = 0;
    unit_.clear();
}

bool EsNalReader::Next() {
    while (position_ < length_) {
        const uint8_t* rest = data_ + position_;
        const size_t restLength = length_ - position_;
        const size_t next = EsFindStartCode(rest, restLength);
        const size_t startCode = leadingStartCode(rest, restLength);
        if (startCode == 0) { // not at a start code: skip to the next one
            position_ = next == 0 ? length_ : position_ + next;
            continue;
        }
        const size_t end = next == 0 ? restLength : next;
        position_ += end;
        if (end > startCode) {
            unit_.assign(rest, rest + end);
            return true;
        }
    }
    return false;
}
