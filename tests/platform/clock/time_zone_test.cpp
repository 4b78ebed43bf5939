// The device's time zone: the rules adopted from POSIX TZ rules and tz database zones, the answers of
// GetTimeZoneInformation on both sides of transitions (checked against the C library), local time
// in both directions, SetTimeZoneInformation, and the host's zone as the default.
#include <ce/kernel.h>
#include <ce/time.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "sim_guard.h"
#include "zone_test_support.h"

namespace {

using namespace std::chrono_literals;
using zonetest::AsUtc;
using zonetest::MakeTime;
using zonetest::Utc;

pndsim::ZoneDate Rule(std::uint16_t month, std::uint16_t day, std::uint16_t dayOfWeek, std::uint16_t hour,
                      std::uint16_t minute = 0) {
  pndsim::ZoneDate date;
  date.month = month;
  date.day = day;
  date.dayOfWeek = dayOfWeek;
  date.hour = hour;
  date.minute = minute;
  return date;
}

void ExpectDate(const pndsim::ZoneDate& actual, const pndsim::ZoneDate& expected) {
  EXPECT_EQ(actual.year, expected.year);
  EXPECT_EQ(actual.month, expected.month);
  EXPECT_EQ(actual.day, expected.day);
  EXPECT_EQ(actual.dayOfWeek, expected.dayOfWeek);
  EXPECT_EQ(actual.hour, expected.hour);
  EXPECT_EQ(actual.minute, expected.minute);
  EXPECT_EQ(actual.second, expected.second);
}

SYSTEMTIME LocalTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return t;
}

DWORD ZoneId() {
  TIME_ZONE_INFORMATION zone{};
  return GetTimeZoneInformation(&zone);
}

// Seconds that local time is ahead of UTC on the device now.
long DeviceOffset() {
  SYSTEMTIME utc{};
  GetSystemTime(&utc);
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::seconds>(AsUtc(LocalTime()) - AsUtc(utc)).count());
}

TEST(ZoneRules, NorthernRuleMapsOntoTheWeekdayOccurrenceForm) {
  const auto zone = pndsim::LookupTimeZone("CET-1CEST,M3.5.0,M10.5.0/3", 2026);
  ASSERT_TRUE(zone);
  EXPECT_EQ(zone->bias, -60);
  EXPECT_EQ(zone->standardBias, 0);
  EXPECT_EQ(zone->daylightBias, -60);
  EXPECT_EQ(zone->standardName, "CET");
  EXPECT_EQ(zone->daylightName, "CEST");
  ExpectDate(zone->daylightDate, Rule(3, 5, 0, 2));
  ExpectDate(zone->standardDate, Rule(10, 5, 0, 3));
}

TEST(ZoneRules, FixedZoneHasNoTransitionDates) {
  const auto zone = pndsim::LookupTimeZone("<+0545>-5:45", 2026);
  ASSERT_TRUE(zone);
  EXPECT_EQ(zone->bias, -345);
  EXPECT_EQ(zone->standardName, "+0545");
  EXPECT_EQ(zone->daylightName, "+0545");
  ExpectDate(zone->standardDate, {});
  ExpectDate(zone->daylightDate, {});
}

TEST(ZoneRules, NegativeDaylightSavingIsTurnedRoundSoSummerIsDaylightTime) {
  const auto zone = pndsim::LookupTimeZone("IST-1GMT0,M10.5.0,M3.5.0/1", 2026);
  ASSERT_TRUE(zone);
  EXPECT_EQ(zone->bias, 0);
  EXPECT_EQ(zone->daylightBias, -60);
  EXPECT_EQ(zone->standardName, "GMT");
  EXPECT_EQ(zone->daylightName, "IST");
  ExpectDate(zone->daylightDate, Rule(3, 5, 0, 1));
  ExpectDate(zone->standardDate, Rule(10, 5, 0, 2));
}

