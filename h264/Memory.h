// The decoder's allocation routines: blocks on 16-byte boundaries, taken only at creation; zero-filled
// except the frame-buffer pool, whose buffers are filled when they are first taken.
#pragma once

#include <cstddef>

namespace h264 {

void* AlignedAllocZero(size_t size);
void* AlignedAlloc(size_t size); // contents undefined
void AlignedFree(void* block);   // null is ignored, either kind

} // namespace h264
