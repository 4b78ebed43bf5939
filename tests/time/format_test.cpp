// Formatting of date-times and spans: the token tables, the hour rule, the renderings of numbers, the
// order-dependent substitution (checked against a literal table-order implementation), and the limits of
// the buffer and string forms.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pndhal/navtime.h"
#include "pndhal/zualloc.h"
#include "time/decimal_text.h"
#include "time/value_access.h"

namespace {

using Str = String::StringProxy<String::ZuStringImpl>;

struct Token {
  std::wstring token;
  std::wstring text;
};

// The substitution done literally: tokens in table order, each searched again from the first character
// after every replacement.
std::wstring TableOrder(std::wstring text, const std::vector<Token>& table) {
  for (const Token& t : table) {
    for (std::size_t at = text.find(t.token); at != std::wstring::npos; at = text.find(t.token)) {
      text.replace(at, 2, t.text);
    }
  }
  return text;
}

std::wstring Plain(long long v) { return std::to_wstring(static_cast<std::int32_t>(v)); }

std::wstring TwoChar(long long v) {
  const std::wstring plain = Plain(v);
  if (plain.size() == 1) {
    return L"0" + plain;
  }
  return plain.substr(plain.size() - 2);
}

std::vector<Token> DateTimeTable(const tm& f, bool twentyFour) {
  const int hour = twentyFour ? f.tm_hour : (f.tm_hour == 0 || f.tm_hour == 12 ? 12 : f.tm_hour % 12);
  return {{L"%H", TwoChar(hour)},
          {L"%h", Plain(hour)},
          {L"%M", TwoChar(f.tm_min)},
          {L"%S", TwoChar(f.tm_sec)},
          {L"%s", Plain(f.tm_sec)},
          {L"%p", f.tm_hour < 12 ? L"am" : L"pm"},
          {L"%d", TwoChar(f.tm_mday)},
          {L"%j", Plain(f.tm_yday)},
          {L"%m", TwoChar(static_cast<long long>(f.tm_mon) + 1)},
          {L"%w", Plain(static_cast<long long>(f.tm_wday) + 1)},
          {L"%Y", Plain(static_cast<long long>(f.tm_year) + 1900)},
          {L"%y", TwoChar(static_cast<long long>(f.tm_year) - 100)}};
}

std::vector<Token> SpanTable(const CNavTimeSpan& s) {
  return {{L"%H", TwoChar(s.GetHours())}, {L"%h", Plain(s.GetHours())},     {L"%M", TwoChar(s.GetMinutes())},
          {L"%m", Plain(s.GetMinutes())}, {L"%S", TwoChar(s.GetSeconds())}, {L"%D", TwoChar(s.GetDays())},
          {L"%d", Plain(s.GetDays())}};
}

template <class Value>
std::wstring ViaBuffer(Value& value, const wchar_t* format, unsigned long capacity = 4096) {
  std::vector<wchar_t> buffer(capacity + 1, L'#');
  value.Format(buffer.data(), capacity, format);
  return buffer.data();
}

template <class Value>
std::wstring ViaString(Value& value, const std::wstring& format) {
  Str output(L"previous text");
  const Str formatText(format.c_str(), format.size());
  value.Format(output, formatText);
  return std::wstring(output.c_str(), output.length());
}

// Restores the hour mode each test changes.
class NavTimeFormat : public ::testing::Test {
 protected:
  void TearDown() override { CNavTime::Set24Hours(true); }

  static CNavTime At(int hour, int minute) {
    tm f{};
    f.tm_year = 108;
    f.tm_mon = 2;
    f.tm_mday = 15;
    f.tm_hour = hour;
    f.tm_min = minute;
    return CNavTime(f);
  }