TEST(ZoneRules, TransitionTimesOutsideTheDayNameTheRightDayOfThatYear) {
  // Asia/Jerusalem: the Friday after the fourth Thursday of March, 02:00. In 2026 that is March 27,
  // the last Friday; in 2029 March 23, the fourth of five.
  const char* jerusalem = "IST-2IDT,M3.4.4/26,M10.5.0";
  ExpectDate(pndsim::LookupTimeZone(jerusalem, 2026)->daylightDate, Rule(3, 5, 5, 2));
  ExpectDate(pndsim::LookupTimeZone(jerusalem, 2029)->daylightDate, Rule(3, 4, 5, 2));
  // America/Nuuk: 23:00 on the Saturday before the last Sunday of March.
  const char* nuuk = "<-02>2<-01>,M3.5.0/-1,M10.5.0/0";
  ExpectDate(pndsim::LookupTimeZone(nuuk, 2026)->daylightDate, Rule(3, 5, 6, 23));
  ExpectDate(pndsim::LookupTimeZone(nuuk, 2029)->daylightDate, Rule(3, 4, 6, 23));
  ExpectDate(pndsim::LookupTimeZone(nuuk, 2029)->standardDate, Rule(10, 5, 0, 0));
  // Africa/Cairo: 24:00 on the last Thursday of October is the Friday after it.
  ExpectDate(pndsim::LookupTimeZone("EET-2EEST,M4.5.5/0,M10.5.4/24", 2026)->standardDate, Rule(10, 5, 5, 0));
  // A Julian day: day 79 of 2026 (March 20) at 24:00 is March 21, the third Saturday.
  ExpectDate(pndsim::LookupTimeZone("<+0330>-3:30<+0430>,J79/24,J263/24", 2026)->daylightDate,
             Rule(3, 3, 6, 0));
}

TEST(ZoneRules, DaylightTimeAllYearBecomesAFixedZone) {
  const auto zone = pndsim::LookupTimeZone("EST5EDT,0/0,J365/25", 2026);
  ASSERT_TRUE(zone);
  EXPECT_EQ(zone->bias, 240);
  EXPECT_EQ(zone->standardName, "EDT");
  EXPECT_EQ(zone->standardDate.month, 0);
}

TEST(ZoneRules, UnknownNamesAndYearsAreRejected) {
  EXPECT_FALSE(pndsim::LookupTimeZone("Nowhere/Atlantis", 2026));
  EXPECT_FALSE(pndsim::LookupTimeZone("", 2026));
  EXPECT_FALSE(pndsim::LookupTimeZone("../../etc/passwd", 2026));
  EXPECT_FALSE(pndsim::LookupTimeZone("CET-1CEST,M3.5.0,M10.5.0/3", 1600));
  pndtest::SimGuard guard;
  const std::string before = pndsim::TimeZoneName();
  EXPECT_FALSE(pndsim::SetTimeZoneByName("Nowhere/Atlantis"));
  EXPECT_EQ(pndsim::TimeZoneName(), before);
}

TEST(TimeZoneInformation, ZoneWithoutDaylightTimeAnswersUnknownAndUsesTheBiasAlone) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 7, 1, 12)));
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = -330;
  zone.DaylightDate = MakeTime(0, 13, 9);  // ignored without a standard date
  ASSERT_TRUE(SetTimeZoneInformation(&zone));
  EXPECT_EQ(ZoneId(), TIME_ZONE_ID_UNKNOWN);
  EXPECT_EQ(DeviceOffset(), 330 * 60);
}

TEST(TimeZoneInformation, AnswersStandardAndDaylightOnBothSidesOfEachTransition) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 1)));
  ASSERT_TRUE(pndsim::SetTimeZoneByName("CET-1CEST,M3.5.0,M10.5.0/3"));
  const struct {
    zonetest::Instant instant;
    DWORD id;
    long offset;
  } cases[] = {
      {Utc(2026, 3, 29, 0, 59, 59), TIME_ZONE_ID_STANDARD, 3600},
      {Utc(2026, 3, 29, 1), TIME_ZONE_ID_DAYLIGHT, 7200},
      {Utc(2026, 10, 25, 0, 59, 59), TIME_ZONE_ID_DAYLIGHT, 7200},
      {Utc(2026, 10, 25, 1), TIME_ZONE_ID_STANDARD, 3600},
      {Utc(2026, 12, 31, 23, 30), TIME_ZONE_ID_STANDARD, 3600},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(pndsim::PinClock(c.instant));
    EXPECT_EQ(ZoneId(), c.id);
    EXPECT_EQ(DeviceOffset(), c.offset);
  }
}

