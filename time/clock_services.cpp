// The device clock and time-zone services: their exported functions and their
// operations at every level: the clock read and set as local time or UTC, the
// system bias set from a zone, and zones built from the system's current zone
// and from its zone database.
#include <mutex>
#include <utility>

#include "hal/hal_levels.h"
#include "time/value_access.h"
#include "time/zone_database.h"
#include "time/zone_offset.h"
#include "time/zone_rules.h"

namespace {

using namespace time_services;

constexpr double kEarliestOffsetSeconds = -12 * 3600;
constexpr double kLatestOffsetSeconds = 14 * 3600;

// The zone of a descriptor the services formatted, described by `description`. Such a descriptor is
// always valid, so a failed parse means a window's memory could not be had; false then.
bool BuildZone(const wchar_t* descriptor, const wchar_t* description, CNavTimeZone& zone) {
  if (!NavValueAccess::InitTimeZone(zone, descriptor)) return false;
  zone.SetDescription(description);
  return true;
}

// Adds every zone of the database to a vector, each whole: a zone is moved in, so no copy can lose its
// windows on the way.
class ZoneCollector final : public ZoneVisitor {
 public:
  explicit ZoneCollector(Container::ZuVector<CNavTimeZone>& zones) : m_zones(zones) {}
  bool Zone(const wchar_t*, const wchar_t* display, const wchar_t* descriptor) override {
    CNavTimeZone zone;
    return BuildZone(descriptor, display, zone) && m_zones.push_back(std::move(zone));
  }

 private:
  Container::ZuVector<CNavTimeZone>& m_zones;
};

}  // namespace

// --- Exported functions ------------------------------------------------------

bool GetLocalNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->GetLocalNavTime(time);
}

bool GetGMTNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->GetGMTNavTime(time);
}

bool SetLocalNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->SetLocalNavTime(time);
}

bool SetGMTNavTime(CNavTime& time) {
  HalCall hal;
  return hal && hal->SetGMTNavTime(time);
}

bool SetTimezone(CNavTimeZone const& zone) {
  HalCall hal;
  return hal && hal->SetTimezone(zone);
}

CNavTimeZone const& GetTimezone() {
  static CNavTimeZone held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  HalCall hal;
  held = hal ? hal->GetTimezone() : CNavTimeZone();
  return held;
}

Container::ZuVector<CNavTimeZone> const& GetAvailableTimezones() {
  static Container::ZuVector<CNavTimeZone> held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  if (HalCall hal; hal) {
    hal->GetAvailableTimezones(held);
  } else {
    held.clear();
  }
  return held;
}

// --- Level 0 -----------------------------------------------------------------

bool CHAL::GetLocalNavTime(CNavTime&) { return false; }
bool CHAL::GetGMTNavTime(CNavTime&) { return false; }
bool CHAL::SetLocalNavTime(CNavTime&) { return false; }
bool CHAL::SetGMTNavTime(CNavTime&) { return false; }
bool CHAL::SetTimezone(CNavTimeZone const&) { return false; }
CNavTimeZone CHAL::GetTimezone() { return CNavTimeZone(); }
bool CHAL::GetAvailableTimezones(Container::ZuVector<CNavTimeZone>&) { return false; }

// --- Level 1 -----------------------------------------------------------------

bool CHALCommon::GetLocalNavTime(CNavTime& time) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  time = NavTimeFromSystemTime(now);
  return true;
}

bool CHALCommon::GetGMTNavTime(CNavTime& time) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  time = NavTimeFromSystemTime(now);
  return true;
}

bool CHALCommon::SetLocalNavTime(CNavTime& time) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const SYSTEMTIME wanted = SystemTimeFromNavTime(time, now);
  return SetLocalTime(&wanted) != FALSE;
}

bool CHALCommon::SetGMTNavTime(CNavTime& time) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const SYSTEMTIME wanted = SystemTimeFromNavTime(time, now);
  return SetSystemTime(&wanted) != FALSE;
}

bool CHALCommon::ApplyZoneBias(CNavTimeZone const& zone, CNavTime const& now) {
  // Counted without wrapping, so that a huge base or shift cannot pass for a
  // real offset; offsets in use run from 12 hours behind UTC to 14 ahead.
  const double seconds = pndhal::timevalues::OffsetSecondsAt(zone, now);
  if (!(seconds >= kEarliestOffsetSeconds && seconds <= kLatestOffsetSeconds)) return false;
  TIME_ZONE_INFORMATION information{};
  information.Bias = static_cast<LONG>(seconds) / -60;
  return SetTimeZoneInformation(&information) != FALSE;
}

bool CHALCommon::SetTimezone(CNavTimeZone const& zone) {
  CNavTime now(0L);
  if (CHAL* hal = GetHALInstance()) hal->GetGMTNavTime(now);
  return ApplyZoneBias(zone, now);
}

// --- Level 2 -----------------------------------------------------------------

bool CHALWinCE::SetTimezone(CNavTimeZone const& zone) {
  CNavTime now(0L);
  GetGMTNavTime(now);
  return ApplyZoneBias(zone, now);
}

// --- Level 1 -----------------------------------------------------------------

CNavTimeZone CHALCommon::GetTimezone() {
  wchar_t descriptor[kDescriptorChars];
  CNavTimeZone zone;
  if (!CurrentZoneDescriptor(descriptor, kDescriptorChars, CurrentUtcYear(), m_timeZoneDaylightName) ||
      !BuildZone(descriptor, m_timeZoneDaylightName.c_str(), zone)) {
    return CNavTimeZone();
  }
  return zone;
}

bool CHALCommon::GetAvailableTimezones(Container::ZuVector<CNavTimeZone>& zones) {
  zones.clear();
  ZoneCollector collector(zones);
  switch (
      WalkZoneDatabase(m_pszTimeZonesKey, CurrentUtcYear(), m_tziBuffer, m_timeZoneDisplayName, collector)) {
    case WalkEnd::kBadTzi:
      return true;
    case WalkEnd::kNoMoreZones:
      return false;
    case WalkEnd::kOutOfMemory:
      break;
  }
  // A list is whole or empty: a caller cannot tell a short list from the database's own.
  zones.clear();
  return false;
}