  CNavTime saturday_{1205589909L};  // 2008-03-15 14:05:09
};

TEST_F(NavTimeFormat, RendersTheTokensInTwentyFourHourForm) {
  EXPECT_EQ(ViaBuffer(saturday_, L"%d.%m.%Y %H:%M:%S"), L"15.03.2008 14:05:09");
  EXPECT_EQ(ViaBuffer(saturday_, L"%h:%M %p"), L"14:05 pm");
  EXPECT_EQ(ViaBuffer(saturday_, L"%y/%j/%w/%s"), L"08/74/7/9");
  EXPECT_EQ(ViaString(saturday_, L"%d.%m.%Y %H:%M:%S"), L"15.03.2008 14:05:09");
}

TEST_F(NavTimeFormat, RendersTheTokensInTwelveHourForm) {
  CNavTime::Set24Hours(false);
  EXPECT_EQ(ViaBuffer(saturday_, L"%H:%M %p"), L"02:05 pm");
  EXPECT_EQ(ViaBuffer(saturday_, L"%h"), L"2");
  CNavTime halfPastMidnight = At(0, 30);
  EXPECT_EQ(ViaBuffer(halfPastMidnight, L"%H %h %p"), L"12 12 am");
  CNavTime noon = At(12, 0);
  EXPECT_EQ(ViaBuffer(noon, L"%H %h %p"), L"12 12 pm");
  CNavTime evening = At(23, 0);
  EXPECT_EQ(ViaString(evening, L"%H %h %p"), L"11 11 pm");
}

TEST_F(NavTimeFormat, TwentyFourHourFormPadsOnlyTheTwoCharacterHour) {
  CNavTime seven = At(7, 0);
  EXPECT_EQ(ViaBuffer(seven, L"%H %h"), L"07 7");
}

TEST_F(NavTimeFormat, UnknownSequencesStayAsTheyAre) {
  EXPECT_EQ(ViaBuffer(saturday_, L"%D %x %% %"), L"%D %x %% %");
  CNavTime::Set24Hours(false);
  EXPECT_EQ(ViaBuffer(saturday_, L"%D %x"), L"%D %x");
  EXPECT_EQ(ViaBuffer(saturday_, L"no tokens at all"), L"no tokens at all");
}

TEST_F(NavTimeFormat, APercentBeforeAProducedPmFormsANewToken) {
  EXPECT_EQ(ViaBuffer(saturday_, L"%%p"), L"pmm");
  EXPECT_EQ(ViaBuffer(saturday_, L"%%%p|%p"), L"pmmm|pm");
  EXPECT_EQ(ViaString(saturday_, L"x%%px"), L"xpmmx");
  CNavTime nine = At(9, 0);
  EXPECT_EQ(ViaBuffer(nine, L"%%p"), L"%am");
  EXPECT_EQ(ViaBuffer(nine, L"%%%p"), L"%%am");
}

TEST_F(NavTimeFormat, TokensAreSubstitutedInTableOrderNotTextOrder) {
  // "%%d" keeps a literal "%" before the day; a "%" before "%H" never joins the hour digits.
  EXPECT_EQ(ViaBuffer(saturday_, L"%%d%%H%Y%"), L"%15%142008%");
}

TEST_F(NavTimeFormat, YearTokensRenderCenturyAndNegativeValues) {
  tm f{};
  f.tm_mday = 1;
  f.tm_year = 99;
  CNavTime y1999(f);
  EXPECT_EQ(ViaBuffer(y1999, L"%y %Y"), L"-1 1999");
  f.tm_year = 85;
  CNavTime y1985(f);
  EXPECT_EQ(ViaBuffer(y1985, L"%y"), L"15");
}

TEST_F(NavTimeFormat, RendersUnnormalisedFieldsFromTheirStoredValues) {
  CNavTime odd;
  tm& f = NavValueAccess::Fields(odd);
  f.tm_min = -5;
  f.tm_sec = 123;
  f.tm_mday = INT_MIN;
  f.tm_year = INT_MAX;
  f.tm_hour = -3;
  f.tm_yday = INT_MIN;
  EXPECT_EQ(ViaBuffer(odd, L"%M|%S|%s|%d|%H|%h|%p|%j"), L"-5|23|123|48|-3|-3|am|-2147483648");
  // The year sums wrap in 32 bits.
  EXPECT_EQ(ViaBuffer(odd, L"%Y"), Plain(static_cast<long long>(INT_MAX) + 1900));
  CNavTime::Set24Hours(false);
  f.tm_hour = 24;
  EXPECT_EQ(ViaBuffer(odd, L"%h %p"), L"0 pm");
}

TEST(DecimalText, RendersEveryMagnitudeLikeTheStandardLibrary) {
  const std::int32_t values[] = {
      0,  1,   9,   10,   99,    100,   999,    1000,    2008,    9999,        10000,      123456,     -1,
      -9, -10, -99, -100, -1000, -9999, -10000, INT_MAX, INT_MIN, INT_MIN + 1, 1000000000, -1000000000};
  for (std::int32_t value : values) {
    wchar_t text[pndhal::timevalues::kMaxDecimalLength];
    const std::size_t length = pndhal::timevalues::WritePlainDecimal(value, text);
    EXPECT_EQ(std::wstring(text, length), Plain(value)) << value;
    ASSERT_EQ(pndhal::timevalues::WriteTwoCharacterDecimal(value, text), 2u);
    EXPECT_EQ(std::wstring(text, 2), TwoChar(value)) << value;
  }
}

TEST_F(NavTimeFormat, SpanTokensUseTheStoredParts) {
  CNavTimeSpan span(1, 2, 3, 4);
  EXPECT_EQ(ViaBuffer(span, L"%D %H:%M:%S"), L"01 02:03:04");
  EXPECT_EQ(ViaBuffer(span, L"%d %h:%m"), L"1 2:3");
  CNavTimeSpan days(123, 0, 0, 0);
  EXPECT_EQ(ViaBuffer(days, L"%D %d"), L"23 123");
  CNavTimeSpan negative(0, 0, 0, -5);
  EXPECT_EQ(ViaString(negative, L"%S"), L"-5");
  CNavTimeSpan hours(0, 25, 0, 0);
  CNavTime::Set24Hours(false);
  EXPECT_EQ(ViaBuffer(hours, L"%H %h"), L"25 25");
  EXPECT_EQ(ViaBuffer(span, L"%s %p %j %w %Y %y %%p"), L"%s %p %j %w %Y %y %%p");
}

TEST_F(NavTimeFormat, NullFormatGivesTheEmptyText) {
  wchar_t buffer[8] = L"junk";
  saturday_.Format(buffer, 8, nullptr);
  EXPECT_STREQ(buffer, L"");
  CNavTimeSpan span(1ul);
  wcscpy(buffer, L"junk");
  span.Format(buffer, 8, nullptr);
  EXPECT_STREQ(buffer, L"");
}

TEST_F(NavTimeFormat, BufferFormCutsTheResultAndNeverWritesPastItsCapacity) {
  for (unsigned long capacity = 1; capacity <= 22; ++capacity) {
    std::vector<wchar_t> buffer(capacity + 4, L'#');
    saturday_.Format(buffer.data(), capacity, L"%d.%m.%Y %H:%M:%S");
    const std::wstring full = L"15.03.2008 14:05:09";
    EXPECT_EQ(std::wstring(buffer.data()), full.substr(0, capacity - 1)) << capacity;
    for (std::size_t i = capacity; i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], L'#') << capacity;
    }
  }
  CNavTimeSpan span(1, 2, 3, 4);
  wchar_t small[3] = {L'#', L'#', L'#'};
  span.Format(small, 2, L"%D");
  EXPECT_EQ(small[0], L'0');
  EXPECT_EQ(small[1], L'\0');
  EXPECT_EQ(small[2], L'#');
}

