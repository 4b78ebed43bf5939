// Offset text to number: blanks trimmed, a strict decimal number checked, then converted with from_chars
// so that the application's locale (its decimal separator) plays no part.
#include "time/offset_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <system_error>

namespace pndhal::timevalues {
namespace {

constexpr std::size_t kMaxTaken = 360;

bool IsBlank(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// True when `text` is exactly: sign? digits? ("." digits?)? with at least one digit, then an optional
// exponent with at least one digit.
bool IsDecimalNumber(const char* text, std::size_t length) noexcept {
  std::size_t i = 0;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    ++i;
  }
  std::size_t digits = 0;
  while (i < length && IsDigit(text[i])) {
    ++i, ++digits;
  }
  if (i < length && text[i] == '.') {
    ++i;
    while (i < length && IsDigit(text[i])) {
      ++i, ++digits;
    }
  }
  if (digits == 0) {
    return false;
  }
  if (i < length && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
      ++i;
    }
    std::size_t exponentDigits = 0;
    while (i < length && IsDigit(text[i])) {
      ++i, ++exponentDigits;
    }
    if (exponentDigits == 0) {
      return false;
    }
  }
  return i == length;
}

}  // namespace

bool ConvertOffsetText(const wchar_t* text, std::size_t length, double& value) noexcept {
  std::size_t begin = 0;
  while (begin < length && IsBlank(text[begin])) {
    ++begin;
  }
  for (std::size_t i = begin; i < length; ++i) {
    if (static_cast<std::uint32_t>(text[i]) > 0xFF) {
      return false;
    }
  }
  std::size_t end = length - begin > kMaxTaken ? begin + kMaxTaken : length;
  for (std::size_t i = end; i < length; ++i) {
    if (!IsBlank(text[i])) {
      return false;
    }
  }
  while (end > begin && IsBlank(text[end - 1])) {
    --end;
  }

  char narrow[kMaxTaken];
  const std::size_t count = end - begin;
  for (std::size_t i = 0; i < count; ++i) {
    narrow[i] = static_cast<char>(text[begin + i]);
  }
  if (!IsDecimalNumber(narrow, count)) {
    return false;
  }
  // from_chars takes no "+".
  const char* first = narrow[0] == '+' ? narrow + 1 : narrow;
  double converted = 0;
  const auto [stop, error] = std::from_chars(first, narrow + count, converted);
  if (error != std::errc() || stop != narrow + count) {
    return false;
  }
  if (std::fabs(converted) > std::numeric_limits<float>::max()) {
    return false;
  }
  value = converted;
  return true;
}

}  // namespace pndhal::timevalues
