// The POSIX TZ rule parser: the rules real zoneinfo files end with, quoted names, explicit and
// default offsets and times, out-of-day transition times, and malformed text.
#include <gtest/gtest.h>

#include "sim/calendar/posix_tz.h"

namespace {

using sim::tz::ParsePosixTz;
using sim::tz::PosixRuleDate;
using Form = PosixRuleDate::Form;

PosixRuleDate Mwd(int month, int week, int weekday, int time = 7200) {
  PosixRuleDate date;
  date.form = Form::MonthWeekDay;
  date.month = month;
  date.week = week;
  date.weekday = weekday;
  date.time = time;
  return date;
}

PosixRuleDate Day(Form form, int day, int time) {
  PosixRuleDate date;
  date.form = form;
  date.day = day;
  date.time = time;
  return date;
}

TEST(PosixTz, FixedZonesHaveNoDaylightTimeAndOffsetsEastOfUtcArePositive) {
  const auto tokyo = ParsePosixTz("JST-9");
  ASSERT_TRUE(tokyo);
  EXPECT_EQ(tokyo->standardName, "JST");
  EXPECT_EQ(tokyo->standardOffset, 9 * 3600);
  EXPECT_FALSE(tokyo->hasDaylight);

  const auto honolulu = ParsePosixTz("HST10");
  ASSERT_TRUE(honolulu);
  EXPECT_EQ(honolulu->standardOffset, -10 * 3600);

  const auto utc = ParsePosixTz("UTC0");
  ASSERT_TRUE(utc);
  EXPECT_EQ(utc->standardOffset, 0);
}

TEST(PosixTz, QuotedNamesMayHoldDigitsAndSignsAndOffsetsMayHaveMinutesAndSeconds) {
  const auto kathmandu = ParsePosixTz("<+0545>-5:45");
  ASSERT_TRUE(kathmandu);
  EXPECT_EQ(kathmandu->standardName, "+0545");
  EXPECT_EQ(kathmandu->standardOffset, 5 * 3600 + 45 * 60);

  const auto marquesas = ParsePosixTz("<-0930>9:30");
  ASSERT_TRUE(marquesas);
  EXPECT_EQ(marquesas->standardName, "-0930");
  EXPECT_EQ(marquesas->standardOffset, -(9 * 3600 + 30 * 60));

  const auto seconds = ParsePosixTz("LMT-0:53:28");
  ASSERT_TRUE(seconds);
  EXPECT_EQ(seconds->standardOffset, 53 * 60 + 28);

  const auto plus = ParsePosixTz("<-03>+3");
  ASSERT_TRUE(plus);
  EXPECT_EQ(plus->standardOffset, -3 * 3600) << "an explicit '+' is west, like no sign";
}

TEST(PosixTz, DaylightOffsetDefaultsToOneHourAheadAndTimesToTwoOClock) {
  const auto berlin = ParsePosixTz("CET-1CEST,M3.5.0,M10.5.0/3");
  ASSERT_TRUE(berlin);
  EXPECT_EQ(berlin->standardName, "CET");
  EXPECT_EQ(berlin->standardOffset, 3600);
  ASSERT_TRUE(berlin->hasDaylight);
  EXPECT_EQ(berlin->daylightName, "CEST");
  EXPECT_EQ(berlin->daylightOffset, 7200);
  EXPECT_EQ(berlin->start, Mwd(3, 5, 0));
  EXPECT_EQ(berlin->end, Mwd(10, 5, 0, 3 * 3600));
}

TEST(PosixTz, SouthernHemisphereRulesStartLateInTheYearAndEndEarlyInTheNext) {
  const auto sydney = ParsePosixTz("AEST-10AEDT,M10.1.0,M4.1.0/3");
  ASSERT_TRUE(sydney);
  EXPECT_EQ(sydney->standardOffset, 10 * 3600);
  EXPECT_EQ(sydney->daylightOffset, 11 * 3600);
  EXPECT_EQ(sydney->start, Mwd(10, 1, 0));
  EXPECT_EQ(sydney->end, Mwd(4, 1, 0, 3 * 3600));

  const auto auckland = ParsePosixTz("NZST-12NZDT,M9.5.0,M4.1.0/3");
  ASSERT_TRUE(auckland);
  EXPECT_EQ(auckland->start, Mwd(9, 5, 0));
  EXPECT_EQ(auckland->end, Mwd(4, 1, 0, 3 * 3600));
}

TEST(PosixTz, ExplicitDaylightOffsetsAllowHalfHourAndTwoHourSaving) {
  const auto lordHowe = ParsePosixTz("<+1030>-10:30<+11>-11,M10.1.0,M4.1.0");
  ASSERT_TRUE(lordHowe);
  EXPECT_EQ(lordHowe->daylightName, "+11");
  EXPECT_EQ(lordHowe->daylightOffset - lordHowe->standardOffset, 30 * 60);

  const auto troll = ParsePosixTz("<+00>0<+02>-2,M3.5.0/1,M10.5.0/3");
  ASSERT_TRUE(troll);
  EXPECT_EQ(troll->daylightOffset - troll->standardOffset, 2 * 3600);

  const auto chatham = ParsePosixTz("<+1245>-12:45<+1345>,M9.5.0/2:45,M4.1.0/3:45");
  ASSERT_TRUE(chatham);
  EXPECT_EQ(chatham->daylightOffset, 13 * 3600 + 45 * 60);
  EXPECT_EQ(chatham->start.time, 2 * 3600 + 45 * 60);
  EXPECT_EQ(chatham->end.time, 3 * 3600 + 45 * 60);
}

TEST(PosixTz, NegativeDaylightSavingIsKeptAsWritten) {
  const auto dublin = ParsePosixTz("IST-1GMT0,M10.5.0,M3.5.0/1");
  ASSERT_TRUE(dublin);
  EXPECT_EQ(dublin->standardName, "IST");
  EXPECT_EQ(dublin->standardOffset, 3600);
  EXPECT_EQ(dublin->daylightName, "GMT");
  EXPECT_EQ(dublin->daylightOffset, 0);
}

TEST(PosixTz, TransitionTimesMayBeNegativeOrBeyondOneDay) {
  const auto nuuk = ParsePosixTz("<-02>2<-01>,M3.5.0/-1,M10.5.0/0");
  ASSERT_TRUE(nuuk);
  EXPECT_EQ(nuuk->start.time, -3600);
  EXPECT_EQ(nuuk->end.time, 0);

  const auto jerusalem = ParsePosixTz("IST-2IDT,M3.4.4/26,M10.5.0");
  ASSERT_TRUE(jerusalem);
  EXPECT_EQ(jerusalem->start, Mwd(3, 4, 4, 26 * 3600));

  const auto gaza = ParsePosixTz("EET-2EEST,M3.4.4/50,M10.4.4/50");
  ASSERT_TRUE(gaza);
  EXPECT_EQ(gaza->end.time, 50 * 3600);

  const auto santiago = ParsePosixTz("<-04>4<-03>,M9.1.6/24,M4.1.6/24");
  ASSERT_TRUE(santiago);
  EXPECT_EQ(santiago->start, Mwd(9, 1, 6, 24 * 3600));

  EXPECT_TRUE(ParsePosixTz("XXX3YYY,M3.2.0/-167,M11.1.0/167"));
  EXPECT_FALSE(ParsePosixTz("XXX3YYY,M3.2.0/168,M11.1.0"));
}

TEST(PosixTz, JulianAndZeroBasedDaysAreRecognised) {
  const auto permanent = ParsePosixTz("EST5EDT,0/0,J365/25");
  ASSERT_TRUE(permanent);
  EXPECT_EQ(permanent->start, Day(Form::ZeroBasedDay, 0, 0));
  EXPECT_EQ(permanent->end, Day(Form::Julian, 365, 25 * 3600));

  const auto tehran = ParsePosixTz("<+0330>-3:30<+0430>,J79/24,J263/24");
  ASSERT_TRUE(tehran);
  EXPECT_EQ(tehran->start, Day(Form::Julian, 79, 24 * 3600));
  EXPECT_EQ(tehran->end, Day(Form::Julian, 263, 24 * 3600));
}

TEST(PosixTz, DaylightZoneWithoutDatesGetsTheUnitedStatesRules) {
  const auto eastern = ParsePosixTz("EST5EDT");
  ASSERT_TRUE(eastern);
  EXPECT_EQ(eastern->daylightOffset, -4 * 3600);
  EXPECT_EQ(eastern->start, Mwd(3, 2, 0));
  EXPECT_EQ(eastern->end, Mwd(11, 1, 0));

  const auto explicitOffset = ParsePosixTz("EST5EDT4");
  ASSERT_TRUE(explicitOffset);
  EXPECT_EQ(explicitOffset->daylightOffset, -4 * 3600);
}

TEST(PosixTz, MalformedRulesAreRejected) {
  for (const char* text : {
           "",                                 // nothing
           "CET",                              // no offset
           "CE-1",                             // name too short
           "<+3>-3",                           // quoted name too short
           "<+03-3",                           // quote not closed
           "<+0 3>-3",                         // blank inside quotes
           "CET-25",                           // offset beyond 24 hours
           "CET-1:60",                         // minutes out of range
           "CET-1:30:60",                      // seconds out of range
           "CET-1 ",                           // trailing text
           "CET-1CEST,M3.5.0",                 // only one date
           "CET-1CEST,M3.5.0,",                // empty second date
           "CET-1CEST,M13.1.0,M10.5.0",        // month 13
           "CET-1CEST,M0.1.0,M10.5.0",         // month 0
           "CET-1CEST,M3.6.0,M10.5.0",         // week 6
           "CET-1CEST,M3.0.0,M10.5.0",         // week 0
           "CET-1CEST,M3.5.7,M10.5.0",         // weekday 7
           "CET-1CEST,M3.5,M10.5.0",           // weekday missing
           "CET-1CEST,J0,J300",                // Julian day 0
           "CET-1CEST,J366,J300",              // Julian day 366
           "CET-1CEST,366,J300",               // zero-based day 366
           "CET-1CEST,M3.5.0/,M10.5.0",        // empty time
           "CET-1CEST,M3.5.0,M10.5.0,M1.1.0",  // third date
           "CET-1CEST;M3.5.0,M10.5.0",         // wrong separator
       }) {
    EXPECT_FALSE(ParsePosixTz(text)) << '"' << text << '"';
  }
}

}  // namespace
