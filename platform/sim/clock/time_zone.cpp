// The device's current time zone, by default the host's: GetTimeZoneInformation and
// SetTimeZoneInformation, and GetLocalTime and SetLocalTime, which convert through it.
#include <algorithm>
#include <chrono>
#include <string>

#include "pndsim/clock.h"
#include "sim/calendar/calendar.h"
#include "sim/clock/clock.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim {
namespace {

struct ZoneState {
  Mutex mutex;
  TIME_ZONE_INFORMATION zone GUARDED_BY(mutex){};
  std::string name GUARDED_BY(mutex);
};

void Assign(ZoneState& state, const TIME_ZONE_INFORMATION& zone, std::string name) {
  sim::MutexLock lock(state.mutex);
  state.zone = zone;
  state.name = std::move(name);
}

std::string NameText(const WCHAR (&name)[32]) {
  WCHAR copy[32];
  std::copy(std::begin(name), std::end(name), std::begin(copy));
  copy[31] = L'\0';
  return Narrow(copy);
}

void SetName(std::string_view utf8, WCHAR (&name)[32]) {
  const std::wstring wide = Widen(utf8);
  const std::size_t length = std::min<std::size_t>(wide.size(), 31);
  std::fill(std::begin(name), std::end(name), L'\0');
  std::copy_n(wide.begin(), length, std::begin(name));
}

SYSTEMTIME ToSystemTime(const pndsim::ZoneDate& date) {
  return {date.year, date.month,  date.dayOfWeek, date.day,
          date.hour, date.minute, date.second,    date.milliseconds};
}

TIME_ZONE_INFORMATION ToZoneInformation(const pndsim::ZoneInfo& info) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = info.bias;
  SetName(info.standardName, zone.StandardName);
  zone.StandardDate = ToSystemTime(info.standardDate);
  zone.StandardBias = info.standardBias;
  SetName(info.daylightName, zone.DaylightName);
  zone.DaylightDate = ToSystemTime(info.daylightDate);
  zone.DaylightBias = info.daylightBias;
  return zone;
}

// The zone of the built-in profile: the host's or a named one with the rules of the year the built-in
// profile's clock shows (the clock's reset hook may run before or after this one, so the year is computed
// here), or the profile's own rules.
void AdoptBuiltInZone(ZoneState& state) {
  const profile::DeviceProfile& builtIn = profile::BuiltInProfile();
  if (builtIn.zoneChoice == profile::ZoneChoice::Rules) {
    const TIME_ZONE_INFORMATION zone = ToZoneInformation(builtIn.zoneRules);
    Assign(state, zone, NameText(zone.StandardName));
    return;
  }
  const auto hostNow = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
  const std::int64_t nowMs =
      builtIn.pinnedMs ? *builtIn.pinnedMs : hostNow.time_since_epoch().count() + builtIn.clockOffsetMs;
  const auto year = static_cast<int>(civil::YearOfMs(nowMs));
  if (builtIn.zoneChoice == profile::ZoneChoice::Named) {
    if (const auto rule = tz::LoadRule(builtIn.zoneName)) {
      std::string_view name = builtIn.zoneName;
      if (name.starts_with(':')) name.remove_prefix(1);
      Assign(state, tz::ZoneInformationFor(*rule, year), std::string(name));
      return;
    }
  }
  tz::NamedRule host = tz::HostZone();
  Assign(state, tz::ZoneInformationFor(host.rule, year), std::move(host.name));
}

ZoneState& Zone() {
  static ZoneState* zone = [] {
    auto* state = new ZoneState;
    AdoptBuiltInZone(*state);
    OnReset([state] { AdoptBuiltInZone(*state); });
    return state;
  }();
  return *zone;
}

TIME_ZONE_INFORMATION CurrentZone() {
  ZoneState& state = Zone();
  sim::MutexLock lock(state.mutex);
  return state.zone;
}

