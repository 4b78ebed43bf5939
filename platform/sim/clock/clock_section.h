// The clock's member of the device profile, which the time zone reads too: a named zone takes the rules of
// the year the built-in clock shows.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/profile/profile.h"

namespace sim {

/// What a profile's "clock" member sets: an instant the clock stands at, or the offset from the host's
/// clock it runs with.
struct ClockSetting {
  std::optional<std::int64_t> pinnedMs;  // UTC milliseconds since 1970
  std::int64_t offsetMs = 0;
};

/// The profile's "clock" member.
extern const profile::Section<ClockSetting> kClockSection;

}  // namespace sim