TEST_F(NavTimeFormat, BufferFormAgreesWithTheStringFormAroundEveryLengthAndCapacity) {
  // Results around a few hundred characters, with a long replacement at the end that may be cut.
  CNavTimeSpan span(-1000000000, 1, 2, 3);
  for (int padding = 230; padding <= 270; ++padding) {
    const std::wstring format = std::wstring(static_cast<std::size_t>(padding), L'x') + L"%%%H%d";
    const std::wstring whole = ViaString(span, format);
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(padding) + 2 + 2 + 11);
    for (unsigned long capacity = 1; capacity <= 300; ++capacity) {
      ASSERT_EQ(ViaBuffer(span, format.c_str(), capacity), whole.substr(0, capacity - 1))
          << padding << ' ' << capacity;
    }
  }
}

TEST_F(NavTimeFormat, BufferFormLeavesANullBufferOrZeroCapacityAlone) {
  wchar_t buffer[4] = {L'a', L'b', L'c', L'\0'};
  saturday_.Format(buffer, 0, L"%Y");
  EXPECT_STREQ(buffer, L"abc");
  saturday_.Format(nullptr, 10, L"%Y");
  CNavTimeSpan span;
  span.Format(buffer, 0, L"%d");
  span.Format(nullptr, 10, L"%d");
  EXPECT_STREQ(buffer, L"abc");
}

