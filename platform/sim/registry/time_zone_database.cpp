// Generation of the registry's time-zone database from the host's tz database.
#include "sim/registry/time_zone_database.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "sim/calendar/calendar.h"
#include "sim/text_codec/text_codec.h"

namespace sim::registry {
namespace {

// Chosen from zone1970.tab so that every standard offset in use appears, each with its most populous
// or best-known zones, and so that every kind of rule appears: northern and southern daylight time,
// 30-minute and 2-hour daylight saving, negative daylight saving (Europe/Dublin), transition times past
// midnight (Asia/Jerusalem, Africa/Cairo, America/Santiago) and before it (America/Nuuk). Zones whose
// rule line does not describe the current year (Africa/Casablanca, Asia/Gaza) are left out.
constexpr std::string_view kZones[] = {
    // UTC-11:00
    "Pacific/Pago_Pago",
    // UTC-10:00
    "America/Adak",
    "Pacific/Honolulu",
    // UTC-09:30
    "Pacific/Marquesas",
    // UTC-09:00
    "America/Anchorage",
    "Pacific/Gambier",
    // UTC-08:00
    "America/Los_Angeles",
    // UTC-07:00
    "America/Denver",
    "America/Phoenix",
    // UTC-06:00
    "America/Chicago",
    "America/Mexico_City",
    "America/Regina",
    "Pacific/Easter",
    // UTC-05:00
    "America/Bogota",
    "America/Cancun",
    "America/Havana",
    "America/Lima",
    "America/New_York",
    // UTC-04:00
    "America/Caracas",
    "America/Halifax",
    "America/La_Paz",
    "America/Puerto_Rico",
    "America/Santiago",
    // UTC-03:30
    "America/St_Johns",
    // UTC-03:00
    "America/Argentina/Buenos_Aires",
    "America/Asuncion",
    "America/Miquelon",
    "America/Montevideo",
    "America/Sao_Paulo",
    // UTC-02:00
    "America/Noronha",
    "America/Nuuk",
    // UTC-01:00
    "Atlantic/Azores",
    "Atlantic/Cape_Verde",
    // UTC+00:00
    "Africa/Abidjan",
    "Antarctica/Troll",
    "Europe/Dublin",
    "Europe/Lisbon",
    "Europe/London",
    // UTC+01:00
    "Africa/Algiers",
    "Africa/Lagos",
    "Europe/Berlin",
    // UTC+02:00
    "Africa/Cairo",
    "Africa/Johannesburg",
    "Asia/Beirut",
    "Asia/Jerusalem",
    "Europe/Athens",
    "Europe/Kyiv",
    // UTC+03:00
    "Africa/Nairobi",
    "Asia/Baghdad",
    "Asia/Riyadh",
    "Europe/Istanbul",
    "Europe/Moscow",
    // UTC+03:30
    "Asia/Tehran",
    // UTC+04:00
    "Asia/Baku",
    "Asia/Dubai",
    "Europe/Samara",
    // UTC+04:30
    "Asia/Kabul",
    // UTC+05:00
    "Asia/Karachi",
    "Asia/Tashkent",
    "Asia/Yekaterinburg",
    // UTC+05:30
    "Asia/Colombo",
    "Asia/Kolkata",
    // UTC+05:45
    "Asia/Kathmandu",
    // UTC+06:00
    "Asia/Dhaka",
    "Asia/Omsk",
    // UTC+06:30
    "Asia/Yangon",
    // UTC+07:00
    "Asia/Bangkok",
    "Asia/Jakarta",
    // UTC+08:00
    "Asia/Manila",
    "Asia/Shanghai",
    "Asia/Singapore",
    "Australia/Perth",
    // UTC+08:45
    "Australia/Eucla",
    // UTC+09:00
    "Asia/Seoul",
    "Asia/Tokyo",
    // UTC+09:30
    "Australia/Adelaide",
    "Australia/Darwin",
    // UTC+10:00
    "Asia/Vladivostok",
    "Australia/Brisbane",
    "Australia/Hobart",
    "Australia/Sydney",
    // UTC+10:30
    "Australia/Lord_Howe",
    // UTC+11:00
    "Asia/Magadan",
    "Pacific/Norfolk",
    "Pacific/Noumea",
    // UTC+12:00
    "Asia/Kamchatka",
    "Pacific/Auckland",
    "Pacific/Fiji",
    // UTC+12:45
    "Pacific/Chatham",
    // UTC+13:00
    "Pacific/Apia",
    "Pacific/Tongatapu",
    // UTC+14:00
    "Pacific/Kiritimati",
};

struct Entry {
  std::string_view name;
  TIME_ZONE_INFORMATION zone;
};

std::wstring Ascii(std::string_view text) { return std::wstring(text.begin(), text.end()); }

std::wstring Terminated(const WCHAR (&name)[32]) {
  std::wstring text(name, 32);
  text.resize(text.find(L'\0') == std::wstring::npos ? 31 : text.find(L'\0'));
  return text;
}

// "(UTC+05:30) Asia/Kolkata": the standard offset, then the tz database name.
std::wstring Display(const Entry& entry) {
  const int offset = -entry.zone.Bias;
  const int magnitude = offset < 0 ? -offset : offset;
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "(UTC%c%02d:%02d) ", offset < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return Ascii(prefix) + Ascii(entry.name);
}

// REG_TZI_FORMAT in the device's little-endian layout.
std::vector<BYTE> TziBytes(const TIME_ZONE_INFORMATION& zone) {
  std::vector<BYTE> bytes;
  bytes.reserve(sizeof(REG_TZI_FORMAT));
  auto put32 = [&](LONG value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<BYTE>(bits >> shift));
    }
  };
  auto putTime = [&](const SYSTEMTIME& t) {
    for (WORD field :
         {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}) {
      bytes.push_back(static_cast<BYTE>(field & 0xFF));
      bytes.push_back(static_cast<BYTE>(field >> 8));
    }
  };
  put32(zone.Bias);
  put32(zone.StandardBias);
  put32(zone.DaylightBias);
  putTime(zone.StandardDate);
  putTime(zone.DaylightDate);
  return bytes;
}

}  // namespace

void FillTimeZoneDatabase(Key& timeZones, int year) {
  std::vector<Entry> entries;
  entries.reserve(std::size(kZones));
  for (std::string_view name : kZones) {
    if (const auto rule = tz::LoadRule(name)) {
      entries.push_back({name, tz::ZoneInformationFor(*rule, year)});
    }
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.zone.Bias != b.zone.Bias ? a.zone.Bias > b.zone.Bias : a.name < b.name;
  });
  for (const Entry& entry : entries) {
    Key& key = *timeZones.CreateSubkey(Ascii(entry.name));
    key.SetValue(L"Display", REG_SZ, Utf16Z(Display(entry)));
    key.SetValue(L"Dlt", REG_SZ, Utf16Z(Terminated(entry.zone.DaylightName)));
    key.SetValue(L"Std", REG_SZ, Utf16Z(Terminated(entry.zone.StandardName)));
    key.SetValue(L"TZI", REG_BINARY, TziBytes(entry.zone));
  }
}

}  // namespace sim::registry
