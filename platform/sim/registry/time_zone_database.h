// The registry's time-zone database: a curated set of the host's tz database zones, each a subkey of
// "Time Zones" with its display name and 44-byte TZI record (see docs/time-zones.md).
#pragma once

#include "sim/registry/key_tree.h"

namespace sim::registry {

/// Fills the empty key `timeZones` with one subkey per curated zone that the host's tz database has,
/// ordered by standard offset west to east and then by name, each with the values "Display",
/// "Std", "Dlt" (REG_SZ) and "TZI" (REG_BINARY, REG_TZI_FORMAT) of the rules in force in `year`.
void FillTimeZoneDatabase(Key& timeZones, int year);

}  // namespace sim::registry
