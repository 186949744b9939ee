// The decoder's one allocation routine: zero-filled blocks on 16-byte boundaries, taken only at creation.
#pragma once

#include <cstddef>

namespace h264 {

void* AlignedAllocZero(size_t size);
void AlignedFree(void* block); // null is ignored

} // namespace h264
