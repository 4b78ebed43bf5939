// The generated time-zone database under HKEY_LOCAL_MACHINE\Time Zones: its shape as the HAL reads it,
// its order, its coverage of the offsets in use, and its agreement with the C library's view of
// every zone.
#include <ce/registry.h>
#include <ce/time.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../clock/zone_test_support.h"
#include "sim_guard.h"

namespace {

using zonetest::Utc;

struct Zone {
  std::string name;
  std::wstring display;
  REG_TZI_FORMAT tzi;
};

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::optional<std::wstring> ReadString(HKEY key, const wchar_t* name) {
  BYTE bytes[1024];
  DWORD size = sizeof bytes;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, bytes, &size) != ERROR_SUCCESS || type != REG_SZ) {
    return std::nullopt;
  }
  EXPECT_EQ(size % 2, 0u);
  EXPECT_GE(size, 2u);
  EXPECT_EQ(bytes[size - 1] | bytes[size - 2], 0) << "the terminator is part of the value";
  wchar_t text[512];
  ce::Utf16BytesToWide(bytes, size, text, 512);
  return std::wstring(text);
}

// Reads the database the way the HAL walks it: open "Time Zones", enumerate into a 512-character
// buffer, open each subkey, read "TZI" into 44 bytes and "Display".
std::vector<Zone> ReadDatabase() {
  std::vector<Zone> zones;
  HKEY root = nullptr;
  EXPECT_EQ(
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Time Zones", 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &root),
      ERROR_SUCCESS);
  for (DWORD index = 0;; ++index) {
    wchar_t name[512];
    DWORD chars = 512;
    const LONG listed = RegEnumKeyExW(root, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (listed != ERROR_SUCCESS) {
      EXPECT_EQ(listed, static_cast<LONG>(ERROR_NO_MORE_ITEMS));
      break;
    }
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(root, name, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    Zone zone{Narrow(name), {}, {}};
    BYTE tzi[44];
    DWORD size = sizeof tzi;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"TZI", nullptr, &type, tzi, &size), ERROR_SUCCESS) << zone.name;
    EXPECT_EQ(type, REG_BINARY) << zone.name;
    EXPECT_EQ(size, 44u) << zone.name;
    std::memcpy(&zone.tzi, tzi, sizeof tzi);
    const auto display = ReadString(key, L"Display");
    EXPECT_TRUE(display) << zone.name;
    zone.display = display.value_or(L"");
    RegCloseKey(key);
    zones.push_back(zone);
  }
  RegCloseKey(root);
  return zones;
}

TIME_ZONE_INFORMATION FromTzi(const REG_TZI_FORMAT& tzi) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = tzi.Bias;
  zone.StandardBias = tzi.StandardBias;
  zone.DaylightBias = tzi.DaylightBias;
  zone.StandardDate = tzi.StandardDate;
  zone.DaylightDate = tzi.DaylightDate;
  return zone;
}

bool IsZero(const SYSTEMTIME& t) {
  const SYSTEMTIME zero{};
  return std::memcmp(&t, &zero, sizeof t) == 0;
}

std::wstring OffsetText(LONG bias) {
  const int offset = -bias;
  const int magnitude = offset < 0 ? -offset : offset;
  wchar_t text[16];
  std::swprintf(text, 16, L"(UTC%lc%02d:%02d)", offset < 0 ? L'-' : L'+', magnitude / 60, magnitude % 60);
  return text;
}

#define SKIP_WITHOUT_TZDATA(zones) \
  if ((zones).empty()) GTEST_SKIP() << "the host has no tz database"

