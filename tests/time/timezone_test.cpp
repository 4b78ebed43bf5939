// CNavTimeZone from descriptor texts: the parser's acceptance and partial results, the offset at a
// date-time with its inclusive windows, the description, copies, and the date-time operators with a zone.
#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <type_traits>
#include <utility>

#include "pndhal/navtimezone.h"
#include "pndhal/zualloc.h"
#include "time/value_access.h"

namespace {

constexpr const wchar_t* kOneWindow = L"TZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]";
constexpr const wchar_t* kTwoWindows = L"TZ|-5.00|DY|1;60;60;[(y2009M3d8h2) {238};(y2010M3d14h2) {238}]";

CNavTime At(int year, int month, int day, int hour, int minute = 0, int second = 0) {
  tm f{};
  f.tm_year = year - 1900;
  f.tm_mon = month - 1;
  f.tm_mday = day;
  f.tm_hour = hour;
  f.tm_min = minute;
  f.tm_sec = second;
  return CNavTime(f);
}

// The zone's offset at the time, as a signed number of seconds.
std::int32_t OffsetAt(const CNavTimeZone& zone, const CNavTime& time) {
  CNavTimeSpan span(1, 2, 3, 4);  // overwritten whole
  zone.GetTimeSpan(time, span);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(span.GetTotalSeconds()));
}

bool Parse(CNavTimeZone& zone, const wchar_t* descriptor) {
  return NavValueAccess::InitTimeZone(zone, descriptor);
}

void ExpectRule(const TimeZoneRule& rule, int year, int month, int day, int hour, int days) {
  EXPECT_EQ(rule.iYear, year);
  EXPECT_EQ(rule.iMonth, month);
  EXPECT_EQ(rule.iDay, day);
  EXPECT_EQ(rule.iHour, hour);
  EXPECT_EQ(rule.iMinute, 0);
  EXPECT_EQ(rule.iDays, days);
}

bool IsEmpty(const CNavTimeZone& zone) {
  return NavValueAccess::Rules(zone).empty() && NavValueAccess::Shifts(zone).empty() &&
         NavValueAccess::BaseOffset(zone) == 0.0f;
}

TEST(NavTimeZoneDescriptor, ReadsOneWindow) {
  CNavTimeZone zone;
  EXPECT_TRUE(Parse(zone, kOneWindow));
  EXPECT_EQ(NavValueAccess::BaseOffset(zone), 1.0f);
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 1u);
  ExpectRule(NavValueAccess::Rules(zone)[0], 2009, 3, 29, 2, 210);
  ASSERT_EQ(NavValueAccess::Shifts(zone).size(), 1u);
  EXPECT_EQ(NavValueAccess::Shifts(zone)[0], 60);
}

TEST(NavTimeZoneDescriptor, BothEndsOfAWindowAreInclusive) {
  const CNavTimeZone zone(kOneWindow);
  EXPECT_EQ(OffsetAt(zone, At(2009, 3, 29, 2)), 7200);
  EXPECT_EQ(OffsetAt(zone, At(2009, 10, 25, 2)), 7200);
  EXPECT_EQ(OffsetAt(zone, At(2009, 3, 29, 1, 59, 59)), 3600);
  EXPECT_EQ(OffsetAt(zone, At(2009, 10, 25, 2, 0, 1)), 3600);
  EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 12)), 7200);
}

TEST(NavTimeZoneDescriptor, ReadsSeveralWindowsAndShiftsOnlyInsideThem) {
  CNavTimeZone zone;
  EXPECT_TRUE(Parse(zone, kTwoWindows));
  EXPECT_EQ(NavValueAccess::BaseOffset(zone), -5.0f);
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 2u);
  ExpectRule(NavValueAccess::Rules(zone)[0], 2009, 3, 8, 2, 238);
  ExpectRule(NavValueAccess::Rules(zone)[1], 2010, 3, 14, 2, 238);
  EXPECT_EQ(OffsetAt(zone, At(2008, 12, 1, 0)), -18000);  // before the first
  EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 0)), -14400);   // inside the first
  EXPECT_EQ(OffsetAt(zone, At(2010, 1, 1, 0)), -18000);   // between them
  EXPECT_EQ(OffsetAt(zone, At(2010, 7, 1, 0)), -14400);   // inside the second
  EXPECT_EQ(OffsetAt(zone, At(2011, 7, 1, 0)), -18000);   // after the last
}

