// The device's current time zone, by default the host's: GetTimeZoneInformation and
// SetTimeZoneInformation, and GetLocalTime and SetLocalTime, which convert through it; the profile's "zone"
// member that chooses it.
#include <algorithm>
#include <chrono>
#include <string>

#include "pndsim/clock.h"
#include "sim/calendar/calendar.h"
#include "sim/clock/clock.h"
#include "sim/clock/clock_section.h"
#include "sim/kernel/kernel.h"
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

using profile::Fault;
using profile::Json;

constexpr std::size_t kMaxZoneNameChars = 31;
constexpr int kMaxBiasMinutes = 24 * 60;

// How a profile chooses the current time zone.
enum class ZoneChoice { Host, Named, Rules };

// What a profile's "zone" member sets: "host", a name, or the rules themselves.
struct ZoneSetting {
  ZoneChoice choice = ZoneChoice::Host;
  std::string name;
  pndsim::ZoneInfo rules;
};

pndsim::ZoneDate ReadZoneDate(const Json& value, const std::string& at) {
  profile::RequireMembers(value, at,
                          {"year", "month", "dayOfWeek", "day", "hour", "minute", "second", "milliseconds"},
                          "a transition date");
  pndsim::ZoneDate date;
  const auto field = [&](std::string_view name, std::uint16_t& target) {
    profile::IfPresent(value, at, name, [&](const Json& member, const std::string& where) {
      target = static_cast<std::uint16_t>(profile::Integer(member, where, 0, 65535));
    });
  };
  field("year", date.year);
  field("month", date.month);
  field("dayOfWeek", date.dayOfWeek);
  field("day", date.day);
  field("hour", date.hour);
  field("minute", date.minute);
  field("second", date.second);
  field("milliseconds", date.milliseconds);
  return date;
}

Json ZoneDateJson(const pndsim::ZoneDate& date) {
  return Json{{"year", date.year},           {"month", date.month},
              {"dayOfWeek", date.dayOfWeek}, {"day", date.day},
              {"hour", date.hour},           {"minute", date.minute},
              {"second", date.second},       {"milliseconds", date.milliseconds}};
}

std::string ZoneName(const Json& value, const std::string& at) {
  std::string name = profile::Text(value, at);
  if (Widen(name).size() > kMaxZoneNameChars) {
    throw Fault{at, false, "expected a name of at most 31 characters, got " + profile::Shown(value)};
  }
  return name;
}

pndsim::ZoneInfo ReadZoneRules(const Json& value, const std::string& at) {
  profile::RequireMembers(value, at,
                          {"bias", "standardName", "standardDate", "standardBias", "daylightName",
                           "daylightDate", "daylightBias"},
                          "zone rules");
  pndsim::ZoneInfo zone;
  const auto bias = [&](std::string_view name, std::int32_t& target) {
    profile::IfPresent(value, at, name, [&](const Json& member, const std::string& where) {
      target = static_cast<std::int32_t>(profile::Integer(member, where, -kMaxBiasMinutes, kMaxBiasMinutes));
    });
  };
  bias("bias", zone.bias);
  profile::IfPresent(value, at, "standardName",
                     [&](const Json& m, const std::string& w) { zone.standardName = ZoneName(m, w); });
  profile::IfPresent(value, at, "standardDate",
                     [&](const Json& m, const std::string& w) { zone.standardDate = ReadZoneDate(m, w); });
  bias("standardBias", zone.standardBias);
  profile::IfPresent(value, at, "daylightName",
                     [&](const Json& m, const std::string& w) { zone.daylightName = ZoneName(m, w); });
  profile::IfPresent(value, at, "daylightDate",
                     [&](const Json& m, const std::string& w) { zone.daylightDate = ReadZoneDate(m, w); });
  bias("daylightBias", zone.daylightBias);
  if (!tz::IsValidZone(ToZoneInformation(zone))) {
    throw Fault{at, false,
                "expected transition dates the device accepts: standardDate month 0 for no daylight time, "
                "else both dates valid"};
  }
  return zone;
}

