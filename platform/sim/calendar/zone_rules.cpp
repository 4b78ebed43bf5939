// Time-zone arithmetic over TIME_ZONE_INFORMATION and its derivation from POSIX TZ rules.
#include "sim/calendar/zone_rules.h"

#include <algorithm>
#include <string>

#include "sim/calendar/civil.h"

namespace sim::tz {
namespace {

constexpr std::int64_t kMsPerMinute = 60'000;

bool IsValidTransition(const SYSTEMTIME& date) {
  if (date.wMonth < 1 || date.wMonth > 12 || date.wHour >= 24 || date.wMinute >= 60 || date.wSecond >= 60 ||
      date.wMilliseconds >= 1000) {
    return false;
  }
  if (date.wYear == 0) {
    return date.wDayOfWeek <= 6 && date.wDay >= 1 && date.wDay <= 5;
  }
  return date.wDay >= 1 && date.wDay <= civil::DaysInMonth(date.wYear, date.wMonth);
}

// Day (since 1970-01-01) of the `week`-th (5 = last) `weekday` of a month.
std::int64_t NthWeekdayOfMonth(std::int64_t year, unsigned month, unsigned week, unsigned weekday) {
  const std::int64_t first = civil::DaysFromCivil(year, month, 1);
  unsigned offset = (weekday + 7 - civil::WeekdayFromDays(first)) % 7 + (week - 1) * 7;
  while (offset >= civil::DaysInMonth(year, month)) {
    offset -= 7;
  }
  return first + offset;
}

// Local date and time of a POSIX rule date in `year`, in seconds as if local time were UTC.
std::int64_t RuleLocalSeconds(const PosixRuleDate& date, std::int64_t year) {
  std::int64_t day = 0;
  switch (date.form) {
    case PosixRuleDate::Form::Julian:
      day = civil::DaysFromCivil(year, 1, 1) + date.day - 1 + (civil::IsLeapYear(year) && date.day >= 60);
      break;
    case PosixRuleDate::Form::ZeroBasedDay:
      day = civil::DaysFromCivil(year, 1, 1) + date.day;
      break;
    case PosixRuleDate::Form::MonthWeekDay:
      day = NthWeekdayOfMonth(year, static_cast<unsigned>(date.month), static_cast<unsigned>(date.week),
                              static_cast<unsigned>(date.weekday));
      break;
  }
  return day * 86400 + date.time;
}

// A rule date as a weekday-occurrence transition date (wYear 0). A month-week-day date at a time of
// day within 0:00-23:59:59 maps field for field; any other date is first placed in `year`, so the
// form names the right day in that year (and is the last occurrence when no later one exists).
SYSTEMTIME TransitionDate(const PosixRuleDate& date, int year) {
  SYSTEMTIME out{};
  std::int64_t secondsOfDay = date.time;
  if (date.form == PosixRuleDate::Form::MonthWeekDay && date.time >= 0 && date.time < 86400) {
    out.wMonth = static_cast<WORD>(date.month);
    out.wDayOfWeek = static_cast<WORD>(date.weekday);
    out.wDay = static_cast<WORD>(date.week);
  } else {
    const std::int64_t local = RuleLocalSeconds(date, year);
    const std::int64_t days = civil::FloorDiv(local, 86400);
    secondsOfDay = local - days * 86400;
    const civil::Date day = civil::CivilFromDays(days);
    out.wMonth = static_cast<WORD>(day.month);
    out.wDayOfWeek = static_cast<WORD>(civil::WeekdayFromDays(days));
    out.wDay =
        static_cast<WORD>(day.day + 7 > civil::DaysInMonth(day.year, day.month) ? 5 : (day.day - 1) / 7 + 1);
  }
  out.wHour = static_cast<WORD>(secondsOfDay / 3600);
  out.wMinute = static_cast<WORD>(secondsOfDay / 60 % 60);
  out.wSecond = static_cast<WORD>(secondsOfDay % 60);
  return out;
}

void CopyName(const std::string& name, WCHAR (&out)[32]) {
  const std::size_t length = std::min<std::size_t>(name.size(), 31);
  for (std::size_t i = 0; i < length; ++i) {
    out[i] = static_cast<WCHAR>(static_cast<unsigned char>(name[i]));
  }
  out[length] = L'\0';
}

TIME_ZONE_INFORMATION FixedZone(const std::string& name, std::int32_t offsetSeconds) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = -offsetSeconds / 60;
  CopyName(name, zone.StandardName);
  CopyName(name, zone.DaylightName);
  return zone;
}

}  // namespace

bool HasDaylightRules(const TIME_ZONE_INFORMATION& zone) {
  return zone.StandardDate.wMonth != 0 && zone.DaylightDate.wMonth != 0;
}

bool IsValidZone(const TIME_ZONE_INFORMATION& zone) {
  if (zone.StandardDate.wMonth == 0) {
    return true;
  }
  return IsValidTransition(zone.StandardDate) && IsValidTransition(zone.DaylightDate);
}

