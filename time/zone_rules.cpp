// Conversions between the system's date and zone records and the library's
// date-time and zone values.
#include "time/zone_rules.h"

#include <cwchar>

namespace TimeServices {
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

// Whole days between the daylight and the standard transition of `year`.
long WindowDays(const SYSTEMTIME& daylight, const SYSTEMTIME& standard, int year) {
  const unsigned long start = SecondsOf(daylight, year);
  const unsigned long end = SecondsOf(standard, year);
  return CNavTimeSpan(start > end ? start - end : end - start).GetDays();
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

void FormatZoneDescriptor(wchar_t* out, std::size_t capacity, int baseHours, SYSTEMTIME daylight,
                          SYSTEMTIME standard, int year) {
  daylight = ActualTransition(daylight, year);
  standard = ActualTransition(standard, year);
  std::swprintf(out, capacity, L"TZ|%d.00|DY|1;60;[(y%dM%dd%dh%d) {%ld}]", baseHours, year, daylight.wMonth,
                daylight.wDay, daylight.wHour, WindowDays(daylight, standard, year));
}

}  // namespace TimeServices
