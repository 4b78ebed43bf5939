// CNavTimeZone built from the application's shared time-zone data, and the shared pointer, reference
// count and year map that carry that data.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "pndhal/navtimezone.h"
#include "pndhal/zualloc.h"
#include "time/value_access.h"

namespace {

using InfoPtr = SmartPtr::SharedPtr<SmartPtr::RefCounted<ZuCommon::TimeZoneInfo, Thread::MTModel>>;

ZuCommon::TimeZoneYearRecord Window(std::uint16_t month, std::uint16_t day, std::uint16_t hour,
                                    std::uint16_t shift, std::uint16_t days) {
  return ZuCommon::TimeZoneYearRecord{0xAAAA, 0xBBBB, month, day, hour, shift, days};
}

InfoPtr MakeInfo(const wchar_t* offset, std::initializer_list<std::int32_t> years) {
  InfoPtr info = SmartPtr::MakeShared<ZuCommon::TimeZoneInfo, Thread::MTModel>();
  info->m_strOffset.Assign(offset);
  for (std::int32_t year : years) {
    info->m_years.Insert(year, Window(3, static_cast<std::uint16_t>(year % 28 + 1), 2, 60, 210));
  }
  return info;
}

std::vector<std::int32_t> RuleYears(const CNavTimeZone& zone) {
  std::vector<std::int32_t> years;
  for (const TimeZoneRule& rule : NavValueAccess::Rules(zone)) {
    years.push_back(rule.iYear);
  }
  return years;
}

CNavTime At(int year, int month, int day, int hour) {
  tm f{};
  f.tm_year = year - 1900;
  f.tm_mon = month - 1;
  f.tm_mday = day;
  f.tm_hour = hour;
  return CNavTime(f);
}

TEST(SharedZoneData, TakesTheConsecutiveYearsFromTheFirstPresentOne) {
  const CNavTimeZone zone(MakeInfo(L"10", {2008, 2009, 2011}));
  EXPECT_EQ(RuleYears(zone), (std::vector<std::int32_t>{2008, 2009}));
  ASSERT_EQ(NavValueAccess::Shifts(zone).size(), 2u);
  const TimeZoneRule& first = NavValueAccess::Rules(zone)[0];
  EXPECT_EQ(first.iMonth, 3);
  EXPECT_EQ(first.iDay, 2008 % 28 + 1);
  EXPECT_EQ(first.iHour, 2);
  EXPECT_EQ(first.iMinute, 0);
  EXPECT_EQ(first.iDays, 210);
  EXPECT_EQ(NavValueAccess::Shifts(zone)[0], 60);
  EXPECT_EQ(NavValueAccess::BaseOffset(zone), 1.0f);
}

TEST(SharedZoneData, LooksForAFirstYearFrom2007To2030) {
  EXPECT_EQ(RuleYears(CNavTimeZone(MakeInfo(L"0", {2030}))), (std::vector<std::int32_t>{2030}));
  EXPECT_TRUE(RuleYears(CNavTimeZone(MakeInfo(L"0", {2031}))).empty());
  EXPECT_TRUE(RuleYears(CNavTimeZone(MakeInfo(L"0", {2006}))).empty());
  EXPECT_EQ(RuleYears(CNavTimeZone(MakeInfo(L"0", {2006, 2007, 2008}))),
            (std::vector<std::int32_t>{2007, 2008}));
  EXPECT_EQ(RuleYears(CNavTimeZone(MakeInfo(L"0", {2020, 2021, 2019}))),
            (std::vector<std::int32_t>{2019, 2020, 2021}));
}

TEST(SharedZoneData, ReadsTheOffsetInTenthsOfAnHour) {
  EXPECT_EQ(NavValueAccess::BaseOffset(CNavTimeZone(MakeInfo(L"55", {}))), 5.5f);
  const CNavTimeZone west(MakeInfo(L" -35 ", {}));
  EXPECT_EQ(NavValueAccess::BaseOffset(west), -3.5f);
  CNavTimeSpan span;
  west.GetTimeSpan(At(2009, 1, 1, 0), span);
  EXPECT_EQ(static_cast<std::int32_t>(span.GetTotalSeconds()), -210 * 60);
  EXPECT_EQ(NavValueAccess::BaseOffset(CNavTimeZone(MakeInfo(L"ten", {2009}))), 0.0f);
  EXPECT_EQ(NavValueAccess::BaseOffset(CNavTimeZone(MakeInfo(L"", {2009}))), 0.0f);
}

TEST(SharedZoneData, EvaluatesItsWindows) {
  const CNavTimeZone zone(MakeInfo(L"10", {2009, 2010}));
  CNavTimeSpan span;
  zone.GetTimeSpan(At(2009, 7, 1, 0), span);
  EXPECT_EQ(span.GetTotalSeconds(), 7200u);
  zone.GetTimeSpan(At(2009, 12, 1, 0), span);
  EXPECT_EQ(span.GetTotalSeconds(), 3600u);
}

TEST(SharedZoneData, ANullPointerGivesAnEmptyZone) {
  const CNavTimeZone zone{InfoPtr()};
  EXPECT_TRUE(NavValueAccess::Rules(zone).empty());
  EXPECT_EQ(NavValueAccess::BaseOffset(zone), 0.0f);
}

TEST(SharedZoneData, TheZoneKeepsNoReferenceAndTheLastReleaseFreesTheData) {
  const long before = ZuAllocLiveBlocks();
  {
    InfoPtr info = MakeInfo(L"10", {2009, 2010});
    EXPECT_EQ(info.GetHolder()->RefCount(), 1);
    const CNavTimeZone zone(info);
    EXPECT_EQ(info.GetHolder()->RefCount(), 1);
    const CNavTimeZone moved(std::move(info));
    EXPECT_FALSE(info);  // NOLINT(bugprone-use-after-move): the moved-from pointer is under test
    EXPECT_EQ(RuleYears(moved).size(), 2u);
  }
  EXPECT_EQ(ZuAllocLiveBlocks(), before);
}

TEST(SharedZoneData, CreationReportsAnExhaustedAllocator) {
  ZuAllocFailAfter(0, 1);
  const InfoPtr info = SmartPtr::MakeShared<ZuCommon::TimeZoneInfo, Thread::MTModel>();
  ZuAllocFailAfter(0, 0);
  EXPECT_FALSE(info);
}

TEST(SharedZoneData, ReferencesAreCountedAcrossThreads) {
  const long before = ZuAllocLiveBlocks();
  {
    InfoPtr info = MakeInfo(L"10", {2009});
    std::vector<std::thread> threads;
    threads.reserve(4);
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&info] {
        for (int i = 0; i < 20000; ++i) {
          InfoPtr copy(info);  // NOLINT(performance-unnecessary-copy-initialization): counts a reference
          InfoPtr other = copy;
          other.Reset();
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    EXPECT_EQ(info.GetHolder()->RefCount(), 1);
  }
  EXPECT_EQ(ZuAllocLiveBlocks(), before);
}

TEST(TimeZoneYearMap, FindsEveryYearThroughItsChains) {
  ZuCommon::TimeZoneYearMap years;
  EXPECT_EQ(years.Find(2009), nullptr);
  // Years that share buckets, enough to grow the bucket table several times.
  for (std::int32_t year = 1900; year < 2400; year += 3) {
    ASSERT_TRUE(years.Insert(year, Window(1, static_cast<std::uint16_t>(year % 31), 0, 0, 1)));
  }
  EXPECT_FALSE(years.Insert(1900, Window(9, 9, 9, 9, 9)));
  for (std::int32_t year = 1890; year < 2410; ++year) {
    const ZuCommon::TimeZoneYearRecord* record = years.Find(year);
    if (year >= 1900 && year < 2400 && (year - 1900) % 3 == 0) {
      ASSERT_NE(record, nullptr) << year;
      EXPECT_EQ(record->wDay, year % 31) << year;
    } else {
      EXPECT_EQ(record, nullptr) << year;
    }
  }
  const ZuCommon::TimeZoneYearRecord* kept = years.Find(1900);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->wMonth, 1);
  EXPECT_TRUE(years.Insert(-5, Window(2, 2, 2, 2, 2)));
  const ZuCommon::TimeZoneYearRecord* negative = years.Find(-5);
  ASSERT_NE(negative, nullptr);
  EXPECT_EQ(negative->wMonth, 2);
}

}  // namespace
