// The device clock and time-zone services through the exported functions:
// reading and setting the clock across a daylight transition, the current
// zone and its bias, and the zone database as the HAL reads it.
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ce/registry.h"
#include "ce/time.h"
#include "hal_fixture.h"
#include "time/zone_rules.h"

namespace {

using TimeServices_ = pndtest::HalTest;
using namespace std::chrono;

pndsim::DeviceInstant Utc(int year, unsigned month, unsigned day, int hour = 0, int minute = 0) {
  return pndsim::DeviceInstant(
      sys_days(std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day)) + hours(hour) +
      minutes(minute));
}

pndsim::ZoneDate Occurrence(std::uint16_t month, std::uint16_t weekday, std::uint16_t n, std::uint16_t hour) {
  pndsim::ZoneDate date;
  date.month = month;
  date.dayOfWeek = weekday;
  date.day = n;
  date.hour = hour;
  return date;
}

// Central Europe: UTC+1, daylight time from the last Sunday of March 02:00
// to the last Sunday of October 03:00.
pndsim::ZoneInfo CentralEurope() {
  pndsim::ZoneInfo zone;
  zone.bias = -60;
  zone.standardName = "CET";
  zone.daylightName = "CEST";
  zone.daylightBias = -60;
  zone.daylightDate = Occurrence(3, 0, 5, 2);
  zone.standardDate = Occurrence(10, 0, 5, 3);
  return zone;
}

std::int32_t OffsetAt(const CNavTimeZone& zone, long utcSeconds) {
  CNavTimeSpan span;
  zone.GetTimeSpan(CNavTime(utcSeconds), span);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(span.GetTotalSeconds()));
}

long Seconds(int year, int month, int day, int hour = 0) {
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  return static_cast<long>(CNavTime(fields).GetTotalSeconds(false));
}

SYSTEMTIME Date(WORD month, WORD day, WORD hour, WORD weekday = 0) {
  SYSTEMTIME date{};
  date.wMonth = month;
  date.wDay = day;
  date.wHour = hour;
  date.wDayOfWeek = weekday;
  return date;
}

TEST(ZoneRules, WeekdayOccurrenceDatesBecomeTheActualDayOfTheYear) {
  using TimeServices::ActualTransition;
  EXPECT_EQ(ActualTransition(Date(3, 5, 2), 2009).wDay, 29) << "last Sunday of March 2009";
  EXPECT_EQ(ActualTransition(Date(10, 5, 3), 2009).wDay, 25);
  EXPECT_EQ(ActualTransition(Date(3, 2, 2), 2026).wDay, 8) << "second Sunday of March 2026";
  EXPECT_EQ(ActualTransition(Date(11, 1, 2), 2026).wDay, 1) << "first Sunday of November 2026";
  EXPECT_EQ(ActualTransition(Date(2, 5, 0, 6), 2024).wDay, 24) << "last Saturday of a leap February";
  EXPECT_EQ(ActualTransition(Date(3, 29, 2), 2009).wDay, 29) << "a day above 5 is kept";
  SYSTEMTIME fixedYear = Date(3, 2, 2);
  fixedYear.wYear = 2009;
  EXPECT_EQ(ActualTransition(fixedYear, 2026).wDay, 2) << "a date with its year is kept";
  EXPECT_EQ(ActualTransition(SYSTEMTIME{}, 2026).wMonth, 0) << "no transition";
}

TEST(ZoneRules, DescriptorOfTheWorkedExample) {
  wchar_t text[256];
  TimeServices::FormatZoneDescriptor(text, 256, 1, Date(3, 5, 2), Date(10, 5, 3), 2009);
  EXPECT_STREQ(text, L"TZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]");
  TimeServices::FormatZoneDescriptor(text, 256, 0, SYSTEMTIME{}, SYSTEMTIME{}, 2026);
  EXPECT_STREQ(text, L"TZ|0.00|DY|1;60;[(y2026M0d0h0) {0}]") << "all-zero dates";
}

