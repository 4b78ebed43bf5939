// Spans and the second arithmetic of date-times: construction, normalisation, unsigned comparison and
// wrap modulo 2^32.
#include <gtest/gtest.h>

#include <cstdint>

#include "pndhal/navtime.h"
#include "time/value_access.h"

namespace {

void ExpectParts(const CNavTimeSpan& span, long days, int hours, int minutes, int seconds) {
  EXPECT_EQ(span.GetDays(), days);
  EXPECT_EQ(span.GetHours(), hours);
  EXPECT_EQ(span.GetMinutes(), minutes);
  EXPECT_EQ(span.GetSeconds(), seconds);
}

TEST(NavTimeSpan, SplitsASecondCountIntoNormalisedParts) {
  CNavTimeSpan span(90061ul);
  ExpectParts(span, 1, 1, 1, 1);
  EXPECT_EQ(span.GetTotalSeconds(), 90061u);
  CNavTimeSpan zero(0ul);
  CNavTimeSpan empty;
  ExpectParts(zero, 0, 0, 0, 0);
  ExpectParts(empty, 0, 0, 0, 0);
  EXPECT_TRUE(zero == empty);
}

TEST(NavTimeSpan, CarriesANegativeAmountAsItsComplement) {
  const CNavTimeSpan minusOne(4294967295ul);
  ExpectParts(minusOne, 49710, 6, 28, 15);
  EXPECT_EQ(minusOne.GetTotalSeconds(), 4294967295u);
  const CNavTimeSpan minusHour(static_cast<unsigned long>(static_cast<std::uint32_t>(-3600)));
  ExpectParts(minusHour, 49710, 5, 28, 16);
  EXPECT_EQ(minusHour.GetTotalSeconds(), 4294963696u);
  // Only the low 32 bits of a wide argument count.
  ExpectParts(CNavTimeSpan((1ul << 32) + 90061ul), 1, 1, 1, 1);
}

TEST(NavTimeSpan, EveryTotalSurvivesTheRoundTripThroughParts) {
  for (std::uint64_t v = 0; v <= UINT32_MAX; v += 65521) {
    ASSERT_EQ(CNavTimeSpan(static_cast<unsigned long>(v)).GetTotalSeconds(), v);
  }
  EXPECT_EQ(CNavTimeSpan(0xFFFFFFFFul).GetTotalSeconds(), 0xFFFFFFFFu);
}

TEST(NavTimeSpan, KeepsFourPartsAsGivenAndNormalisesSums) {
  CNavTimeSpan hours(0, 25, 0, 0);
  EXPECT_EQ(hours.GetHours(), 25);
  EXPECT_EQ(hours.GetTotalSeconds(), 90000u);
  ExpectParts(hours + CNavTimeSpan(), 1, 1, 0, 0);
  CNavTimeSpan oneDay(1, 0, 0, 0);
  CNavTimeSpan dayInHours(0, 24, 0, 0);
  EXPECT_TRUE(oneDay == dayInHours);
  ExpectParts(dayInHours - CNavTimeSpan(), 1, 0, 0, 0);
}

TEST(NavTimeSpan, ADayCountBeyond32BitsKeepsItsLowBits) {
  const CNavTimeSpan wide((1l << 32) + 3, 0, 0, 0);
  EXPECT_EQ(wide.GetDays(), 3);
  EXPECT_EQ(wide.GetTotalSeconds(), 3u * 86400u);
  EXPECT_EQ(CNavTimeSpan(0xFFFFFFFFl, 0, 0, 0).GetDays(), -1);
}

TEST(NavTimeSpan, ComparesTotalsAsUnsignedNumbers) {
  CNavTimeSpan minusFive(0, 0, 0, -5);
  CNavTimeSpan day(1, 0, 0, 0);
  EXPECT_EQ(minusFive.GetTotalSeconds(), 4294967291u);
  EXPECT_TRUE(minusFive > day);
  EXPECT_TRUE(minusFive >= day);
  EXPECT_FALSE(minusFive < day);
  EXPECT_FALSE(minusFive <= day);
  EXPECT_TRUE(minusFive != day);
  EXPECT_FALSE(minusFive == day);
  CNavTimeSpan same(0, 0, 0, -5);
  EXPECT_TRUE(minusFive <= same);
  EXPECT_TRUE(minusFive >= same);
  EXPECT_FALSE(minusFive != same);
}

TEST(NavTimeSpan, SubtractionWrapsBelowZero) {
  ExpectParts(CNavTimeSpan(10ul) - CNavTimeSpan(15ul), 49710, 6, 28, 11);
  ExpectParts(CNavTimeSpan(4294967295ul) + CNavTimeSpan(2ul), 0, 0, 0, 1);
}

TEST(NavTimeSpan, CompoundAssignmentAddsAndSubtractsAndLeavesTheRightOperand) {
  CNavTimeSpan span(0, 25, 0, 0);
  CNavTimeSpan step(0, 0, 0, 70);
  const CNavTimeSpan& result = (span += step);
  EXPECT_EQ(&result, &span);
  ExpectParts(span, 1, 1, 1, 10);
  ExpectParts(step, 0, 0, 0, 70);
  span -= step;
  ExpectParts(span, 1, 1, 0, 0);
  CNavTimeSpan big(100ul);
  CNavTimeSpan small(1ul);
  small -= big;
  EXPECT_EQ(small.GetTotalSeconds(), 4294967197u);
}

TEST(NavTimeSpan, CopiesKeepUnnormalisedParts) {
  const CNavTimeSpan original(2, -3, 75, -1);
  const CNavTimeSpan copy(original);  // NOLINT(performance-unnecessary-copy-initialization): under test
  ExpectParts(copy, 2, -3, 75, -1);
  CNavTimeSpan assigned;
  EXPECT_EQ(&(assigned = original), &assigned);
  ExpectParts(assigned, 2, -3, 75, -1);
}

TEST(NavTimeArithmetic, ComparisonsUseTheFullCountOnly) {
  CNavTime a(1205589909L);
  CNavTime b(a);
  NavValueAccess::Fields(b).tm_wday = 0;
  NavValueAccess::Fields(b).tm_yday = 5;
  NavValueAccess::Fields(b).tm_isdst = 1;
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a != b);
  CNavTime later(1205589910L);
  EXPECT_TRUE(a < later);
  EXPECT_TRUE(later > a);
  EXPECT_TRUE(a <= later);
  EXPECT_TRUE(later >= a);
  EXPECT_FALSE(a > later);
  EXPECT_FALSE(later <= a);
  // Unnormalised fields compare by the count they stand for: 14:65 is 15:05.
  CNavTime rolled(a);
  NavValueAccess::Fields(rolled).tm_hour = 13;
  NavValueAccess::Fields(rolled).tm_min = 65;
  EXPECT_TRUE(rolled == a);
}

