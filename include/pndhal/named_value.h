// The word of a value the library exchanges with the application. Each enumeration's table of words stands
// beside the enumeration: the tool, scenario scripts and their recordings, device profiles and every JSON
// output say these words and no others.
#pragma once

#include <span>
#include <string_view>

namespace pndhal {

/// A value and its word.
struct NamedValue {
  std::string_view name;
  long value;
};

/// The word of `value` in `names`; empty when it has none.
constexpr std::string_view NameOf(std::span<const NamedValue> names, long value) {
  for (const NamedValue& named : names) {
    if (named.value == value) return named.name;
  }
  return {};
}

}  // namespace pndhal
