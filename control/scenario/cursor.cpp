// The word readers of the scenario parser.
#include "cursor.h"

#include <strings.h>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "suggestions.h"

namespace scenario {

bool ParseInteger(std::string_view text, long& value) {
  if (text.empty() || text.size() > 20) return false;
  const std::string copy(text);
  const bool hex = copy.size() > 2 && copy[0] == '0' && (copy[1] == 'x' || copy[1] == 'X');
  const bool negative = copy[0] == '-';
  if (!hex && copy.find_first_not_of("0123456789", negative ? 1 : 0) != std::string::npos) return false;
  if (hex && copy.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) return false;
  if (copy == "-") return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtol(copy.c_str(), &end, hex ? 16 : 10);
  return errno == 0 && end == copy.c_str() + copy.size();
}

const Word& Cursor::Take(std::string_view expected) {
  if (AtEnd()) Fail(expected);
  return words_[next_++];
}

bool Cursor::TakeIf(std::string_view word) {
  if (AtEnd() || words_[next_].quoted ||
      strcasecmp(std::string(word).c_str(), words_[next_].text.c_str()) != 0) {
    return false;
  }
  ++next_;
  return true;
}

std::size_t Cursor::Choice(std::initializer_list<std::string_view> choices) {
  return Choice(std::span<const std::string_view>(choices.begin(), choices.size()));
}

std::size_t Cursor::Choice(std::span<const std::string_view> choices) {
  std::string expected;
  std::size_t index = 0;
  for (const std::string_view choice : choices) {
    if (TakeIf(choice)) return index;
    ++index;
    expected += index == 1 ? "" : index == choices.size() ? " or " : ", ";
    expected += choice;
  }
  Fail(expected, std::vector<std::string>(choices.begin(), choices.end()));
}

long Cursor::Integer(long min, long max, std::string_view what) {
  long value = 0;
  if (AtEnd() || !ParseInteger(Peek(), value) || value < min || value > max) {
    Fail(std::string(what) + " (" + std::to_string(min) + " to " + std::to_string(max) + ")");
  }
  ++next_;
  return value;
}

long Cursor::Named(const NameTable& table, bool numbers, long min, long max) {
  if (!AtEnd()) {
    if (const auto value = table.Find(Peek())) {
      ++next_;
      return *value;
    }
    long value = 0;
    if (numbers && ParseInteger(Peek(), value) && value >= min && value <= max) {
      ++next_;
      return value;
    }
  }
  Fail(table.Describe() + (numbers ? " or a number" : ""), table.Names());
}

std::chrono::duration<double, std::milli> Cursor::Duration() {
  static constexpr std::string_view kExpected = "a duration (250ms, 1.5s, 2min)";
  if (AtEnd()) Fail(kExpected);
  const std::string text(Peek());
  char* end = nullptr;
  const double number = std::strtod(text.c_str(), &end);
  const std::string_view unit(end);
  double factor = 0;
  if (unit == "ms") factor = 1;
  if (unit == "s") factor = 1000;
  if (unit == "min") factor = 60000;
  if (end == text.c_str() || !std::isfinite(number) || number < 0 || factor == 0 ||
      number * factor > 86400000) {
    Fail(kExpected);
  }
  ++next_;
  return std::chrono::duration<double, std::milli>(number * factor);
}

bool Cursor::OnOff() {
  if (TakeIf("true") || TakeIf("yes")) return true;
  if (TakeIf("false") || TakeIf("no")) return false;
  return Choice({"on", "off"}) == 0;
}

void Cursor::End() const {
  if (!AtEnd()) Fail("the end of the line");
}

void Cursor::FailAtLast(const std::string& message) const {
  const int column = next_ == 0 ? Column() : words_[next_ - 1].column;
  throw SyntaxError(column, message);
}

void Cursor::Fail(std::string_view expected, std::span<const std::string> candidates,
                  const std::string& hint) const {
  std::string message = "expected " + std::string(expected) + ", got ";
  if (AtEnd()) {
    message += "the end of the line";
  } else {
    message += "'" + words_[next_].text + "'";
    const std::string advice = hint.empty() ? DidYouMean(words_[next_].text, candidates) : hint;
    if (!advice.empty()) message += "; " + advice;
  }
  throw SyntaxError(Column(), message);
}

}  // namespace scenario
