#include "platform/gdi/Image.h"

#include "platform/gdi/Bmp.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Text.h"

#include <fstream>
#include <iterator>
#include <string>

namespace {

enum class Encoder { None, Bmp, Jpeg };

Encoder encoderFor(LPCWSTR path) {
    const std::wstring text = path;
    const size_t dot = text.rfind(L'.');
    const size_t separator = text.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (separator != std::wstring::npos && dot < separator))
        return Encoder::None;
    const std::wstring extension = text.substr(dot);
    for (const wchar_t* e : {L".bmp", L".dib", L".rle"})
        if (platform::EqualsNoCase(extension, e))
            return Encoder::Bmp;
    for (const wchar_t* e : {L".jpg", L".jpeg", L".jpe", L".jfif"})
        if (platform::EqualsNoCase(extension, e))
            return Encoder::Jpeg;
    return Encoder::None;
}

} // namespace

CImage::~CImage() {
    Destroy();
}

void CImage::Destroy() {
    if (bitmap_)
        DeleteObject(bitmap_);
    bitmap_ = nullptr;
}

HRESULT CImage::Load(LPCWSTR path) {
    Destroy();
    if (!path)
        return E_FAIL;
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    if (!in)
        return E_FAIL;
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    auto image = platform::gdi::DecodeBmp(bytes);
    if (!image)
        image = platform::gdi::DecodeJpeg(bytes);
    if (!image)
        return E_FAIL;
    bitmap_ = platform::gdi::CreateBitmapFromDib(*image);
    return bitmap_ ? S_OK : E_FAIL;
}

HRESULT CImage::Save(LPCWSTR path) const {
    if (!bitmap_ || !path)
        return E_FAIL;
    const Encoder encoder = encoderFor(path);
    if (encoder == Encoder::None)
        return E_FAIL;
    const auto image = platform::gdi::ReadBitmap(bitmap_);
    if (!image)
        return E_FAIL;
    const std::vector<std::uint8_t> bytes =
        encoder == Encoder::Bmp ? platform::gdi::EncodeBmp(*image, 32)
                                : platform::gdi::EncodeJpeg(*image, platform::gdi::kJpegQuality);
    if (bytes.empty())
        return E_FAIL;
    std::ofstream out(platform::NativePath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.flush() ? S_OK : E_FAIL;
}

int CImage::GetWidth() const {
    BITMAP info{};
    return bitmap_ && GetObjectW(bitmap_, sizeof info, &info) ? info.bmWidth : 0;
}

int CImage::GetHeight() const {
    BITMAP info{};
    return bitmap_ && GetObjectW(bitmap_, sizeof info, &info) ? info.bmHeight : 0;
}
