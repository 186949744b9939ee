// The PC recording schedule: the entries the program itself starts at their time, with the minutes of the
// week they occupy, kept in ".\Setup\schedule". One table lives in the configuration for the whole run.
#pragma once

#include <cstdint>
#include <vector>

struct SCHEDULE_ENTRY {
    std::int32_t id = 0;       // the low 32 bits of the start time of a new entry
    std::uint16_t mode = 0;    // 0 once, 1 weekly
    std::uint32_t dayMask = 0; // weekly days, one bit per nibble from Sunday (0x1) to Saturday (0x1000000)
    std::int64_t start = 0;    // seconds since 1970
    std::int32_t lengthMinutes = 0;
    std::int32_t source = 0; // 0 TV, 1 CV, 2 SV
    std::int32_t channel = 0;
    std::int32_t afterAction = 0; // 0 nothing, 1 close the program, 2 power off
};

// Minutes of the week (from Sunday 00:00) that an entry occupies; end may pass 10080.
struct ScheduleWeekRange {
    std::int64_t owner = 0; // the owning entry's id, sign-extended
    std::int32_t startMinute = 0;
    std::int32_t endMinute = 0;
};

class KQ_ScheduleTable {
public:
    static constexpr std::size_t kWeekBitmapBytes = 1260; // one bit per minute of the week

    KQ_ScheduleTable();

    // Reads ".\Setup\schedule": 0 when it can't be opened (the table unchanged) or is short (what was read
    // before stays); 1 when whole. Both lists are emptied once the file is open.
    int Load();

    std::uint8_t weekBitmap[kWeekBitmapBytes];
    std::vector<SCHEDULE_ENTRY> entries;
    std::vector<ScheduleWeekRange> ranges;
};
