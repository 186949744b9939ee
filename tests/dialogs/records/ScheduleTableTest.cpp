#include "dialogs/records/ScheduleTable.h"

#include "tests/support/fakes/FileSizeLimit.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

namespace {

// Seconds since 1970 of a local date and time (2024-06-01 is a Saturday).
std::int64_t local(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&t));
}

SCHEDULE_ENTRY entry(std::int32_t id, std::uint16_t mode, std::int64_t start, std::int32_t minutes,
                     std::uint32_t days = 0) {
    SCHEDULE_ENTRY e;
    e.id = id;
    e.mode = mode;
    e.start = start;
    e.lengthMinutes = minutes;
    e.dayMask = days;
    return e;
}

constexpr std::uint32_t kSunday = 0x1, kMonday = 0x10, kWednesday = 0x1000, kSaturday = 0x1000000;

std::string fixture() {
    std::ifstream in(VELOQ_FIXTURES_DIR "/schedule/once_and_weekly.schedule", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScheduleFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(temp / "Setup"); }
    TempFolder temp;
};

TEST_F(ScheduleFileTest, AnEmptyTableIsTheBitmapAndTwoZeroCounts) {
    KQ_ScheduleTable table;
    ASSERT_EQ(table.Save(), 1);
    EXPECT_EQ(temp.read("Setup/schedule"), std::string(1268, '\0'));
}

TEST_F(ScheduleFileTest, TheFileWrittenByHandLoadsAndSavesByteForByte) {
    temp.write("Setup/schedule", fixture());
    KQ_ScheduleTable table;
    ASSERT_EQ(table.Load(), 1);
    EXPECT_EQ(table.weekBitmap[0], 0x81);
    EXPECT_EQ(table.weekBitmap[1259], 0x5A);
    SCHEDULE_ENTRY once = entry(1717232400, 0, 1717232400, 90);
    once.channel = 12;
    once.afterAction = 1;
    SCHEDULE_ENTRY weekly = entry(-5, 1, 1717236000, 30, 0x10010);
    weekly.source = 2;
    weekly.afterAction = 2;
    EXPECT_EQ(table.entries, (std::vector<SCHEDULE_ENTRY>{once, weekly}));
    EXPECT_EQ(table.ranges,
              (std::vector<ScheduleWeekRange>{{1717232400, 8820, 8910}, {-5, 1500, 1530}, {-5, 5820, 5850}}));

    // A longer old file leaves no tail behind the new end.
    temp.write("Setup/schedule", fixture() + std::string(500, '\x77'));
    ASSERT_EQ(table.Save(), 1);
    EXPECT_EQ(temp.read("Setup/schedule"), fixture());
}

TEST_F(ScheduleFileTest, ShortDamagedAndOversizedFilesFailWithOnlyWholeRecords) {
    const std::string whole = fixture();
    const auto withCount = [&whole](std::size_t at, std::uint32_t count) {
        std::string bytes = whole;
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<char>(count >> (8 * i));
        return bytes;
    };
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t entries, ranges;
    };
    const Case cases[] = {
        {"cut in the bitmap", whole.substr(0, 700), 0, 0},
        {"cut in the second entry", whole.substr(0, 1264 + 34 + 20), 1, 0},
        {"cut in the third range", whole.substr(0, whole.size() - 1), 2, 2},
        {"entry count past the file", withCount(1260, 0xFFFFFFFF), 3, 0},
        {"range count past the file", withCount(1264 + 68, 0x7FFFFFFF), 2, 3},
    };
    for (const Case& c : cases) {
        temp.write("Setup/schedule", c.bytes);
        KQ_ScheduleTable table;
        table.entries.resize(9);
        EXPECT_EQ(table.Load(), 0) << c.name;
        EXPECT_EQ(table.entries.size(), c.entries) << c.name;
        EXPECT_EQ(table.ranges.size(), c.ranges) << c.name;
        if (c.entries > 0) {
            EXPECT_EQ(table.entries[0].id, 1717232400) << c.name;
        }
    }
    std::filesystem::remove(temp / "Setup/schedule");
    KQ_ScheduleTable untouched;
    untouched.entries.resize(2);
    EXPECT_EQ(untouched.Load(), 0);
    EXPECT_EQ(untouched.entries.size(), 2u);
}

TEST_F(ScheduleFileTest, ASaveOnAFullDiskKeepsTheLastGoodFile) {
    temp.write("Setup/schedule", fixture());
    {
        FileSizeLimit full(1000);
        KQ_ScheduleTable table;
        EXPECT_EQ(table.Save(), 0);
    }
    EXPECT_EQ(temp.read("Setup/schedule"), fixture());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp / "Setup"), {}), 1); // no temporary left
}

