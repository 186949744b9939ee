// KQ_AV_Graph::SaveSnapshot: the renderer's current image, through a temporary bitmap file, saved by the
// image class in the format of the target's extension.
#include "media/Snapshot.h"

#include "media/AvGraph.h"
#include "media/GraphHelpers.h"
#include "platform/com/Com.h"
#include "platform/dshow/Vmr.h"
#include "platform/gdi/Image.h"
#include "platform/win32/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned long long kMaxImageBytes = 1ULL << 28;

bool writeAll(int fd, const void* data, size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// The temporary file, open and locked from its writing until the image class has read it back: every
// snapshot of this user (of this program or of another instance of it) goes through the one file, and a
// second one waits for the lock instead of rewriting the file under the first.
class LockedTemporary {
public:
    LockedTemporary() = default;
    LockedTemporary(const LockedTemporary&) = delete;
    LockedTemporary& operator=(const LockedTemporary&) = delete;
    ~LockedTemporary() {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }

    // Opens or creates the file, refusing a link (or anything but a plain file of its own) in its place,
    // takes the lock, and only then truncates it and writes the header and the image. The folder is this
    // user's private temporary folder.
    bool Write(const std::wstring& path, const BITMAPFILEHEADER& header, const BYTE* image,
               DWORD imageBytes) {
        fd_ = ::open(platform::NativePath(path).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return false;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != ::getuid())
            return false;
        int locked;
        while ((locked = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
        }
        return locked == 0 && ::ftruncate(fd_, 0) == 0 && writeAll(fd_, &header, sizeof header) &&
               writeAll(fd_, image, imageBytes);
    }

private:
    int fd_ = -1;
};

} // namespace

bool BuildSnapshotFileHeader(const BITMAPINFOHEADER& info, BITMAPFILEHEADER* header, DWORD* imageBytes) {
    if (info.biSize < sizeof(BITMAPINFOHEADER) || info.biSize > 124 || info.biWidth <= 0 ||
        info.biHeight == 0 || info.biBitCount == 0 || info.biBitCount > 32)
        return false;
    unsigned long long palette = info.biClrUsed;
    if (palette == 0 && info.biBitCount <= 8)
        palette = 1ULL << info.biBitCount;
    if (palette > 256)
        return false;
    const unsigned long long masks =
        info.biCompression == BI_BITFIELDS && info.biSize == sizeof(BITMAPINFOHEADER) ? 3 * sizeof(DWORD) : 0;
    unsigned long long pixels = info.biSizeImage;
    if (pixels == 0)
        pixels = ((static_cast<unsigned long long>(info.biWidth) * info.biBitCount + 31) / 32) * 4 *
                 static_cast<unsigned long long>(std::llabs(info.biHeight));
    const unsigned long long offset = sizeof(BITMAPFILEHEADER) + info.biSize + masks + 4 * palette;
    const unsigned long long image = info.biSize + masks + 4 * palette + pixels;
    if (image > kMaxImageBytes)
        return false;
    header->bfType = 0x4D42;
    header->bfSize = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + image);
    header->bfReserved1 = 0;
    header->bfReserved2 = 0;
    header->bfOffBits = static_cast<DWORD>(offset);
    *imageBytes = static_cast<DWORD>(image);
    return true;
}

HRESULT KQ_AV_Graph::SaveSnapshot(LPCWSTR targetPath) {
    if (!targetPath)
        return E_POINTER;
    BYTE* image = nullptr;
    platform::ComPtr<IVMRWindowlessControl9> nine;
    platform::ComPtr<IVMRWindowlessControl> seven;
    if (SUCCEEDED(
            FindGraphInterface(graph_, IID_IVMRWindowlessControl9, nine.ReleaseAndGetVoidAddressOf()))) {
        if (FAILED(nine->GetCurrentImage(&image)))
            return E_FAIL;
    } else if (SUCCEEDED(FindGraphInterface(graph_, IID_IVMRWindowlessControl,
                                            seven.ReleaseAndGetVoidAddressOf()))) {
        if (FAILED(seven->GetCurrentImage(&image)))
            return E_FAIL;
    } else {
        return E_FAIL;
    }
    if (!image)
        return E_FAIL;

    BITMAPINFOHEADER info;
    std::memcpy(&info, image, sizeof info);
    BITMAPFILEHEADER header{};
    DWORD imageBytes = 0;
    wchar_t folder[1024];
    const DWORD length = GetTempPathW(1024, folder);
    CImage picture;
    {
        LockedTemporary temporary;
        const bool written = BuildSnapshotFileHeader(info, &header, &imageBytes) && length > 0 &&
                             length < 1024 &&
                             temporary.Write(std::wstring(folder) + L"__tmp_.bmp", header, image, imageBytes);
        CoTaskMemFree(image);
        if (!written)
            return E_FAIL;
        picture.Load((std::wstring(folder) + L"__tmp_.bmp").c_str());
    }
    const HRESULT hr = picture.Save(targetPath);
    picture.Destroy();
    return hr;
}