TEST(NavTimeZoneDescriptor, AShiftWithoutItsSemicolonMakesTheDescriptorInvalid) {
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, L"TZ|1.00|DY|1;60[(y2009M3d29h2) {210}]"));
  EXPECT_EQ(NavValueAccess::Rules(zone).size(), 1u);
  EXPECT_EQ(NavValueAccess::Shifts(zone).size(), 0u);
  // The rule without a shift adds nothing, and no shift is read that is not there.
  EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 0)), 3600);
}

TEST(NavTimeZoneDescriptor, RulesThatOutnumberTheirShiftsAddNothing) {
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, L"TZ|2|DY|1;30;[(y2009M3d1h0) {10};(y2009M4d1h0) {10};(y2009M5d1h0) {10}]"));
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 3u);
  ASSERT_EQ(NavValueAccess::Shifts(zone).size(), 1u);
  EXPECT_EQ(OffsetAt(zone, At(2009, 3, 5, 0)), 7200 + 1800);
  EXPECT_EQ(OffsetAt(zone, At(2009, 4, 5, 0)), 7200);
  EXPECT_EQ(OffsetAt(zone, At(2009, 5, 5, 0)), 7200);
  EXPECT_EQ(OffsetAt(zone, At(2009, 4, 20, 0)), 7200);
}

TEST(NavTimeZoneDescriptor, MoreShiftsThanRulesIsInvalidButTheRulesKeepTheirShifts) {
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, L"TZ|0|DY|1;60;30;[(y2009M3d1h0) {10}]"));
  EXPECT_EQ(NavValueAccess::Shifts(zone).size(), 2u);
  EXPECT_EQ(OffsetAt(zone, At(2009, 3, 5, 0)), 3600);
}

TEST(NavTimeZoneDescriptor, AWrongHeadGivesAnEmptyZone) {
  const wchar_t* wrong[] = {L" TZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]",
                            L"tz|1|DY|1;60;[(y2009M3d29h2) {210}]",
                            L"TZ",
                            L"",
                            L"TZ|1.00",
                            L"XTZ|1.00|DY|1;60;[(y2009M3d29h2) {210}]"};
  for (const wchar_t* text : wrong) {
    CNavTimeZone zone;
    EXPECT_FALSE(Parse(zone, text)) << text;
    EXPECT_TRUE(IsEmpty(zone)) << text;
    EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 0)), 0) << text;
  }
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, nullptr));
  const CNavTimeZone fromNull(static_cast<const wchar_t*>(nullptr));
  EXPECT_TRUE(IsEmpty(fromNull));
}

TEST(NavTimeZoneDescriptor, AnEmptyBaseTextIsRejectedWithNothingStored) {
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, L"TZ||DY|1;60;[(y2009M3d29h2) {210}]"));
  EXPECT_TRUE(IsEmpty(zone));
}

TEST(NavTimeZoneDescriptor, AFaultAfterTheBaseOffsetKeepsOnlyTheBaseOffset) {
  const wchar_t* faulty[] = {L"TZ|3|XY|1;60;[(y2009M3d29h2) {210}]",
                             L"TZ|3|DY|2;60;[(y2009M3d29h2) {210}]",
                             L"TZ|3|DY|1;60;(y2009M3d29h2) {210}",
                             L"TZ|3|DY|1;[(y2009M3d29h2) {210}]",
                             L"TZ|3|DY|1",
                             L"TZ|3|"};
  for (const wchar_t* text : faulty) {
    CNavTimeZone zone;
    EXPECT_FALSE(Parse(zone, text)) << text;
    EXPECT_EQ(NavValueAccess::BaseOffset(zone), 3.0f) << text;
    EXPECT_TRUE(NavValueAccess::Rules(zone).empty()) << text;
    EXPECT_TRUE(NavValueAccess::Shifts(zone).empty()) << text;
    EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 0)), 3 * 3600) << text;
  }
}

TEST(NavTimeZoneDescriptor, BaseOffsetCountsToTheNearestMinute) {
  const struct {
    const wchar_t* base;
    std::int32_t seconds;
  } cases[] = {{L"5.5", 330 * 60},   {L"5.75", 345 * 60}, {L"-3.5", -210 * 60}, {L"-9.50", -570 * 60},
               {L"12.75", 765 * 60}, {L"-0.5", -30 * 60}, {L"5.33", 320 * 60},  {L"5.999", 360 * 60},
               {L" 2 ", 2 * 3600},   {L"\t+1e0\t", 3600}, {L"-0.004", 0}};
  for (const auto& c : cases) {
    const std::wstring descriptor = std::wstring(L"TZ|") + c.base + L"|DY|1;60;[(y2009M3d29h2) {210}]";
    EXPECT_EQ(OffsetAt(CNavTimeZone(descriptor.c_str()), At(2009, 1, 1, 0)), c.seconds) << c.base;
    EXPECT_EQ(OffsetAt(CNavTimeZone(descriptor.c_str()), At(2009, 7, 1, 0)), c.seconds + 3600) << c.base;
  }
}

