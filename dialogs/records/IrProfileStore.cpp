#include "dialogs/records/IrProfileStore.h"

#include "dialogs/records/Archive.h"
#include "platform/win32/Paths.h"

KQ_UI_IRProfileStore g_irProfileStore;

namespace {

constexpr std::size_t kPositionBytes = 4 + 4 + sizeof RemoterMapEntry::code;

// One profile as the file holds it; false (profile undefined) when the bytes end inside it.
bool readProfile(ArchiveReader& in, KQ_UI_IREntry& profile) {
    if (!in.getString(profile.name) || in.remaining() < kIrProfileKeys * kPositionBytes)
        return false;
    for (RemoterMapEntry& e : profile.entries) {
        in.getI32(e.key);
        in.getI32(e.learned);
        in.getBytes(e.code, sizeof e.code);
    }
    return true;
}

} // namespace

void KQ_UI_IREntry::Clear() {
    name.clear();
    entries.fill(RemoterMapEntry{});
}

int KQ_UI_IRProfileStore::OpenProfileArchive(const std::wstring& headerText, const std::wstring& rplPath) {
    header = headerText;
    path = rplPath;
    if (path.empty()) {
        profiles.clear();
        return 0;
    }
    if (PathFileExistsW(path.c_str()))
        return ReadProfileArchive(path);
    profiles.clear();
    empty = 1;
    return WriteProfileArchive(path);
}

std::vector<std::uint8_t> KQ_UI_IRProfileStore::Bytes() const {
    ArchiveWriter out;
    out.putString(header);
    out.putI32(empty);
    if (empty != 0)
        return out.bytes();
    out.putI32(static_cast<std::int32_t>(profiles.size()));
    for (const auto& [key, profile] : profiles) {
        out.putString(profile.name);
        for (const RemoterMapEntry& e : profile.entries) {
            out.putI32(e.key);
            out.putI32(e.learned);
            out.putBytes(e.code, sizeof e.code);
        }
    }
    return out.bytes();
}

int KQ_UI_IRProfileStore::WriteProfileArchive(const std::wstring& file) const {
    if (file.empty())
        return 0;
    return WriteArchiveFile(file, Bytes(), 0644) ? 1 : 0;
}

int KQ_UI_IRProfileStore::ReadProfileArchive(const std::wstring& file) {
    if (file.empty())
        return 0;
    profiles.clear();
    std::vector<std::uint8_t> bytes;
    if (!ReadArchiveFile(file, bytes))
        return 0;
    return Read(std::move(bytes));
}

int KQ_UI_IRProfileStore::Read(std::vector<std::uint8_t> bytes) {
    profiles.clear();
    ArchiveReader in(std::move(bytes));
    if (!in.getString(header) || !in.getI32(empty))
        return 0;
    if (empty != 0)
        return 1;
    std::int32_t count = 0;
    if (!in.getI32(count) || count < 0)
        return 0;
    for (std::int32_t i = 0; i < count;
         ++i) { // every profile takes bytes: a count past them ends in a failure
        KQ_UI_IREntry profile;
        if (!readProfile(in, profile))
            return 0;
        profiles.emplace(profile.name, std::move(profile));
    }
    return 1;
}

const std::list<std::wstring>& KQ_UI_IRProfileStore::ListProfileNames() {
    names.clear();
    for (const auto& [name, profile] : profiles)
        names.push_back(name);
    return names;
}

int KQ_UI_IRProfileStore::AddProfile(const std::wstring& name) {
    if (name.empty())
        return 1;
    KQ_UI_IREntry profile;
    profile.name = name;
    profiles.emplace(name, std::move(profile));
    empty = 0;
    return 1;
}

int KQ_UI_IRProfileStore::HasProfile(const std::wstring& name) const {
    return profiles.count(name) ? 1 : 0;
}

int KQ_UI_IRProfileStore::GetProfile(const std::wstring& name, KQ_UI_IREntry& out) const {
    const auto it = profiles.find(name);
    if (it == profiles.end())
        return 0;
    out = it->second;
    return 1;
}

bool KQ_UI_IRProfileStore::AssignProfile(const std::wstring& name, const KQ_UI_IREntry& profile) {
    const auto it = profiles.find(name);
    if (it == profiles.end())
        return false;
    it->second = profile;
    return true;
}

void KQ_UI_IRProfileStore::RemoveProfile(const std::wstring& name) {
    profiles.erase(name);
}
