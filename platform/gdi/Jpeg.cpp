// JPEG through libjpeg-turbo. libjpeg reports errors by calling error_exit, which here jumps back to the
// call; nothing with a destructor is created between the setjmp and the libjpeg calls it guards.
#include "platform/gdi/Bmp.h"
#include "platform/gdi/Image.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace platform::gdi {
namespace {

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}

void silent(j_common_ptr) {}

} // namespace

std::optional<Dib> DecodeJpeg(std::span<const std::uint8_t> file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8)
        return std::nullopt;
    Dib dib; // sized only after the header is known; the jump target below keeps it valid
    jpeg_decompress_struct info{};
    ErrorJump error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOnError;
    error.manager.output_message = silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        static_cast<std::int64_t>(info.image_width) * info.image_height > kMaxImagePixels ||
        info.image_width == 0 || info.image_height == 0) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    dib.width = static_cast<int>(info.output_width);
    dib.height = static_cast<int>(info.output_height);
    dib.pixels.resize(static_cast<size_t>(dib.width) * static_cast<size_t>(dib.height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            dib.pixels.data() + static_cast<size_t>(info.output_scanline) * static_cast<size_t>(dib.width));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    for (std::uint32_t& p : dib.pixels)
        p &= 0x00FFFFFFu;
    return dib;
}

std::vector<std::uint8_t> EncodeJpeg(const Dib& image, int quality) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct info{};
    ErrorJump error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOnError;
    error.manager.output_message = silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            const_cast<std::uint32_t*>(image.pixels.data() + static_cast<size_t>(info.next_scanline) *
                                                                 static_cast<size_t>(image.width)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

} // namespace platform::gdi