TEST(ScheduleTableTest, EntriesAreAddressedByPositionAndRemovedWithTheirRanges) {
    KQ_ScheduleTable table;
    const SCHEDULE_ENTRY weekly = entry(7, 1, local(2024, 6, 3, 10, 0), 60, kMonday | kWednesday);
    const SCHEDULE_ENTRY once = entry(8, 0, local(2024, 6, 4, 10, 0), 60);
    ASSERT_EQ(table.TryReserve(weekly), 1);
    EXPECT_EQ(table.AddEntry(weekly), 0);
    ASSERT_EQ(table.TryReserve(once), 1);
    EXPECT_EQ(table.AddEntry(once), 1);
    EXPECT_EQ(table.ranges.size(), 3u);
    ASSERT_NE(table.EntryAt(1), nullptr);
    EXPECT_EQ(table.EntryAt(1)->id, 8);
    EXPECT_EQ(table.EntryAt(2), nullptr);
    EXPECT_EQ(table.EntryAt(-1), nullptr);

    table.RemoveEntry(7);
    ASSERT_EQ(table.entries.size(), 1u);
    EXPECT_EQ(table.entries[0].id, 8);
    ASSERT_EQ(table.ranges.size(), 1u);
    EXPECT_EQ(table.ranges[0].owner, 8);
    EXPECT_EQ(table.RemoveRanges(8), 1); // it held the last range
    EXPECT_EQ(table.RemoveRanges(8), 0);
    table.weekBitmap[3] = 1;
    table.ClearAll();
    EXPECT_TRUE(table.entries.empty());
    EXPECT_EQ(table.weekBitmap[3], 0);
}

TEST(ScheduleTableTest, NewIdsAreUniqueSoDeletingOneOfTwoEqualStartsKeepsTheOther) {
    KQ_ScheduleTable table;
    const std::int64_t start = local(2024, 6, 3, 20, 0);
    for (std::uint32_t day : {kMonday, kWednesday}) {
        SCHEDULE_ENTRY e = entry(table.NewEntryId(start), 1, start, 30, day);
        ASSERT_EQ(table.TryReserve(e), 1);
        table.AddEntry(e);
    }
    ASSERT_EQ(table.entries.size(), 2u);
    EXPECT_EQ(table.entries[0].id, static_cast<std::int32_t>(start));
    EXPECT_NE(table.entries[1].id, table.entries[0].id);
    table.RemoveEntry(table.entries[0].id);
    ASSERT_EQ(table.entries.size(), 1u);
    EXPECT_EQ(table.entries[0].dayMask, kWednesday);
    ASSERT_EQ(table.ranges.size(), 1u);
    EXPECT_EQ(table.ranges[0].startMinute, 3 * 1440 + 20 * 60);
}

struct ReserveCase {
    const char* name;
    std::vector<SCHEDULE_ENTRY> stored; // reserved in order
    SCHEDULE_ENTRY added;
    int result;
};

TEST(ScheduleTableTest, TryReserveRefusesEveryRecordingThatSharesAMinute) {
    const std::int64_t saturday2330 = local(2024, 6, 1, 23, 30);
    const std::int64_t sunday0010 = local(2024, 6, 2, 0, 10);
    const std::int64_t monday10 = local(2024, 6, 3, 10, 0);
    const ReserveCase cases[] = {
        {"stored Saturday 23:30 for an hour blocks Sunday 00:10",
         {entry(1, 1, saturday2330, 60, kSaturday)},
         entry(2, 1, sunday0010, 30, kSunday),
         0},
        {"stored Sunday 00:10 blocks Saturday 23:30 for an hour",
         {entry(1, 1, sunday0010, 30, kSunday)},
         entry(2, 1, saturday2330, 60, kSaturday),
         0},
        {"Saturday 23:30 for 20 minutes leaves Sunday 00:10",
         {entry(1, 1, sunday0010, 30, kSunday)},
         entry(2, 1, saturday2330, 20, kSaturday),
         1},
        {"a start at another's end minute",
         {entry(1, 1, monday10, 60, kMonday)},
         entry(2, 1, monday10 + 3600, 30, kMonday),
         0},
        {"a start a minute after another's end",
         {entry(1, 1, monday10, 60, kMonday)},
         entry(2, 1, monday10 + 3660, 30, kMonday),
         1},
        {"a weekly range enclosing a stored one",
         {entry(1, 1, monday10 + 600, 20, kMonday)},
         entry(2, 1, monday10, 60, kMonday),
         0},
        {"a once range enclosing a stored weekly one",
         {entry(1, 1, monday10 + 600, 20, kMonday)},
         entry(2, 0, monday10, 60),
         0},
        {"two once entries a week apart",
         {entry(1, 0, monday10, 30)},
         entry(2, 0, monday10 + 7 * 86400, 30),
         0},
        {"two once entries a day apart", {entry(1, 0, monday10, 30)}, entry(2, 0, monday10 + 86400, 30), 1},
        {"another mode is returned and reserves nothing", {}, entry(2, 3, monday10, 30), 3},
    };
    for (const ReserveCase& c : cases) {
        KQ_ScheduleTable table;
        for (const SCHEDULE_ENTRY& e : c.stored) {
            ASSERT_EQ(table.TryReserve(e), 1) << c.name;
            table.AddEntry(e);
        }
        const std::size_t before = table.ranges.size();
        EXPECT_EQ(table.TryReserve(c.added), c.result) << c.name;
        EXPECT_EQ(table.ranges.size() > before, c.result == 1) << c.name;
    }
}

