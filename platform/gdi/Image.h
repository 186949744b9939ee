// The image class of the snapshot: loads a BMP or JPEG file (told apart by its content) and saves it again
// with the encoder that claims the target's extension, compared case-insensitively: ".bmp", ".dib" and
// ".rle" give a 32-bit bitmap, ".jpg", ".jpeg", ".jpe" and ".jfif" a JPEG (libjpeg-turbo). Any other
// extension has no encoder and fails with E_FAIL. The image owns a 32-bit DIB section, which it deletes.
#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class CImage {
public:
    CImage() = default;
    ~CImage();
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    // Replaces the image; E_FAIL (and an empty image) when the file cannot be read or decoded.
    HRESULT Load(LPCWSTR path);
    // E_FAIL for an empty image, an extension without encoder or a file that cannot be written.
    HRESULT Save(LPCWSTR path) const;
    void Destroy();

    bool IsNull() const { return bitmap_ == nullptr; }
    int GetWidth() const;
    int GetHeight() const;
    operator HBITMAP() const { return bitmap_; }

private:
    HBITMAP bitmap_ = nullptr;
};

namespace platform::gdi {

constexpr int kJpegQuality = 90;

std::optional<Dib> DecodeJpeg(std::span<const std::uint8_t> file);
std::vector<std::uint8_t> EncodeJpeg(const Dib& image, int quality);

} // namespace platform::gdi
