#include "dialogs/records/BoxTasks.h"

#include "platform/win32/Text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

template <std::size_t N> void put(char (&field)[N], const char* text) {
    std::memset(field, 0, N);
    std::memcpy(field, text, std::min(N, std::strlen(text)));
}

template <std::size_t N> std::string text(const char (&field)[N]) {
    return std::string(field, ::strnlen(field, N));
}

BoxTaskRecord task(BYTE id, const char* start, const char* end, BYTE days = 0) {
    BoxTaskRecord t{};
    t.id = id;
    put(t.start, start);
    put(t.end, end);
    t.dayMask = days;
    t.format = 1;
    return t;
}

constexpr BYTE kSunday = 0x40, kMonday = 0x20, kTuesday = 0x10, kSaturday = 0x01, kEveryDay = 0x7F;

TEST(BoxTimeTest, TheClampGivesEveryTextACalendarDate) {
    struct Case {
        const char* text;
        BoxTimeField field;
        const char* normalised;
    };
    const Case cases[] = {
        {"", BoxTimeField::Start, "1970:01:03:00:00"},
        {"2024:6:9:7:5", BoxTimeField::Start, "2024:06:09:07:05"},
        {"1970:01:01:10:00", BoxTimeField::Start, "1970:01:03:10:00"},
        {"1970:01:02:10:00", BoxTimeField::Start, "1970:01:02:10:00"},
        {"1969:05:01:10:00", BoxTimeField::Start, "1970:05:01:10:00"},
        {"10000:13:40:10:00", BoxTimeField::Start, "1970:01:03:10:00"},
        {"2024:13:32:24:60", BoxTimeField::Start, "2024:01:01:00:00"},
        {"2024:00:00:-1:-1", BoxTimeField::Start, "2024:01:01:00:00"},
        {"2024:05:06:24:30", BoxTimeField::End, "2024:05:06:01:30"},
        {"2024:05:06:-3:30", BoxTimeField::End, "2024:05:06:01:30"},
        {"2024:05:06", BoxTimeField::Start, "2024:05:06:00:00"},
        {"2024:5:9999999999:1", BoxTimeField::Start, "2024:05:01:01:00"},
        {"2024:05:06:07:08:09", BoxTimeField::Start, "2024:05:06:07:08"},
    };
    for (const Case& c : cases) {
        char field[20];
        put(field, c.text);
        NormaliseBoxTime(field, c.field);
        EXPECT_EQ(text(field), c.normalised) << c.text;
    }
    char full[20]; // twenty digits, no NUL: read within the field
    std::memset(full, '9', sizeof full);
    const BoxDateTime t = NormaliseBoxTime(full);
    EXPECT_EQ(t.year, 1970);
    EXPECT_EQ(text(full), "1970:01:03:00:00");
}

TEST(BoxTimeTest, MinuteArithmeticOnTheCalendar) {
    EXPECT_EQ(MinutesSince1970({1970, 1, 2, 0, 0, 0}), 1440);
    EXPECT_EQ(MinutesSince1970({2000, 3, 1, 0, 0, 0}), 11017 * 1440);
    EXPECT_EQ(MinutesSince1970({2000, 3, 1, 0, 0, 59}), 11017 * 1440);
    EXPECT_EQ(MinutesSince1970({2008, 2, 31, 0, 0, 0}), MinutesSince1970({2008, 3, 2, 0, 0, 0}));
    const BoxTimeSpan span = MinutesToSpan(3 * 1440 + 125);
    EXPECT_EQ(span.days, 3);
    EXPECT_EQ(span.hours, 2);
    EXPECT_EQ(span.minutes, 5);
    const BoxDateTime end = BoxDateTime{2023, 12, 31, 23, 30, 0} + MinutesToSpan(90);
    EXPECT_EQ(CompareDateTime(end, {2024, 1, 1, 1, 0, 0}), 0);
    EXPECT_EQ(CompareDateTime({2024, 1, 1, 1, 0, 59}, {2024, 1, 1, 1, 0, 0}), 0);
    EXPECT_EQ(CompareDateTime({2024, 1, 1, 1, 1, 0}, {2024, 1, 1, 1, 0, 59}), 1);
    EXPECT_EQ(CompareDateTime({2023, 12, 31, 23, 59, 0}, {2024, 1, 1, 0, 0, 0}), -1);
    char field[20];
    StoreBoxTime(field, {2024, 5, 6, 7, 8, 0});
    EXPECT_EQ(text(field), "2024:5:6:7:8");
}

