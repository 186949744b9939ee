// The overlap test of box tasks. Each task becomes up to seven patterns: an interval of minutes since 1970
// and the period it repeats with (0 once, a day, a week). Two patterns overlap when an occurrence of one
// shares a minute with an occurrence of the other.
#include "dialogs/records/BoxTasks.h"

#include <utility>

namespace {

constexpr std::int64_t kDay = 1440;
constexpr std::int64_t kWeek = 7 * kDay;
constexpr BYTE kEveryDay = 0x7F;

struct Pattern {
    std::int64_t start, end, period;
};

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

bool intersect(std::int64_t aStart, std::int64_t aEnd, std::int64_t bStart, std::int64_t bEnd) {
    return aStart <= bEnd && aEnd >= bStart;
}

// A weekly task repeats on each day of its mask (Sunday 0x40 ... Saturday 0x01), counted on from the
// weekday of its start; one with every day repeats daily.
int patternsOf(const BoxTaskRecord& task, Pattern out[7]) {
    const std::int64_t start = MinutesSince1970(ReadBoxTime(task.start));
    const std::int64_t end = MinutesSince1970(ReadBoxTime(task.end, BoxTimeField::End));
    if (task.dayMask == 0) {
        out[0] = {start, end, 0};
        return 1;
    }
    if ((task.dayMask & kEveryDay) == kEveryDay) {
        out[0] = {start, end, kDay};
        return 1;
    }
    const std::int64_t weekday = (floorDiv(start, kDay) + 4) % 7; // 1970-01-01 was a Thursday
    int n = 0;
    for (int day = 0; day < 7; ++day) {
        if (task.dayMask & (0x40 >> day)) {
            const std::int64_t shift = (day - weekday + 7) % 7 * kDay;
            out[n++] = {start + shift, end + shift, kWeek};
        }
    }
    return n;
}

// Whether an occurrence of the repeating pattern meets the interval: the last occurrence that starts no
// later than the interval and the one after it are the only ones that can.
bool meets(const Pattern& repeating, std::int64_t start, std::int64_t end) {
    const std::int64_t length = repeating.end - repeating.start;
    const std::int64_t k = floorDiv(start - repeating.start, repeating.period);
    for (std::int64_t i = k; i <= k + 1; ++i) {
        const std::int64_t at = repeating.start + i * repeating.period;
        if (intersect(at, at + length, start, end))
            return true;
    }
    return false;
}

bool overlaps(Pattern a, Pattern b) {
    if (a.period < b.period)
        std::swap(a, b);
    if (a.period == 0)
        return intersect(a.start, a.end, b.start, b.end);
    // A daily pattern against a weekly one is seven weekly ones; the others meet a's period as they are.
    const std::int64_t copies = b.period == 0 || b.period == a.period ? 1 : a.period / b.period;
    for (std::int64_t j = 0; j < copies; ++j)
        if (meets(a, b.start + j * b.period, b.end + j * b.period))
            return true;
    return false;
}

} // namespace

int BoxTaskFits(const BoxInfoRecord& info, const BoxTaskRecord& task) {
    Pattern mine[7], theirs[7];
    const int n = patternsOf(task, mine);
    for (const BoxTaskRecord& stored : BoxTasks(info)) {
        if (stored.id == task.id)
            continue;
        const int m = patternsOf(stored, theirs);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < m; ++j)
                if (overlaps(mine[i], theirs[j]))
                    return 0;
    }
    return 1;
}
