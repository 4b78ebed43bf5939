// Time-zone arithmetic over the platform's TIME_ZONE_INFORMATION: which time is in force at an
// instant, local time from UTC and back, the validity of transition dates, and the record a POSIX TZ
// rule gives for one year.
#pragma once

#include <cstdint>

#include "ce/time.h"
#include "sim/calendar/posix_tz.h"

namespace sim::tz {

/// True when the zone has daylight time: both transition dates name a month.
bool HasDaylightRules(const TIME_ZONE_INFORMATION& zone);

/// True when the zone's transition dates are acceptable to SetTimeZoneInformation: nothing is
/// checked for a zone without daylight time (StandardDate.wMonth 0); otherwise both dates need a
/// month 1-12, a time of day in range, and for wYear 0 a weekday 0-6 and an occurrence 1-5, else a
/// day that exists in that month of wYear.
bool IsValidZone(const TIME_ZONE_INFORMATION& zone);

/// True when daylight time is in force at `utcMs` (milliseconds since 1970-01-01 UTC). The
/// transitions of the year that `utcMs` falls in (by local standard time) decide; a daylight period
/// that spans the new year (southern hemisphere) is in force before the change to standard time and
/// after the change to daylight time.
bool IsDaylightAt(const TIME_ZONE_INFORMATION& zone, std::int64_t utcMs);

/// TIME_ZONE_ID_UNKNOWN, _STANDARD or _DAYLIGHT at `utcMs`.
DWORD ZoneIdAt(const TIME_ZONE_INFORMATION& zone, std::int64_t utcMs);

/// Local time at `utcMs`: UTC minus Bias and the bias in force (StandardBias unless daylight time).
std::int64_t LocalFromUtc(const TIME_ZONE_INFORMATION& zone, std::int64_t utcMs);

/// The UTC instant of the local time `localMs`, with the bias in force at that local time. A local
/// time that occurs twice (the hour repeated at the change to standard time) is taken as the first,
/// in daylight time; one that is skipped (at the change to daylight time) is read with the standard
/// bias, so it lands after the change.
std::int64_t UtcFromLocal(const TIME_ZONE_INFORMATION& zone, std::int64_t localMs);

/// The record of a POSIX TZ rule in force during `year`, see docs/time-zones.md: names from the
/// abbreviations, a daylight period behind standard time (negative daylight saving) turned round so
/// that daylight time is the later one, daylight time covering the whole year made the fixed offset,
/// and transitions in the weekday-occurrence form (exact for `year` where the rule's date or time does
/// not map onto that form directly).
TIME_ZONE_INFORMATION ZoneInformationFor(const PosixTz& rule, int year);

/// The local date and time at which a transition date falls in `year`, in milliseconds since
/// 1970-01-01 as if local time were UTC. An absolute date (wYear not 0) is taken as that day of the
/// month in `year`, the last day of the month when it has fewer days.
std::int64_t TransitionLocalMs(const SYSTEMTIME& date, std::int64_t year);

}  // namespace sim::tz
