// The device clock and time-zone services through the exported functions:
// reading and setting the clock across a daylight transition, the current
// zone and its bias, and the zone database as the HAL reads it.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "../platform/clock/zone_test_support.h"
#include "ce/registry.h"
#include "ce/time.h"
#include "hal/hal.h"
#include "hal_fixture.h"
#include "pndhal/zualloc.h"
#include "time/value_access.h"
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
  using time_services::ActualTransition;
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

REG_TZI_FORMAT Record(LONG bias, LONG daylightBias, SYSTEMTIME daylight, SYSTEMTIME standard,
                      LONG standardBias = 0) {
  REG_TZI_FORMAT record{};
  record.Bias = bias;
  record.StandardBias = standardBias;
  record.DaylightBias = daylightBias;
  record.DaylightDate = daylight;
  record.StandardDate = standard;
  return record;
}

TEST(ZoneRules, DescriptorsCarryEveryDaylightPeriodOfTheYearWithItsShift) {
  constexpr LONG kMax = std::numeric_limits<LONG>::max();
  constexpr LONG kMin = std::numeric_limits<LONG>::min();
  const SYSTEMTIME marchLastSunday = Date(3, 5, 2);
  const SYSTEMTIME octoberLastSunday = Date(10, 5, 3);
  const SYSTEMTIME octoberFirstSunday = Date(10, 1, 2);
  const SYSTEMTIME aprilFirstSunday = Date(4, 1, 3);
  const struct {
    const char* what;
    REG_TZI_FORMAT record;
    int year;
    const wchar_t* descriptor;
  } cases[] = {
      {"one window and one hour: the long-standing text",
       Record(-60, -60, marchLastSunday, octoberLastSunday), 2009, L"TZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]"},
      {"the shift as it is", Record(0, -120, Date(3, 5, 1), octoberLastSunday), 2026,
       L"TZ|0.00|DY|1;120;[(y2026M3d29h1) {210}]"},
      {"across the new year: last year's window and this year's",
       Record(-600, -60, octoberFirstSunday, aprilFirstSunday), 2026,
       L"TZ|10.00|DY|1;60;60;[(y2025M10d5h2) {182};(y2026M10d4h2) {182}]"},
      {"half an hour across the new year", Record(-630, -30, octoberFirstSunday, Date(4, 1, 2)), 2026,
       L"TZ|10.50|DY|1;30;30;[(y2025M10d5h2) {182};(y2026M10d4h2) {182}]"},
      {"no daylight time: a window that adds nothing", Record(-540, 0, SYSTEMTIME{}, SYSTEMTIME{}), 2026,
       L"TZ|9.00|DY|1;0;[(y2026M0d0h0) {0}]"},
      {"one transition missing: no daylight time", Record(-60, -60, marchLastSunday, SYSTEMTIME{}), 2026,
       L"TZ|1.00|DY|1;0;[(y2026M0d0h0) {0}]"},
      {"half an hour west", Record(210, -60, Date(3, 2, 2), Date(11, 1, 2)), 2026,
       L"TZ|-3.50|DY|1;60;[(y2026M3d8h2) {238}]"},
      {"45 minutes east", Record(-765, -60, Date(9, 5, 2), Date(4, 1, 3)), 2026,
       L"TZ|12.75|DY|1;60;60;[(y2025M9d28h2) {189};(y2026M9d27h2) {189}]"},
      {"sums beyond 32 bits", Record(kMax, kMin, marchLastSunday, octoberLastSunday, 1), 2009,
       L"TZ|-35791394.13|DY|1;2147483649;[(y2009M3d29h2) {210}]"},
      {"differences beyond 32 bits", Record(kMin, kMax, marchLastSunday, octoberLastSunday, -1), 2009,
       L"TZ|35791394.15|DY|1;-2147483648;[(y2009M3d29h2) {210}]"},
  };
  for (const auto& c : cases) {
    wchar_t text[256];
    time_services::FormatZoneDescriptor(text, 256, c.record, c.year);
    EXPECT_STREQ(text, c.descriptor) << c.what;
  }
}