TEST_F(NavTimeFormat, BufferFormAcceptsAFormatInsideItsOwnBuffer) {
  wchar_t buffer[64] = L"%Y-%m-%d %%p";
  saturday_.Format(buffer, 64, buffer);
  EXPECT_STREQ(buffer, L"2008-03-15 pmm");
  wchar_t tail[64] = L"xx%h%h%h";
  saturday_.Format(tail, 64, tail + 2);
  EXPECT_STREQ(tail, L"141414");
  CNavTimeSpan span(1, 2, 3, 4);
  wchar_t own[32] = L"%d|%D|%d";
  span.Format(own, 32, own);
  EXPECT_STREQ(own, L"1|01|1");
}

TEST_F(NavTimeFormat, StringFormReplacesThePreviousTextAndMayFormatItself) {
  Str text(L"%H:%M");
  saturday_.Format(text, text);
  EXPECT_STREQ(text.c_str(), L"14:05");
  Str empty;
  Str output(L"old");
  saturday_.Format(output, empty);
  EXPECT_EQ(output.length(), 0u);
  CNavTimeSpan span(1, 2, 3, 4);
  Str spanText(L"%d days");
  span.Format(spanText, spanText);
  EXPECT_STREQ(spanText.c_str(), L"1 days");
}

TEST_F(NavTimeFormat, StringFormKeepsItsTextWhenItCannotTakeTheResult) {
  wchar_t storage[8] = L"bound";
  Str bound;
  bound.Bind(storage, 8);
  saturday_.Format(bound, Str(L"%d.%m.%Y"));  // 10 characters do not fit 8
  EXPECT_STREQ(bound.c_str(), L"bound");
  saturday_.Format(bound, Str(L"%Y"));
  EXPECT_STREQ(storage, L"2008");
  bound.Release();

  // A long result needs memory for its building buffer and for the output.
  const std::wstring longFormat(2000, L'x');
  const Str format(longFormat.c_str());
  Str output(L"kept");
  ZuAllocFailAfter(0, 1);
  saturday_.Format(output, format);
  EXPECT_STREQ(output.c_str(), L"kept");
  ZuAllocFailAfter(1, 2);
  saturday_.Format(output, format);
  EXPECT_STREQ(output.c_str(), L"kept");
  ZuAllocFailAfter(0, 0);
  saturday_.Format(output, format);
  EXPECT_EQ(std::wstring(output.c_str()), longFormat);
}

TEST_F(NavTimeFormat, AFormatInsideTheBufferIsReadFromACopy) {
  std::wstring format;
  std::wstring expected;
  for (int i = 0; i < 300; ++i) {
    format += L"%Y%%p";
    expected += L"2008pmm";
  }
  std::vector<wchar_t> buffer(4000, L'#');
  std::wmemcpy(buffer.data() + 10, format.c_str(), format.size() + 1);
  const long before = ZuAllocLiveBlocks();
  saturday_.Format(buffer.data(), 4000, buffer.data() + 10);
  EXPECT_EQ(std::wstring(buffer.data()), expected);
  EXPECT_EQ(ZuAllocLiveBlocks(), before);

  // Without memory for the copy the buffer receives the empty text.
  std::wmemcpy(buffer.data(), format.c_str(), format.size() + 1);
  ZuAllocFailAfter(0, 1);
  saturday_.Format(buffer.data(), 4000, buffer.data());
  ZuAllocFailAfter(0, 0);
  EXPECT_STREQ(buffer.data(), L"");
}

