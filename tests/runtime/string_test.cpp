// Behaviour of the in-house wide string: growth, search, replacement, the
// cached narrow view and binding to a caller's buffer.
#include <gtest/gtest.h>

#include <cwchar>

#include "pndhal/zu_string.h"

namespace {

using Str = String::StringProxy<String::ZuStringImpl>;

TEST(ZuString, EmptyStringHoldsNoBufferAndReadsEmpty) {
  Str s;
  EXPECT_EQ(s.capacity(), 0u);
  EXPECT_STREQ(s.c_str(), L"");
  EXPECT_TRUE(s.Assign(L""));
  EXPECT_EQ(s.capacity(), 0u);
}

TEST(ZuString, GrowsInMultiplesOfSixteenUnits) {
  Str s(L"abc");
  EXPECT_EQ(s.capacity(), 16u);
  s.Assign(L"0123456789abcdef");  // 16 units need 17 with the terminator
  EXPECT_EQ(s.capacity(), 32u);
  EXPECT_EQ(s.length(), 16u);
}

TEST(ZuString, FallsBackToTheExactSizeWhenTheRoundedOneFails) {
  Str s;
  ZuAllocFailAfter(0, 1);
  EXPECT_TRUE(s.Assign(L"abcde"));
  ZuAllocFailAfter(0, 0);
  EXPECT_EQ(s.capacity(), 6u);
  EXPECT_EQ(s, L"abcde");
}

TEST(ZuString, FailedEditLeavesTheTextUnchanged) {
  Str s(L"keep");
  ZuAllocFailAfter(0, 2);
  EXPECT_FALSE(s.Append(L" and grow beyond sixteen units"));
  ZuAllocFailAfter(0, 0);
  EXPECT_EQ(s, L"keep");
}

TEST(ZuString, FindSearchesFromAPosition) {
  Str s(L"%H:%M %H");
  EXPECT_EQ(s.Find(L"%H"), 0u);
  EXPECT_EQ(s.Find(L"%H", 1), 6u);
  EXPECT_EQ(s.Find(L"%h"), Str::npos) << "matching is case-sensitive";
  EXPECT_EQ(s.Find(L"%H", 7), Str::npos);
  EXPECT_EQ(s.Find(L"%H", 100), Str::npos);
}

TEST(ZuString, ReplaceGrowsAndShrinksARange) {
  Str s(L"a%Yb");
  EXPECT_TRUE(s.Replace(1, 2, L"2008", 4));
  EXPECT_EQ(s, L"a2008b");
  EXPECT_TRUE(s.Replace(1, 4, L"-", 1));
  EXPECT_EQ(s, L"a-b");
  EXPECT_TRUE(s.Replace(1, 1, s.c_str(), 3)) << "an overlapping source is read before it is overwritten";
  EXPECT_EQ(s, L"aa-bb");
}

TEST(ZuString, NarrowViewKeepsLowBytesAndFollowsEdits) {
  Str s(L"ab\x1234");
  const char* narrow = s.Narrow();
  ASSERT_NE(narrow, nullptr);
  EXPECT_EQ(std::string(narrow), std::string("ab\x34"));
  EXPECT_EQ(s.Narrow(), narrow) << "cached";
  s.Append(L"c");
  EXPECT_EQ(std::string(s.Narrow()), std::string("ab\x34"
                                                 "c"));
  s.SetNoNarrow(true);
  EXPECT_EQ(s.Narrow(), nullptr);
}

TEST(ZuString, BindingTerminatesAtTheTextOrAtCapacityMinusOne) {
  wchar_t buffer[8];
  // No terminator inside the buffer, on purpose.
  std::wmemcpy(buffer, L"abcdefgh", 8);  // NOLINT(bugprone-not-null-terminated-result)
  Str s;
  s.Bind(buffer, 8);
  EXPECT_EQ(s.length(), 7u);
  EXPECT_EQ(buffer[7], L'\0');
  s.Release();
  std::wcscpy(buffer, L"xy");
  s.Bind(buffer, 8);
  EXPECT_EQ(s, L"xy");
  s.Release();
}

TEST(ZuString, BoundStringEditsInPlaceAndRefusesWhatDoesNotFit) {
  wchar_t buffer[6] = L"";
  const long before = ZuAllocLiveBlocks();
  {
    Str s;
    s.Bind(buffer, 6);
    EXPECT_TRUE(s.Assign(L"12345"));
    EXPECT_STREQ(buffer, L"12345");
    EXPECT_FALSE(s.Append(L"6")) << "six units need a seventh for the terminator";
    EXPECT_STREQ(buffer, L"12345");
    EXPECT_TRUE(s.Replace(0, 5, L"ab", 2));
    EXPECT_STREQ(buffer, L"ab");
  }
  EXPECT_EQ(ZuAllocLiveBlocks(), before) << "a bound buffer is neither reallocated nor freed";
  EXPECT_STREQ(buffer, L"ab");
}

TEST(ZuString, CopiesComparisonAndOwnership) {
  const long before = ZuAllocLiveBlocks();
  {
    Str a(L"text");
    Str b = a;
    EXPECT_EQ(a, b);
    b.Append(L"!");
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a < b);
    Str c = std::move(b);
    EXPECT_EQ(c, L"text!");
  }
  EXPECT_EQ(ZuAllocLiveBlocks(), before);
}

}  // namespace