std::int64_t TransitionLocalMs(const SYSTEMTIME& date, std::int64_t year) {
  const unsigned month = std::clamp<unsigned>(date.wMonth, 1, 12);
  std::int64_t day;
  if (date.wYear == 0) {
    day = NthWeekdayOfMonth(year, month, std::clamp<unsigned>(date.wDay, 1, 5), date.wDayOfWeek % 7u);
  } else {
    day = civil::DaysFromCivil(year, month,
                               std::clamp<unsigned>(date.wDay, 1, civil::DaysInMonth(year, month)));
  }
  return day * civil::kMsPerDay +
         ((date.wHour * 60 + date.wMinute) * 60 + date.wSecond) * std::int64_t{1000} + date.wMilliseconds;
}

bool IsDaylightAt(const TIME_ZONE_INFORMATION& zone, std::int64_t utcMs) {
  if (!HasDaylightRules(zone)) {
    return false;
  }
  const std::int64_t standardBias = (std::int64_t{zone.Bias} + zone.StandardBias) * kMsPerMinute;
  const std::int64_t daylightBias = (std::int64_t{zone.Bias} + zone.DaylightBias) * kMsPerMinute;
  const std::int64_t year = civil::YearOfMs(utcMs - standardBias);
  const std::int64_t daylightStart = TransitionLocalMs(zone.DaylightDate, year) + standardBias;
  const std::int64_t daylightEnd = TransitionLocalMs(zone.StandardDate, year) + daylightBias;
  if (daylightStart < daylightEnd) {
    return utcMs >= daylightStart && utcMs < daylightEnd;
  }
  return utcMs >= daylightStart || utcMs < daylightEnd;
}

DWORD ZoneIdAt(const TIME_ZONE_INFORMATION& zone, std::int64_t utcMs) {
  if (!HasDaylightRules(zone)) {
    return TIME_ZONE_ID_UNKNOWN;
  }
  return IsDaylightAt(zone, utcMs) ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

std::int64_t LocalFromUtc(const TIME_ZONE_INFORMATION& zone, std::int64_t utcMs) {
  const LONG bias = IsDaylightAt(zone, utcMs) ? zone.DaylightBias : zone.StandardBias;
  return utcMs - (std::int64_t{zone.Bias} + bias) * kMsPerMinute;
}

std::int64_t UtcFromLocal(const TIME_ZONE_INFORMATION& zone, std::int64_t localMs) {
  if (HasDaylightRules(zone)) {
    const std::int64_t asDaylight = localMs + (std::int64_t{zone.Bias} + zone.DaylightBias) * kMsPerMinute;
    if (IsDaylightAt(zone, asDaylight)) {
      return asDaylight;
    }
  }
  return localMs + (std::int64_t{zone.Bias} + zone.StandardBias) * kMsPerMinute;
}

TIME_ZONE_INFORMATION ZoneInformationFor(const PosixTz& rule, int year) {
  if (!rule.hasDaylight) {
    return FixedZone(rule.standardName, rule.standardOffset);
  }

  const std::int64_t startUtc = RuleLocalSeconds(rule.start, year) - rule.standardOffset;
  const std::int64_t endUtc = RuleLocalSeconds(rule.end, year) - rule.daylightOffset;
  const std::int64_t nextStartUtc = RuleLocalSeconds(rule.start, year + 1) - rule.standardOffset;
  const std::int64_t yearStartUtc = civil::DaysFromCivil(year, 1, 1) * 86400 - rule.standardOffset;
  if (startUtc <= yearStartUtc && endUtc >= nextStartUtc) {
    return FixedZone(rule.daylightName, rule.daylightOffset);
  }

  // Daylight time behind standard time (Europe/Dublin's winter "GMT" after summer "IST"): the
  // platform's records, and the HAL reading them, expect the later time to be the daylight one.
  const bool reversed = rule.daylightOffset < rule.standardOffset;
  const std::string& standardName = reversed ? rule.daylightName : rule.standardName;
  const std::string& daylightName = reversed ? rule.standardName : rule.daylightName;
  const std::int32_t standardOffset = reversed ? rule.daylightOffset : rule.standardOffset;
  const std::int32_t daylightOffset = reversed ? rule.standardOffset : rule.daylightOffset;
  const PosixRuleDate& toDaylight = reversed ? rule.end : rule.start;
  const PosixRuleDate& toStandard = reversed ? rule.start : rule.end;

  TIME_ZONE_INFORMATION zone{};
  zone.Bias = -standardOffset / 60;
  zone.StandardBias = 0;
  zone.DaylightBias = -(daylightOffset - standardOffset) / 60;
  CopyName(standardName, zone.StandardName);
  CopyName(daylightName, zone.DaylightName);
  zone.StandardDate = TransitionDate(toStandard, year);
  zone.DaylightDate = TransitionDate(toDaylight, year);
  return zone;
}

}  // namespace sim::tz