TEST(ScheduleTableTest, OnceEntriesOverlapInTimeEvenWhereTheWeekIsFree) {
    // Two once entries whose week ranges are gone (their owner abandoned them): the absolute test alone.
    KQ_ScheduleTable table;
    const std::int64_t monday10 = local(2024, 6, 3, 10, 0);
    table.AddEntry(entry(1, 0, monday10 + 600, 20));
    EXPECT_EQ(table.TryReserve(entry(2, 0, monday10, 60)), 0);        // encloses it
    EXPECT_EQ(table.TryReserve(entry(3, 0, monday10 + 1800, 60)), 0); // starts at its end
    EXPECT_EQ(table.TryReserve(entry(4, 0, monday10 + 1860, 60)), 1);
}

TEST(ScheduleTableTest, AWeeklyEntryStopsAtItsFirstBusyDayAndLeavesTheDaysBefore) {
    KQ_ScheduleTable table;
    const std::int64_t monday10 = local(2024, 6, 3, 10, 0);
    ASSERT_EQ(table.TryReserve(entry(1, 1, monday10, 30, kWednesday)), 1);
    EXPECT_EQ(table.TryReserve(entry(2, 1, monday10, 30, kSunday | kMonday | kWednesday | kSaturday)), 0);
    ASSERT_EQ(table.ranges.size(), 3u);
    EXPECT_EQ(table.ranges[1], (ScheduleWeekRange{2, 600, 630}));
    EXPECT_EQ(table.ranges[2], (ScheduleWeekRange{2, 1440 + 600, 1440 + 630}));
}

TEST(ScheduleTableTest, FindDueWindowsAndTheCurrentRecord) {
    const std::int64_t now = local(2024, 6, 3, 21, 15, 30); // a Monday
    struct Case {
        const char* name;
        SCHEDULE_ENTRY e;
        bool due;
    };
    const Case cases[] = {
        {"once 15 s ahead", entry(1, 0, now + 15, 30), true},
        {"once 15 s behind", entry(1, 0, now - 15, 30), true},
        {"once 16 s ahead", entry(1, 0, now + 16, 30), false},
        {"once 16 s behind", entry(1, 0, now - 16, 30), false},
        {"weekly today, a week before", entry(1, 1, now - 7 * 86400, 30, kMonday), true},
        {"weekly second 19 after", entry(1, 1, local(2024, 5, 6, 21, 15, 49), 30, kMonday), true},
        {"weekly second 20 after", entry(1, 1, local(2024, 5, 6, 21, 15, 50), 30, kMonday), false},
        {"weekly second 19 before", entry(1, 1, local(2024, 5, 6, 21, 15, 11), 30, kMonday), true},
        {"weekly second 20 before", entry(1, 1, local(2024, 5, 6, 21, 15, 10), 30, kMonday), false},
        {"weekly another minute", entry(1, 1, now + 60, 30, kMonday), false},
        {"weekly another day", entry(1, 1, now, 30, kWednesday | kSunday), false},
        {"another mode", entry(1, 2, now, 30, kMonday), false},
    };
    for (const Case& c : cases) {
        KQ_ScheduleTable table;
        table.AddEntry(c.e);
        g_currentScheduledEntry = SCHEDULE_ENTRY{};
        EXPECT_EQ(table.FindDue(now), c.due ? 1 : 0) << c.name;
        EXPECT_EQ(g_currentScheduledEntry == c.e, c.due) << c.name;
    }
    KQ_ScheduleTable table;
    SCHEDULE_ENTRY first = entry(1, 0, now, 30), second = entry(2, 1, now, 45, kMonday);
    first.source = 2;
    first.channel = 9;
    first.afterAction = 1;
    table.AddEntry(entry(3, 0, now + 3600, 30));
    table.AddEntry(first);
    table.AddEntry(second);
    ASSERT_EQ(table.FindDue(now), 1);
    EXPECT_EQ(g_currentScheduledEntry, first); // the first due one in list order
}

} // namespace
