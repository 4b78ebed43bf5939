// Control of the simulated device's clock and current time zone: pin the clock to an instant, read
// the device's UTC time, and choose the zone by tz database name or by explicit rules.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pndsim/control.h"

namespace pndsim {

/// An instant on the device clock: UTC milliseconds since 1970-01-01, the clock's resolution, in a
/// type that reaches the years 1601-30827 the platform's time records hold (a nanosecond
/// system_clock::time_point does not). Convert a host time with std::chrono::floor.
using DeviceInstant = std::chrono::sys_time<std::chrono::milliseconds>;

/// Freezes the device clock at `instant` (UTC) until UnpinClock(); setting the time meanwhile moves
/// the frozen instant. Returns false, changing nothing, for an instant outside the years 1601-30827.
PNDSIM_CONTROL_API bool PinClock(DeviceInstant instant);

/// Lets a pinned device clock run again from the instant it shows. Does nothing when it is not pinned.
PNDSIM_CONTROL_API void UnpinClock();

/// True while the device clock is pinned.
PNDSIM_CONTROL_API bool ClockPinned();

/// How far the device clock was ahead of the host's clock (negative: behind) when the time setters (or
/// the last reset) last set it; what a pinned clock will run with again is decided when it is unpinned.
/// The clock runs on device time, so under a time scale above 1 it gains on the host beyond this offset.
PNDSIM_CONTROL_API std::chrono::milliseconds ClockOffset();

/// Unpins the device clock and makes it run, on device time, from `offset` ahead of the host's clock
/// now. Returns false, changing nothing, when the device time would then lie outside the years
/// 1601-30827.
PNDSIM_CONTROL_API bool SetClockOffset(std::chrono::milliseconds offset);

/// The device's current UTC time, to the millisecond: the pinned instant, or the time the clock was
/// last set to (the host's clock plus an offset) moved on by the device time passed since, which is real
/// time multiplied by the time scale, as for the tick count and the waits.
PNDSIM_CONTROL_API DeviceInstant DeviceTime();

/// A transition date of a zone, field for field the platform's SYSTEMTIME: with year 0, the
/// day-th (5 = last) dayOfWeek (0 = Sunday) of month at hour:minute local time; month 0 = none.
struct ZoneDate {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t dayOfWeek = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

/// A zone's rules, field for field the platform's TIME_ZONE_INFORMATION (names in UTF-8, of which the
/// platform record keeps 31 characters). bias is UTC minus local standard time in minutes.
struct ZoneInfo {
  std::int32_t bias = 0;
  std::string standardName;
  ZoneDate standardDate;
  std::int32_t standardBias = 0;
  std::string daylightName;
  ZoneDate daylightDate;
  std::int32_t daylightBias = 0;
};

/// Makes the zone `name` current: a tz database name ("Europe/Berlin", read from the host's zoneinfo
/// files) or a POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3"), as the TZ variable takes them; its
/// rules are those in force in the device's current year. Returns false, changing nothing, for a
/// name that is neither.
PNDSIM_CONTROL_API bool SetTimeZoneByName(std::string_view name);

/// Makes `zone` current, as SetTimeZoneInformation would. Returns false, changing nothing, for
/// transition dates SetTimeZoneInformation rejects.
PNDSIM_CONTROL_API bool SetTimeZoneInfo(const ZoneInfo& zone);

/// The current zone's rules, as GetTimeZoneInformation reports them.
PNDSIM_CONTROL_API ZoneInfo CurrentTimeZone();

/// The current zone's name: the tz database name or TZ rule it was chosen by, "UTC" for the fallback
/// zone, or the standard name of a zone set by its rules.
PNDSIM_CONTROL_API std::string TimeZoneName();

/// The rules of the tz database zone or POSIX TZ rule `name` for `year`, exactly as the device would
/// adopt them, without changing the current zone; nothing for an unknown name or a year outside
/// 1601-30827.
PNDSIM_CONTROL_API std::optional<ZoneInfo> LookupTimeZone(std::string_view name, int year);

}  // namespace pndsim
