// The pixel memory of a video picture: a memory file mapped shared, so that the display server can map
// the same pages and show the picture without it being copied (platform/mfc/PictureWindow.h). Where no
// memory file can be made it is ordinary memory and has no descriptor. Not cleared: the renderer writes
// every pixel before the picture is shown.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::dshow {

class PictureMemory {
public:
    PictureMemory() = default;
    // Room for `pixels` pixels; empty (null get()) when the memory cannot be had.
    explicit PictureMemory(std::size_t pixels);
    ~PictureMemory();
    PictureMemory(PictureMemory&& other) noexcept;
    PictureMemory& operator=(PictureMemory&& other) noexcept;
    PictureMemory(const PictureMemory&) = delete;
    PictureMemory& operator=(const PictureMemory&) = delete;

    std::uint32_t* get() const { return pixels_; }
    std::uint32_t& operator[](std::size_t index) const { return pixels_[index]; }
    explicit operator bool() const { return pixels_ != nullptr; }
    // The memory file behind the pixels, open for as long as they live; -1 for ordinary memory.
    int Descriptor() const { return fd_; }

private:
    void release();

    std::uint32_t* pixels_ = nullptr;
    std::size_t bytes_ = 0;
    int fd_ = -1;
};

} // namespace platform::dshow
