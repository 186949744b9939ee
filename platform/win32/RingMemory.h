// The memory of the byte rings between threads (the stream, input and record rings): zero, and committed
// when it is made, so that filling a ring never stops at a fresh page; and kept out of any child process
// that the program or a library forks (the sound library's bus autolaunch does, as live view starts), whose
// copy-on-write sharing would make the next write to every page of the ring fault once more.
#pragma once

#include "platform/win32/Types.h"

#include <cstddef>

namespace platform {

class RingMemory {
public:
    RingMemory() = default;
    // Empty (null get()) for 0 bytes or when the memory cannot be had.
    explicit RingMemory(std::size_t bytes);
    ~RingMemory();
    RingMemory(RingMemory&& other) noexcept;
    RingMemory& operator=(RingMemory&& other) noexcept;
    RingMemory(const RingMemory&) = delete;
    RingMemory& operator=(const RingMemory&) = delete;

    BYTE* get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    BYTE* data_ = nullptr;
    std::size_t bytes_ = 0;
};

} // namespace platform