TEST(ZoneRules, BaseHoursTruncateTowardZeroWithTheSignOfTheOffset) {
  EXPECT_EQ(TimeServices::BaseHours(-330), 5);
  EXPECT_EQ(TimeServices::BaseHours(210), -3);
  EXPECT_EQ(TimeServices::BaseHours(-120), 2);
}

TEST(ZoneRules, SystemTimeConversionsKeepMillisecondsAndCountSundayAsZero) {
  SYSTEMTIME base{};
  base.wMilliseconds = 123;
  const SYSTEMTIME sunday = TimeServices::SystemTimeFromNavTime(CNavTime(Seconds(2009, 2, 1, 13)), base);
  EXPECT_EQ(sunday.wDayOfWeek, 0);
  EXPECT_EQ(sunday.wMilliseconds, 123);
  EXPECT_EQ(sunday.wYear, 2009);
  EXPECT_EQ(sunday.wHour, 13);
  const CNavTime back = TimeServices::NavTimeFromSystemTime(sunday);
  EXPECT_EQ(back.GetTotalSeconds(false), static_cast<unsigned long>(Seconds(2009, 2, 1, 13)));
}

TEST_F(TimeServices_, CurrentZoneInStandardTimeHasTheStandardBase) {
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
  ASSERT_TRUE(pndsim::PinClock(Utc(2009, 1, 15, 12)));
  const CNavTimeZone& zone = GetTimezone();
  EXPECT_EQ(OffsetAt(zone, Seconds(2009, 1, 15)), 3600);
  EXPECT_EQ(OffsetAt(zone, Seconds(2009, 3, 29, 2)), 7200) << "the window starts on the last Sunday";
  EXPECT_EQ(OffsetAt(zone, Seconds(2009, 3, 29, 1)), 3600);
  EXPECT_EQ(OffsetAt(zone, Seconds(2009, 10, 25, 2)), 7200) << "and lasts 210 days";
  EXPECT_EQ(OffsetAt(zone, Seconds(2009, 10, 26)), 3600);
  wchar_t name[16];
  zone.GetDescription(name, 16);
  EXPECT_STREQ(name, L"CEST");
}

TEST_F(TimeServices_, CurrentZoneInDaylightTimeHasTheBiasInForceAsBase) {
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
  ASSERT_TRUE(pndsim::PinClock(Utc(2009, 7, 1, 12)));
  const CNavTimeZone& zone = GetTimezone();
  EXPECT_EQ(OffsetAt(zone, Seconds(2009, 1, 15)), 7200);
  EXPECT_EQ(&GetTimezone(), &zone) << "one held zone";
}

TEST_F(TimeServices_, ZoneWithoutDaylightTimeGivesAnEmptyZone) {
  pndsim::ZoneInfo fixed;
  fixed.bias = -330;
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(fixed));
  EXPECT_EQ(OffsetAt(GetTimezone(), Seconds(2026, 6, 1)), 0);
}

TEST_F(TimeServices_, CurrentZoneHandedBackSetsTheSameBias) {
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 15, 12)));
  // The application's own copy, not a reference to the zone the HAL holds.
  CNavTimeZone zone = GetTimezone();  // NOLINT(performance-unnecessary-copy-initialization)
  ASSERT_TRUE(SetTimezone(zone));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, -60);
  EXPECT_EQ(pndsim::CurrentTimeZone().standardDate.month, 0) << "a fixed bias without daylight rules";
}

TEST_F(TimeServices_, SetTimezoneWritesTheOffsetInForceAsBias) {
  ASSERT_TRUE(pndsim::PinClock(Utc(2009, 1, 15, 12)));
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, -60);
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|-4.5|DY|1;0;[(y2009M3d29h2) {210}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, 240) << "-4.5 counts as -4 hours";
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|-5.00|DY|1;30;[(y2009M1d1h0) {30}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, 270) << "-16200 seconds";
  pndsim::FailNext(pndsim::Call::SetTimeZoneInformation);
  EXPECT_FALSE(SetTimezone(CNavTimeZone()));
}

