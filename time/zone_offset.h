// The offset of a time zone at a date-time, shared by the zone value and by
// the services that must tell an offset in use on Earth from an absurd one.
#pragma once

#include <cstdint>

#include "pndhal/navtime.h"
#include "pndhal/navtimezone.h"

namespace pndhal::timevalues {

/// The shift in minutes of the window of `zone` that contains `time`: the
/// first in stored order, stopping at the first that starts after `time`,
/// both ends included. 0 when no window contains it or that window has no
/// shift.
std::int32_t ShiftMinutesAt(const CNavTimeZone& zone, const CNavTime& time);

/// The base offset `hours` counted in whole minutes: hours times 60, rounded
/// to the nearest minute, so that 5.5 is 330 and a base written with two
/// decimals (5.33 for 5:20) comes back to its minute. Held within 32 bits; 0
/// for a base that is not a number.
std::int32_t BaseOffsetMinutes(float hours) noexcept;

/// The zone's offset at `time` in seconds, counted without the 32-bit wrap of
/// GetTimeSpan: the base offset in minutes (rounded as BaseOffsetMinutes
/// rounds it) times 60 plus the shift in force. Not a number when the base is
/// not.
double OffsetSecondsAt(const CNavTimeZone& zone, const CNavTime& time);

}  // namespace pndhal::timevalues
