#include "app/FileFailure.h"

#include "app/ErrorInfoDlg.h"
#include "app/Language.h"
#include "media/Player.h"
#include "platform/win32/Paths.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace {

enum class Shape { Missing, Unreadable, NotMp4, Broken, Sound };

std::uint64_t bigEndian(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

bool mp4Start(const unsigned char* type) {
    static constexpr std::array<const char*, 6> kFirst = {"ftyp", "moov", "mdat", "free", "skip", "wide"};
    for (const char* t : kFirst)
        if (std::equal(t, t + 4, type))
            return true;
    return false;
}

// The top-level boxes of an MP4 file, walked by their sizes: they must tile the file exactly, start with
// a box an MP4 file starts with, and include the movie box (a recording cut short has none, or a box
// that runs past the end).
Shape shapeOf(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return Shape::Missing;
    std::ifstream in(file, std::ios::binary);
    const std::uint64_t size = std::filesystem::file_size(file, ec);
    if (!in || ec)
        return Shape::Unreadable;
    constexpr int kMaxBoxes = 100000;
    std::uint64_t offset = 0;
    bool movie = false;
    for (int count = 0; offset < size && count < kMaxBoxes; ++count) {
        unsigned char header[16];
        const std::uint64_t left = size - offset;
        in.seekg(static_cast<std::streamoff>(offset));
        if (left < 8 || !in.read(reinterpret_cast<char*>(header), 8))
            return count == 0 ? Shape::NotMp4 : Shape::Broken;
        if (count == 0 && !mp4Start(header + 4))
            return Shape::NotMp4;
        std::uint64_t boxSize = bigEndian(header, 4);
        std::uint64_t headerSize = 8;
        if (boxSize == 1) {
            if (left < 16 || !in.read(reinterpret_cast<char*>(header + 8), 8))
                return Shape::Broken;
            boxSize = bigEndian(header + 8, 8);
            headerSize = 16;
        } else if (boxSize == 0) {
            boxSize = left; // the last box runs to the end of the file
        }
        if (boxSize < headerSize || boxSize > left)
            return count == 0 ? Shape::NotMp4 : Shape::Broken;
        movie = movie || std::equal(header + 4, header + 8, "moov");
        offset += boxSize;
    }
    return movie && offset == size ? Shape::Sound : Shape::Broken;
}

} // namespace

std::wstring FileFailureKey(const std::wstring& path, HRESULT played) {
    switch (shapeOf(platform::NativePath(path))) {
    case Shape::Missing:
        return L"KQ_S_FILE_NOT_FOUND";
    case Shape::Unreadable:
        return L"KQ_S_FILE_NOT_READABLE";
    case Shape::NotMp4:
        return L"KQ_S_FILE_NOT_MP4";
    case Shape::Broken:
        return L"KQ_S_FILE_DAMAGED";
    case Shape::Sound:
        break;
    }
    return played == KQ_AV_E_FILE_GRAPH ? L"KQ_S_FILE_NO_GRAPH" : KQ_UI_ErrorInfoDlg::SummaryKey(played);
}

std::wstring FileFailureMessage(const std::wstring& path, HRESULT played) {
    const std::size_t cut = path.find_last_of(L"\\/");
    const std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    const std::wstring reason = LoadLanguageString(FileFailureKey(path, played));
    return LoadLanguageString(L"KQ_S_AV_E_FILE") + L"\r\n\r\n" + name + L"\r\n" + reason;
}