TEST(NavTimeZoneDescriptor, AnUnconvertibleBaseTextCountsAsZeroAndTheRestIsRead) {
  const wchar_t* texts[] = {L"2x", L"x", L" ", L".", L"1e", L"0x10", L"inf", L"1,5", L"1e999", L"2\u0100"};
  for (const wchar_t* base : texts) {
    const std::wstring descriptor = std::wstring(L"TZ|") + base + L"|DY|1;60;[(y2009M3d29h2) {210}]";
    CNavTimeZone zone;
    EXPECT_TRUE(Parse(zone, descriptor.c_str())) << base;
    EXPECT_EQ(NavValueAccess::BaseOffset(zone), 0.0f) << base;
    EXPECT_EQ(NavValueAccess::Rules(zone).size(), 1u) << base;
    EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 0)), 3600) << base;
  }
}

TEST(NavTimeZoneDescriptor, ABaseTextTakesAtMost360CharactersBesideBlanks) {
  const std::wstring padded = L"TZ|4" + std::wstring(400, L' ') + L"|DY|1;60;[(y2009M3d29h2) {210}]";
  EXPECT_EQ(NavValueAccess::BaseOffset(CNavTimeZone(padded.c_str())), 4.0f);
  const std::wstring longDigits = L"TZ|" + std::wstring(359, L'0') + L"4|DY|1;60;[(y2009M3d29h2) {210}]";
  EXPECT_EQ(NavValueAccess::BaseOffset(CNavTimeZone(longDigits.c_str())), 4.0f);
  const std::wstring tooLong = L"TZ|" + std::wstring(360, L'0') + L"4|DY|1;60;[(y2009M3d29h2) {210}]";
  EXPECT_EQ(NavValueAccess::BaseOffset(CNavTimeZone(tooLong.c_str())), 0.0f);
}

TEST(NavTimeZoneDescriptor, ARuleListEndingWithASemicolonAddsNoRule) {
  CNavTimeZone zone;
  EXPECT_TRUE(Parse(zone, L"TZ|1|DY|1;60;[(y2009M3d29h2) {210};"));
  EXPECT_EQ(NavValueAccess::Rules(zone).size(), 1u);
}

TEST(NavTimeZoneDescriptor, TextAfterTheLastSemicolonIsOneMoreRecordWithMissingFieldsZero) {
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, L"TZ|1|DY|1;60;[(y2009M3d29h2) {210};]"));
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 2u);
  ExpectRule(NavValueAccess::Rules(zone)[1], 0, 0, 0, 0, 0);
  // The first window still applies.
  EXPECT_EQ(OffsetAt(zone, At(2009, 7, 1, 0)), 7200);
}

TEST(NavTimeZoneDescriptor, AMissingMarkerIsLookedForInTheRestOfTheRuleList) {
  CNavTimeZone zone;
  EXPECT_TRUE(Parse(zone, L"TZ|1|DY|1;60;60;[(y2009M3d29) {210};(y2010M3d28h4) {7}]"));
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 2u);
  ExpectRule(NavValueAccess::Rules(zone)[0], 2009, 3, 29, 4, 210);
  ExpectRule(NavValueAccess::Rules(zone)[1], 2010, 3, 28, 4, 7);
}

TEST(NavTimeZoneDescriptor, FieldsAreIntegersAfterTheirMarkersWhateverFollows) {
  CNavTimeZone zone;
  EXPECT_TRUE(Parse(zone, L"TZ|1|DY|1; 45x;-30;[y 2009M+3d29h-1{2};y2011M1d1h0{99999999999}"));
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 2u);
  ExpectRule(NavValueAccess::Rules(zone)[0], 2009, 3, 29, -1, 2);
  ExpectRule(NavValueAccess::Rules(zone)[1], 2011, 1, 1, 0, 999999999);
  EXPECT_EQ(NavValueAccess::Shifts(zone)[0], 45);
  EXPECT_EQ(NavValueAccess::Shifts(zone)[1], -30);
}

