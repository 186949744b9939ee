// The PC recording schedule: the entries the program itself starts at their time, with the minutes of the
// week they occupy, kept in ".\Setup\schedule". One table lives in the configuration for the whole run; the
// schedule page lists and deletes its entries, the PC task dialog adds them through TryReserve, and the main
// window's poll asks FindDue every 15 seconds. UI thread only.
//
// The file (little-endian): the 1260-byte week bitmap, u32 entry count, the entries (34 bytes each: u16
// mode, i32 id, u32 dayMask, i64 start, i32 lengthMinutes, i32 source, i32 channel, i32 afterAction; mode
// before id), u32 range count, the ranges (16 bytes each: owner low and high halves, startMinute,
// endMinute). An empty table is 1268 bytes.
#pragma once

#include <cstdint>
#include <vector>

struct SCHEDULE_ENTRY {
    std::int32_t id = 0;       // unique in the table; see KQ_ScheduleTable::NewEntryId
    std::uint16_t mode = 0;    // 0 once, 1 weekly; any other value is kept but never scheduled
    std::uint32_t dayMask = 0; // weekly days, one bit per nibble from Sunday (0x1) to Saturday (0x1000000)
    std::int64_t start = 0;    // seconds since 1970; of a weekly entry only the local time of day counts
    std::int32_t lengthMinutes = 0;
    std::int32_t source = 0; // 0 TV, 1 CV, 2 SV
    std::int32_t channel = 0;
    std::int32_t afterAction = 0; // 0 nothing, 1 close the program, 2 power off

    bool operator==(const SCHEDULE_ENTRY&) const = default;
};

// Minutes of the week (from Sunday 00:00, local time) that an entry occupies; end = start + length and may
// pass 10080 for a recording that runs over Saturday midnight.
struct ScheduleWeekRange {
    std::int64_t owner = 0; // the owning entry's id, sign-extended
    std::int32_t startMinute = 0;
    std::int32_t endMinute = 0;

    bool operator==(const ScheduleWeekRange&) const = default;
};

// The day bits of SCHEDULE_ENTRY::dayMask by weekday, Sunday first.
constexpr std::uint32_t kScheduleDayBits[7] = {0x1, 0x10, 0x100, 0x1000, 0x10000, 0x100000, 0x1000000};
constexpr std::int32_t kMinutesPerWeek = 10080;

class KQ_ScheduleTable {
public:
    static constexpr std::size_t kWeekBitmapBytes = 1260; // one bit per minute of the week; never set

    KQ_ScheduleTable();

    // Reads ".\Setup\schedule": 0 when it can't be opened (the table unchanged) or is short or damaged
    // (the entries and ranges that were whole before stay); 1 when whole. Both lists are emptied once the
    // file is open. A count is never trusted beyond what the file holds.
    int Load();
    // The same from the file's bytes.
    int Read(const std::vector<std::uint8_t>& bytes);
    // Replaces ".\Setup\schedule" whole (a temporary file renamed over it); 1 when written, 0 when the file
    // cannot be written (the old file then stays as it was).
    int Save() const;
    std::vector<std::uint8_t> Bytes() const;

    // Appends a copy; its index, or -1.
    int AddEntry(const SCHEDULE_ENTRY& entry);
    // The entry at a list position; null past the end.
    SCHEDULE_ENTRY* EntryAt(int index);
    // Removes the first entry with the id and every range it owns.
    void RemoveEntry(std::int32_t id);
    // Removes every range the id owns; 1 when the last range of the list was among them (callers ignore it).
    int RemoveRanges(std::int32_t id);
    void ClearAll();
    // The id for a new entry starting at start: the low 32 bits of start, counted on while an entry or a
    // range of the table holds that id.
    std::int32_t NewEntryId(std::int64_t start) const;

    // The conflict test of a new entry. Once (mode 0): refused (0) when it overlaps a stored once entry in
    // absolute time or its minutes of the week are busy; else its range is added and 1 returned. Weekly
    // (mode 1): one range per day of its mask, Sunday first, each added unless busy; a busy day returns 0
    // and leaves the ranges of the days before it (the caller removes them with RemoveRanges). Any other
    // mode returns the mode and adds nothing. Ranges and times overlap when they share a minute, their
    // bounds included; a range past Saturday midnight also covers the start of Sunday.
    int TryReserve(const SCHEDULE_ENTRY& entry);

    // 1 when an entry is due at now (seconds since 1970), copied into g_currentScheduledEntry; else 0. The
    // first due entry in list order wins: a weekly one whose mask holds now's weekday and whose start has
    // now's hour and minute (local time), its second less than 20 from now's; a once one from 15 seconds
    // before its start to 15 seconds after.
    int FindDue(std::int64_t now) const;

    std::uint8_t weekBitmap[kWeekBitmapBytes];
    std::vector<SCHEDULE_ENTRY> entries; // in insertion order, as the schedule list shows them
    std::vector<ScheduleWeekRange> ranges;
};

// The entry FindDue found last: what the main window's poll records (source, channel, length, action, id).
extern SCHEDULE_ENTRY g_currentScheduledEntry;
