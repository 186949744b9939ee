// Date-times between the pickers, the box's records and the PC's clock: a picker keeps a SYSTEMTIME, the
// box's texts read as BoxDateTime, and the PC schedule counts seconds since 1970 on the local calendar.
#pragma once

#include "dialogs/records/BoxTime.h"
#include "platform/mfc/CommonControls.h"

#include <cstdint>

BoxDateTime ToBoxTime(const SYSTEMTIME& t);
SYSTEMTIME ToSystemTime(const BoxDateTime& t);
// The date of one picker with the hour and minute of the other (seconds 0).
BoxDateTime PickedDateTime(const CDateTimeCtrl& date, const CDateTimeCtrl& time);
// Both pickers set to the date-time.
void ShowDateTime(CDateTimeCtrl& date, CDateTimeCtrl& time, const BoxDateTime& t);

// Seconds since 1970 of a local date-time, and back.
std::int64_t LocalSeconds(const BoxDateTime& t);
BoxDateTime LocalDateTime(std::int64_t seconds);
