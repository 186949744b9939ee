#include "dialogs/records/UserRecord.h"

#include "dialogs/records/Archive.h"

#include <algorithm>

namespace {

constexpr const wchar_t* kUserRecordFile = L".\\Setup\\userec.urc";

} // namespace

void KQ_UI_UserRecord::AddLoginId(const std::wstring& id) {
    if (std::find(loginIds.begin(), loginIds.end(), id) == loginIds.end())
        loginIds.push_back(id);
}

int KQ_UI_UserRecord::Save() const {
    ArchiveWriter out;
    out.putString(text1);
    out.putString(text2);
    out.putString(text3);
    out.putI32(value);
    out.putString(text4);
    out.putI32(static_cast<std::int32_t>(loginIds.size()));
    for (const std::wstring& id : loginIds)
        out.putString(id);
    return WriteArchiveFile(kUserRecordFile, out.bytes(), 0600) ? 1 : 0;
}

int KQ_UI_UserRecord::Load() {
    std::vector<std::uint8_t> bytes;
    if (!ReadArchiveFile(kUserRecordFile, bytes))
        return 0;
    return Read(std::move(bytes));
}

int KQ_UI_UserRecord::Read(std::vector<std::uint8_t> bytes) {
    ArchiveReader in(std::move(bytes));
    if (!in.getString(text1) || !in.getString(text2) || !in.getString(text3) || !in.getI32(value) ||
        !in.getString(text4))
        return 0;
    std::int32_t count = 0;
    // Every string takes at least one byte: a count beyond what is left is a damaged file.
    if (!in.getI32(count) || count < 0 || static_cast<std::size_t>(count) > in.remaining())
        return 0;
    loginIds.resize(static_cast<std::size_t>(count));
    for (std::wstring& id : loginIds)
        if (!in.getString(id))
            return 0;
    return 1;
}
