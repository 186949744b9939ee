// Bitmap files. Reading takes every uncompressed form Windows writes (1, 4 and 8 bits with a palette, 16
// bits as 5:5:5 or with bit-field masks, 24 and 32 bits, bottom-up or top-down, with the core, info, V4 or
// V5 header) and refuses everything else; every size, offset and count of the file is bounded before use.
// Writing makes 24-bit or 32-bit bottom-up files with an info header.
#pragma once

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_LOADFROMFILE = 0x10;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;

// Loads a bitmap file (LR_LOADFROMFILE, IMAGE_BITMAP only) as a 32-bit DIB section; cx and cy other than 0
// scale it. The name is a path of the code's form (platform/win32/Paths.h).
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);

namespace platform::gdi {

// Images larger than this many pixels are refused.
constexpr std::int64_t kMaxImagePixels = 1LL << 26;

std::optional<Dib> DecodeBmp(std::span<const std::uint8_t> file);
std::vector<std::uint8_t> EncodeBmp(const Dib& image, int bitCount); // 24 or 32

std::optional<Dib> ReadBmpFile(LPCWSTR path);
bool WriteBmpFile(LPCWSTR path, const Dib& image, int bitCount);

} // namespace platform::gdi
