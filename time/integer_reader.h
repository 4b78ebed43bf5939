// Reading a signed 32-bit integer from a piece of wide text, shared by the storage text of date-times and
// the time-zone descriptor parser.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pndhal::timevalues {

/// What ReadInteger found.
struct IntegerRead {
  std::int32_t value;  ///< the value reached, 0 when no digit was read
  bool complete;       ///< at least one digit was read and every character fitted the shape
};

/// Reads `length` characters of `text` as: blanks (spaces, tabs), one optional "+" or "-", decimal
/// digits, blanks. Reading stops at the first character that does not fit that shape and at 32-bit
/// overflow: when multiplying by ten would overflow, the value before that digit stays; when adding the
/// digit overflows, the wrapped value stays. A "-" accumulates the digits negatively, so -2147483648 reads
/// exactly. Never reads beyond `length` characters.
IntegerRead ReadInteger(const wchar_t* text, std::size_t length) noexcept;

}  // namespace pndhal::timevalues