TEST(BoxTasksTest, SizeAndDurationTexts) {
    struct Case {
        const char* start;
        const char* end;
        BYTE format;
        const wchar_t* size;
        const wchar_t* minutes;
    };
    const Case cases[] = {
        {"2024:5:6:7:0", "2024:5:6:8:0", 4, L"900.0 MB", L"60"},
        {"2024:5:6:7:0", "2024:5:6:8:0", 0, L"132.0 MB", L"60"},
        {"2024:5:6:7:0", "2024:5:6:7:45", 3, L"670.5 MB", L"45"},
        {"2024:5:6:7:0", "2024:5:6:8:0", 7, L"Error Format", L"60"},
        {"2024:5:6:7:0", "2024:5:6:7:0", 1, L"0.0 MB", L"0"},
        {"2024:5:6:23:30", "2024:5:7:0:15", 1, L"153.0 MB", L"45"},
        {"2024:5:6:0:30", "2024:5:6:99:30", 1, L"204.0 MB", L"60"}, // the end's bad hour is 1
    };
    for (const Case& c : cases) {
        BoxTaskRecord t = task(1, c.start, c.end);
        t.format = c.format;
        EXPECT_EQ(BoxTaskSizeText(t), c.size) << c.start << " " << c.end;
        EXPECT_EQ(BoxTaskDurationText(t), c.minutes) << c.start << " " << c.end;
    }
    BoxTaskRecord t = task(1, "2024:5:6:7:0", "2024:5:6:8:0");
    BoxTaskDurationMinutes(t);
    EXPECT_EQ(text(t.start), "2024:05:06:07:00"); // written back normalised
    EXPECT_EQ(text(t.end), "2024:05:06:08:00");
}

TEST(BoxTasksTest, FieldTextsStopAtTheirWidth) {
    BoxTaskRecord t{};
    std::memset(t.start, '7', sizeof t.start);
    std::memset(t.fileName, 'f', sizeof t.fileName);
    t.end[0] = 'X'; // the bytes after the two fields
    t.format = 'X';
    t.channel = 65535;
    EXPECT_EQ(BoxTaskStartText(t), std::wstring(20, L'7'));
    EXPECT_EQ(BoxTaskFileText(t), std::wstring(32, L'f'));
    EXPECT_EQ(BoxTaskChannelText(t), L"65535");
    const wchar_t* const sources[] = {L"CV", L"SV", L"TV", L"Error Source", L"Error Source"};
    for (BYTE source : {0, 1, 2, 3, 255}) {
        t.source = source;
        EXPECT_EQ(BoxTaskSourceText(t), sources[std::min<int>(source, 4)]);
    }

    BoxInfoRecord info{};
    info.diskCount = 2;
    info.disks[0] = {3, {}, 1200};
    std::memcpy(info.disks[0].name, "Sixteen_bytes_16", 16);
    info.disks[1] = {5, {'U', 'S', 'B'}, -1};
    info.disks[2] = {9, {'N', 'o'}, 7}; // past the count
    EXPECT_EQ(BoxDiskName(3, info), L"Sixteen_bytes_16");
    EXPECT_EQ(BoxDiskFreeText(info, 3), L"1200 MB");
    EXPECT_EQ(BoxDiskName(5, info), L"USB");
    EXPECT_EQ(BoxDiskFreeText(info, 5), L"-1 MB");
    EXPECT_EQ(BoxDiskName(9, info), L"");
    EXPECT_EQ(BoxDiskFreeText(info, 9), L"");
    info.diskCount = 200; // read as 8
    EXPECT_EQ(BoxDisks(info).size(), 8u);
    EXPECT_EQ(BoxDiskName(9, info), L"No");
}

TEST(BoxTasksTest, TheGlobalCopyTakesValidAnswersAndKeepsTheTasksCurrent) {
    BoxInfoRecord answer{};
    answer.marker = 13;
    answer.taskCount = 3;
    for (BYTE i = 0; i < 3; ++i)
        answer.tasks[i] = task(static_cast<BYTE>(10 + i), "2024:5:6:7:0", "2024:5:6:8:0");
    ASSERT_TRUE(BoxInfoStore(answer.data(), answer.size()));
    BoxInfoRecord invalid = answer;
    invalid.marker = 12;
    invalid.taskCount = 0;
    EXPECT_FALSE(BoxInfoStore(invalid.data(), invalid.size()));
    EXPECT_FALSE(BoxInfoStore(answer.data(), answer.size() - 1));
    EXPECT_EQ(g_boxInfo.taskCount, 3);

    BoxTaskRemove(11);
    ASSERT_EQ(BoxTasks(g_boxInfo).size(), 2u);
    EXPECT_EQ(g_boxInfo.tasks[0].id, 10);
    EXPECT_EQ(g_boxInfo.tasks[1].id, 12);
    BoxTaskRemove(99); // not there
    EXPECT_EQ(g_boxInfo.taskCount, 2);

    BoxTaskRecord changed = task(12, "2024:5:6:9:0", "2024:5:6:10:0");
    EXPECT_TRUE(BoxInfoUpdateTask(changed));
    EXPECT_EQ(text(g_boxInfo.tasks[1].start), "2024:5:6:9:0");
    changed.id = 13;
    EXPECT_FALSE(BoxInfoUpdateTask(changed));
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(BoxInfoAppendTask(changed));
    EXPECT_FALSE(BoxInfoAppendTask(changed)); // an eleventh
    EXPECT_EQ(g_boxInfo.taskCount, 10);
    g_boxInfo.taskCount = 250; // a count past the record is read as ten
    BoxTaskRemove(10);
    EXPECT_EQ(g_boxInfo.taskCount, 9);
}

