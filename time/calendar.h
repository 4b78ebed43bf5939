// Conversions between unsigned 32-bit second counts (seconds since 1970-01-01 00:00:00) and broken-down
// `tm` fields, shared by the date-time value and the time-zone evaluation. They are inline because they
// are the inner step of every date-time operation.
//
// The day-to-date step uses the Euclidean affine functions of Neri and Schneider ("Euclidean affine
// functions and their application to calendar algorithms", 2022), which replace the year and month searches
// with a few multiplications and shifts; within the range of 32-bit counts the century step is a single
// correction for 2100.
#pragma once

#include <cstdint>
#include <ctime>

namespace pndhal::timevalues {
// Days before each month of a common year.
inline constexpr std::int32_t kMonthStart[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Days from 1968-03-01 to 1970-01-01. Counting from a 1 March puts each leap day at the end of its counted
// year, which is what makes the affine month formula exact.
inline constexpr std::uint32_t kDaysFromMarch1968 = 671;
// Day number (from 1970-01-01) of 2100-03-01, the first day after the only century year in range that is
// not a leap year.
inline constexpr std::uint32_t kMarch2100 = 47541;
// Year 2100 counted from March 1968.
inline constexpr std::uint32_t kYear2100 = 132;

/// The normalised fields of `count`: Gregorian calendar, week day from 0 = Sunday, year day from 0,
/// daylight flag 0 and every other member zero.
inline tm FieldsOfCount(std::uint32_t count) noexcept {
  const std::uint32_t days = count / 86400;
  const std::uint32_t secondOfDay = count - days * 86400;
  const std::uint32_t hour = secondOfDay / 3600;
  const std::uint32_t secondOfHour = secondOfDay - hour * 3600;
  const std::uint32_t minute = secondOfHour / 60;

  // Days since 1968-03-01 in the calendar whose every fourth year is a leap year. From 1901 to 2100-02-28
  // it is the Gregorian calendar; from 2100-03-01 on the day count moves on by the 29 February 2100 that
  // the Gregorian calendar leaves out. No other century year lies within 32-bit counts.
  const std::uint32_t march = days + kDaysFromMarch1968 + (days >= kMarch2100 ? 1 : 0);
  // Years of 1461 / 4 days: the year since March 1968 and the day of that year (0 = 1 March). One 64-bit
  // product gives both: 2939745 / 2^32 is 1/1461 closely enough that its high half is the quotient and its
  // low half, divided by 2939745 * 4, the day (exact for every count below 4 * 146097).
  const std::uint64_t yearProduct = std::uint64_t{2939745} * (4 * march + 3);
  const auto year = static_cast<std::uint32_t>(yearProduct >> 32);
  const std::uint32_t dayOfYear = static_cast<std::uint32_t>(yearProduct) / 11758980;
  // Month (3-14) and day: 2141 / 2^16 approximates 5 / 153, the slope of the month lengths from March on.
  const std::uint32_t monthAndDay = 2141 * dayOfYear + 197913;
  const std::uint32_t month = monthAndDay >> 16;
  const std::uint32_t dayOfMonth = (monthAndDay & 0xFFFF) / 2141;

  // January and February close the counted year; arithmetic instead of branches on it, since dates are
  // in them one time in six and a mispredicted branch costs more than the arithmetic.
  const std::uint32_t januaryOrFebruary = dayOfYear >= 306 ? 1 : 0;
  const std::uint32_t leapDay = (year & 3) == 0 && year != kYear2100 ? 1 : 0;

  tm fields{};
  fields.tm_sec = static_cast<int>(secondOfHour - minute * 60);
  fields.tm_min = static_cast<int>(minute);
  fields.tm_hour = static_cast<int>(hour);
  fields.tm_mday = static_cast<int>(dayOfMonth + 1);
  fields.tm_mon = static_cast<int>(month - 1 - 12 * januaryOrFebruary);
  fields.tm_year = static_cast<int>(year + 68 + januaryOrFebruary);
  // 1970-01-01 was a Thursday. 0x24924925 / 2^32 is 1/7 closely enough for every day number below 2^26.
  const std::uint32_t weeks = static_cast<std::uint32_t>(((days + 4) * std::uint64_t{0x24924925}) >> 32);
  fields.tm_wday = static_cast<int>(days + 4 - 7 * weeks);
  // From 1 March the year day counts January, February and the leap day before it; in January and
  // February the counted year's 306 days from March lie before it instead.
  fields.tm_yday =
      static_cast<int>(dayOfYear + 59 + leapDay * (1 - januaryOrFebruary) - 365 * januaryOrFebruary);
  return fields;
}

/// The second count of the year, month, day, hour, minute and second of `fields` modulo 2^32 (Gregorian
/// calendar). The month is folded into the year (both taken in 16 bits); the other fields count linearly,
/// whatever their range. Leap days are counted with quotients truncated toward zero relative to 1968, 1900
/// and 1600, so dates before 1969 may be a day away from the proleptic Gregorian count.
inline std::uint32_t CountOfFields(const tm& fields) noexcept {
  std::uint32_t dayNumber;
  if (fields.tm_mon >= 0 && fields.tm_mon < 12 && fields.tm_year >= 69 && fields.tm_year <= 32767 - 1900) {
    // The common case, a month within its year and a year from 1969 on: nothing to fold, and every
    // quotient below has a non-negative dividend.
    const auto month = static_cast<std::uint32_t>(fields.tm_mon);
    const std::uint32_t year = static_cast<std::uint32_t>(fields.tm_year) + 1900;
    const std::uint32_t leapYear = year - (month < 2 ? 1 : 0);
    dayNumber = 365 * (year - 1970) + static_cast<std::uint32_t>(kMonthStart[month]) + (leapYear - 1968) / 4 -
                (leapYear - 1900) / 100 + (leapYear - 1600) / 400;
  } else {
    // The month and the year live in 16 bits, as they did in the device's record types.
    const auto month16 = static_cast<std::int16_t>(static_cast<std::uint16_t>(fields.tm_mon));
    std::int32_t month = month16 % 12;
    auto year = static_cast<std::int16_t>(static_cast<std::uint16_t>(
        1900u + static_cast<std::uint32_t>(fields.tm_year) + static_cast<std::uint32_t>(month16 / 12)));
    if (month < 0) {
      month += 12;
      year = static_cast<std::int16_t>(year - 1);
    }
    // Leap days are counted up to the year of the date, or the year before for January and February.
    const std::int32_t leapYear = month < 2 ? year - 1 : year;
    dayNumber = static_cast<std::uint32_t>(365 * (year - 1970) + kMonthStart[month] + (leapYear - 1968) / 4 -
                                           (leapYear - 1900) / 100 + (leapYear - 1600) / 400);
  }
  // The free fields enter modulo 2^32.
  return (dayNumber + static_cast<std::uint32_t>(fields.tm_mday) - 1) * 86400u +
         static_cast<std::uint32_t>(fields.tm_hour) * 3600u +
         static_cast<std::uint32_t>(fields.tm_min) * 60u + static_cast<std::uint32_t>(fields.tm_sec);
}

}  // namespace pndhal::timevalues