TEST(NavTimeZoneDescriptor, ASemicolonAtTheFrontOfTheRestEndsNoItem) {
  // The shift list ";60;" ends its first item at the ";" after 60; the item, read from the list's start,
  // gives 0. The rule list's ";;" likewise leaves ";(y2010..." as the final record.
  CNavTimeZone zone;
  EXPECT_FALSE(Parse(zone, L"TZ|1|DY|1;;60;[(y2009M3d29h2) {210};;(y2010M3d28h2) {210}]"));
  ASSERT_EQ(NavValueAccess::Shifts(zone).size(), 1u);
  EXPECT_EQ(NavValueAccess::Shifts(zone)[0], 0);
  ASSERT_EQ(NavValueAccess::Rules(zone).size(), 2u);
  ExpectRule(NavValueAccess::Rules(zone)[0], 2009, 3, 29, 2, 210);
  ExpectRule(NavValueAccess::Rules(zone)[1], 2010, 3, 28, 2, 210);
}

TEST(NavTimeZoneDescriptor, ADescriptorCutAnywhereIsReadSafely) {
  const std::wstring full = kTwoWindows;
  const std::size_t bracket = full.find(L'[');
  const std::size_t secondBar = full.find(L'|', 3);
  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    const std::wstring prefix = full.substr(0, cut);
    CNavTimeZone zone;
    const bool valid = Parse(zone, prefix.c_str());
    const auto& rules = NavValueAccess::Rules(zone);
    const auto& shifts = NavValueAccess::Shifts(zone);
    EXPECT_LE(rules.size(), 2u) << cut;
    EXPECT_LE(shifts.size(), 2u) << cut;
    if (valid) {
      EXPECT_EQ(rules.size(), shifts.size()) << cut;
    }
    if (cut <= bracket) {
      EXPECT_TRUE(rules.empty()) << cut;
    }
    EXPECT_EQ(NavValueAccess::BaseOffset(zone), cut > secondBar ? -5.0f : 0.0f) << cut;
    const std::int32_t offset = OffsetAt(zone, At(2009, 7, 1, 0));
    EXPECT_TRUE(offset == 0 || offset == -18000 || offset == -14400) << cut;
  }
}

TEST(NavTimeZoneDescription, KeepsUpTo511Characters) {
  CNavTimeZone zone;
  const std::wstring longest(511, L'd');
  zone.SetDescription(longest.c_str());
  wchar_t buffer[600];
  zone.GetDescription(buffer, 600);
  EXPECT_EQ(std::wstring(buffer), longest);
  const std::wstring tooLong(512, L'e');
  zone.SetDescription(tooLong.c_str());
  zone.GetDescription(buffer, 600);
  EXPECT_STREQ(buffer, L"");
  zone.SetDescription(L"Berlin");
  zone.SetDescription(nullptr);
  zone.GetDescription(buffer, 600);
  EXPECT_STREQ(buffer, L"");
}

TEST(NavTimeZoneDescription, ABufferMustHaveRoomForTheTerminator) {
  CNavTimeZone zone(kOneWindow);
  wchar_t buffer[16] = L"previous";
  zone.GetDescription(buffer, 16);
  EXPECT_STREQ(buffer, L"");  // empty after construction
  zone.SetDescription(L"Berlin");
  wcscpy(buffer, L"previous");
  zone.GetDescription(buffer, 6);
  EXPECT_STREQ(buffer, L"");
  zone.GetDescription(buffer, 7);
  EXPECT_STREQ(buffer, L"Berlin");
  wcscpy(buffer, L"previous");
  zone.GetDescription(buffer, 1);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(buffer[1], L'r');
  wcscpy(buffer, L"previous");
  zone.GetDescription(buffer, 0);
  EXPECT_STREQ(buffer, L"previous");
  zone.GetDescription(nullptr, 16);
}

TEST(NavTimeZoneCopy, CopiesEverything) {
  CNavTimeZone zone(kTwoWindows);
  zone.SetDescription(L"Eastern");
  const CNavTimeZone copy(zone);
  CNavTimeZone assigned;
  EXPECT_EQ(&(assigned = zone), &assigned);
  for (const CNavTimeZone* z : {&copy, static_cast<const CNavTimeZone*>(&assigned)}) {
    ASSERT_EQ(NavValueAccess::Rules(*z).size(), 2u);
    EXPECT_EQ(NavValueAccess::Shifts(*z).size(), 2u);
    EXPECT_EQ(NavValueAccess::BaseOffset(*z), -5.0f);
    wchar_t buffer[16];
    z->GetDescription(buffer, 16);
    EXPECT_STREQ(buffer, L"Eastern");
    EXPECT_EQ(OffsetAt(*z, At(2009, 7, 1, 0)), -14400);
  }
  const CNavTimeZone& self = assigned;
  assigned = self;
  EXPECT_EQ(NavValueAccess::Rules(assigned).size(), 2u);
}

