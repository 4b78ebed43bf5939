// Conversions of CNavTime between second counts and calendar fields: known dates, rolling over of
// out-of-range fields, 32-bit wrap, and agreement with the C library over the whole count range.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ctime>
#include <random>

#include "pndhal/navtime.h"
#include "time/value_access.h"

namespace {

constexpr std::uint32_t kLastFourYearRuleSecond = 4107542399u;  // 2100-02-28 23:59:59

tm Fields(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

void ExpectDate(const CNavTime& t, int year, int month, int day, int hour, int minute, int second) {
  EXPECT_EQ(t.GetYear(), year);
  EXPECT_EQ(t.GetMonth(), month);
  EXPECT_EQ(t.GetDay(), day);
  EXPECT_EQ(t.GetHour(), hour);
  EXPECT_EQ(t.GetMinute(), minute);
  EXPECT_EQ(t.GetSecond(), second);
}

// The nine computed fields against the C library's; a mismatch names the count.
::testing::AssertionResult SameAsGmtime(std::uint32_t count) {
  const CNavTime t;
  const tm mine = t.Gmnavtime(count);
  const std::time_t seconds = count;
  tm theirs{};
  gmtime_r(&seconds, &theirs);
  if (mine.tm_sec == theirs.tm_sec && mine.tm_min == theirs.tm_min && mine.tm_hour == theirs.tm_hour &&
      mine.tm_mday == theirs.tm_mday && mine.tm_mon == theirs.tm_mon && mine.tm_year == theirs.tm_year &&
      mine.tm_wday == theirs.tm_wday && mine.tm_yday == theirs.tm_yday && mine.tm_isdst == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "fields of " << count << " differ from gmtime_r";
}

::testing::AssertionResult RoundTrips(std::uint32_t count) {
  const CNavTime t;
  const unsigned long back = t.Mknavtime(t.Gmnavtime(count));
  if (back == count) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << count << " comes back as " << back;
}

TEST(NavTimeConversion, CountZeroIsThursdayFirstOfJanuary1970) {
  const CNavTime t(0L);
  const tm& f = NavValueAccess::Fields(t);
  EXPECT_EQ(f.tm_year, 70);
  EXPECT_EQ(f.tm_mon, 0);
  EXPECT_EQ(f.tm_yday, 0);
  EXPECT_EQ(f.tm_wday, 4);
  EXPECT_EQ(f.tm_isdst, 0);
  EXPECT_EQ(t.GetDayOfWeek(), 5);
  EXPECT_EQ(t.GetDayOfYear(), 0);
  EXPECT_EQ(t.GetMonth(), 1);
  ExpectDate(t, 1970, 1, 1, 0, 0, 0);
}

TEST(NavTimeConversion, DefaultConstructedValueReadsAsCountZero) {
  const CNavTime t;
  ExpectDate(t, 1970, 1, 1, 0, 0, 0);
  EXPECT_EQ(t.GetDayOfWeek(), 5);
  EXPECT_EQ(t.GetTotalSeconds(false), 0u);
}

TEST(NavTimeConversion, LeapDayOf2000ConvertsBothWays) {
  const CNavTime t(951782400L);
  ExpectDate(t, 2000, 2, 29, 0, 0, 0);
  EXPECT_EQ(NavValueAccess::Fields(t).tm_wday, 2);
  EXPECT_EQ(t.GetDayOfYear(), 59);
  EXPECT_EQ(t.Mknavtime(Fields(2000, 2, 29)), 951782400u);
  EXPECT_EQ(t.Mknavtime(Fields(2000, 3, 1)), 951782400u + 86400u);
}

TEST(NavTimeConversion, KnownSaturdayAndItsSecondsSinceMidnight) {
  const CNavTime t(1205589909L);
  ExpectDate(t, 2008, 3, 15, 14, 5, 9);
  EXPECT_EQ(NavValueAccess::Fields(t).tm_wday, 6);
  EXPECT_EQ(t.GetDayOfYear(), 74);
  EXPECT_EQ(t.GetTotalSeconds(true), 50709u);
  EXPECT_EQ(t.GetTotalSeconds(false), 1205589909u);
}

TEST(NavTimeConversion, EndOfTheFourYearRuleRangeAndTheGregorianCalendarAfterIt) {
  ExpectDate(CNavTime(static_cast<long>(kLastFourYearRuleSecond)), 2100, 2, 28, 23, 59, 59);
  // 2100 is no leap year: the next second is 1 March, the 60th day of the year.
  const CNavTime march(static_cast<long>(kLastFourYearRuleSecond + 1));
  ExpectDate(march, 2100, 3, 1, 0, 0, 0);
  EXPECT_EQ(march.GetDayOfYear(), 59);
  EXPECT_EQ(march.GetTotalSeconds(false), kLastFourYearRuleSecond + 1);
  const CNavTime last(static_cast<long>(UINT32_MAX));
  ExpectDate(last, 2106, 2, 7, 6, 28, 15);
  EXPECT_EQ(last.GetDayOfWeek(), 1);  // a Sunday
  EXPECT_EQ(last.GetTotalSeconds(false), UINT32_MAX);
}

TEST(NavTimeConversion, ArgumentsKeepOnlyTheirLow32Bits) {
  const CNavTime t;
  const unsigned long wide = (1ul << 32) + 1205589909ul;
  const tm f = t.Gmnavtime(wide);
  EXPECT_EQ(f.tm_year, 108);
  EXPECT_EQ(f.tm_yday, 74);
  ExpectDate(CNavTime(static_cast<long>(wide)), 2008, 3, 15, 14, 5, 9);
  // A negative count is its 2^32 complement: one second before the end of the range.
  ExpectDate(CNavTime(-1L), 2106, 2, 7, 6, 28, 15);
}

TEST(NavTimeConversion, ConstructionFromFieldsRollsOverIntoNeighbouringUnits) {
  tm f = Fields(2008, 14, 1);  // tm_mon 13
  ExpectDate(CNavTime(f), 2009, 2, 1, 0, 0, 0);
  EXPECT_EQ(CNavTime(f).GetDayOfWeek(), 1);  // a Sunday
  f = Fields(2008, 0, 1);                    // tm_mon -1
  ExpectDate(CNavTime(f), 2007, 12, 1, 0, 0, 0);
  f = Fields(2008, 3, 0);  // day 0 of March
  ExpectDate(CNavTime(f), 2008, 2, 29, 0, 0, 0);
  f = Fields(2008, 12, 31, 24);
  ExpectDate(CNavTime(f), 2009, 1, 1, 0, 0, 0);
  f = Fields(2008, 1, 1, 0, 0, -1);
  ExpectDate(CNavTime(f), 2007, 12, 31, 23, 59, 59);
}

TEST(NavTimeConversion, ConstructionFromFieldsRecomputesWeekDayYearDayAndDaylightFlag) {
  tm f = Fields(2008, 3, 15, 14, 5, 9);
  f.tm_wday = 0;
  f.tm_yday = 300;
  f.tm_isdst = 1;
  const CNavTime t(f);
  EXPECT_EQ(NavValueAccess::Fields(t).tm_wday, 6);
  EXPECT_EQ(NavValueAccess::Fields(t).tm_yday, 74);
  EXPECT_EQ(NavValueAccess::Fields(t).tm_isdst, 0);
}

TEST(NavTimeConversion, MknavtimeWrapsBeforeTheEpochAndIgnoresTheDerivedFields) {
  const CNavTime t;
  EXPECT_EQ(t.Mknavtime(Fields(1969, 12, 31, 23, 59, 59)), 4294967295u);
  tm f = Fields(2008, 3, 15, 14, 5, 9);
  const unsigned long plain = t.Mknavtime(f);
  f.tm_wday = 3;
  f.tm_yday = -7;
  f.tm_isdst = 1;
  EXPECT_EQ(t.Mknavtime(f), plain);
}

TEST(NavTimeConversion, MknavtimeTakesMonthAndYearIn16Bits) {
  const CNavTime t;
  const tm base = Fields(2008, 3, 15, 14, 5, 9);
  tm shifted = base;
  shifted.tm_mon += 65536;
  EXPECT_EQ(t.Mknavtime(shifted), t.Mknavtime(base));
  shifted = base;
  shifted.tm_year += 65536;
  EXPECT_EQ(t.Mknavtime(shifted), t.Mknavtime(base));
  shifted = base;
  shifted.tm_year -= 3 * 65536;
  EXPECT_EQ(t.Mknavtime(shifted), t.Mknavtime(base));
  // Twelve months more is one year more, across the 16-bit folding of the month.
  shifted = base;
  shifted.tm_mon += 12;
  tm nextYear = base;
  nextYear.tm_year += 1;
  EXPECT_EQ(t.Mknavtime(shifted), t.Mknavtime(nextYear));
}

TEST(NavTimeConversion, DayHourMinuteAndSecondEnterLinearlyModulo2To32) {
  const CNavTime t;
  const tm base = Fields(2008, 3, 15, 14, 5, 9);
  const std::uint32_t count = static_cast<std::uint32_t>(t.Mknavtime(base));
  const int extremes[] = {INT_MAX, INT_MIN, -1, 1000000};
  for (int k : extremes) {
    const std::uint32_t uk = static_cast<std::uint32_t>(k);
    tm f = base;
    f.tm_sec = static_cast<int>(static_cast<std::uint32_t>(f.tm_sec) + uk);
    EXPECT_EQ(t.Mknavtime(f), static_cast<std::uint32_t>(count + uk)) << k;
    f = base;
    f.tm_min = static_cast<int>(static_cast<std::uint32_t>(f.tm_min) + uk);
    EXPECT_EQ(t.Mknavtime(f), static_cast<std::uint32_t>(count + 60u * uk)) << k;
    f = base;
    f.tm_hour = static_cast<int>(static_cast<std::uint32_t>(f.tm_hour) + uk);
    EXPECT_EQ(t.Mknavtime(f), static_cast<std::uint32_t>(count + 3600u * uk)) << k;
    f = base;
    f.tm_mday = static_cast<int>(static_cast<std::uint32_t>(f.tm_mday) + uk);
    EXPECT_EQ(t.Mknavtime(f), static_cast<std::uint32_t>(count + 86400u * uk)) << k;
  }
}

TEST(NavTimeConversion, EveryReturnedCountLiesBelow2To32) {
  const CNavTime t;
  tm f = Fields(2106, 2, 7, 6, 28, 16);  // one second past the last count
  EXPECT_EQ(t.Mknavtime(f), 0u);
  f.tm_sec = INT_MIN;
  EXPECT_LE(t.Mknavtime(f), 0xFFFFFFFFul);
  CNavTime far(f);
  EXPECT_LE(far.GetTotalSeconds(false), 0xFFFFFFFFul);
  EXPECT_LE(far.GetTotalSeconds(true), 0xFFFFFFFFul);
  tm& held = NavValueAccess::Fields(far);
  held.tm_hour = INT_MAX;
  held.tm_min = INT_MAX;
  held.tm_sec = INT_MAX;
  EXPECT_EQ(far.GetTotalSeconds(true),
            static_cast<std::uint32_t>(static_cast<std::uint32_t>(INT_MAX) * (1u + 60u + 3600u)));
}

TEST(NavTimeConversion, AccessorsReturnTheLow16BitsOfTheirValues) {
  CNavTime t;
  tm& f = NavValueAccess::Fields(t);
  f.tm_year = 70000;
  f.tm_mon = -2;
  f.tm_mday = 65537;
  f.tm_hour = -1;
  f.tm_wday = 65535;
  f.tm_yday = 70000;
  EXPECT_EQ(t.GetYear(), (70000 + 1900) & 0xFFFF);
  EXPECT_EQ(t.GetMonth(), 0xFFFF);
  EXPECT_EQ(t.GetDay(), 1);
  EXPECT_EQ(t.GetHour(), 0xFFFF);
  EXPECT_EQ(t.GetDayOfWeek(), 0);
  EXPECT_EQ(t.GetDayOfYear(), 70000 & 0xFFFF);
}

TEST(NavTimeConversion, RoundTripsOverADenseSampleOfTheFourYearRuleRange) {
  // Every day boundary (the second before, at and after each midnight) up to 2100-03-01.
  for (std::uint32_t day = 0; day <= kLastFourYearRuleSecond / 86400 + 1; ++day) {
    const std::uint32_t midnight = day * 86400u;
    if (midnight != 0) {
      ASSERT_TRUE(RoundTrips(midnight - 1));
    }
    ASSERT_TRUE(RoundTrips(midnight));
    ASSERT_TRUE(RoundTrips(midnight + 1));
  }
  // Each 29 February and the days around it, second by second over its day boundaries.
  const CNavTime t;
  for (int year = 1972; year <= 2096; year += 4) {
    const std::uint32_t leapDay = static_cast<std::uint32_t>(t.Mknavtime(Fields(year, 2, 29)));
    EXPECT_EQ(t.Gmnavtime(leapDay).tm_mday, 29) << year;
    for (std::uint32_t s = leapDay - 86400 - 120; s <= leapDay + 2 * 86400 + 120; s += 7) {
      ASSERT_TRUE(RoundTrips(s));
    }
    ASSERT_TRUE(RoundTrips(leapDay + 86399));
    ASSERT_TRUE(RoundTrips(leapDay + 86400));
  }
  ASSERT_TRUE(RoundTrips(kLastFourYearRuleSecond));
  // A stride through the whole range that drifts through every second of the day.
  for (std::uint64_t s = 0; s <= kLastFourYearRuleSecond; s += 9973) {
    ASSERT_TRUE(RoundTrips(static_cast<std::uint32_t>(s)));
  }
}

TEST(NavTimeConversion, RoundTripsOverTheRestOfThe32BitRange) {
  for (std::uint64_t s = kLastFourYearRuleSecond; s <= UINT32_MAX; s += 997) {
    ASSERT_TRUE(RoundTrips(static_cast<std::uint32_t>(s)));
  }
  ASSERT_TRUE(RoundTrips(UINT32_MAX));
}

TEST(NavTimeConversion, EveryDayAgreesWithGmtime) {
  for (std::uint64_t midnight = 0; midnight <= UINT32_MAX; midnight += 86400) {
    ASSERT_TRUE(SameAsGmtime(static_cast<std::uint32_t>(midnight)));
    if (midnight + 86399 <= UINT32_MAX) {
      ASSERT_TRUE(SameAsGmtime(static_cast<std::uint32_t>(midnight + 86399)));
    }
  }
}

TEST(NavTimeConversion, FieldsAgreeWithGmtimeOnARandomSample) {
  std::mt19937 random(20080315);
  std::uniform_int_distribution<std::uint32_t> inRange(0, kLastFourYearRuleSecond);
  for (int i = 0; i < 1000000; ++i) {
    ASSERT_TRUE(SameAsGmtime(inRange(random)));
  }
  std::uniform_int_distribution<std::uint32_t> beyond(kLastFourYearRuleSecond + 1, UINT32_MAX);
  for (int i = 0; i < 100000; ++i) {
    ASSERT_TRUE(SameAsGmtime(beyond(random)));
  }
}

TEST(NavTimeConversion, CountsAgreeWithTimegmOnARandomSample) {
  std::mt19937 random(19700101);
  std::uniform_int_distribution<std::uint32_t> counts(0, kLastFourYearRuleSecond);
  const CNavTime t;
  for (int i = 0; i < 300000; ++i) {
    const std::time_t seconds = counts(random);
    tm f{};
    gmtime_r(&seconds, &f);
    ASSERT_EQ(t.Mknavtime(f), static_cast<unsigned long>(seconds));
  }
}

TEST(NavTimeConversion, OutOfRangeFieldsAgreeWithTimegm) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> year(71, 200), month(-12, 23), day(-40, 70), hour(-48, 72),
      unit(-200, 200);
  const CNavTime t;
  for (int i = 0; i < 200000; ++i) {
    tm f{};
    f.tm_year = year(random);
    f.tm_mon = month(random);
    f.tm_mday = day(random);
    f.tm_hour = hour(random);
    f.tm_min = unit(random);
    f.tm_sec = unit(random);
    tm normalised = f;
    const std::time_t expected = timegm(&normalised);
    ASSERT_EQ(t.Mknavtime(f), static_cast<std::uint32_t>(expected))
        << f.tm_year << ' ' << f.tm_mon << ' ' << f.tm_mday << ' ' << f.tm_hour;
  }
}

}  // namespace
