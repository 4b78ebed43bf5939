// Proleptic Gregorian calendar arithmetic on day and millisecond counts since 1970-01-01, and the
// conversion between those counts and the platform's SYSTEMTIME.
#pragma once

#include <cstdint>

#include "ce/time.h"

namespace sim::civil {

inline constexpr std::int64_t kMsPerDay = 86'400'000;

/// The first and last years SYSTEMTIME and FILETIME can express.
inline constexpr int kMinYear = 1601;
inline constexpr int kMaxYear = 30827;

struct Date {
  std::int64_t year;
  unsigned month;  // 1-12
  unsigned day;    // 1-31
};

/// Quotient rounded toward minus infinity, so times before 1970 fall on the right day.
constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr bool IsLeapYear(std::int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

constexpr unsigned DaysInMonth(std::int64_t year, unsigned month) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29u : kDays[(month - 1) % 12];
}

/// Days since 1970-01-01 of a date (month 1-12, day 1-31).
constexpr std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

/// The date `days` after 1970-01-01.
constexpr Date CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

/// Day of the week of the day `days` after 1970-01-01 (a Thursday), 0 = Sunday.
constexpr unsigned WeekdayFromDays(std::int64_t days) {
  return static_cast<unsigned>(days >= -4 ? (days + 4) % 7 : (days + 5) % 7 + 6);
}

/// True when `time` names a real instant: year 1601-30827, a day that exists in its month, time of
/// day within range. wDayOfWeek is not looked at.
constexpr bool IsValidSystemTime(const SYSTEMTIME& time) {
  return time.wYear >= kMinYear && time.wYear <= kMaxYear && time.wMonth >= 1 && time.wMonth <= 12 &&
         time.wDay >= 1 && time.wDay <= DaysInMonth(time.wYear, time.wMonth) && time.wHour < 24 &&
         time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
}

/// Milliseconds since 1970-01-01 of a valid SYSTEMTIME (see IsValidSystemTime).
constexpr std::int64_t MsFromSystemTime(const SYSTEMTIME& time) {
  return DaysFromCivil(time.wYear, time.wMonth, time.wDay) * kMsPerDay +
         ((time.wHour * 60 + time.wMinute) * 60 + time.wSecond) * std::int64_t{1000} + time.wMilliseconds;
}

/// The SYSTEMTIME (with its day of the week) of `ms` milliseconds since 1970-01-01; the year must
/// lie within 1601-30827.
constexpr SYSTEMTIME SystemTimeFromMs(std::int64_t ms) {
  const std::int64_t days = FloorDiv(ms, kMsPerDay);
  const std::int64_t inDay = ms - days * kMsPerDay;
  const Date date = CivilFromDays(days);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(date.year);
  time.wMonth = static_cast<WORD>(date.month);
  time.wDayOfWeek = static_cast<WORD>(WeekdayFromDays(days));
  time.wDay = static_cast<WORD>(date.day);
  time.wHour = static_cast<WORD>(inDay / 3'600'000);
  time.wMinute = static_cast<WORD>(inDay / 60'000 % 60);
  time.wSecond = static_cast<WORD>(inDay / 1000 % 60);
  time.wMilliseconds = static_cast<WORD>(inDay % 1000);
  return time;
}

/// The year of `ms` milliseconds since 1970-01-01.
constexpr std::int64_t YearOfMs(std::int64_t ms) { return CivilFromDays(FloorDiv(ms, kMsPerDay)).year; }

/// The first and one past the last millisecond SYSTEMTIME can hold.
inline constexpr std::int64_t kMinMs = DaysFromCivil(kMinYear, 1, 1) * kMsPerDay;
inline constexpr std::int64_t kEndMs = DaysFromCivil(kMaxYear + 1, 1, 1) * kMsPerDay;

/// FILETIME ticks (100 ns since 1601-01-01) of `ms` milliseconds since 1970-01-01.
constexpr FILETIME FileTimeFromMs(std::int64_t ms) {
  const auto ticks = static_cast<std::uint64_t>((ms - kMinMs) * 10'000);
  return {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace sim::civil