TEST_F(NavTimeFormat, BothFormsFreeEverythingTheyAllocate) {
  const long before = ZuAllocLiveBlocks();
  {
    std::wstring longFormat;
    for (int i = 0; i < 500; ++i) {
      longFormat += L"%Y%%p";
    }
    Str output;
    saturday_.Format(output, Str(longFormat.c_str()));
    std::vector<wchar_t> buffer(5000);
    saturday_.Format(buffer.data(), 5000, longFormat.c_str());
    EXPECT_EQ(std::wcslen(buffer.data()), 3500u);
  }
  EXPECT_EQ(ZuAllocLiveBlocks(), before);
}

TEST_F(NavTimeFormat, MatchesTheTableOrderSubstitutionOnRandomTexts) {
  const wchar_t alphabet[] = L"%%%%%pHhMSsdjmwYyDxa m";
  std::mt19937 random(1234);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(std::size(alphabet)) - 2);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> hour(0, 23);
  for (int round = 0; round < 20000; ++round) {
    std::wstring format;
    for (int n = length(random); n > 0; --n) {
      format += alphabet[pick(random)];
    }
    const bool twentyFour = round % 2 == 0;
    CNavTime::Set24Hours(twentyFour);
    CNavTime value = At(hour(random), 7);
    const std::wstring expected =
        TableOrder(format, DateTimeTable(NavValueAccess::Fields(value), twentyFour));
    ASSERT_EQ(ViaBuffer(value, format.c_str()), expected) << format;
    ASSERT_EQ(ViaString(value, format), expected) << format;
    CNavTimeSpan span(round - 10000, round % 37 - 5, round % 71, -(round % 3));
    const std::wstring spanExpected = TableOrder(format, SpanTable(span));
    ASSERT_EQ(ViaBuffer(span, format.c_str()), spanExpected) << format;
    ASSERT_EQ(ViaString(span, format), spanExpected) << format;
  }
}

TEST_F(NavTimeFormat, ChangingTheHourModeWhileAnotherThreadFormatsIsSafe) {
  std::atomic<bool> stop{false};
  std::thread toggler([&stop] {
    for (bool twentyFour = false; !stop.load(); twentyFour = !twentyFour) {
      CNavTime::Set24Hours(twentyFour);
    }
  });
  for (int i = 0; i < 20000; ++i) {
    const std::wstring text = ViaBuffer(saturday_, L"%H");
    ASSERT_TRUE(text == L"14" || text == L"02") << text;
  }
  stop.store(true);
  toggler.join();
}

TEST_F(NavTimeFormat, FormatsLongTokenTextsCompletely) {
  std::wstring format;
  std::wstring expected;
  for (int i = 0; i < 100000; ++i) {
    format += L"%Y%%p-";
    expected += L"2008pmm-";
  }
  EXPECT_EQ(ViaString(saturday_, format), expected);
  std::vector<wchar_t> buffer(expected.size() + 1);
  saturday_.Format(buffer.data(), buffer.size(), format.c_str());
  EXPECT_EQ(std::wstring(buffer.data()), expected);
  // A format text may contain a NUL character in the string form: it is copied like any other.
  const wchar_t withNul[] = {L'%', L'H', L'\0', L'%', L'M'};
  Str output;
  saturday_.Format(output, Str(withNul, 5));
  ASSERT_EQ(output.length(), 5u);
  EXPECT_EQ(std::wstring(output.c_str(), 5), std::wstring(L"14\0"
                                                          L"05",
                                                          5));
}

}  // namespace
