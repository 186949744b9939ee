#include "dialogs/records/IrProfileBlob.h"

#include "platform/win32/Text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

constexpr std::size_t kCodeBytes = sizeof RemoterMapEntry::code;

std::uint32_t keyNumberOf(const std::uint8_t* code) {
    return code[0] | code[1] << 8 | code[2] << 16 | static_cast<std::uint32_t>(code[3]) << 24;
}

} // namespace

IrBlobResult BuildProfileUploadBlob(const KQ_UI_IRProfileStore& store, IrProfileBlob& blob) {
    FreeProfileUploadBlob(blob);
    std::vector<std::pair<std::string, const KQ_UI_IREntry*>> named;
    std::size_t size = 2;
    for (const auto& [key, profile] : store.profiles) {
        if (profile.name.empty())
            continue;
        std::string name = platform::ToLegacy(profile.name);
        if (name.size() > 255)
            return IrBlobResult::NameTooLong;
        std::size_t learned = 0;
        for (const RemoterMapEntry& e : profile.entries)
            learned += e.learned == 1;
        size += 2 + name.size() + learned * kCodeBytes;
        named.emplace_back(std::move(name), &profile);
    }
    if (named.size() > 255)
        return IrBlobResult::TooManyProfiles;
    if (size > kIrProfileBlobSize)
        return IrBlobResult::TooLarge;
    blob.start.reset(new (std::nothrow) std::uint8_t[kIrProfileBlobSize]);
    if (!blob.start)
        return IrBlobResult::NoMemory;
    std::uint8_t* p = blob.start.get();
    *p++ = kIrDataType;
    *p++ = static_cast<std::uint8_t>(named.size());
    for (const auto& [name, profile] : named) {
        *p++ = static_cast<std::uint8_t>(name.size());
        p = std::copy(name.begin(), name.end(), p);
        std::uint8_t* count = p++;
        *count = 0;
        for (const RemoterMapEntry& e : profile->entries) {
            if (e.learned == 1) {
                ++*count;
                p = std::copy(e.code, e.code + kCodeBytes, p);
            }
        }
    }
    blob.write = p;
    blob.written = static_cast<std::int32_t>(p - blob.start.get());
    return IrBlobResult::Built;
}

void FreeProfileUploadBlob(IrProfileBlob& blob) {
    blob.start.reset();
    blob.write = nullptr;
    blob.written = 0;
}

bool ReadBlobName(IrBlobCursor& cursor, std::wstring& name) {
    if (cursor.at == cursor.end)
        return false;
    const std::size_t n = *cursor.at++;
    if (static_cast<std::size_t>(cursor.end - cursor.at) < n)
        return false;
    name = platform::FromLegacy(std::string_view(reinterpret_cast<const char*>(cursor.at), n));
    cursor.at += n;
    return true;
}

bool ReadBlobCodes(IrBlobCursor& cursor, int count, std::vector<const std::uint8_t*>& codes) {
    codes.clear();
    if (count < 0 ||
        static_cast<std::size_t>(cursor.end - cursor.at) / kCodeBytes < static_cast<std::size_t>(count))
        return false;
    for (int i = 0; i < count; ++i, cursor.at += kCodeBytes)
        codes.push_back(cursor.at);
    return true;
}

bool ReadBlobProfile(IrBlobCursor& cursor, KQ_UI_IREntry& profile) {
    std::vector<const std::uint8_t*> codes;
    if (!ReadBlobName(cursor, profile.name) || cursor.at == cursor.end)
        return false;
    const int count = *cursor.at++;
    if (!ReadBlobCodes(cursor, count, codes))
        return false;
    for (const std::uint8_t* code : codes) {
        const std::uint32_t j = keyNumberOf(code);
        if (j < 1 || j > static_cast<std::uint32_t>(kIrProfileKeys))
            continue;
        RemoterMapEntry& e = profile.entries[j - 1];
        e.key = kFirstRemoteKeyId - 1 + static_cast<std::int32_t>(j);
        e.learned = 1;
        std::memcpy(e.code, code, kCodeBytes);
    }
    return true;
}

std::vector<KQ_UI_IREntry> ParseBoxIrData(const std::uint8_t* block, std::size_t length) {
    std::vector<KQ_UI_IREntry> whole;
    if (!block || length < 2)
        return whole;
    IrBlobCursor cursor{block + 2, block + length};
    for (int i = 0; i < block[1]; ++i) {
        KQ_UI_IREntry profile;
        if (!ReadBlobProfile(cursor, profile))
            break;
        whole.push_back(std::move(profile));
    }
    return whole;
}