// Every base from 24 hours west to 24 hours east, minute by minute, and the extremes of the bias sums:
// whole hours keep the long-standing "%d.00", and the parsed zone comes back to the very minute.
TEST(ZoneRules, TheBaseFieldReadsBackToTheMinute) {
  const struct {
    std::int64_t minutes;
    const wchar_t* text;
  } texts[] = {{60, L"1.00"},
               {-300, L"-5.00"},
               {0, L"0.00"},
               {330, L"5.50"},
               {345, L"5.75"},
               {-570, L"-9.50"},
               {765, L"12.75"},
               {-30, L"-0.50"},
               {15, L"0.25"},
               {320, L"5.33"},
               {1, L"0.02"},
               {-59, L"-0.98"},
               {std::int64_t{1} << 32, L"71582788.27"}};
  for (const auto& t : texts) {
    wchar_t field[time_services::kBaseFieldChars];
    time_services::BaseField(field, t.minutes);
    EXPECT_STREQ(field, t.text) << t.minutes;
  }
  constexpr std::int64_t kDay = std::int64_t{24} * 60;
  for (std::int64_t minutes = -kDay; minutes <= kDay; ++minutes) {
    wchar_t field[time_services::kBaseFieldChars];
    time_services::BaseField(field, minutes);
    const std::wstring descriptor = L"TZ|" + std::wstring(field) + L"|DY|1;0;[(y2026M0d0h0) {0}]";
    ASSERT_EQ(OffsetAt(CNavTimeZone(descriptor.c_str()), Seconds(2026, 6, 1)), minutes * 60)
        << pndsim::ToUtf8(field);
  }
  EXPECT_EQ(time_services::BaseMinutesOfBias(-330), 330);
  EXPECT_EQ(time_services::BaseMinutesOfBias(210), -210);
}

TEST(ZoneRules, SystemTimeConversionsKeepMillisecondsAndCountSundayAsZero) {
  SYSTEMTIME base{};
  base.wMilliseconds = 123;
  const SYSTEMTIME sunday = time_services::SystemTimeFromNavTime(CNavTime(Seconds(2009, 2, 1, 13)), base);
  EXPECT_EQ(sunday.wDayOfWeek, 0);
  EXPECT_EQ(sunday.wMilliseconds, 123);
  EXPECT_EQ(sunday.wYear, 2009);
  EXPECT_EQ(sunday.wHour, 13);
  const CNavTime back = time_services::NavTimeFromSystemTime(sunday);
  EXPECT_EQ(back.GetTotalSeconds(false), static_cast<unsigned long>(Seconds(2009, 2, 1, 13)));
}

// South-east Australia: UTC+10, daylight time from the first Sunday of
// October 02:00 to the first Sunday of April 03:00, across the new year.
pndsim::ZoneInfo SouthEastAustralia() {
  pndsim::ZoneInfo zone;
  zone.bias = -600;
  zone.standardName = "AEST";
  zone.daylightName = "AEDT";
  zone.daylightBias = -60;
  zone.daylightDate = Occurrence(10, 0, 1, 2);
  zone.standardDate = Occurrence(4, 0, 1, 3);
  return zone;
}

long LocalMinusUtc() {
  CNavTime local, utc;
  GetLocalNavTime(local);
  GetGMTNavTime(utc);
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(local.GetTotalSeconds(false) - utc.GetTotalSeconds(false)));
}