TEST(TimeZoneInformation, SouthernDaylightTimeSpansTheNewYear) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 6, 1)));
  ASSERT_TRUE(pndsim::SetTimeZoneByName("AEST-10AEDT,M10.1.0,M4.1.0/3"));
  const struct {
    zonetest::Instant instant;
    DWORD id;
  } cases[] = {
      {Utc(2026, 1, 1, 0), TIME_ZONE_ID_DAYLIGHT},            // 11:00 local on New Year's Day
      {Utc(2025, 12, 31, 13, 30), TIME_ZONE_ID_DAYLIGHT},     // 00:30 local, 1 January 2026
      {Utc(2026, 4, 4, 15, 59, 59), TIME_ZONE_ID_DAYLIGHT},   // 02:59:59 daylight, 5 April
      {Utc(2026, 4, 4, 16), TIME_ZONE_ID_STANDARD},           // back to 02:00 standard
      {Utc(2026, 10, 3, 15, 59, 59), TIME_ZONE_ID_STANDARD},  // 01:59:59 standard, 4 October
      {Utc(2026, 10, 3, 16), TIME_ZONE_ID_DAYLIGHT},          // on to 03:00 daylight
      {Utc(2026, 12, 31, 23), TIME_ZONE_ID_DAYLIGHT},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(pndsim::PinClock(c.instant));
    EXPECT_EQ(ZoneId(), c.id) << zonetest::Seconds(c.instant);
  }
}

// Every transition of the current year of tz database zones with unusual rules, checked against the C
// library one second before and at the change.
TEST(TimeZoneInformation, MatchesTheCLibraryAroundEveryTransitionOfRealZones) {
  const int year = zonetest::CurrentUtcYear();
  int checked = 0;
  for (const char* name :
       {"Europe/Berlin", "America/New_York", "Australia/Sydney", "America/Santiago", "Asia/Jerusalem",
        "America/Nuuk", "Africa/Cairo", "Europe/Dublin", "Australia/Lord_Howe", "Pacific/Chatham",
        "Antarctica/Troll", "Pacific/Auckland", "America/Havana", "Pacific/Easter"}) {
    if (!zonetest::HostHasZone(name)) {
      continue;
    }
    SCOPED_TRACE(name);
    pndtest::SimGuard guard;
    ASSERT_TRUE(pndsim::PinClock(Utc(year, 6, 1)));
    ASSERT_TRUE(pndsim::SetTimeZoneByName(name));
    const pndsim::ZoneInfo rules = pndsim::CurrentTimeZone();
    const long standardOffset = -rules.bias * 60L;

    zonetest::ScopedTz tz(name);
    for (const auto transition : zonetest::CLibraryTransitions(year)) {
      for (const auto instant : {transition - 1s, transition}) {
        ASSERT_TRUE(pndsim::PinClock(instant));
        const long expected = zonetest::CLibraryOffset(instant);
        EXPECT_EQ(DeviceOffset(), expected) << zonetest::Seconds(instant);
        EXPECT_EQ(ZoneId(), expected == standardOffset ? TIME_ZONE_ID_STANDARD : TIME_ZONE_ID_DAYLIGHT)
            << zonetest::Seconds(instant);
        ++checked;
      }
    }
  }
  if (checked == 0) {
    GTEST_SKIP() << "the host has none of the zones";
  }
}

TEST(LocalTime, SetAndGetRoundTripOnBothSidesOfTheDaylightTransitions) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 10)));
  ASSERT_TRUE(pndsim::SetTimeZoneByName("CET-1CEST,M3.5.0,M10.5.0/3"));
  const struct {
    SYSTEMTIME local;
    zonetest::Instant utc;
  } cases[] = {
      {MakeTime(2026, 3, 29, 1, 59, 59), Utc(2026, 3, 29, 0, 59, 59)},
      {MakeTime(2026, 3, 29, 3, 0, 0), Utc(2026, 3, 29, 1)},
      {MakeTime(2026, 7, 15, 12, 0, 0, 125), Utc(2026, 7, 15, 10) + 125ms},
      {MakeTime(2026, 10, 25, 3, 0, 0), Utc(2026, 10, 25, 2)},
      {MakeTime(2026, 12, 24, 18, 0, 0), Utc(2026, 12, 24, 17)},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(SetLocalTime(&c.local));
    EXPECT_EQ(pndsim::DeviceTime(), c.utc);
    EXPECT_EQ(AsUtc(LocalTime()), AsUtc(c.local)) << "the local time reads back as it was set";
  }
  const auto trace = pndsim::Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back().detail, "2026-12-24 17:00:00.000 UTC (local 2026-12-24 18:00:00.000)");
}

