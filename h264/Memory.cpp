#include "h264/Memory.h"

#include <cstdint>
#include <cstdlib>

namespace h264 {

namespace {

// The distance to the aligned address (1..16) is kept in the byte just before it.
void* align(void* block) {
    if (!block)
        return nullptr;
    auto* raw = static_cast<uint8_t*>(block);
    const size_t shift = 16 - (reinterpret_cast<uintptr_t>(raw) & 15);
    uint8_t* aligned = raw + shift;
    aligned[-1] = uint8_t(shift);
    return aligned;
}

} // namespace

void* AlignedAllocZero(size_t size) {
    return size > SIZE_MAX - 16 ? nullptr : align(std::calloc(1, size + 16));
}

void* AlignedAlloc(size_t size) {
    return size > SIZE_MAX - 16 ? nullptr : align(std::malloc(size + 16));
}

void AlignedFree(void* block) {
    if (!block)
        return;
    auto* aligned = static_cast<uint8_t*>(block);
    std::free(aligned - aligned[-1]);
}

} // namespace h264
