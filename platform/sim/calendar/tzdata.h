// The host's IANA tz database: reads the rule of a zone from its compiled zoneinfo file (cached for
// the life of the process) and finds the host's own zone the way the C library does.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/calendar/posix_tz.h"

namespace sim::tz {

/// A zone chosen by name, with the rule it follows now.
struct NamedRule {
  std::string name;
  PosixTz rule;
};

/// The rule of the zone `name`, as the TZ variable reads it: a zoneinfo file name relative to the
/// zoneinfo directory (TZDIR, else /usr/share/zoneinfo) or an absolute path, with an optional leading
/// ':', else a POSIX TZ rule. The rule of a file is its last line (version 2+ files) or, failing
/// that, the last local time type it uses. Nothing for an unknown or unreadable name or a name with a
/// ".." component.
std::optional<PosixTz> LoadRule(std::string_view name);

/// The host's zone: TZ when set (empty means UTC, an unusable value UTC too), else /etc/localtime
/// named after its link target or /etc/timezone, else UTC.
NamedRule HostZone();

}  // namespace sim::tz
