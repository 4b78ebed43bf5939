// Helpers for the clock, time-zone and registry tests: SYSTEMTIME built and read through the standard
// calendar, and the C library's view of a tz database zone to check the device against.
#pragma once

#include <ce/time.h>
#include <pndsim/clock.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zonetest {

using std::chrono::system_clock;
using Instant = std::chrono::sys_time<std::chrono::milliseconds>;

inline SYSTEMTIME MakeTime(int year, unsigned month, unsigned day, unsigned hour = 0, unsigned minute = 0,
                           unsigned second = 0, unsigned ms = 0) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  t.wMilliseconds = static_cast<WORD>(ms);
  return t;
}

/// The instant a SYSTEMTIME names when read as UTC (wDayOfWeek ignored).
inline Instant AsUtc(const SYSTEMTIME& t) {
  using namespace std::chrono;
  const sys_days day = year_month_day(year(t.wYear), month(t.wMonth), std::chrono::day(t.wDay));
  return day + hours(t.wHour) + minutes(t.wMinute) + seconds(t.wSecond) + milliseconds(t.wMilliseconds);
}

inline Instant Utc(int y, unsigned m, unsigned d, unsigned h = 0, unsigned mi = 0, unsigned s = 0) {
  return AsUtc(MakeTime(y, m, d, h, mi, s));
}

inline int CurrentUtcYear() {
  using namespace std::chrono;
  return static_cast<int>(year_month_day(floor<days>(system_clock::now())).year());
}

/// True when the host's tz database has a zoneinfo file for `name`.
inline bool HostHasZone(const std::string& name) {
  const char* dir = std::getenv("TZDIR");  // NOLINT(concurrency-mt-unsafe): read on the test's main thread
  const std::filesystem::path root = dir != nullptr && *dir != '\0' ? dir : "/usr/share/zoneinfo";
  std::error_code error;
  return std::filesystem::is_regular_file(root / name, error);
}

/// Points the C library at another zone for the scope (null: TZ unset), restoring TZ afterwards.
/// setenv and tzset are not thread-safe: use from the test's main thread only, with no other thread
/// running.
// NOLINTBEGIN(concurrency-mt-unsafe): see above.
class ScopedTz {
 public:
  explicit ScopedTz(const char* value) {
    if (const char* old = std::getenv("TZ")) {
      saved_ = old;
    }
    if (value != nullptr) {
      setenv("TZ", value, 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ~ScopedTz() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedTz(const ScopedTz&) = delete;
  ScopedTz& operator=(const ScopedTz&) = delete;

 private:
  std::optional<std::string> saved_;
};
// NOLINTEND(concurrency-mt-unsafe)

/// Seconds since 1970 of an instant, for the C library and for messages.
inline std::time_t Seconds(Instant instant) {
  return static_cast<std::time_t>(
      std::chrono::floor<std::chrono::seconds>(instant).time_since_epoch().count());
}

/// The C library's UTC offset in seconds at `instant` for the zone TZ names.
inline long CLibraryOffset(Instant instant) {
  const std::time_t t = Seconds(instant);
  std::tm local{};
  localtime_r(&t, &local);
  return local.tm_gmtoff;
}

/// The instants of `year` at which the C library's offset changes (the first second of the new offset).
inline std::vector<Instant> CLibraryTransitions(int year) {
  using namespace std::chrono;
  std::vector<Instant> found;
  const auto begin = Utc(year, 1, 1);
  const auto end = Utc(year + 1, 1, 1);
  for (auto from = begin; from < end; from += hours(1)) {
    auto to = from + hours(1);
    if (CLibraryOffset(from) == CLibraryOffset(to)) {
      continue;
    }
    while (to - from > seconds(1)) {
      const auto middle = from + duration_cast<seconds>((to - from) / 2);
      (CLibraryOffset(middle) == CLibraryOffset(from) ? from : to) = middle;
    }
    found.push_back(to);
  }
  return found;
}

}  // namespace zonetest
