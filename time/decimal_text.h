// Decimal renderings of signed 32-bit numbers used by the formatting and the storage text of date-times.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pndhal::timevalues {

/// Room for the longest plain rendering, "-2147483648".
inline constexpr std::size_t kMaxDecimalLength = 11;

/// The two-digit texts of 0 to 99, one after another.
inline constexpr wchar_t kDigitPairs[] =
    L"00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    L"40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    L"8081828384858687888990919293949596979899";

/// Writes `value` in plain decimal (no leading zeros, "-" for negatives) to `out`, which has room for
/// kMaxDecimalLength characters; returns the number of characters written. Nothing is terminated.
inline std::size_t WritePlainDecimal(std::int32_t value, wchar_t* out) noexcept {
  // Calendar fields and years take the first two branches.
  if (static_cast<std::uint32_t>(value) < 100) {
    if (value < 10) {
      out[0] = static_cast<wchar_t>(L'0' + value);
      return 1;
    }
    const auto pair = 2 * static_cast<std::size_t>(value);
    out[0] = kDigitPairs[pair];
    out[1] = kDigitPairs[pair + 1];
    return 2;
  }
  if (value >= 1000 && value < 10000) {
    const auto high = static_cast<std::size_t>(value) / 100;
    const auto low = static_cast<std::size_t>(value) - high * 100;
    out[0] = kDigitPairs[2 * high];
    out[1] = kDigitPairs[2 * high + 1];
    out[2] = kDigitPairs[2 * low];
    out[3] = kDigitPairs[2 * low + 1];
    return 4;
  }
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  std::size_t length = 0;
  if (value < 0) {
    out[length++] = L'-';
  }
  std::size_t digits = 1;
  for (std::uint32_t bound = 10; digits < 10 && magnitude >= bound; bound *= 10) {
    ++digits;
  }
  length += digits;
  wchar_t* digit = out + length;
  while (magnitude >= 10) {
    const std::uint32_t quotient = magnitude / 10;
    *--digit = static_cast<wchar_t>(L'0' + (magnitude - quotient * 10));
    magnitude = quotient;
  }
  *--digit = static_cast<wchar_t>(L'0' + magnitude);
  return length;
}

/// Writes `value` right-aligned in exactly two characters to `out`: a one-character plain text gets a
/// leading "0" (7 gives 07, -5 stays -5), a longer one keeps its last two characters (2008 gives 08, -15
/// gives 15). Always writes 2 characters and returns 2.
inline std::size_t WriteTwoCharacterDecimal(std::int32_t value, wchar_t* out) noexcept {
  std::uint32_t lastTwo = static_cast<std::uint32_t>(value);
  if (lastTwo >= 100) {
    if (value < 0 && value > -10) {
      out[0] = L'-';
      out[1] = static_cast<wchar_t>(L'0' - value);
      return 2;
    }
    lastTwo = (value < 0 ? 0u - lastTwo : lastTwo) % 100;
  }
  out[0] = kDigitPairs[2 * std::size_t{lastTwo}];
  out[1] = kDigitPairs[2 * std::size_t{lastTwo} + 1];
  return 2;
}

}  // namespace pndhal::timevalues