TEST(NavTimeArithmetic, ComparisonsAreUnsignedAcrossTheEndOfTheRange) {
  CNavTime early(0L);
  CNavTime late(-1L);  // 4294967295
  EXPECT_TRUE(early < late);
}

TEST(NavTimeArithmetic, DifferenceOfDateTimesWrapsAndAddsBack) {
  CNavTime earlier(1205589909L);
  CNavTime later(1205589914L);
  const CNavTimeSpan back = earlier - later;
  ExpectParts(back, 49710, 6, 28, 11);
  EXPECT_EQ(back.GetTotalSeconds(), 4294967291u);
  CNavTime restored = later + back;
  EXPECT_TRUE(restored == earlier);
  ExpectParts(later - earlier, 0, 0, 0, 5);
}

TEST(NavTimeArithmetic, SumOfDateTimesIsTheSumOfTheirCounts) {
  ExpectParts(CNavTime(0L) + CNavTime(86400L), 1, 0, 0, 0);
  ExpectParts(CNavTime(-1L) + CNavTime(2L), 0, 0, 0, 1);
}

TEST(NavTimeArithmetic, InPlaceAndNewValueArithmeticAgreeAndNormalise) {
  const CNavTime start(1205589909L);
  CNavTimeSpan span(3, 25, -70, 5);  // unnormalised on purpose
  CNavTime inPlace(start);
  const CNavTime& result = (inPlace -= span);
  EXPECT_EQ(&result, &inPlace);
  CNavTime fresh = start - span;
  EXPECT_TRUE(inPlace == fresh);
  EXPECT_EQ(inPlace.GetTotalSeconds(false), 1205589909u - span.GetTotalSeconds());
  inPlace += span;
  CNavTime startCopy(start);
  EXPECT_TRUE(inPlace == startCopy);
  EXPECT_EQ(inPlace.GetDayOfWeek(), 7);
  EXPECT_EQ(inPlace.GetDayOfYear(), 74);
}