TEST_F(TimeServices_, LocalAndUtcClockRoundTripsAcrossADaylightTransition) {
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 3, 29, 0, 30)));  // 01:30 local, standard time
  CNavTime local, utc;
  ASSERT_TRUE(GetLocalNavTime(local));
  ASSERT_TRUE(GetGMTNavTime(utc));
  EXPECT_EQ(local.GetTotalSeconds(false) - utc.GetTotalSeconds(false), 3600u);
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 3, 29, 1, 30)));  // 03:30 local, daylight time
  ASSERT_TRUE(GetLocalNavTime(local));
  ASSERT_TRUE(GetGMTNavTime(utc));
  EXPECT_EQ(local.GetTotalSeconds(false) - utc.GetTotalSeconds(false), 7200u);

  CNavTime wanted(Seconds(2026, 7, 1, 14));
  ASSERT_TRUE(SetLocalNavTime(wanted));
  ASSERT_TRUE(GetGMTNavTime(utc));
  EXPECT_EQ(utc.GetTotalSeconds(false), static_cast<unsigned long>(Seconds(2026, 7, 1, 12)));
  ASSERT_TRUE(GetLocalNavTime(local));
  EXPECT_TRUE(local == wanted);

  CNavTime winter(Seconds(2026, 12, 24, 18));
  ASSERT_TRUE(SetGMTNavTime(winter));
  ASSERT_TRUE(GetLocalNavTime(local));
  EXPECT_EQ(local.GetTotalSeconds(false), static_cast<unsigned long>(Seconds(2026, 12, 24, 19)));
  pndsim::FailNext(pndsim::Call::SetSystemTime);
  EXPECT_FALSE(SetGMTNavTime(winter));
}

// Replaces the zone database with the given zones (name, TZI).
void InstallDatabase(const std::vector<std::pair<std::string, REG_TZI_FORMAT>>& zones) {
  const auto root = pndsim::RegistryRoot::LocalMachine;
  pndsim::DeleteRegistryKey(root, "Time Zones");
  ASSERT_TRUE(pndsim::CreateRegistryKey(root, "Time Zones"));
  for (const auto& [name, tzi] : zones) {
    const std::string path = "Time Zones\\" + name;
    ASSERT_TRUE(pndsim::CreateRegistryKey(root, path));
    ASSERT_TRUE(pndsim::SetRegistryString(root, path, "Display", "(UTC) " + name));
    std::vector<std::uint8_t> bytes(sizeof tzi);
    std::memcpy(bytes.data(), &tzi, sizeof tzi);
    ASSERT_TRUE(pndsim::SetRegistryValue(root, path, "TZI", REG_BINARY, bytes));
  }
}

REG_TZI_FORMAT Tzi(LONG bias, LONG daylightBias = 0) {
  REG_TZI_FORMAT tzi{};
  tzi.Bias = bias;
  tzi.DaylightBias = daylightBias;
  return tzi;
}

TEST_F(TimeServices_, DatabaseBasesTruncateHalfHours) {
  InstallDatabase({{"India", Tzi(-330)}, {"Newfoundland", Tzi(210)}});
  const auto& zones = GetAvailableTimezones();
  ASSERT_EQ(zones.size(), 2u);
  EXPECT_EQ(OffsetAt(zones[0], Seconds(2026, 6, 1)), 5 * 3600);
  EXPECT_EQ(OffsetAt(zones[1], Seconds(2026, 6, 1)), -3 * 3600);
  wchar_t display[64];
  zones[0].GetDescription(display, 64);
  EXPECT_STREQ(display, L"(UTC) India");
  EXPECT_EQ(&GetAvailableTimezones(), &zones);
  EXPECT_EQ(GetAvailableTimezones().size(), 2u) << "refilled, not appended to";
}