TEST(LocalTime, RepeatedHourIsTakenAsDaylightAndSkippedHourLandsAfterTheChange) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 10)));
  ASSERT_TRUE(pndsim::SetTimeZoneByName("CET-1CEST,M3.5.0,M10.5.0/3"));
  const SYSTEMTIME repeated = MakeTime(2026, 10, 25, 2, 30);
  ASSERT_TRUE(SetLocalTime(&repeated));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 10, 25, 0, 30));
  EXPECT_EQ(ZoneId(), TIME_ZONE_ID_DAYLIGHT);

  const SYSTEMTIME skipped = MakeTime(2026, 3, 29, 2, 30);
  ASSERT_TRUE(SetLocalTime(&skipped));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 3, 29, 1, 30));
  EXPECT_EQ(LocalTime().wHour, 3);
}

TEST(LocalTime, ConvertsWithTheZoneInForceAtTheTargetTimeNotNow) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 10)));
  ASSERT_TRUE(pndsim::SetTimeZoneByName("AEST-10AEDT,M10.1.0,M4.1.0/3"));
  ASSERT_EQ(ZoneId(), TIME_ZONE_ID_DAYLIGHT);
  const SYSTEMTIME winter = MakeTime(2026, 7, 1, 10);
  ASSERT_TRUE(SetLocalTime(&winter));
  EXPECT_EQ(pndsim::DeviceTime(), Utc(2026, 7, 1, 0));
}

TEST(TimeZoneInformation, SetThenGetReturnsTheSameRecord) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 2, 1)));
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = 300;
  const std::wstring standardName = L"Eastern Standard Time";
  const std::wstring daylightName = L"Eastern Daylight Time";
  standardName.copy(zone.StandardName, 31);
  daylightName.copy(zone.DaylightName, 31);
  zone.StandardDate = MakeTime(0, 11, 1, 2);
  zone.DaylightDate = MakeTime(0, 3, 2, 2);
  zone.DaylightBias = -60;
  ASSERT_TRUE(SetTimeZoneInformation(&zone));

  TIME_ZONE_INFORMATION read{};
  EXPECT_EQ(GetTimeZoneInformation(&read), TIME_ZONE_ID_STANDARD);
  EXPECT_EQ(read.Bias, 300);
  EXPECT_EQ(std::wstring(read.StandardName), standardName);
  EXPECT_EQ(std::wstring(read.DaylightName), daylightName);
  EXPECT_EQ(read.StandardDate.wMonth, 11);
  EXPECT_EQ(read.DaylightDate.wDay, 2);
  EXPECT_EQ(read.DaylightBias, -60);
  EXPECT_EQ(pndsim::TimeZoneName(), "Eastern Standard Time");
  EXPECT_EQ(pndsim::CurrentTimeZone().daylightName, "Eastern Daylight Time");
  const auto trace = pndsim::Trace();
  ASSERT_FALSE(trace.empty());
  EXPECT_EQ(trace.back().kind, "timezone.set");
  EXPECT_EQ(trace.back().detail, "bias=300 standard=Eastern Standard Time daylight=Eastern Daylight Time");
}

TEST(TimeZoneInformation, AbsoluteTransitionDatesApplyToTheDayOfTheMonth) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 1, 1)));
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = 0;
  zone.DaylightBias = -60;
  zone.DaylightDate = MakeTime(2026, 4, 10, 2);
  zone.StandardDate = MakeTime(2026, 9, 20, 3);
  ASSERT_TRUE(SetTimeZoneInformation(&zone));
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 4, 10, 1, 59, 59)));
  EXPECT_EQ(ZoneId(), TIME_ZONE_ID_STANDARD);
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 4, 10, 2)));
  EXPECT_EQ(ZoneId(), TIME_ZONE_ID_DAYLIGHT);
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 9, 20, 2)));
  EXPECT_EQ(ZoneId(), TIME_ZONE_ID_STANDARD);
}

