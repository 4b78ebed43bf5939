// The storage text of a date-time (Serialize and Deserialize) and the integer reader it shares with the
// time-zone descriptor parser.
#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>
#include <vector>

#include "pndhal/navtime.h"
#include "time/integer_reader.h"
#include "time/value_access.h"

namespace {

using pndhal::timevalues::ReadInteger;

CNavTime Marked() {
  CNavTime t;
  tm& f = NavValueAccess::Fields(t);
  f.tm_sec = 101;
  f.tm_min = 102;
  f.tm_hour = 103;
  f.tm_mday = 104;
  f.tm_mon = 105;
  f.tm_year = 106;
  f.tm_wday = 107;
  f.tm_yday = 108;
  f.tm_isdst = 109;
  return t;
}

void ExpectRead(const wchar_t* text, int value, bool complete) {
  const auto read = ReadInteger(text, std::wcslen(text));
  EXPECT_EQ(read.value, value) << text;
  EXPECT_EQ(read.complete, complete) << text;
}

TEST(NavTimeStorage, WritesTheEightFieldsSeparatedByBars) {
  CNavTime t(1205589909L);
  wchar_t buffer[21] = L"";
  t.Serialize(buffer, 21);
  EXPECT_STREQ(buffer, L"9|5|14|15|2|108|6|74");
}

TEST(NavTimeStorage, TooSmallABufferKeepsItsPreviousTextCutToItsCapacity) {
  CNavTime t(1205589909L);
  wchar_t buffer[32];
  wcscpy(buffer, L"abcdefghijklmnopqrstuvwxyz");
  t.Serialize(buffer, 20);
  EXPECT_STREQ(buffer, L"abcdefghijklmnopqrs");
  wcscpy(buffer, L"short");
  t.Serialize(buffer, 20);
  EXPECT_STREQ(buffer, L"short");
  t.Serialize(buffer, 1);
  EXPECT_STREQ(buffer, L"");
  // Nothing beyond capacity - 1 is read or written.
  wchar_t unterminated[4] = {L'x', L'y', L'z', L'w'};
  t.Serialize(unterminated, 3);
  EXPECT_EQ(unterminated[2], L'\0');
  EXPECT_EQ(unterminated[3], L'w');
}

TEST(NavTimeStorage, ZeroCapacityOrNullBufferIsLeftAlone) {
  CNavTime t(1205589909L);
  wchar_t buffer[4] = L"abc";
  t.Serialize(buffer, 0);
  EXPECT_STREQ(buffer, L"abc");
  t.Serialize(nullptr, 100);
}

TEST(NavTimeStorage, LongestTextFitsNinetySixCharacters) {
  CNavTime t;
  tm& f = NavValueAccess::Fields(t);
  f.tm_sec = f.tm_min = f.tm_hour = f.tm_mday = f.tm_mon = f.tm_year = f.tm_wday = f.tm_yday = INT_MIN;
  std::wstring expected = L"-2147483648";
  for (int i = 1; i < 8; ++i) {
    expected += L"|-2147483648";
  }
  ASSERT_EQ(expected.size(), 95u);
  std::vector<wchar_t> buffer(97, L'#');
  buffer[0] = L'\0';
  t.Serialize(buffer.data(), 96);
  EXPECT_EQ(std::wstring(buffer.data()), expected);
  EXPECT_EQ(buffer[96], L'#');
  buffer[0] = L'\0';
  t.Serialize(buffer.data(), 95);
  EXPECT_STREQ(buffer.data(), L"");
  CNavTime back(1205589909L);
  EXPECT_TRUE(back.Deserialize(expected.c_str()));
  EXPECT_EQ(NavValueAccess::Fields(back).tm_yday, INT_MIN);
  EXPECT_EQ(NavValueAccess::Fields(back).tm_sec, INT_MIN);
}

TEST(NavTimeStorage, ReadsBackWhatWasWrittenWithoutNormalising) {
  CNavTime t = Marked();
  EXPECT_TRUE(t.Deserialize(L"9|5|14|15|2|108|6|74"));
  const tm& f = NavValueAccess::Fields(t);
  EXPECT_EQ(f.tm_sec, 9);
  EXPECT_EQ(f.tm_min, 5);
  EXPECT_EQ(f.tm_hour, 14);
  EXPECT_EQ(f.tm_mday, 15);
  EXPECT_EQ(f.tm_mon, 2);
  EXPECT_EQ(f.tm_year, 108);
  EXPECT_EQ(f.tm_wday, 6);
  EXPECT_EQ(f.tm_yday, 74);
  EXPECT_EQ(f.tm_isdst, 109);
  wchar_t buffer[32] = L"";
  t.Serialize(buffer, 32);
  EXPECT_STREQ(buffer, L"9|5|14|15|2|108|6|74");
}

TEST(NavTimeStorage, StoresADisagreeingWeekDayAsRead) {
  CNavTime t;
  EXPECT_TRUE(t.Deserialize(L"9|5|14|15|2|108|2|74"));
  EXPECT_EQ(t.GetDayOfWeek(), 3);
  CNavTime reference(1205589909L);
  EXPECT_TRUE(t == reference);
}

TEST(NavTimeStorage, IgnoresTextAfterTheEighthField) {
  CNavTime t = Marked();
  EXPECT_TRUE(t.Deserialize(L"9|5|14|15|2|108|6|74|99"));
  EXPECT_EQ(NavValueAccess::Fields(t).tm_yday, 74);
  EXPECT_TRUE(t.Deserialize(L"1|2|3|4|5|6|7|8 trailing|||"));
  EXPECT_EQ(NavValueAccess::Fields(t).tm_yday, 8);
}

TEST(NavTimeStorage, AShortTextKeepsTheFieldsItReached) {
  CNavTime t = Marked();
  EXPECT_FALSE(t.Deserialize(L"9|5|14"));
  const tm& f = NavValueAccess::Fields(t);
  EXPECT_EQ(f.tm_sec, 9);
  EXPECT_EQ(f.tm_min, 5);
  EXPECT_EQ(f.tm_hour, 14);
  EXPECT_EQ(f.tm_mday, 104);
  EXPECT_EQ(f.tm_yday, 108);

  CNavTime trailing = Marked();
  EXPECT_FALSE(trailing.Deserialize(L"9|5|14|15|2|108|6|"));
  EXPECT_EQ(NavValueAccess::Fields(trailing).tm_wday, 6);
  EXPECT_EQ(NavValueAccess::Fields(trailing).tm_yday, 108);
}

TEST(NavTimeStorage, EmptyOrNullTextChangesNothing) {
  CNavTime t = Marked();
  EXPECT_FALSE(t.Deserialize(L""));
  EXPECT_FALSE(t.Deserialize(nullptr));
  const tm& f = NavValueAccess::Fields(t);
  EXPECT_EQ(f.tm_sec, 101);
  EXPECT_EQ(f.tm_yday, 108);
}

TEST(NavTimeStorage, MalformedFieldsReadAsTheirLeadingDigitsOrZero) {
  CNavTime t = Marked();
  EXPECT_TRUE(t.Deserialize(L" 9 ||x|12ab|-7|- 7|+3|\t4\t"));
  const tm& f = NavValueAccess::Fields(t);
  EXPECT_EQ(f.tm_sec, 9);
  EXPECT_EQ(f.tm_min, 0);
  EXPECT_EQ(f.tm_hour, 0);
  EXPECT_EQ(f.tm_mday, 12);
  EXPECT_EQ(f.tm_mon, -7);
  EXPECT_EQ(f.tm_year, 0);
  EXPECT_EQ(f.tm_wday, 3);
  EXPECT_EQ(f.tm_yday, 4);
}

TEST(NavTimeStorage, HugeFieldsStopAtOverflow) {
  CNavTime t;
  EXPECT_TRUE(t.Deserialize(L"2147483647|2147483648|-2147483648|-2147483649|99999999999|-99999999999|0|0"));
  const tm& f = NavValueAccess::Fields(t);
  EXPECT_EQ(f.tm_sec, INT_MAX);
  EXPECT_EQ(f.tm_min, INT_MIN);
  EXPECT_EQ(f.tm_hour, INT_MIN);
  EXPECT_EQ(f.tm_mday, INT_MAX);
  EXPECT_EQ(f.tm_mon, 999999999);
  EXPECT_EQ(f.tm_year, -999999999);
}

TEST(IntegerReader, AcceptsBlanksAroundOneSignedNumber) {
  ExpectRead(L"42", 42, true);
  ExpectRead(L" \t42 \t", 42, true);
  ExpectRead(L"+42", 42, true);
  ExpectRead(L"-42", -42, true);
  ExpectRead(L"0", 0, true);
  ExpectRead(L"-0", 0, true);
}

TEST(IntegerReader, StopsAtTheFirstCharacterThatDoesNotFit) {
  ExpectRead(L"", 0, false);
  ExpectRead(L"   ", 0, false);
  ExpectRead(L"-", 0, false);
  ExpectRead(L"x", 0, false);
  ExpectRead(L"12ab", 12, false);
  ExpectRead(L"- 7", 0, false);
  ExpectRead(L"+-7", 0, false);
  ExpectRead(L"7-", 7, false);
  ExpectRead(L"1 2", 1, false);
  ExpectRead(L"12|3", 12, false);
}

TEST(IntegerReader, KeepsTheValueBeforeAnOverflowingMultiplication) {
  ExpectRead(L"2147483647", INT_MAX, true);
  ExpectRead(L"-2147483648", INT_MIN, true);
  ExpectRead(L"21474836470", INT_MAX, false);
  ExpectRead(L"99999999999", 999999999, false);
  ExpectRead(L"-99999999999", -999999999, false);
  ExpectRead(L"-2147483650", -214748365, false);
  ExpectRead(L"000000000000000000042", 42, true);
}

TEST(IntegerReader, KeepsTheWrappedValueOfAnOverflowingAddition) {
  ExpectRead(L"2147483648", INT_MIN, false);
  ExpectRead(L"2147483649 ", INT_MIN + 1, false);
  ExpectRead(L"-2147483649", INT_MAX, false);
}

TEST(IntegerReader, NeverReadsBeyondItsLength) {
  const wchar_t text[] = L"123456";
  const auto read = ReadInteger(text, 3);
  EXPECT_EQ(read.value, 123);
  EXPECT_TRUE(read.complete);
  EXPECT_EQ(ReadInteger(text, 0).value, 0);
}

}  // namespace
