// The POSIX TZ rule parser: "std offset [dst [offset] [,start[/time],end[/time]]]" as the TZ variable
// and the last line of a version 2+ zoneinfo file write it, with the quoted <+03> names and the
// extended transition times (-167 to 167 hours) of the zoneinfo format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim::tz {

/// One transition date of a rule and its local time of day.
struct PosixRuleDate {
  enum class Form {
    Julian,        ///< "Jn": day n (1-365) of the year, February 29 never counted
    ZeroBasedDay,  ///< "n": day n (0-365) of the year, February 29 counted
    MonthWeekDay,  ///< "Mm.w.d": weekday d (0 = Sunday) of week w (1-4, 5 = last) of month m
  };
  Form form = Form::MonthWeekDay;
  int day = 0;
  int month = 0;
  int week = 0;
  int weekday = 0;
  int time = 7200;  ///< seconds after local midnight, -167 to 167 hours (default 02:00)

  friend bool operator==(const PosixRuleDate&, const PosixRuleDate&) = default;
};

/// A parsed rule. Offsets are seconds east of UTC (the opposite sign of the text's).
struct PosixTz {
  std::string standardName;
  std::int32_t standardOffset = 0;
  bool hasDaylight = false;
  std::string daylightName;
  std::int32_t daylightOffset = 0;  ///< standard + 1 hour when the text gives none
  PosixRuleDate start;              ///< change to daylight time, in standard local time
  PosixRuleDate end;                ///< change to standard time, in daylight local time
};

/// Parses a complete rule. A daylight zone without transition dates gets the United States rules
/// M3.2.0,M11.1.0 (the C library's default). Returns nothing for any malformed or trailing text, a
/// name shorter than three characters, an offset beyond 24:59:59 or a field out of range.
std::optional<PosixTz> ParsePosixTz(std::string_view text);

}  // namespace sim::tz