void ReadZone(const Json& value, const std::string& at, ZoneSetting& zone) {
  if (value.is_object()) {
    zone.rules = ReadZoneRules(value, at);
    zone.choice = ZoneChoice::Rules;
    return;
  }
  if (value.is_string() && value.get_ref<const std::string&>() == "host") {
    zone.choice = ZoneChoice::Host;
    return;
  }
  if (!value.is_string() || !tz::LoadRule(value.get_ref<const std::string&>())) {
    throw Fault{
        at, false,
        "expected \"host\", a tz database name, a POSIX TZ rule or zone rules, got " + profile::Shown(value)};
  }
  zone.name = value.get<std::string>();
  zone.choice = ZoneChoice::Named;
}

Json ZoneRulesJson(const pndsim::ZoneInfo& rules) {
  return Json{{"bias", rules.bias},
              {"standardName", rules.standardName},
              {"standardDate", ZoneDateJson(rules.standardDate)},
              {"standardBias", rules.standardBias},
              {"daylightName", rules.daylightName},
              {"daylightDate", ZoneDateJson(rules.daylightDate)},
              {"daylightBias", rules.daylightBias}};
}

Json WriteZone(const ZoneSetting& zone) {
  if (zone.choice == ZoneChoice::Named) return zone.name;
  if (zone.choice == ZoneChoice::Rules) return ZoneRulesJson(zone.rules);
  return "host";
}

// True when the two zones are written the same in a profile document.
bool SameZoneRules(const pndsim::ZoneInfo& a, const pndsim::ZoneInfo& b) {
  return ZoneRulesJson(a) == ZoneRulesJson(b);
}

// Set after the clock's section: a named zone takes the rules of the device's year.
void ApplyZone(const ZoneSetting& zone) {
  if (zone.choice == ZoneChoice::Named) pndsim::SetTimeZoneByName(zone.name);
  if (zone.choice == ZoneChoice::Rules) pndsim::SetTimeZoneInfo(zone.rules);
}

// The zone as a profile names it: the host's, a name that gives exactly the current rules, or the rules.
ZoneSetting CaptureZone() {
  const pndsim::ZoneInfo current = pndsim::CurrentTimeZone();
  const std::string name = pndsim::TimeZoneName();
  const tz::NamedRule host = tz::HostZone();
  const auto hostNow = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
  const auto hostYear = static_cast<int>(civil::YearOfMs(hostNow.time_since_epoch().count()));
  if (name == host.name && SameZoneRules(current, ToZoneInfo(tz::ZoneInformationFor(host.rule, hostYear)))) {
    return {ZoneChoice::Host, {}, {}};
  }
  const int deviceYear = static_cast<int>(civil::YearOfMs(pndsim::DeviceTime().time_since_epoch().count()));
  const auto named = pndsim::LookupTimeZone(name, deviceYear);
  if (named && SameZoneRules(current, *named)) return {ZoneChoice::Named, name, {}};
  return {ZoneChoice::Rules, {}, current};
}

constinit const profile::Section<ZoneSetting> kZone{"zone", 130, ReadZone, WriteZone, ApplyZone, CaptureZone};
const profile::Registration kZoneRegistration{kZone};

// The zone of the built-in profile: the host's or a named one with the rules of the year the built-in
// profile's clock shows (the clock's reset hook may run before or after this one, so the year is computed
// here), or the profile's own rules.
void AdoptBuiltInZone(ZoneState& state) {
  const ZoneSetting& builtIn = kZone.BuiltIn();
  if (builtIn.choice == ZoneChoice::Rules) {
    const TIME_ZONE_INFORMATION zone = ToZoneInformation(builtIn.rules);
    Assign(state, zone, NameText(zone.StandardName));
    return;
  }
  const ClockSetting& clock = kClockSection.BuiltIn();
  const auto hostNow = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
  const std::int64_t nowMs =
      clock.pinnedMs ? *clock.pinnedMs : hostNow.time_since_epoch().count() + clock.offsetMs;
  const auto year = static_cast<int>(civil::YearOfMs(nowMs));
  if (builtIn.choice == ZoneChoice::Named) {
    if (const auto rule = tz::LoadRule(builtIn.name)) {
      std::string_view name = builtIn.name;
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