TEST_F(TimeServices_, DatabaseWalkStopsAtAZoneWithoutTzi) {
  InstallDatabase({{"A", Tzi(-60)}, {"B", Tzi(0)}, {"C", Tzi(60)}});
  pndsim::DeleteRegistryValue(pndsim::RegistryRoot::LocalMachine, "Time Zones\\B", "TZI");
  EXPECT_EQ(GetAvailableTimezones().size(), 1u);
  pndsim::SetRegistryValue(pndsim::RegistryRoot::LocalMachine, "Time Zones\\B", "TZI", REG_BINARY,
                           std::vector<std::uint8_t>(40));
  EXPECT_EQ(GetAvailableTimezones().size(), 1u) << "a value of the wrong size ends the walk too";
  pndsim::DeleteRegistryKey(pndsim::RegistryRoot::LocalMachine, "Time Zones");
  EXPECT_TRUE(GetAvailableTimezones().empty());
}

TEST_F(TimeServices_, DisplayOfAnotherTypeGivesAnEmptyDescription) {
  InstallDatabase({{"A", Tzi(-60)}});
  pndsim::SetRegistryDword(pndsim::RegistryRoot::LocalMachine, "Time Zones\\A", "Display", 7);
  wchar_t display[64] = L"x";
  GetAvailableTimezones()[0].GetDescription(display, 64);
  EXPECT_STREQ(display, L"");
}

// The offset the C library gives for `utc` under the zone named `name`.
long HostOffset(const std::string& name, long utc) {
  // No other thread reads the environment or the C library's zone while the HAL's tests run.
  setenv("TZ", name.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  tzset();                        // NOLINT(concurrency-mt-unsafe)
  time_t t = utc;
  tm local{};
  localtime_r(&t, &local);
  return local.tm_gmtoff;
}

TEST_F(TimeServices_, GeneratedZonesAgreeWithTheCLibrary) {
  const char* savedTz = std::getenv("TZ");  // NOLINT(concurrency-mt-unsafe): as in HostOffset
  const std::string saved = savedTz != nullptr ? savedTz : "";
  const auto names = pndsim::ListRegistrySubkeys(pndsim::RegistryRoot::LocalMachine, "Time Zones");
  const auto& zones = GetAvailableTimezones();
  ASSERT_EQ(zones.size(), names.size());
  ASSERT_GT(zones.size(), 20u);
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const int year = now.wYear;
  int compared = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const auto value = pndsim::GetRegistryValue(pndsim::RegistryRoot::LocalMachine, "Time Zones\\" + names[i], "TZI");
    ASSERT_TRUE(value.has_value());
    REG_TZI_FORMAT tzi{};
    std::memcpy(&tzi, value->data.data(), sizeof tzi);
    const SYSTEMTIME start = TimeServices::ActualTransition(tzi.DaylightDate, year);
    const SYSTEMTIME end = TimeServices::ActualTransition(tzi.StandardDate, year);
    // Only daylight periods within one calendar year and of one hour can be
    // expressed by a zone's single 60-minute window.
    if (start.wMonth == 0 || start.wMonth >= end.wMonth || tzi.DaylightBias != -60) continue;
    const long january = Seconds(year, 1, 15);
    const long middle = (Seconds(year, start.wMonth, start.wDay) + Seconds(year, end.wMonth, end.wDay)) / 2;
    const long december = Seconds(year, 12, 15);
    const long standard = HostOffset(names[i], january);
    const long base = standard / 3600 * 3600;  // whole hours, truncated toward zero
    for (long t : {january, middle, december}) {
      EXPECT_EQ(OffsetAt(zones[i], t), base + HostOffset(names[i], t) - standard) << names[i] << " at " << t;
    }
    ++compared;
  }
  EXPECT_GT(compared, 10);
  // NOLINTBEGIN(concurrency-mt-unsafe): as in HostOffset
  if (savedTz != nullptr) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  // NOLINTEND(concurrency-mt-unsafe)
}

}  // namespace
