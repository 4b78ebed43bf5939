// The offset of a time zone at a date-time: the window in force and the
// offset counted without wrapping.
#include "time/zone_offset.h"

#include <cmath>
#include <limits>

#include "time/value_access.h"

namespace pndhal::timevalues {
namespace {

std::int32_t Minus(std::int32_t value, std::uint32_t amount) noexcept {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - amount);
}

}  // namespace

std::int32_t ShiftMinutesAt(const CNavTimeZone& zone, const CNavTime& time) {
  const auto& rules = NavValueAccess::Rules(zone);
  const auto& shifts = NavValueAccess::Shifts(zone);
  const auto now = static_cast<std::int32_t>(static_cast<std::uint32_t>(time.GetTotalSeconds(false)));
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const TimeZoneRule& rule = rules[i];
    tm start{};
    start.tm_min = rule.iMinute;
    start.tm_hour = rule.iHour;
    start.tm_mday = rule.iDay;
    start.tm_mon = Minus(rule.iMonth, 1);
    start.tm_year = Minus(rule.iYear, 1900);
    const auto begin = static_cast<std::uint32_t>(time.Mknavtime(start));
    if (static_cast<std::int32_t>(begin) > now) {
      return 0;
    }
    const auto end = static_cast<std::int32_t>(begin + static_cast<std::uint32_t>(rule.iDays) * 86400u);
    if (now <= end) {
      // A rule read without a shift (a rejected descriptor keeps both lists as read) adds nothing.
      return i < shifts.size() ? shifts[i] : 0;
    }
  }
  return 0;
}

std::int32_t BaseOffsetMinutes(float hours) noexcept {
  const double minutes = std::round(static_cast<double>(hours) * 60.0);
  if (std::isnan(minutes)) {
    return 0;
  }
  if (minutes >= 2147483647.0) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (minutes <= -2147483648.0) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(minutes);
}

double OffsetSecondsAt(const CNavTimeZone& zone, const CNavTime& time) {
  return std::round(static_cast<double>(NavValueAccess::BaseOffset(zone)) * 60.0) * 60.0 +
         static_cast<double>(ShiftMinutesAt(zone, time)) * 60.0;
}

}  // namespace pndhal::timevalues
