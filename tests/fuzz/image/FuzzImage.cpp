// The image file readers: bitmap and JPEG decoding of untrusted files.
#include "platform/gdi/Bmp.h"
#include "platform/gdi/Image.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (auto image = platform::gdi::DecodeBmp(bytes))
        platform::gdi::EncodeBmp(*image, 24);
    platform::gdi::DecodeJpeg(bytes);
    return 0;
}