TEST_F(TimeServices_, CurrentZoneIsRightAllYearInEitherSeasonAndHandedBackKeepsTheLocalTime) {
  const struct {
    const char* name;
    pndsim::ZoneInfo zone;
    std::int32_t january, july;
  } zones[] = {{"Central Europe", CentralEurope(), 3600, 7200},
               {"South-east Australia", SouthEastAustralia(), 39600, 36000}};
  for (const auto& z : zones) {
    for (const unsigned month : {1u, 7u}) {
      SCOPED_TRACE(std::string(z.name) + " in month " + std::to_string(month));
      ASSERT_TRUE(pndsim::SetTimeZoneInfo(z.zone));
      ASSERT_TRUE(pndsim::PinClock(Utc(2026, month, 15, 12)));
      // The application's own copy: GetTimezone refreshes the zone it returns.
      const CNavTimeZone zone = GetTimezone();  // NOLINT(performance-unnecessary-copy-initialization)
      EXPECT_EQ(OffsetAt(zone, Seconds(2026, 1, 15, 12)), z.january);
      EXPECT_EQ(OffsetAt(zone, Seconds(2026, 7, 15, 12)), z.july);
      EXPECT_EQ(OffsetAt(zone, Seconds(2026, 12, 15, 12)), z.january);
      const long before = LocalMinusUtc();
      EXPECT_EQ(OffsetAt(zone, Seconds(2026, month, 15, 12)), before);
      ASSERT_TRUE(SetTimezone(zone));
      EXPECT_EQ(LocalMinusUtc(), before) << "the device's local time stays";
      EXPECT_EQ(pndsim::CurrentTimeZone().standardDate.month, 0) << "a fixed bias without daylight rules";
    }
  }
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
  wchar_t name[16];
  GetTimezone().GetDescription(name, 16);
  EXPECT_STREQ(name, L"CEST");
  EXPECT_EQ(&GetTimezone(), &GetTimezone()) << "one held zone";
}

TEST_F(TimeServices_, ZoneWithoutDaylightTimeKeepsItsBaseAndASetZoneReadsBack) {
  pndsim::ZoneInfo fixed;
  fixed.bias = -540;
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(fixed));
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 6, 1, 12)));
  EXPECT_EQ(OffsetAt(GetTimezone(), Seconds(2026, 6, 1)), 9 * 3600);
  EXPECT_EQ(OffsetAt(GetTimezone(), Seconds(2025, 11, 30)), 9 * 3600)
      << "month 0, day 0 of the year adds nothing";

  const CNavTimeZone set(L"TZ|-5.00|DY|1;60;[(y2026M1d1h0) {365}]");
  ASSERT_TRUE(SetTimezone(set));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, 240);
  EXPECT_EQ(OffsetAt(GetTimezone(), Seconds(2026, 6, 1, 12)), OffsetAt(set, Seconds(2026, 6, 1, 12)));
}

TEST_F(TimeServices_, SetTimezoneWritesTheOffsetInForceAsBias) {
  ASSERT_TRUE(pndsim::PinClock(Utc(2009, 1, 15, 12)));
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, -60);
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|-4.5|DY|1;0;[(y2009M3d29h2) {210}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, 270) << "-4.5 hours";
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|5.75|DY|1;0;[(y2009M3d29h2) {210}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, -345) << "5.75 hours";
  ASSERT_TRUE(SetTimezone(CNavTimeZone(L"TZ|-5.00|DY|1;30;[(y2009M1d1h0) {30}]")));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, 270) << "-16200 seconds";
  pndsim::FailNext(pndsim::Call::SetTimeZoneInformation);
  EXPECT_FALSE(SetTimezone(CNavTimeZone()));
}

