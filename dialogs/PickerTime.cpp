#include "dialogs/PickerTime.h"

#include <ctime>

BoxDateTime ToBoxTime(const SYSTEMTIME& t) {
    return BoxDateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

SYSTEMTIME ToSystemTime(const BoxDateTime& t) {
    std::tm day{};
    day.tm_year = t.year - 1900;
    day.tm_mon = t.month - 1;
    day.tm_mday = t.day;
    day.tm_hour = 12;
    timegm(&day); // the weekday
    return SYSTEMTIME{static_cast<WORD>(t.year),      static_cast<WORD>(t.month),
                      static_cast<WORD>(day.tm_wday), static_cast<WORD>(t.day),
                      static_cast<WORD>(t.hour),      static_cast<WORD>(t.minute),
                      static_cast<WORD>(t.second),    0};
}

BoxDateTime PickedDateTime(const CDateTimeCtrl& date, const CDateTimeCtrl& time) {
    SYSTEMTIME d{}, t{};
    date.GetTime(&d);
    time.GetTime(&t);
    return BoxDateTime{d.wYear, d.wMonth, d.wDay, t.wHour, t.wMinute, 0};
}

void ShowDateTime(CDateTimeCtrl& date, CDateTimeCtrl& time, const BoxDateTime& t) {
    const SYSTEMTIME s = ToSystemTime(t);
    date.SetTime(&s);
    time.SetTime(&s);
}

std::int64_t LocalSeconds(const BoxDateTime& t) {
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

BoxDateTime LocalDateTime(std::int64_t seconds) {
    const std::time_t at = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&at, &local);
    return BoxDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}
