// The calendar concern's face: dates, times and time-zone rules without any device state. The proleptic
// Gregorian calendar and SYSTEMTIME (civil.h), POSIX TZ rules (posix_tz.h), the host's tz database
// (tzdata.h) and the arithmetic of TIME_ZONE_INFORMATION (zone_rules.h), which the device clock, the
// registry's time-zone database and the device profiles compute with.
#pragma once

#include "sim/calendar/civil.h"
#include "sim/calendar/posix_tz.h"
#include "sim/calendar/tzdata.h"
#include "sim/calendar/zone_rules.h"
