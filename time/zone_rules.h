// Conversions between the system's date and zone records and the library's
// date-time and zone values, shared by the clock and time-zone services.
#pragma once

#include <cstddef>

#include "ce/time.h"
#include "pndhal/navtime.h"
#include "pndhal/navtimezone.h"

namespace TimeServices {

/// A date-time from the system's record; milliseconds are dropped and the
/// week day is recomputed.
CNavTime NavTimeFromSystemTime(const SYSTEMTIME& time);

/// `base` (keeping its milliseconds) with the date and time of `time`.
SYSTEMTIME SystemTimeFromNavTime(const CNavTime& time, SYSTEMTIME base);

/// A transition date in the weekday-occurrence form (year 0, day 1 to 5: the
/// n-th given weekday of the month, 5 the last) turned into the actual day of
/// `year`; any other date is returned unchanged.
SYSTEMTIME ActualTransition(SYSTEMTIME date, int year);

/// Writes the descriptor of a zone `baseHours` from UTC with one 60-minute
/// daylight window of `year`, from the daylight to the standard transition,
/// into `out` (at most `capacity` characters, terminator included).
void FormatZoneDescriptor(wchar_t* out, std::size_t capacity, int baseHours, SYSTEMTIME daylight,
                          SYSTEMTIME standard, int year);

/// The zone hours for a system bias in minutes (minutes to add to local
/// time to get UTC): the quotient, truncated toward zero, with the sign of
/// the hours to add to UTC.
inline int BaseHours(LONG biasMinutes) { return -(biasMinutes / 60); }

}  // namespace TimeServices
