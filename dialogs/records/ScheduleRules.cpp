// The schedule's conflict test and its due test.
#include "dialogs/records/ScheduleTable.h"

#include <cstdint>
#include <ctime>

namespace {

constexpr std::int32_t kMinutesPerDay = 1440;

// False for a time the calendar can't take (a damaged file's).
bool localTime(std::int64_t seconds, std::tm& local) {
    const auto t = static_cast<std::time_t>(seconds);
    local = {};
    return localtime_r(&t, &local) != nullptr;
}

// The end of a recording of the length, held within the 64-bit range.
std::int64_t endOf(std::int64_t start, std::int32_t lengthMinutes) {
    std::int64_t end = 0;
    if (__builtin_add_overflow(start, 60 * std::int64_t{lengthMinutes}, &end))
        return lengthMinutes < 0 ? INT64_MIN : INT64_MAX;
    return end;
}

struct Span {
    std::int64_t start, end;
};

// Both bounds included: two recordings that share a minute are booked at once.
bool intersect(Span a, Span b) {
    return a.start <= b.end && a.end >= b.start;
}

// A range as spans of one week: one that reaches Saturday midnight goes on from Sunday 00:00.
int spansOf(Span r, Span out[2]) {
    if (r.end < kMinutesPerWeek) {
        out[0] = r;
        return 1;
    }
    out[0] = {r.start, kMinutesPerWeek};
    out[1] = {0, r.end - kMinutesPerWeek};
    return 2;
}

bool rangeBusy(const std::vector<ScheduleWeekRange>& stored, Span r) {
    Span mine[2], theirs[2];
    const int n = spansOf(r, mine);
    for (const ScheduleWeekRange& s : stored) {
        const int m = spansOf({s.startMinute, s.endMinute}, theirs);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < m; ++j)
                if (intersect(mine[i], theirs[j]))
                    return true;
    }
    return false;
}

bool onceOverlaps(const std::vector<SCHEDULE_ENTRY>& stored, const SCHEDULE_ENTRY& entry) {
    const Span time{entry.start, endOf(entry.start, entry.lengthMinutes)};
    for (const SCHEDULE_ENTRY& e : stored)
        if (e.mode == 0 && intersect(time, {e.start, endOf(e.start, e.lengthMinutes)}))
            return true;
    return false;
}

} // namespace

int KQ_ScheduleTable::TryReserve(const SCHEDULE_ENTRY& entry) {
    const auto reserve = [this, &entry](std::int64_t start) {
        const Span r{start, start + entry.lengthMinutes};
        if (rangeBusy(ranges, r))
            return false;
        ranges.push_back({entry.id, static_cast<std::int32_t>(r.start), static_cast<std::int32_t>(r.end)});
        return true;
    };
    if (entry.mode != 0 && entry.mode != 1)
        return entry.mode;
    std::tm t;
    if (!localTime(entry.start, t))
        return 0;
    const std::int64_t base = t.tm_hour * 60 + t.tm_min;
    if (entry.mode == 0)
        return !onceOverlaps(entries, entry) && reserve(t.tm_wday * kMinutesPerDay + base) ? 1 : 0;
    for (int day = 0; day < 7; ++day)
        if ((entry.dayMask & kScheduleDayBits[day]) && !reserve(day * kMinutesPerDay + base))
            return 0;
    return 1;
}

int KQ_ScheduleTable::FindDue(std::int64_t now) const {
    std::tm at, start;
    if (!localTime(now, at))
        return 0;
    for (const SCHEDULE_ENTRY& e : entries) {
        bool due = false;
        if (e.mode == 1 && localTime(e.start, start)) {
            const int seconds = start.tm_sec - at.tm_sec;
            due = (e.dayMask & kScheduleDayBits[at.tm_wday]) && start.tm_hour == at.tm_hour &&
                  start.tm_min == at.tm_min && seconds > -20 && seconds < 20;
        } else if (e.mode == 0) {
            due = e.start >= now - 15 && e.start <= now + 15;
        }
        if (due) {
            g_currentScheduledEntry = e;
            return 1;
        }
    }
    return 0;
}
