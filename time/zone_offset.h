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

/// The zone's offset at `time` in seconds, counted without the 32-bit wrap of
/// GetTimeSpan: the whole hours of the base offset (truncated toward zero)
/// times 3600 plus the shift in force. Not a number when the base is not.
double OffsetSecondsAt(const CNavTimeZone& zone, const CNavTime& time);

}  // namespace pndhal::timevalues
