// The device clock and time-zone services: the clock read and set as local
// time or UTC, the system bias set from a zone, and zones built from the
// system's current zone and from its zone database.
#include "hal/hal_levels.h"
#include "time/zone_database.h"
#include "time/zone_offset.h"
#include "time/zone_rules.h"

namespace {

using namespace time_services;

constexpr double kEarliestOffsetSeconds = -12 * 3600;
constexpr double kLatestOffsetSeconds = 14 * 3600;

// Adds every zone of the database to a vector.
class ZoneCollector final : public ZoneVisitor {
 public:
  explicit ZoneCollector(Container::ZuVector<CNavTimeZone>& zones) : m_zones(zones) {}
  void Zone(const wchar_t*, const wchar_t* display, const wchar_t* descriptor) override {
    CNavTimeZone zone(descriptor);
    zone.SetDescription(display);
    m_zones.push_back(zone);
  }

 private:
  Container::ZuVector<CNavTimeZone>& m_zones;
};

}  // namespace

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

bool CHALWinCE::SetTimezone(CNavTimeZone const& zone) {
  CNavTime now(0L);
  GetGMTNavTime(now);
  return ApplyZoneBias(zone, now);
}

CNavTimeZone CHALCommon::GetTimezone() {
  wchar_t descriptor[kDescriptorChars];
  if (!CurrentZoneDescriptor(descriptor, kDescriptorChars, CurrentUtcYear(), m_timeZoneDaylightName)) {
    return CNavTimeZone();
  }
  CNavTimeZone zone(descriptor);
  zone.SetDescription(m_timeZoneDaylightName.c_str());
  return zone;
}

bool CHALCommon::GetAvailableTimezones(Container::ZuVector<CNavTimeZone>& zones) {
  zones.clear();
  ZoneCollector collector(zones);
  return WalkZoneDatabase(m_pszTimeZonesKey, CurrentUtcYear(), m_tziBuffer, m_timeZoneDisplayName, collector);
}
