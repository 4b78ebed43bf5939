// Conversions between the system's date and zone records and the library's
// date-time and zone values, shared by the clock and time-zone services.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ce/time.h"
#include "pndhal/navtime.h"
#include "pndhal/navtimezone.h"

namespace time_services {

/// A date-time from the system's record; milliseconds are dropped and the
/// week day is recomputed.
CNavTime NavTimeFromSystemTime(const SYSTEMTIME& time);

/// `base` (keeping its milliseconds) with the date and time of `time`.
SYSTEMTIME SystemTimeFromNavTime(const CNavTime& time, SYSTEMTIME base);

/// A transition date in the weekday-occurrence form (year 0, day 1 to 5: the
/// n-th given weekday of the month, 5 the last) turned into the actual day of
/// `year`; any other date is returned unchanged.
SYSTEMTIME ActualTransition(SYSTEMTIME date, int year);

/// Writes the descriptor of the zone `record` describes, for `year`, into
/// `out` (at most `capacity` characters, terminator included). The base is
/// the standard offset (`Bias` + `StandardBias`) in whole hours; each window
/// adds the daylight shift (`StandardBias` - `DaylightBias` minutes) from a
/// daylight to a standard transition. Daylight time within the year gives
/// one window; daylight time across the new year gives two, the one that
/// began in the year before and the one that begins in `year`. A record
/// without daylight time (a transition month of 0) gives a window of 0 days
/// in month 0 that adds nothing. Sums are taken in 64 bits, so no record
/// overflows them.
void FormatZoneDescriptor(wchar_t* out, std::size_t capacity, const REG_TZI_FORMAT& record, int year);

/// The zone hours for a system bias in minutes (minutes to add to local
/// time to get UTC): the quotient, truncated toward zero, with the sign of
/// the hours to add to UTC.
inline std::int64_t BaseHours(std::int64_t biasMinutes) { return -(biasMinutes / 60); }

}  // namespace time_services