TEST_F(TimeServices_, SetTimezoneRefusesAnOffsetNoPlaceHasAndKeepsTheBias) {
  ASSERT_TRUE(pndsim::PinClock(Utc(2009, 6, 1, 12)));
  const struct {
    const wchar_t* descriptor;
    bool accepted;
    std::int32_t bias;
  } cases[] = {
      {L"TZ|1e10|DY|1;60;[(y2009M3d29h2) {210}]", false, 0},
      {L"TZ|1234567890123456789012345|DY|1;60;[(y2009M3d29h2) {210}]", false, 0},
      {L"TZ|30|DY|1;60;[(y2009M3d29h2) {210}]", false, 0},
      {L"TZ|-13|DY|1;60;[(y2009M3d29h2) {10}]", false, 0},
      {L"TZ|14|DY|1;60;[(y2009M1d1h0) {365}]", false, 0},
      {L"TZ|0|DY|1;71582789;[(y2009M1d1h0) {365}]", false, 0},  // 71582789 minutes wrap to 44 seconds
      {L"TZ|-12|DY|1;60;[(y2009M3d29h2) {10}]", true, 720},
      {L"TZ|14|DY|1;60;[(y2009M3d29h2) {10}]", true, -840},
      {L"TZ|13|DY|1;60;[(y2009M1d1h0) {365}]", true, -840},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
    EXPECT_EQ(SetTimezone(CNavTimeZone(c.descriptor)), c.accepted) << pndsim::ToUtf8(c.descriptor);
    const pndsim::ZoneInfo now = pndsim::CurrentTimeZone();
    if (c.accepted) {
      EXPECT_EQ(now.bias, c.bias) << pndsim::ToUtf8(c.descriptor);
    } else {
      EXPECT_EQ(now.bias, -60) << pndsim::ToUtf8(c.descriptor);
      EXPECT_EQ(now.daylightDate.month, 3) << "the zone is left as it was";
    }
  }
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

TEST_F(TimeServices_, DatabaseBasesKeepHalfAndQuarterHours) {
  InstallDatabase({{"India", Tzi(-330)}, {"Newfoundland", Tzi(210)}, {"Nepal", Tzi(-345)}});
  const auto& zones = GetAvailableTimezones();
  ASSERT_EQ(zones.size(), 3u);
  EXPECT_EQ(OffsetAt(zones[0], Seconds(2026, 6, 1)), 330 * 60);
  EXPECT_EQ(OffsetAt(zones[1], Seconds(2026, 6, 1)), -210 * 60);
  EXPECT_EQ(OffsetAt(zones[2], Seconds(2026, 6, 1)), 345 * 60);
  wchar_t display[64];
  zones[0].GetDescription(display, 64);
  EXPECT_STREQ(display, L"(UTC) India");
  EXPECT_EQ(&GetAvailableTimezones(), &zones);
  EXPECT_EQ(GetAvailableTimezones().size(), 3u) << "refilled, not appended to";
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

TEST_F(TimeServices_, BiasSumsOfCraftedRecordsDoNotOverflow) {
  constexpr LONG kMax = std::numeric_limits<LONG>::max();
  constexpr LONG kMin = std::numeric_limits<LONG>::min();
  const struct {
    LONG bias, standardBias, daylightBias;
    float base;
  } cases[] = {{kMax, 1, kMin, -35791394.13f}, {kMin, -1, kMax, 35791394.15f}};
  for (const auto& c : cases) {
    REG_TZI_FORMAT tzi = Tzi(c.bias, c.daylightBias);
    tzi.StandardBias = c.standardBias;
    tzi.DaylightDate = Date(3, 5, 2);
    tzi.StandardDate = Date(10, 5, 3);
    InstallDatabase({{"Crafted", tzi}});
    ASSERT_EQ(GetAvailableTimezones().size(), 1u);
    EXPECT_EQ(NavValueAccess::BaseOffset(GetAvailableTimezones()[0]), c.base) << "database record " << c.bias;

    pndsim::ZoneInfo zone = CentralEurope();
    zone.bias = c.bias;
    zone.standardBias = c.standardBias;
    zone.daylightBias = c.daylightBias;
    ASSERT_TRUE(pndsim::SetTimeZoneInfo(zone));
    EXPECT_EQ(NavValueAccess::BaseOffset(GetTimezone()), c.base) << "system record " << c.bias;
  }
}

TEST_F(TimeServices_, HeldResultsWithoutAHalAreEmpty) {
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(CentralEurope()));
  InstallDatabase({{"A", Tzi(-60)}});
  ASSERT_EQ(GetAvailableTimezones().size(), 1u);
  ASSERT_FALSE(NavValueAccess::Rules(GetTimezone()).empty());
  ASSERT_FALSE(GetHardwareKeyMap().empty());
  FreeDLL();
  ZuAllocFailAfter(0, 1000);  // no HAL can be created
  const bool noZones = GetAvailableTimezones().empty();
  const CNavTimeZone& zone = GetTimezone();
  const bool noMap = GetHardwareKeyMap().empty();
  ZuAllocFailAfter(0, 0);
  EXPECT_TRUE(noZones);
  EXPECT_TRUE(NavValueAccess::Rules(zone).empty());
  EXPECT_EQ(NavValueAccess::BaseOffset(zone), 0.0f);
  EXPECT_TRUE(noMap);
}

// Runs `read` under each allocation failure it can meet: the allocation numbered `skip` fails alone, for
// every allocation `read` makes, and then fails with every one after it. Returns the number of allocations
// one `read` makes.
template <class Read>
long SweepAllocationFailures(const Read& read) {
  long allocations = -1;
  for (long skip = 0; skip < 100000 && allocations < 0; ++skip) {
    ZuAllocFailAfter(skip, 1);
    read();
    void* probe = ZuAlloc(1);  // null while the failure is still pending: `read` made fewer allocations
    ZuAllocFailAfter(0, 0);
    if (probe == nullptr) allocations = skip;
    ZuFree(probe);
  }
  for (long skip = 0; skip <= allocations; ++skip) {
    ZuAllocFailAfter(skip, std::numeric_limits<long>::max());
    read();
    ZuAllocFailAfter(0, 0);
  }
  return allocations;
}

// Zones of one and two windows and without daylight time, more than a vector's first few growths hold,
// with display names of growing length.
void InstallMixedDatabase() {
  REG_TZI_FORMAT north = Tzi(-60, -60);
  north.DaylightDate = Date(3, 5, 2);
  north.StandardDate = Date(10, 5, 3);
  REG_TZI_FORMAT south = Tzi(-570, -60);
  south.DaylightDate = Date(10, 1, 2);
  south.StandardDate = Date(4, 1, 3);
  InstallDatabase({{"A", north},
                   {"Bb", south},
                   {"Ccc", Tzi(-345)},
                   {"Dddd", north},
                   {"Eeeee", south},
                   {"Ffffff", Tzi(210)},
                   {"Ggggggg", north},
                   {"Hhhhhhhh", south},
                   {"Iiiiiiiii", Tzi(0)}});
}

struct ZoneShape {
  std::size_t rules;
  float base;
  std::wstring description;
  bool operator==(const ZoneShape&) const = default;
};

ZoneShape ShapeOf(const CNavTimeZone& zone) {
  wchar_t description[64];
  zone.GetDescription(description, 64);
  return {NavValueAccess::Rules(zone).size(), NavValueAccess::BaseOffset(zone), description};
}

TEST_F(TimeServices_, AZoneListIsWholeOrEmptyWhateverAllocationFails) {
  InstallMixedDatabase();
  CHAL* hal = GetHALInstance();
  ASSERT_NE(hal, nullptr);
  std::vector<ZoneShape> whole;
  for (const CNavTimeZone& zone : GetAvailableTimezones()) whole.push_back(ShapeOf(zone));
  ASSERT_EQ(whole.size(), 9u);
  std::size_t emptyLists = 0;
  // The operation with a new vector meets the vector's growth each time; the held list after its first call
  // only the zones'.
  const long allocations = SweepAllocationFailures([&] {
    Container::ZuVector<CNavTimeZone> fresh;
    const bool result = hal->GetAvailableTimezones(fresh);
    const auto& held = GetAvailableTimezones();
    for (const Container::ZuVector<CNavTimeZone>* list : {&std::as_const(fresh), &held}) {
      if (list->empty()) {
        ++emptyLists;
        continue;
      }
      ASSERT_EQ(list->size(), whole.size()) << "a short list";
      for (std::size_t i = 0; i < whole.size(); ++i) EXPECT_TRUE(ShapeOf((*list)[i]) == whole[i]) << i;
    }
    EXPECT_FALSE(result) << "a whole database ends with its last subkey, an emptied list with a failure";
  });
  EXPECT_GT(allocations, static_cast<long>(2 * whole.size())) << "every zone's windows and the list's growth";
  EXPECT_GT(emptyLists, static_cast<std::size_t>(allocations)) << "failures that left the list whole";
}

TEST_F(TimeServices_, TheCurrentZoneIsWholeOrEmptyWhateverAllocationFails) {
  pndsim::ZoneInfo adelaide = SouthEastAustralia();
  adelaide.bias = -570;
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(adelaide));
  const ZoneShape whole = ShapeOf(GetTimezone());
  ASSERT_EQ(whole.rules, 2u);
  ASSERT_EQ(whole.base, 9.5f);
  const ZoneShape empty{0, 0.0f, L""};
  const long allocations = SweepAllocationFailures([&] {
    const ZoneShape shape = ShapeOf(GetTimezone());
    EXPECT_TRUE(shape == whole || shape == empty) << shape.rules << " rules, base " << shape.base;
  });
  EXPECT_GE(allocations, 4) << "the two windows and their shifts";
}