TEST(TimeZoneInformation, InvalidTransitionDatesAndInjectedFailuresLeaveTheZoneAlone) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::SetTimeZoneByName("JST-9"));
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = 60;
  zone.DaylightBias = -60;
  zone.DaylightDate = MakeTime(0, 3, 5, 2);
  const SYSTEMTIME badDates[] = {MakeTime(0, 13, 1),     MakeTime(0, 10, 6),        MakeTime(0, 10, 0),
                                 MakeTime(0, 10, 5, 24), MakeTime(0, 10, 5, 2, 60), MakeTime(2026, 2, 29)};
  for (const SYSTEMTIME& bad : badDates) {
    zone.StandardDate = bad;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(SetTimeZoneInformation(&zone)) << bad.wYear << ' ' << bad.wMonth << ' ' << bad.wDay;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  zone.StandardDate = MakeTime(0, 10, 5, 3);
  zone.StandardDate.wDayOfWeek = 7;
  EXPECT_FALSE(SetTimeZoneInformation(&zone));
  zone.StandardDate.wDayOfWeek = 0;
  zone.DaylightDate.wMonth = 0;
  EXPECT_FALSE(SetTimeZoneInformation(&zone)) << "a standard date needs a daylight date";
  EXPECT_FALSE(SetTimeZoneInformation(nullptr));
  EXPECT_EQ(GetTimeZoneInformation(nullptr), TIME_ZONE_ID_INVALID);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  zone.DaylightDate.wMonth = 3;
  pndsim::FailNext(pndsim::Call::SetTimeZoneInformation);
  EXPECT_FALSE(SetTimeZoneInformation(&zone));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, -540);
  EXPECT_TRUE(SetTimeZoneInformation(&zone));
  EXPECT_EQ(pndsim::CurrentTimeZone().bias, 60);
}

TEST(TimeZoneInformation, ControlStructSetsTheZoneLikeThePlatformCall) {
  pndtest::SimGuard guard;
  ASSERT_TRUE(pndsim::PinClock(Utc(2026, 8, 1)));
  pndsim::ZoneInfo info;
  info.bias = 180;
  info.standardName = "Örtliche Normalzeit";
  info.daylightName = "Örtliche Sommerzeit mit einem sehr langen Namen";
  info.daylightBias = -60;
  info.daylightDate = Rule(10, 1, 0, 0);
  info.standardDate = Rule(2, 3, 0, 0);
  ASSERT_TRUE(pndsim::SetTimeZoneInfo(info));
  TIME_ZONE_INFORMATION zone{};
  EXPECT_EQ(GetTimeZoneInformation(&zone), TIME_ZONE_ID_STANDARD);
  EXPECT_EQ(zone.StandardName[0], L'\u00D6');
  EXPECT_EQ(std::wstring(zone.DaylightName).size(), 31u) << "names are cut to the record's 31 characters";
  EXPECT_EQ(pndsim::CurrentTimeZone().standardName, "Örtliche Normalzeit");
  info.standardDate.day = 6;
  EXPECT_FALSE(pndsim::SetTimeZoneInfo(info));
  EXPECT_EQ(pndsim::CurrentTimeZone().standardDate.day, 3);
}

TEST(HostZone, TzVariableChoosesTheDefaultZoneAtReset) {
  {
    zonetest::ScopedTz tz("<+0530>-5:30");
    pndsim::Reset();
    EXPECT_EQ(pndsim::TimeZoneName(), "<+0530>-5:30");
    EXPECT_EQ(pndsim::CurrentTimeZone().bias, -330);
  }
  {
    zonetest::ScopedTz tz("");
    pndsim::Reset();
    EXPECT_EQ(pndsim::TimeZoneName(), "UTC");
    EXPECT_EQ(pndsim::CurrentTimeZone().bias, 0);
  }
  {
    zonetest::ScopedTz tz("Not a zone");
    pndsim::Reset();
    EXPECT_EQ(pndsim::TimeZoneName(), "UTC");
  }
  if (zonetest::HostHasZone("America/Sao_Paulo")) {
    zonetest::ScopedTz tz(":America/Sao_Paulo");
    pndsim::Reset();
    EXPECT_EQ(pndsim::TimeZoneName(), "America/Sao_Paulo");
    EXPECT_EQ(pndsim::CurrentTimeZone().bias, 180);
  }
  pndsim::Reset();
}

TEST(HostZone, WithoutTzTheDefaultZoneAgreesWithTheCLibrary) {
  zonetest::ScopedTz unset(nullptr);
  pndtest::SimGuard guard;
  for (const auto instant :
       {Utc(zonetest::CurrentUtcYear(), 1, 15, 12), Utc(zonetest::CurrentUtcYear(), 7, 15, 12)}) {
    ASSERT_TRUE(pndsim::PinClock(instant));
    EXPECT_EQ(DeviceOffset(), zonetest::CLibraryOffset(instant)) << pndsim::TimeZoneName();
  }
}

}  // namespace
