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
/// the standard offset (`Bias` + `StandardBias`) in minutes, written as
/// BaseField writes it; each window adds the daylight shift (`StandardBias` -
/// `DaylightBias` minutes) from a daylight to a standard transition. Daylight
/// time within the year gives one window; daylight time across the new year
/// gives two, the one that began in the year before and the one that begins
/// in `year`. A record without daylight time (a transition month of 0) gives
/// a window of 0 days in month 0 that adds nothing. Sums are taken in 64
/// bits, so no record overflows them.
void FormatZoneDescriptor(wchar_t* out, std::size_t capacity, const REG_TZI_FORMAT& record, int year);

/// The zone base in minutes for a system bias in minutes (minutes to add to
/// local time to get UTC): the minutes to add to UTC.
inline std::int64_t BaseMinutesOfBias(std::int64_t biasMinutes) { return -biasMinutes; }

/// Room for the longest base field, "-71582788.27" with its terminator.
inline constexpr std::size_t kBaseFieldChars = 24;

/// Writes the descriptor's base field for a base of `minutes` into `out`
/// (kBaseFieldChars characters): hours with two decimals. Whole hours read
/// "%d.00" ("1.00", "-5.00", "0.00"); any other base carries the hundredths of
/// an hour, rounded to the nearest ("5.50", "5.75", "-9.50", "-0.50", "5.33"
/// for 5:20). Quarter hours are read back exactly; any other minute count is
/// within 0.3 minutes, so the zone's count to the nearest minute gives it
/// back. Built from integers, so the locale's decimal separator plays no
/// part: the descriptor parser takes a "." only.
void BaseField(wchar_t* out, std::int64_t minutes);

}  // namespace time_services