// Every generated zone, from the database and as the device's current zone, to the minute (the half- and
// quarter-hour zones among them), against the C library on the 18th of every month at noon UTC. No transition
// of the current rules falls within two days of those instants: a window is placed by the transition's local
// time but compared with UTC, so near a transition the comparison would measure that placement rather than
// the zone.
TEST_F(TimeServices_, EveryGeneratedZoneAgreesWithTheCLibraryAllYear) {
  const auto names = pndsim::ListRegistrySubkeys(pndsim::RegistryRoot::LocalMachine, "Time Zones");
  if (names.empty()) GTEST_SKIP() << "the host has no tz database";
  const int year = zonetest::CurrentUtcYear();
  ASSERT_TRUE(pndsim::PinClock(Utc(year, 7, 1, 12)));
  std::vector<pndsim::DeviceInstant> instants;
  for (unsigned month = 1; month <= 12; ++month) instants.push_back(Utc(year, month, 18, 12));
  // The C library's offsets, read before the HAL runs threads: TZ may change only while none does.
  std::vector<std::vector<long>> host;
  for (const std::string& name : names) {
    zonetest::ScopedTz tz(name.c_str());
    host.emplace_back();
    for (const auto instant : instants) host.back().push_back(zonetest::CLibraryOffset(instant));
  }
  const auto& zones = GetAvailableTimezones();
  ASSERT_EQ(zones.size(), names.size());
  EXPECT_GT(zones.size(), 40u);
  std::size_t fractional = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    ASSERT_TRUE(pndsim::SetTimeZoneByName(names[i]));
    const CNavTimeZone current = GetTimezone();  // NOLINT(performance-unnecessary-copy-initialization): kept
    fractional += std::any_of(host[i].begin(), host[i].end(), [](long offset) { return offset % 3600 != 0; });
    for (std::size_t m = 0; m < instants.size(); ++m) {
      const long expected = host[i][m];
      const long t = zonetest::Seconds(instants[m]);
      EXPECT_EQ(OffsetAt(zones[i], t), expected) << "database zone, month " << m + 1;
      EXPECT_EQ(OffsetAt(current, t), expected) << "current zone, month " << m + 1;
    }
  }
  EXPECT_GT(fractional, 0u) << "the half- and quarter-hour zones are among them";
}

}  // namespace