TEST(NavTimeArithmetic, AddingNormalisesAValueWithStaleDerivedFields) {
  CNavTime stale(1205589909L);
  NavValueAccess::Fields(stale).tm_wday = 0;
  NavValueAccess::Fields(stale).tm_min = 65;  // 15:05
  CNavTimeSpan none;
  stale += none;
  EXPECT_EQ(stale.GetHour(), 15);
  EXPECT_EQ(stale.GetMinute(), 5);
  EXPECT_EQ(stale.GetDayOfWeek(), 7);
}

TEST(NavTimeArithmetic, ArithmeticWrapsAtTheEndsOfTheRange) {
  const CNavTime last(-1L);
  const CNavTime next = last + CNavTimeSpan(1ul);
  EXPECT_EQ(next.GetTotalSeconds(false), 0u);
  EXPECT_EQ(next.GetYear(), 1970);
  const CNavTime before = CNavTime(0L) - CNavTimeSpan(1ul);
  EXPECT_EQ(before.GetTotalSeconds(false), 4294967295u);
  EXPECT_EQ(before.GetYear(), 2106);
}

TEST(NavTimeArithmetic, CopyAndAssignmentKeepAllFieldsUnchanged) {
  CNavTime source(1205589909L);
  NavValueAccess::Fields(source).tm_wday = 99;
  NavValueAccess::Fields(source).tm_isdst = 1;
  CNavTime copy(source);
  EXPECT_EQ(NavValueAccess::Fields(copy).tm_wday, 99);
  EXPECT_EQ(NavValueAccess::Fields(copy).tm_isdst, 1);
  CNavTime assigned;
  EXPECT_EQ(&(assigned = source), &assigned);
  EXPECT_EQ(NavValueAccess::Fields(assigned).tm_wday, 99);
  EXPECT_EQ(assigned.GetTotalSeconds(false), 1205589909u);
}

TEST(NavTimeSettings, StartIn24HourFormAndLanguageZero) {
  EXPECT_TRUE(CNavTime::m_bTwentyFour);
  EXPECT_EQ(CNavTime::m_iLanguage, 0);
}

TEST(NavTimeSettings, SettersStoreTheClassWideValues) {
  const bool savedHours = CNavTime::m_bTwentyFour;
  const int savedLanguage = CNavTime::m_iLanguage;
  CNavTime::Set24Hours(false);
  EXPECT_FALSE(CNavTime::m_bTwentyFour);
  CNavTime::Set24Hours(true);
  EXPECT_TRUE(CNavTime::m_bTwentyFour);
  CNavTime::SetLanguage(7);
  EXPECT_EQ(CNavTime::m_iLanguage, 7);
  CNavTime::Set24Hours(savedHours);
  CNavTime::SetLanguage(savedLanguage);
}

}  // namespace
