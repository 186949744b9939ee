#include "dialogs/records/BoxTime.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

// Days from 1970-01-01 to the first of the month (proleptic Gregorian calendar).
std::int64_t daysToMonth(std::int64_t year, int month) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t secondsOf(const BoxDateTime& t) {
    const std::int64_t days = daysToMonth(t.year, t.month) + t.day - 1;
    return days * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

BoxDateTime dateTimeAt(std::int64_t seconds) {
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    BoxDateTime t;
    t.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(yearOfEra + era * 400 + (t.month <= 2));
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    t.second = static_cast<int>(rest % 60);
    return t;
}

// One "%d" of sscanf: blanks, a sign, digits (held within int); false when no digit follows.
bool readInt(const char*& p, const char* end, int& out) {
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    if (p == end || *p < '0' || *p > '9')
        return false;
    long long v = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p)
        if (v <= INT_MAX)
            v = v * 10 + (*p - '0');
    v = negative ? -v : v;
    out = static_cast<int>(v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v);
    return true;
}

bool outside(int v, int low, int high) {
    return v < low || v > high;
}

} // namespace

BoxDateTime ReadBoxTime(const char (&field)[20], BoxTimeField which) {
    int v[5] = {};
    const char* p = field;
    const char* end = field + ::strnlen(field, sizeof field);
    for (int i = 0; i < 5; ++i) {
        if (i > 0 && (p == end || *p++ != ':'))
            break;
        if (!readInt(p, end, v[i]))
            break;
    }
    BoxDateTime t{v[0], v[1], v[2], v[3], v[4], 0};
    if (t.year <= 1970 || t.year > 9999) {
        t.year = 1970;
        if (outside(t.month, 2, 12)) {
            t.month = 1;
            if (outside(t.day, 2, 31))
                t.day = 3;
        }
    } else if (outside(t.month, 1, 12)) {
        t.month = 1;
    }
    if (outside(t.day, 1, 31))
        t.day = 1;
    if (outside(t.hour, 0, 23))
        t.hour = which == BoxTimeField::End ? 1 : 0;
    if (outside(t.minute, 0, 59))
        t.minute = 0;
    return t;
}

BoxDateTime NormaliseBoxTime(char (&field)[20], BoxTimeField which) {
    const BoxDateTime t = ReadBoxTime(field, which);
    char text[sizeof field + 1] = {};
    std::snprintf(text, sizeof text, "%04d:%02d:%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    std::memcpy(field, text, sizeof field);
    return t;
}

void StoreBoxTime(char (&field)[20], const BoxDateTime& t) {
    char text[sizeof field] = {};
    std::snprintf(text, sizeof text, "%d:%d:%d:%d:%d", t.year, t.month, t.day, t.hour, t.minute);
    std::memcpy(field, text, sizeof field);
}

int CompareDateTime(const BoxDateTime& a, const BoxDateTime& b) {
    const std::int64_t x = secondsOf({a.year, a.month, a.day, a.hour, a.minute, 0});
    const std::int64_t y = secondsOf({b.year, b.month, b.day, b.hour, b.minute, 0});
    return x < y ? -1 : x > y ? 1 : 0;
}

BoxTimeSpan MinutesToSpan(std::int64_t m) {
    return {m / 1440, static_cast<int>(m % 1440 / 60), static_cast<int>(m % 60)};
}

std::int64_t MinutesSince1970(const BoxDateTime& t) {
    return secondsOf(t) / 60;
}

BoxDateTime operator+(const BoxDateTime& t, const BoxTimeSpan& span) {
    return dateTimeAt(secondsOf(t) + span.days * kSecondsPerDay + span.hours * 3600 + span.minutes * 60);
}