pndsim::ZoneDate ToZoneDate(const SYSTEMTIME& t) {
  return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

pndsim::ZoneInfo ToZoneInfo(const TIME_ZONE_INFORMATION& zone) {
  pndsim::ZoneInfo info;
  info.bias = zone.Bias;
  info.standardName = NameText(zone.StandardName);
  info.standardDate = ToZoneDate(zone.StandardDate);
  info.standardBias = zone.StandardBias;
  info.daylightName = NameText(zone.DaylightName);
  info.daylightDate = ToZoneDate(zone.DaylightDate);
  info.daylightBias = zone.DaylightBias;
  return info;
}

void RecordZone(const TIME_ZONE_INFORMATION& zone) {
  const bool daylightRules = tz::HasDaylightRules(zone);
  Record("timezone.set",
         {NumberField("bias", zone.Bias), TextField("standard", NameText(zone.StandardName)),
          TextField("daylight", NameText(zone.DaylightName)),
          FlagField("daylightRules", daylightRules, daylightRules ? "" : " (no daylight time)")},
         "bias={bias} standard={standard} daylight={daylight}{daylightRules}");
}

}  // namespace
}  // namespace sim

void GetLocalTime(LPSYSTEMTIME time) {
  if (time == nullptr) {
    return;
  }
  *time = sim::civil::SystemTimeFromMs(sim::tz::LocalFromUtc(sim::CurrentZone(), sim::DeviceNowMs()));
}

BOOL SetLocalTime(const SYSTEMTIME* time) {
  const bool sound = time != nullptr && sim::civil::IsValidSystemTime(*time);
  if (!sim::BeginCall(pndsim::Call::SetLocalTime, sound ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER,
                      ERROR_ACCESS_DENIED)) {
    return FALSE;
  }
  const std::int64_t localMs = sim::civil::MsFromSystemTime(*time);
  const std::int64_t utcMs = sim::tz::UtcFromLocal(sim::CurrentZone(), localMs);
  if (utcMs < sim::civil::kMinMs || utcMs >= sim::civil::kEndMs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  sim::SetDeviceNowMs(utcMs);
  sim::Record("clock.set",
              {sim::TextField("utc", sim::FormatMs(utcMs)), sim::TextField("local", sim::FormatMs(localMs))},
              "{utc} UTC (local {local})");
  return TRUE;
}

DWORD GetTimeZoneInformation(LPTIME_ZONE_INFORMATION zone) {
  if (zone == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return TIME_ZONE_ID_INVALID;
  }
  *zone = sim::CurrentZone();
  return sim::tz::ZoneIdAt(*zone, sim::DeviceNowMs());
}

BOOL SetTimeZoneInformation(const TIME_ZONE_INFORMATION* zone) {
  const bool sound = zone != nullptr && sim::tz::IsValidZone(*zone);
  if (!sim::BeginCall(pndsim::Call::SetTimeZoneInformation, sound ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER,
                      ERROR_ACCESS_DENIED)) {
    return FALSE;
  }
  sim::Assign(sim::Zone(), *zone, sim::NameText(zone->StandardName));
  sim::RecordZone(*zone);
  return TRUE;
}

bool pndsim::SetTimeZoneByName(std::string_view name) {
  const auto rule = sim::tz::LoadRule(name);
  if (!rule) {
    return false;
  }
  if (!name.empty() && name.front() == ':') {
    name.remove_prefix(1);
  }
  const auto year = static_cast<int>(sim::civil::YearOfMs(sim::DeviceNowMs()));
  sim::Assign(sim::Zone(), sim::tz::ZoneInformationFor(*rule, year), std::string(name));
  return true;
}

bool pndsim::SetTimeZoneInfo(const ZoneInfo& info) {
  const TIME_ZONE_INFORMATION zone = sim::ToZoneInformation(info);
  if (!sim::tz::IsValidZone(zone)) {
    return false;
  }
  sim::Assign(sim::Zone(), zone, sim::NameText(zone.StandardName));
  return true;
}

pndsim::ZoneInfo pndsim::CurrentTimeZone() { return sim::ToZoneInfo(sim::CurrentZone()); }

std::string pndsim::TimeZoneName() {
  sim::ZoneState& state = sim::Zone();
  sim::MutexLock lock(state.mutex);
  return state.name;
}

std::optional<pndsim::ZoneInfo> pndsim::LookupTimeZone(std::string_view name, int year) {
  if (year < sim::civil::kMinYear || year > sim::civil::kMaxYear) {
    return std::nullopt;
  }
  const auto rule = sim::tz::LoadRule(name);
  if (!rule) {
    return std::nullopt;
  }
  return sim::ToZoneInfo(sim::tz::ZoneInformationFor(*rule, year));
}