TEST(BoxTasksTest, TheFileNameMustFitItsFieldInTheLegacyCodePage) {
    BoxTaskRecord t{};
    EXPECT_TRUE(StoreBoxTaskFileName(t, std::wstring(31, L'a')));
    EXPECT_EQ(text(t.fileName), std::string(31, 'a'));
    EXPECT_FALSE(StoreBoxTaskFileName(t, std::wstring(32, L'b')));
    EXPECT_EQ(text(t.fileName), std::string(31, 'a'));
    const std::string previous = platform::LegacyCodePage();
    ASSERT_TRUE(platform::SetLegacyCodePage("CP936"));
    EXPECT_FALSE(StoreBoxTaskFileName(t, std::wstring(16, L'\u5f55'))); // 16 characters, 32 bytes
    EXPECT_TRUE(StoreBoxTaskFileName(t, std::wstring(15, L'\u5f55')));
    EXPECT_EQ(BoxTaskFileText(t), std::wstring(15, L'\u5f55'));
    platform::SetLegacyCodePage(previous);
}

TEST(BoxTasksTest, BoxTaskFitsRefusesEveryPairThatSharesAMinute) {
    // 2024-05-06 is a Monday.
    struct Case {
        const char* name;
        BoxTaskRecord stored;
        BoxTaskRecord added;
        int fits;
    };
    const Case cases[] = {
        {"once inside once", task(1, "2024:5:6:10:10", "2024:5:6:10:30"),
         task(255, "2024:5:6:10:0", "2024:5:6:11:0"), 0},
        {"once enclosed by once", task(1, "2024:5:6:10:0", "2024:5:6:11:0"),
         task(255, "2024:5:6:10:10", "2024:5:6:10:30"), 0},
        {"once at the other's end", task(1, "2024:5:6:10:0", "2024:5:6:11:0"),
         task(255, "2024:5:6:11:0", "2024:5:6:12:0"), 0},
        {"once after the other", task(1, "2024:5:6:10:0", "2024:5:6:11:0"),
         task(255, "2024:5:6:11:1", "2024:5:6:12:0"), 1},
        {"daily against once days later", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kEveryDay),
         task(255, "2024:5:20:10:30", "2024:5:20:10:40"), 0},
        {"daily against once days before", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kEveryDay),
         task(255, "2024:4:1:9:0", "2024:4:1:12:0"), 0},
        {"daily against once at another hour", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kEveryDay),
         task(255, "2024:5:20:12:0", "2024:5:20:13:0"), 1},
        {"Mondays against a once Monday", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kMonday),
         task(255, "2024:6:3:9:0", "2024:6:3:12:0"), 0},
        {"Mondays against a once Tuesday", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kMonday),
         task(255, "2024:6:4:10:0", "2024:6:4:11:0"), 1},
        {"Sundays and Tuesdays from a Monday", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kSunday | kTuesday),
         task(255, "2024:6:9:10:30", "2024:6:9:10:40"), 0},
        {"Saturday night into a once Sunday", task(1, "2024:5:11:23:30", "2024:5:12:0:30", kSaturday),
         task(255, "2024:6:9:0:10", "2024:6:9:0:20"), 0},
        {"daily against Tuesdays", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kEveryDay),
         task(255, "2024:5:7:10:50", "2024:5:7:11:30", kTuesday), 0},
        {"Mondays against Tuesdays", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kMonday),
         task(255, "2024:5:7:10:0", "2024:5:7:11:0", kTuesday), 1},
        {"Mondays against weekly enclosed", task(1, "2024:5:6:10:0", "2024:5:6:11:0", kMonday),
         task(255, "2024:9:2:10:10", "2024:9:2:10:20", kMonday), 0},
        {"the same id is the task itself", task(7, "2024:5:6:10:0", "2024:5:6:11:0"),
         task(7, "2024:5:6:10:30", "2024:5:6:11:30"), 1},
    };
    for (const Case& c : cases) {
        BoxInfoRecord info{};
        info.marker = 13;
        info.taskCount = 2;
        info.tasks[0] = task(40, "2030:1:1:1:0", "2030:1:1:2:0");
        info.tasks[1] = c.stored;
        EXPECT_EQ(BoxTaskFits(info, c.added), c.fits) << c.name;
        info.taskCount = 1; // the stored task no longer counts
        EXPECT_EQ(BoxTaskFits(info, c.added), 1) << c.name;
    }
}

} // namespace
