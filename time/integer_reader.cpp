// Reading a signed 32-bit integer from wide text with its blank, sign and overflow rules.
#include "time/integer_reader.h"

#include <limits>

namespace pndhal::timevalues {
namespace {

bool IsBlank(wchar_t c) noexcept { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) noexcept { return c >= L'0' && c <= L'9'; }

}  // namespace

IntegerRead ReadInteger(const wchar_t* text, std::size_t length) noexcept {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  std::size_t i = 0;
  while (i < length && IsBlank(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < length && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  std::int32_t value = 0;
  bool anyDigit = false;
  for (; i < length && IsDigit(text[i]); ++i) {
    const std::int32_t digit = text[i] - L'0';
    if (negative ? value < kMin / 10 : value > kMax / 10) {
      return {value, false};
    }
    value *= 10;
    if (negative ? value < kMin + digit : value > kMax - digit) {
      const std::uint32_t wrapped =
          negative ? static_cast<std::uint32_t>(value) - static_cast<std::uint32_t>(digit)
                   : static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(digit);
      return {static_cast<std::int32_t>(wrapped), false};
    }
    value = negative ? value - digit : value + digit;
    anyDigit = true;
  }
  while (i < length && IsBlank(text[i])) {
    ++i;
  }
  return {value, anyDigit && i == length};
}

}  // namespace pndhal::timevalues
