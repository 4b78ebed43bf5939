// Time records and the clock and time-zone calls of the device platform: SYSTEMTIME, FILETIME,
// TIME_ZONE_INFORMATION, the registry's REG_TZI_FORMAT (from ce/tzi_record.h), and Get/Set of the system
// time, the local time and the time zone.
#pragma once

#include "ce/types.h"

/// A calendar date and time of day; wDayOfWeek counts from 0 (Sunday). As a time-zone transition date
/// with wYear 0 it means "the wDay-th (5 = last) wDayOfWeek of wMonth at wHour:wMinute local time".
struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is eight 16-bit fields");

/// 100-nanosecond intervals since 1601-01-01 00:00 UTC, split into two 32-bit halves.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;
static_assert(sizeof(FILETIME) == 8, "FILETIME is two 32-bit halves");

/// The current time zone. Bias is UTC minus local standard time in minutes; StandardBias and
/// DaylightBias are added to it while that time is in force. StandardDate is the change to standard
/// time (in daylight local time), DaylightDate the change to daylight time (in standard local time);
/// StandardDate.wMonth 0 means the zone has no daylight time.
struct TIME_ZONE_INFORMATION {
  LONG Bias;
  WCHAR StandardName[32];
  SYSTEMTIME StandardDate;
  LONG StandardBias;
  WCHAR DaylightName[32];
  SYSTEMTIME DaylightDate;
  LONG DaylightBias;
};
using LPTIME_ZONE_INFORMATION = TIME_ZONE_INFORMATION*;

// Answers of GetTimeZoneInformation.
inline constexpr DWORD TIME_ZONE_ID_UNKNOWN = 0;
inline constexpr DWORD TIME_ZONE_ID_STANDARD = 1;
inline constexpr DWORD TIME_ZONE_ID_DAYLIGHT = 2;
inline constexpr DWORD TIME_ZONE_ID_INVALID = 0xFFFFFFFFu;

/// Writes the device's current UTC date and time, to the millisecond, into `time` (nothing when null).
PNDSIM_API void WINAPI GetSystemTime(LPSYSTEMTIME time);

/// Writes the device's current local date and time, per the current time zone, into `time` (nothing
/// when null).
PNDSIM_API void WINAPI GetLocalTime(LPSYSTEMTIME time);

/// Sets the device clock to the UTC date and time in `time` (wDayOfWeek is ignored). Returns FALSE
/// with ERROR_INVALID_PARAMETER for a null pointer or an invalid field (year outside 1601-30827,
/// month, day of the month, hour, minute, second or millisecond out of range).
PNDSIM_API BOOL WINAPI SetSystemTime(const SYSTEMTIME* time);

/// Sets the device clock to the local date and time in `time`, converted to UTC with the zone in force
/// at that local time. Fails as SetSystemTime does.
PNDSIM_API BOOL WINAPI SetLocalTime(const SYSTEMTIME* time);

/// Copies the current time zone into `zone` and answers TIME_ZONE_ID_UNKNOWN for a zone without
/// daylight time, else TIME_ZONE_ID_STANDARD or TIME_ZONE_ID_DAYLIGHT for the device's current
/// instant. A null pointer answers TIME_ZONE_ID_INVALID with ERROR_INVALID_PARAMETER.
PNDSIM_API DWORD WINAPI GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone);

/// Makes `zone` the current time zone. Returns FALSE with ERROR_INVALID_PARAMETER for a null pointer
/// or, when StandardDate.wMonth is not 0, for transition dates that are not valid (month 1-12,
/// weekday 0-6 and occurrence 1-5 for wYear 0, a real day of the month otherwise, time of day in
/// range).
PNDSIM_API BOOL WINAPI SetTimeZoneInformation(const TIME_ZONE_INFORMATION* zone);

// Last: the record is built from SYSTEMTIME.
#include "ce/tzi_record.h"
