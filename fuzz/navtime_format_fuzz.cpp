// Fuzz target: both forms of Format of date-times and spans. The buffer form must give a prefix of the
// string form and never write past its capacity; for short texts both must equal the substitution done
// literally, token by token in table order with a search from the start after every replacement.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_text.h"
#include "pndhal/navtime.h"
#include "time/value_access.h"

namespace {

using Str = String::StringProxy<String::ZuStringImpl>;

struct Token {
  const wchar_t* token;
  std::wstring text;
};

std::wstring Plain(std::uint32_t value) { return std::to_wstring(static_cast<std::int32_t>(value)); }

std::wstring TwoChar(std::uint32_t value) {
  const std::wstring plain = Plain(value);
  return plain.size() == 1 ? L"0" + plain : plain.substr(plain.size() - 2);
}

std::wstring TableOrder(std::wstring text, const std::vector<Token>& table) {
  for (const Token& t : table) {
    for (std::size_t at = text.find(t.token); at != std::wstring::npos; at = text.find(t.token)) {
      text.replace(at, 2, t.text);
    }
  }
  return text;
}

std::vector<Token> DateTimeTable(const tm& f, bool twentyFour) {
  const int hour = twentyFour ? f.tm_hour : (f.tm_hour == 0 || f.tm_hour == 12 ? 12 : f.tm_hour % 12);
  const auto u = [](int v) { return static_cast<std::uint32_t>(v); };
  return {{L"%H", TwoChar(u(hour))},           {L"%h", Plain(u(hour))},
          {L"%M", TwoChar(u(f.tm_min))},       {L"%S", TwoChar(u(f.tm_sec))},
          {L"%s", Plain(u(f.tm_sec))},         {L"%p", f.tm_hour < 12 ? L"am" : L"pm"},
          {L"%d", TwoChar(u(f.tm_mday))},      {L"%j", Plain(u(f.tm_yday))},
          {L"%m", TwoChar(u(f.tm_mon) + 1)},   {L"%w", Plain(u(f.tm_wday) + 1)},
          {L"%Y", Plain(u(f.tm_year) + 1900)}, {L"%y", TwoChar(u(f.tm_year) - 100)}};
}

std::vector<Token> SpanTable(const CNavTimeSpan& s) {
  const auto u = [](long v) { return static_cast<std::uint32_t>(v); };
  return {{L"%H", TwoChar(u(s.GetHours()))},   {L"%h", Plain(u(s.GetHours()))},
          {L"%M", TwoChar(u(s.GetMinutes()))}, {L"%m", Plain(u(s.GetMinutes()))},
          {L"%S", TwoChar(u(s.GetSeconds()))}, {L"%D", TwoChar(u(s.GetDays()))},
          {L"%d", Plain(u(s.GetDays()))}};
}

template <class Value>
void Check(Value& value, const std::wstring& format, std::size_t capacity, const std::vector<Token>& table) {
  Str output(L"previous");
  value.Format(output, Str(format.c_str(), format.size()));
  const std::wstring whole(output.c_str(), output.length());

  // The buffer form reads up to the first NUL: its result is the string form of that prefix.
  const std::wstring terminated = format.substr(0, format.find(L'\0'));
  auto buffer = std::make_unique<wchar_t[]>(capacity);
  for (std::size_t i = 0; i < capacity; ++i) {
    buffer[i] = L'#';
  }
  value.Format(buffer.get(), capacity, terminated.c_str());
  Str prefixOutput;
  value.Format(prefixOutput, Str(terminated.c_str()));
  const std::wstring expected(prefixOutput.c_str(), prefixOutput.length());
  fuzztext::Require(std::wstring(buffer.get()) == expected.substr(0, capacity - 1));

  if (format.size() <= 200) {
    fuzztext::Require(whole == TableOrder(format, table));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t count = fuzztext::Take(data, size, 4);
  const std::uint32_t mode = fuzztext::Take(data, size, 1);
  const std::size_t capacity = fuzztext::Take(data, size, 2) % 300 + 1;
  const std::wstring format = fuzztext::Widen(data, size);

  const bool twentyFour = (mode & 1) != 0;
  CNavTime::Set24Hours(twentyFour);
  CNavTime time(static_cast<long>(count));
  if ((mode & 2) != 0) {
    // Unnormalised fields, as Deserialize may leave them.
    tm& f = NavValueAccess::Fields(time);
    f.tm_hour = static_cast<int>(count) >> 3;
    f.tm_min = -static_cast<int>(count & 0xFFF);
    f.tm_year = static_cast<int>(count * 2654435761u);
    f.tm_yday = static_cast<int>(count ^ 0x80000000u);
  }
  Check(time, format, capacity, DateTimeTable(NavValueAccess::Fields(time), twentyFour));

  CNavTimeSpan span(static_cast<long>(static_cast<std::int32_t>(count)), static_cast<int>(mode) - 100,
                    static_cast<int>(count >> 20), -static_cast<int>(count & 0xFF));
  Check(span, format, capacity, SpanTable(span));
  return 0;
}