TEST(NavTimeZoneCopy, MovingTakesOverTheWindows) {
  CNavTimeZone zone(kTwoWindows);
  zone.SetDescription(L"Eastern");
  CNavTimeZone moved(std::move(zone));
  EXPECT_EQ(NavValueAccess::Rules(moved).size(), 2u);
  EXPECT_EQ(OffsetAt(moved, At(2009, 7, 1, 0)), -14400);
  CNavTimeZone target(kOneWindow);
  target = std::move(moved);
  EXPECT_EQ(NavValueAccess::Rules(target).size(), 2u);
  wchar_t buffer[16];
  target.GetDescription(buffer, 16);
  EXPECT_STREQ(buffer, L"Eastern");
  static_assert(std::is_nothrow_move_constructible_v<CNavTimeZone>);
}

TEST(NavTimeZoneCopy, ZonesLiveInTheInHouseVector) {
  Container::ZuVector<CNavTimeZone> zones;
  for (int i = 0; i < 9; ++i) {
    ASSERT_TRUE(zones.push_back(CNavTimeZone(i % 2 == 0 ? kOneWindow : kTwoWindows)));
  }
  zones.erase(zones.begin());
  ASSERT_EQ(zones.size(), 8u);
  EXPECT_EQ(OffsetAt(zones[0], At(2009, 7, 1, 0)), -14400);
  EXPECT_EQ(OffsetAt(zones[1], At(2009, 7, 1, 0)), 7200);
}

TEST(NavTimeZoneCopy, RunningOutOfMemoryNeverLeavesAHalfCopiedZone) {
  const CNavTimeZone zone(kTwoWindows);
  ZuAllocFailAfter(1, 1);         // the rules copy succeeds, the shifts copy fails
  const CNavTimeZone copy(zone);  // NOLINT(performance-unnecessary-copy-initialization): under test
  ZuAllocFailAfter(0, 0);
  EXPECT_TRUE(NavValueAccess::Rules(copy).empty());
  EXPECT_TRUE(NavValueAccess::Shifts(copy).empty());

  CNavTimeZone target(kOneWindow);
  ZuAllocFailAfter(1, 1);
  target = zone;
  ZuAllocFailAfter(0, 0);
  EXPECT_EQ(NavValueAccess::BaseOffset(target), 1.0f);
  EXPECT_EQ(NavValueAccess::Rules(target).size(), 1u);
  EXPECT_EQ(NavValueAccess::Shifts(target).size(), 1u);
}

TEST(NavTimeWithZone, AddsAndSubtractsTheOffsetAtTheLeftOperand) {
  const CNavTimeZone zone(kOneWindow);
  const CNavTime summer = At(2009, 6, 1, 12);
  CNavTime result = summer + zone;
  EXPECT_EQ(result.GetHour(), 14);
  result = summer - zone;
  EXPECT_EQ(result.GetHour(), 10);
  const CNavTime beforeWindow = At(2009, 3, 29, 1);
  result = beforeWindow + zone;
  EXPECT_EQ(result.GetHour(), 2);  // the offset is taken before the change
  EXPECT_EQ(NavValueAccess::Rules(zone).size(), 1u);
}

TEST(NavTimeWithZone, InPlaceOperatorsNormaliseAndReturnTheLeftOperand) {
  CNavTimeZone zone(kOneWindow);
  CNavTime time = At(2009, 12, 31, 23, 30);
  NavValueAccess::Fields(time).tm_wday = 0;
  const CNavTime& result = (time += zone);
  EXPECT_EQ(&result, &time);
  EXPECT_EQ(time.GetYear(), 2010);
  EXPECT_EQ(time.GetDay(), 1);
  EXPECT_EQ(time.GetHour(), 0);
  EXPECT_EQ(time.GetDayOfWeek(), 6);  // 2010-01-01 was a Friday
  time -= zone;
  CNavTime original = At(2009, 12, 31, 23, 30);
  EXPECT_TRUE(time == original);
}

TEST(NavTimeWithZone, AZoneWestOfGreenwichMovesBack) {
  CNavTimeZone zone(kTwoWindows);
  CNavTime winter = At(2009, 1, 10, 12);
  EXPECT_EQ((winter + zone).GetHour(), 7);
  EXPECT_EQ((winter - zone).GetHour(), 17);
  CNavTime epoch(0L);
  CNavTime wrapped = epoch + zone;
  EXPECT_EQ(wrapped.GetTotalSeconds(false), 4294967296u - 18000u);
}

}  // namespace
