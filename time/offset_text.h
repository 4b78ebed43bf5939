// Conversion of a time zone's offset text (decimal hours in a descriptor, tenths of an hour in the shared
// time-zone data) to a number.
#pragma once

#include <cstddef>

namespace pndhal::timevalues {

/// Converts `length` characters of `text`: leading and trailing spaces and tabs are dropped; what remains
/// must be one decimal number in full (optional sign, digits with an optional fraction, optional exponent).
/// A character above U+00FF, more than 360 characters after the leading blanks that are not all trailing
/// blanks, or a value beyond the range of a 32-bit float makes the text unconvertible. Returns false for an
/// unconvertible text and leaves `value` alone; the conversion does not depend on the C locale.
bool ConvertOffsetText(const wchar_t* text, std::size_t length, double& value) noexcept;

}  // namespace pndhal::timevalues