TEST(TimeZoneDatabase, EveryZoneHasADisplayNameAndA44ByteTziInWeekdayOccurrenceForm) {
  pndtest::SimGuard guard;
  const auto zones = ReadDatabase();
  SKIP_WITHOUT_TZDATA(zones);
  EXPECT_GE(zones.size(), 40u);
  EXPECT_LE(zones.size(), 100u);
  for (const Zone& zone : zones) {
    SCOPED_TRACE(zone.name);
    EXPECT_EQ(zone.display,
              OffsetText(zone.tzi.Bias) + L" " + std::wstring(zone.name.begin(), zone.name.end()));
    EXPECT_EQ(zone.tzi.StandardBias, 0);
    if (zone.tzi.StandardDate.wMonth == 0) {
      EXPECT_TRUE(IsZero(zone.tzi.StandardDate));
      EXPECT_TRUE(IsZero(zone.tzi.DaylightDate));
      EXPECT_EQ(zone.tzi.DaylightBias, 0);
      continue;
    }
    EXPECT_LT(zone.tzi.DaylightBias, 0) << "daylight time is ahead of standard time";
    for (const SYSTEMTIME& date : {zone.tzi.StandardDate, zone.tzi.DaylightDate}) {
      EXPECT_EQ(date.wYear, 0);
      EXPECT_GE(date.wMonth, 1);
      EXPECT_LE(date.wMonth, 12);
      EXPECT_GE(date.wDay, 1);
      EXPECT_LE(date.wDay, 5);
      EXPECT_LE(date.wDayOfWeek, 6);
      EXPECT_LT(date.wHour, 24);
    }
  }
}

TEST(TimeZoneDatabase, ZonesRunWestToEastThenByName) {
  pndtest::SimGuard guard;
  const auto zones = ReadDatabase();
  SKIP_WITHOUT_TZDATA(zones);
  for (std::size_t i = 1; i < zones.size(); ++i) {
    const Zone& before = zones[i - 1];
    const Zone& after = zones[i];
    EXPECT_GE(before.tzi.Bias, after.tzi.Bias) << before.name << " before " << after.name;
    if (before.tzi.Bias == after.tzi.Bias) {
      EXPECT_LT(before.name, after.name);
    }
  }
  EXPECT_EQ(zones.front().tzi.Bias, 660) << zones.front().name;
  EXPECT_EQ(zones.back().tzi.Bias, -840) << zones.back().name;
}

TEST(TimeZoneDatabase, EveryStandardOffsetInUseIsRepresented) {
  std::ifstream table("/usr/share/zoneinfo/zone1970.tab");
  if (!table) {
    GTEST_SKIP() << "the host has no zone1970.tab";
  }
  pndtest::SimGuard guard;
  const auto zones = ReadDatabase();
  std::set<LONG> present;
  for (const Zone& zone : zones) {
    present.insert(zone.tzi.Bias);
  }
  const int year = zonetest::CurrentUtcYear();
  std::string line;
  int checked = 0;
  while (std::getline(table, line)) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream fields(line);
    std::string codes, coordinates, name;
    std::getline(fields, codes, '\t');
    std::getline(fields, coordinates, '\t');
    std::getline(fields, name, '\t');
    const auto rules = pndsim::LookupTimeZone(name, year);
    if (!rules) {
      continue;
    }
    ++checked;
    EXPECT_TRUE(present.count(rules->bias)) << name << " has standard offset " << -rules->bias << " minutes";
  }
  EXPECT_GT(checked, 0);
}

TEST(TimeZoneDatabase, OffsetsMatchTheCLibraryOnFifteenthOfJanuaryAndJuly) {
  pndtest::SimGuard guard;
  const auto zones = ReadDatabase();
  SKIP_WITHOUT_TZDATA(zones);
  const int year = zonetest::CurrentUtcYear();
  for (const Zone& zone : zones) {
    SCOPED_TRACE(zone.name);
    const TIME_ZONE_INFORMATION rules = FromTzi(zone.tzi);
    ASSERT_TRUE(SetTimeZoneInformation(&rules));
    zonetest::ScopedTz tz(zone.name.c_str());
    for (const auto instant : {Utc(year, 1, 15, 12), Utc(year, 7, 15, 12)}) {
      ASSERT_TRUE(pndsim::PinClock(instant));
      SYSTEMTIME utc{};
      SYSTEMTIME local{};
      GetSystemTime(&utc);
      GetLocalTime(&local);
      const long deviceOffset = static_cast<long>(
          std::chrono::duration_cast<std::chrono::seconds>(zonetest::AsUtc(local) - zonetest::AsUtc(utc))
              .count());
      const long expected = zonetest::CLibraryOffset(instant);
      EXPECT_EQ(deviceOffset, expected) << zonetest::Seconds(instant);
      TIME_ZONE_INFORMATION read{};
      const DWORD id = GetTimeZoneInformation(&read);
      if (rules.StandardDate.wMonth == 0) {
        EXPECT_EQ(id, TIME_ZONE_ID_UNKNOWN);
      } else {
        EXPECT_EQ(id, expected == -rules.Bias * 60L ? TIME_ZONE_ID_STANDARD : TIME_ZONE_ID_DAYLIGHT);
      }
    }
  }
}

