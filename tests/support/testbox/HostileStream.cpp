#include "tests/support/testbox/HostileStream.h"

#include <random>

namespace testbox {

namespace {

// The audio (10 + 16 k) and video (15 + 16 k) types of every generation, and the download's 11, 13, 14.
bool isRecordType(std::uint8_t b) {
    return (b & 0x0F) == 10 || (b & 0x0F) == 15 || b == 11 || b == 13 || b == 14;
}

} // namespace

StreamBytes BadRecordHeader(std::uint8_t type) {
    return {type, 0xFE, 0x07}; // n = 2046
}

StreamBytes Garbage(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    StreamBytes bytes;
    while (bytes.size() < size) {
        const auto b = static_cast<std::uint8_t>(random());
        if (!isRecordType(b))
            bytes.push_back(b);
    }
    return bytes;
}

StreamBytes UselessRecords(std::size_t size) {
    return StreamBytes(size - size % 3, 0); // type 0, n = 0
}

} // namespace testbox
