#include "boxlink/StreamDownload.h"

#include "boxlink/BoxClient.h"
#include "boxlink/BoxMessages.h"
#include "boxlink/WindowPost.h"
#include "platform/win32/Paths.h"
#include "platform/win32/Text.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kNameBytes = 32;

bool refusedCharacter(wchar_t c) {
    return c == L'/' || c == L'\\' || c == L':' || c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

} // namespace

std::optional<std::wstring> DownloadFileName(const BYTE* field, DWORD size) {
    const DWORD limit = std::min(size, kNameBytes);
    const BYTE* end = std::find(field, field + limit, BYTE{0});
    const std::wstring name =
        platform::FromLegacy(std::string_view(reinterpret_cast<const char*>(field), end - field));
    if (name.empty() || name == L"." || name == L".." ||
        std::any_of(name.begin(), name.end(), refusedCharacter))
        return std::nullopt;
    return name;
}

StreamDownload::StreamDownload(KQ_TCP_BoxClient& client) : client_(client), block_(new BYTE[kBlock]) {}

StreamDownload::~StreamDownload() {
    close();
}

void StreamDownload::Begin(const BYTE* body, DWORD n) {
    ring_.Reset();
    close();
    received_ = 0;
    failed_ = true;
    // Byte 0 of the body is not used; the name follows.
    const std::optional<std::wstring> name = n > 1 ? DownloadFileName(body + 1, n - 1) : std::nullopt;
    if (!name)
        return;
    std::wstring path = client_.DownloadFolder();
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    path += *name;
    file_ = std::fopen(platform::NativePath(path).c_str(), "wb");
    failed_ = file_ == nullptr;
    if (file_)
        std::setvbuf(file_, nullptr, _IONBF, 0); // each block goes to the disk as one write
}

void StreamDownload::Data(const BYTE* body, DWORD n) {
    if (!ring_.Write(body, n))
        return;
    received_ += n;
    if (ring_.Stored() >= kBlock)
        append(kBlock);
    published_ = received_; // after the write: what the count says has come in is on the disk in blocks
}

void StreamDownload::End() {
    const DWORD rest = ring_.Stored();
    if (rest > 0 && rest < kBlock)
        append(rest);
    const bool opened = file_ != nullptr;
    close();
    const bool failed = failed_ || !opened;
    ring_.Reset();
    received_ = 0;
    failed_ = true;
    PostToWindow(client_.Channel().FileRequestWindow(), WM_BOX_FILE_RECEIVED, failed ? 1 : 0);
}

void StreamDownload::Abandon() {
    close();
    ring_.Reset();
    received_ = 0;
}

void StreamDownload::append(DWORD bytes) {
    if (!ring_.Read(bytes, block_.get()))
        return;
    // Without a file (refused name, failed create or write) the data are taken out of the ring and dropped.
    if (file_ && !failed_ && std::fwrite(block_.get(), 1, bytes, file_) != bytes)
        failed_ = true;
}

void StreamDownload::close() {
    if (!file_)
        return;
    if (std::fclose(file_) != 0)
        failed_ = true;
    file_ = nullptr;
}
