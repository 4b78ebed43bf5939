// Read access to the private state of the value classes for the library's own services, its tests and
// its fuzz targets; not part of the exported interface.
#pragma once

#include <ctime>

#include "pndhal/navtime.h"
#include "pndhal/navtimezone.h"

class NavValueAccess {
 public:
  /// The fields of a date-time, writable so that tests can build values no operation produces.
  static tm& Fields(CNavTime& time) noexcept { return time.m_tmTime; }
  static const tm& Fields(const CNavTime& time) noexcept { return time.m_tmTime; }

  static const Container::ZuVector<TimeZoneRule>& Rules(const CNavTimeZone& zone) noexcept {
    return zone.m_vecRules;
  }
  static const Container::ZuVector<std::int32_t>& Shifts(const CNavTimeZone& zone) noexcept {
    return zone.m_vecShifts;
  }
  static float BaseOffset(const CNavTimeZone& zone) noexcept { return zone.m_fBaseOffset; }

  /// Runs the descriptor parser on an empty zone and reports whether the descriptor was valid.
  static bool InitTimeZone(CNavTimeZone& zone, const wchar_t* descriptor) {
    return zone.InitTimeZone(descriptor);
  }
};
