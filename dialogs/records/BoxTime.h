// The box's date-times: the "year:month:day:hour:minute" texts of its records, read with a clamp so that
// any text gives a calendar date, and the minute arithmetic the task checks use. The box's times are its
// own local calendar; no time zone enters.
#pragma once

#include <cstdint>

struct BoxDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

struct BoxTimeSpan {
    std::int64_t days = 0;
    int hours = 0;
    int minutes = 0;
};

// Which rule a text's hour outside 0..23 follows: 0 for a start or clock text, 1 for a task's end text.
enum class BoxTimeField { Start, End };

// Reads a 20-byte time field ("%d:%d:%d:%d:%d", stopping at the field's end when it holds no NUL) and
// clamps it: a year outside 1971..9999 becomes 1970, and then a month outside 2..12 becomes 1 and, with
// it, a day outside 2..31 becomes 3; else a month outside 1..12 becomes 1; a day outside 1..31 becomes 1,
// a minute outside 0..59 becomes 0 and an hour outside 0..23 becomes 0 (1 for an end text). So an empty
// text is 1970:01:03:00:00. A day past the month's end runs on into the next month.
BoxDateTime ReadBoxTime(const char (&field)[20], BoxTimeField which = BoxTimeField::Start);
// ReadBoxTime, and the result written back into the field as "%04d:%02d:%02d:%02d:%02d".
BoxDateTime NormaliseBoxTime(char (&field)[20], BoxTimeField which = BoxTimeField::Start);
// Writes the time as the PC sends it: "%d:%d:%d:%d:%d", NUL-padded.
void StoreBoxTime(char (&field)[20], const BoxDateTime& t);

// -1, 0 or 1 by year, month, day, hour and minute; seconds are not compared.
int CompareDateTime(const BoxDateTime& a, const BoxDateTime& b);
// m / 1440 days, (m mod 1440) / 60 hours, m mod 60 minutes.
BoxTimeSpan MinutesToSpan(std::int64_t m);
// Whole minutes from 1970-01-01 00:00 to t (a day past the month's end counts on into the next month).
std::int64_t MinutesSince1970(const BoxDateTime& t);
// The date-time a span later, on the calendar.
BoxDateTime operator+(const BoxDateTime& t, const BoxTimeSpan& span);
