#include "dialogs/records/ScheduleTable.h"

#include "dialogs/records/Archive.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const wchar_t* kScheduleFile = L".\\Setup\\schedule";
constexpr std::size_t kEntryBytes = 34;
constexpr std::size_t kRangeBytes = 16;

// How many of count records of the size the rest of the file holds whole.
std::uint32_t fitting(const ArchiveReader& in, std::uint32_t count, std::size_t size) {
    return static_cast<std::uint32_t>(std::min<std::size_t>(count, in.remaining() / size));
}

} // namespace

SCHEDULE_ENTRY g_currentScheduledEntry;

KQ_ScheduleTable::KQ_ScheduleTable() {
    std::memset(weekBitmap, 0, sizeof weekBitmap);
}

int KQ_ScheduleTable::Load() {
    std::vector<std::uint8_t> bytes;
    if (!ReadArchiveFile(kScheduleFile, bytes))
        return 0;
    return Read(bytes);
}

int KQ_ScheduleTable::Read(const std::vector<std::uint8_t>& bytes) {
    entries.clear();
    ranges.clear();
    ArchiveReader in(bytes);
    std::uint32_t count = 0;
    if (!in.getBytes(weekBitmap, sizeof weekBitmap) || !in.getU32(count))
        return 0;
    const std::uint32_t whole = fitting(in, count, kEntryBytes);
    for (std::uint32_t i = 0; i < whole; ++i) {
        SCHEDULE_ENTRY e;
        std::int32_t mask = 0;
        in.getU16(e.mode);
        in.getI32(e.id);
        in.getI32(mask);
        in.getI64(e.start);
        in.getI32(e.lengthMinutes);
        in.getI32(e.source);
        in.getI32(e.channel);
        in.getI32(e.afterAction);
        e.dayMask = static_cast<std::uint32_t>(mask);
        entries.push_back(e);
    }
    if (whole < count || !in.getU32(count))
        return 0;
    const std::uint32_t wholeRanges = fitting(in, count, kRangeBytes);
    for (std::uint32_t i = 0; i < wholeRanges; ++i) {
        ScheduleWeekRange r;
        in.getI64(r.owner);
        in.getI32(r.startMinute);
        in.getI32(r.endMinute);
        ranges.push_back(r);
    }
    return wholeRanges == count ? 1 : 0;
}

std::vector<std::uint8_t> KQ_ScheduleTable::Bytes() const {
    ArchiveWriter out;
    out.putBytes(weekBitmap, sizeof weekBitmap);
    out.putI32(static_cast<std::int32_t>(entries.size()));
    for (const SCHEDULE_ENTRY& e : entries) {
        out.putU16(e.mode);
        out.putI32(e.id);
        out.putI32(static_cast<std::int32_t>(e.dayMask));
        out.putI64(e.start);
        out.putI32(e.lengthMinutes);
        out.putI32(e.source);
        out.putI32(e.channel);
        out.putI32(e.afterAction);
    }
    out.putI32(static_cast<std::int32_t>(ranges.size()));
    for (const ScheduleWeekRange& r : ranges) {
        out.putI64(r.owner);
        out.putI32(r.startMinute);
        out.putI32(r.endMinute);
    }
    return out.bytes();
}

int KQ_ScheduleTable::Save() const {
    return WriteArchiveFile(kScheduleFile, Bytes(), 0644) ? 1 : 0;
}

int KQ_ScheduleTable::AddEntry(const SCHEDULE_ENTRY& entry) {
    entries.push_back(entry);
    return static_cast<int>(entries.size()) - 1;
}

SCHEDULE_ENTRY* KQ_ScheduleTable::EntryAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size())
        return nullptr;
    return &entries[static_cast<std::size_t>(index)];
}

void KQ_ScheduleTable::RemoveEntry(std::int32_t id) {
    const auto it = std::find_if(entries.begin(), entries.end(), [id](const auto& e) { return e.id == id; });
    if (it != entries.end())
        entries.erase(it);
    RemoveRanges(id);
}

int KQ_ScheduleTable::RemoveRanges(std::int32_t id) {
    const bool last = !ranges.empty() && ranges.back().owner == id;
    std::erase_if(ranges, [id](const ScheduleWeekRange& r) { return r.owner == id; });
    return last ? 1 : 0;
}

void KQ_ScheduleTable::ClearAll() {
    std::memset(weekBitmap, 0, sizeof weekBitmap);
    entries.clear();
    ranges.clear();
}

std::int32_t KQ_ScheduleTable::NewEntryId(std::int64_t start) const {
    const auto held = [this](std::int32_t id) {
        return std::any_of(entries.begin(), entries.end(), [id](const auto& e) { return e.id == id; }) ||
               std::any_of(ranges.begin(), ranges.end(), [id](const auto& r) { return r.owner == id; });
    };
    auto id = static_cast<std::uint32_t>(static_cast<std::uint64_t>(start));
    while (held(static_cast<std::int32_t>(id)))
        ++id;
    return static_cast<std::int32_t>(id);
}
