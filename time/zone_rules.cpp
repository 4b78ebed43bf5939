// Conversions between the system's date and zone records and the library's
// date-time and zone values.
#include "time/zone_rules.h"

#include <array>
#include <cwchar>

namespace time_services {
namespace {

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

unsigned long SecondsOf(SYSTEMTIME date, int year) {
  date.wYear = static_cast<WORD>(year);
  return NavTimeFromSystemTime(date).GetTotalSeconds(false);
}

// Whole days from `start` to the later `end`; second counts wrap at 2^32, so
// the difference is taken modulo 2^32 too.
long DaysBetween(unsigned long start, unsigned long end) {
  return CNavTimeSpan((end - start) & 0xFFFFFFFFul).GetDays();
}

// True when the daylight transition comes after the standard one in the
// calendar year: daylight time then spans the new year.
bool SpansNewYear(const SYSTEMTIME& daylight, const SYSTEMTIME& standard) {
  const auto key = [](const SYSTEMTIME& t) {
    return std::array<WORD, 5>{t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  };
  return key(daylight) > key(standard);
}

}  // namespace

CNavTime NavTimeFromSystemTime(const SYSTEMTIME& time) {
  tm fields{};
  fields.tm_year = time.wYear - 1900;
  fields.tm_mon = time.wMonth - 1;
  fields.tm_mday = time.wDay;
  fields.tm_hour = time.wHour;
  fields.tm_min = time.wMinute;
  fields.tm_sec = time.wSecond;
  return CNavTime(fields);
}

SYSTEMTIME SystemTimeFromNavTime(const CNavTime& time, SYSTEMTIME base) {
  base.wYear = time.GetYear();
  base.wMonth = time.GetMonth();
  base.wDay = time.GetDay();
  base.wHour = time.GetHour();
  base.wMinute = time.GetMinute();
  base.wSecond = time.GetSecond();
  base.wDayOfWeek = static_cast<WORD>(time.GetDayOfWeek() - 1);
  return base;
}

SYSTEMTIME ActualTransition(SYSTEMTIME date, int year) {
  if (date.wYear != 0 || date.wDay < 1 || date.wDay > 5 || date.wMonth < 1 || date.wMonth > 12 ||
      date.wDayOfWeek > 6) {
    return date;
  }
  tm first{};
  first.tm_year = year - 1900;
  first.tm_mon = date.wMonth - 1;
  first.tm_mday = 1;
  const int firstWeekday = CNavTime(first).GetDayOfWeek() - 1;
  int day = 1 + (date.wDayOfWeek - firstWeekday + 7) % 7 + (date.wDay - 1) * 7;
  while (day > DaysInMonth(year, date.wMonth)) day -= 7;
  date.wDay = static_cast<WORD>(day);
  return date;
}

void BaseField(wchar_t* out, std::int64_t minutes) {
  const std::uint64_t magnitude = minutes < 0 ? 0 - static_cast<std::uint64_t>(minutes) : minutes;
  const std::uint64_t rest = magnitude % 60;
  if (rest == 0) {
    std::swprintf(out, kBaseFieldChars, L"%lld.00", static_cast<long long>(minutes / 60));
    return;
  }
  // 100 / 60 hundredths per minute; no minute count falls halfway between two hundredths.
  const unsigned long long hundredths = (rest * 100 + 30) / 60;
  std::swprintf(out, kBaseFieldChars, L"%ls%llu.%02llu", minutes < 0 ? L"-" : L"",
                static_cast<unsigned long long>(magnitude / 60), hundredths);
}

void FormatZoneDescriptor(wchar_t* out, std::size_t capacity, const REG_TZI_FORMAT& record, int year) {
  wchar_t base[kBaseFieldChars];
  BaseField(base, BaseMinutesOfBias(std::int64_t{record.Bias} + record.StandardBias));
  if (record.DaylightDate.wMonth == 0 || record.StandardDate.wMonth == 0) {
    std::swprintf(out, capacity, L"TZ|%ls|DY|1;0;[(y%dM0d0h0) {0}]", base, year);
    return;
  }
  const long long shift = std::int64_t{record.StandardBias} - record.DaylightBias;
  const SYSTEMTIME daylight = ActualTransition(record.DaylightDate, year);
  const SYSTEMTIME standard = ActualTransition(record.StandardDate, year);
  if (!SpansNewYear(daylight, standard)) {
    std::swprintf(out, capacity, L"TZ|%ls|DY|1;%lld;[(y%dM%dd%dh%d) {%ld}]", base, shift, year,
                  daylight.wMonth, daylight.wDay, daylight.wHour,
                  DaysBetween(SecondsOf(daylight, year), SecondsOf(standard, year)));
    return;
  }
  const SYSTEMTIME earlier = ActualTransition(record.DaylightDate, year - 1);
  const SYSTEMTIME later = ActualTransition(record.StandardDate, year + 1);
  std::swprintf(out, capacity, L"TZ|%ls|DY|1;%lld;%lld;[(y%dM%dd%dh%d) {%ld};(y%dM%dd%dh%d) {%ld}]", base,
                shift, shift, year - 1, earlier.wMonth, earlier.wDay, earlier.wHour,
                DaysBetween(SecondsOf(earlier, year - 1), SecondsOf(standard, year)), year, daylight.wMonth,
                daylight.wDay, daylight.wHour,
                DaysBetween(SecondsOf(daylight, year), SecondsOf(later, year + 1)));
}

}  // namespace time_services