TEST(TimeZoneDatabase, WellKnownZonesCarryTheirRulesAndAbbreviations) {
  pndtest::SimGuard guard;
  if (!zonetest::HostHasZone("Europe/Berlin") || !zonetest::HostHasZone("America/St_Johns")) {
    GTEST_SKIP() << "the host lacks the zones";
  }
  EXPECT_EQ(
      pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "Display"),
      "(UTC+01:00) Europe/Berlin");
  EXPECT_EQ(pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "Std"),
            "CET");
  EXPECT_EQ(pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "Dlt"),
            "CEST");
  const auto berlin =
      pndsim::GetRegistryValue(pndsim::RegistryRoot::LocalMachine, "Time Zones\\Europe/Berlin", "TZI");
  ASSERT_TRUE(berlin);
  ASSERT_EQ(berlin->data.size(), 44u);
  const std::vector<std::uint8_t> expected = {
      0xC4, 0xFF, 0xFF, 0xFF,                                      // Bias -60
      0,    0,    0,    0,                                         // StandardBias 0
      0xC4, 0xFF, 0xFF, 0xFF,                                      // DaylightBias -60
      0,    0,    10,   0,    0, 0, 5, 0, 3, 0, 0, 0, 0, 0, 0, 0,  // last Sunday of October, 03:00
      0,    0,    3,    0,    0, 0, 5, 0, 2, 0, 0, 0, 0, 0, 0, 0,  // last Sunday of March, 02:00
  };
  EXPECT_EQ(berlin->data, expected);
  EXPECT_EQ(pndsim::GetRegistryString(pndsim::RegistryRoot::LocalMachine, "Time Zones\\America/St_Johns",
                                      "Display"),
            "(UTC-03:30) America/St_Johns");
}

TEST(TimeZoneDatabase, RegeneratingForAnotherYearReplacesTheKeyInPlace) {
  pndtest::SimGuard guard;
  if (!zonetest::HostHasZone("Asia/Jerusalem")) {
    GTEST_SKIP() << "the host lacks Asia/Jerusalem";
  }
  HKEY old = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Time Zones", 0, KEY_READ, &old), ERROR_SUCCESS);
  const auto rootKeys = pndsim::ListRegistrySubkeys(pndsim::RegistryRoot::LocalMachine, "");

  ASSERT_TRUE(pndsim::RegenerateTimeZoneDatabase(2029));
  EXPECT_EQ(pndsim::ListRegistrySubkeys(pndsim::RegistryRoot::LocalMachine, ""), rootKeys);
  wchar_t name[64];
  DWORD chars = 64;
  EXPECT_EQ(RegEnumKeyExW(old, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
  RegCloseKey(old);

  // In 2029 the Friday before the last Sunday of March is the fourth Friday, not the last.
  const auto tzi =
      pndsim::GetRegistryValue(pndsim::RegistryRoot::LocalMachine, "Time Zones\\Asia/Jerusalem", "TZI");
  ASSERT_TRUE(tzi);
  REG_TZI_FORMAT record{};
  std::memcpy(&record, tzi->data.data(), sizeof record);
  EXPECT_EQ(record.DaylightDate.wMonth, 3);
  EXPECT_EQ(record.DaylightDate.wDayOfWeek, 5);
  EXPECT_EQ(record.DaylightDate.wDay, 4);
  EXPECT_EQ(record.DaylightDate.wHour, 2);
  EXPECT_EQ(record.DaylightDate.wYear, 0);

  EXPECT_FALSE(pndsim::RegenerateTimeZoneDatabase(1600));
  EXPECT_FALSE(pndsim::RegenerateTimeZoneDatabase(30828));
}

}  // namespace
