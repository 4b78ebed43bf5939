// The clock in the scenario language: setting, pinning and running the device clock, the time zone; the
// time queries.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <chrono>
#include <cstdio>

#include "lexer.h"
#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

// An ISO-8601 UTC instant: 2026-03-29T00:59:00Z (seconds and the Z may be left out).
pndsim::DeviceInstant Instant(Cursor& cursor, std::string& text) {
  const Word& word = cursor.Take("a UTC time (2026-03-29T00:59:00Z)");
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
  const int fields = std::sscanf(word.text.c_str(), "%4d-%2d-%2dT%2d:%2d%n:%2d%n", &year, &month, &day, &hour,
                                 &minute, &used, &second, &used);
  const std::string rest = word.text.substr(static_cast<std::size_t>(used));
  const std::chrono::year_month_day date{std::chrono::year(year),
                                         std::chrono::month(static_cast<unsigned>(month)),
                                         std::chrono::day(static_cast<unsigned>(day))};
  if (fields < 5 || (rest != "" && rest != "Z") || !date.ok() || hour > 23 || minute > 59 || second > 59 ||
      year < 1601) {
    cursor.FailAtLast("expected a UTC time such as 2026-03-29T00:59:00Z, got '" + word.text + "'");
  }
  char canonical[64];
  std::snprintf(canonical, sizeof canonical, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute,
                second);
  text += canonical;
  return pndsim::DeviceInstant(std::chrono::sys_days(date).time_since_epoch() + std::chrono::hours(hour) +
                               std::chrono::minutes(minute) + std::chrono::seconds(second));
}

Statement ParseClock(Cursor& cursor) {
  const std::size_t how = cursor.Choice({"set", "pin", "run"});
  if (how == 2) {
    return Action("clock run", [] {
      pndsim::UnpinClock();
      return std::string();
    });
  }
  std::string text = how == 0 ? "clock set " : "clock pin ";
  const pndsim::DeviceInstant instant = Instant(cursor, text);
  return Action(text, [=] {
    if (!pndsim::PinClock(instant)) return std::string("the device clock cannot show that time");
    if (how == 0) pndsim::UnpinClock();
    return std::string();
  });
}

Statement ParseZone(Cursor& cursor) {
  const std::string name = cursor.Take("a zone (Europe/Berlin or a TZ rule)").text;
  return Action("zone " + QuoteWord(name), [name] {
    return Unless(pndsim::SetTimeZoneByName(name), "neither a tz database zone nor a TZ rule");
  });
}

std::string TimeAnswer(bool (*get)(CNavTime&)) {
  CNavTime time;
  if (!get(time)) return "false";
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", time.GetYear(), time.GetMonth(),
                time.GetDay(), time.GetHour(), time.GetMinute(), time.GetSecond());
  return text;
}

std::string LocalTimeAnswer(long) { return TimeAnswer(GetLocalNavTime); }
std::string UtcTimeAnswer(long) { return TimeAnswer(GetGMTNavTime); }

ServiceDescription Describe() {
  return {
      .verbs =
          {
              {200,
               {"clock", "clock set|pin TIME | clock run",
                "set the device clock (UTC), freeze it, or let it run"},
               ParseClock},
              {210,
               {"zone", "zone NAME", "make a tz database zone or a TZ rule the current zone"},
               ParseZone},
          },
      .queries =
          {
              {100, "GetLocalNavTime", false, "YYYY-MM-DDTHH:MM:SS", LocalTimeAnswer},
              {110, "GetGMTNavTime", false, "YYYY-MM-DDTHH:MM:SS", UtcTimeAnswer},
          },
  };
}

const Service kClock(Describe);

}  // namespace
}  // namespace scenario
