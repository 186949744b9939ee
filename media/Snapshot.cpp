// KQ_AV_Graph::SaveSnapshot: the renderer's current image, written with a file header to a temporary
// bitmap, loaded into the image class and saved in the format the target's extension names.
#include "media/Graph.h"

#include "media/GraphInterfaces.h"
#include "platform/com/Com.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/Image.h"
#include "platform/win32/Paths.h"

#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr DWORD kTempPathChars = 1024;
constexpr WORD kBitmapType = 0x4D42; // "BM"

// The bytes of the renderer's image (header, colour table, pixels) and the offset of its pixels in a file.
struct ImageLayout {
    DWORD imageSize;
    DWORD pixelOffset;
};

ImageLayout layoutOf(const BITMAPINFOHEADER& header) {
    const DWORD paletteEntries = header.biBitCount <= 8 ? 1u << header.biBitCount : 0;
    return {header.biSize + header.biSizeImage + 4 * header.biClrUsed,
            static_cast<DWORD>(sizeof(BITMAPFILEHEADER)) + header.biSize + 4 * paletteEntries};
}

// The current image of the VMR-9 renderer, else of the VMR-7 one; null when neither gives one.
BYTE* currentImage(IGraphBuilder* graph) {
    BYTE* image = nullptr;
    if (const auto vmr9 = FindGraphFace<IVMRWindowlessControl9>(graph, IID_IVMRWindowlessControl9))
        return SUCCEEDED(vmr9->GetCurrentImage(&image)) ? image : nullptr;
    if (const auto vmr7 = FindGraphFace<IVMRWindowlessControl>(graph, IID_IVMRWindowlessControl))
        return SUCCEEDED(vmr7->GetCurrentImage(&image)) ? image : nullptr;
    return nullptr;
}

std::wstring temporaryBitmapPath() {
    wchar_t folder[kTempPathChars] = {};
    const DWORD length = GetTempPathW(kTempPathChars, folder);
    if (length == 0 || length >= kTempPathChars)
        return {};
    return std::wstring(folder, length) + L"__tmp_.bmp";
}

bool writeBitmap(const std::wstring& path, const BYTE* image) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, image, sizeof(header));
    const ImageLayout layout = layoutOf(header);
    const BITMAPFILEHEADER file{kBitmapType, static_cast<DWORD>(sizeof(BITMAPFILEHEADER)) + layout.imageSize,
                                0, 0, layout.pixelOffset};
    std::ofstream out(platform::NativePath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(image), layout.imageSize);
    return static_cast<bool>(out);
}

} // namespace

HRESULT KQ_AV_Graph::SaveSnapshot(const wchar_t* path) {
    BYTE* image = currentImage(graph_);
    if (!image)
        return E_FAIL;
    const std::wstring temporary = temporaryBitmapPath();
    const bool written = !temporary.empty() && writeBitmap(temporary, image);
    CoTaskMemFree(image);
    if (!written)
        return E_FAIL;
    CImage picture;
    picture.Load(temporary.c_str());
    return picture.Save(path);
}
