// The names a scenario gives to the numbers the library and the device exchange: application key codes,
// power states, call states, battery flags and the like, each a small two-way table that the service
// using it makes from the library's or the device's list of words.
#pragma once

#include <pndhal/names.h>
#include <pndsim/names.h>

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace scenario {

/// A two-way table between names and values; names compare without regard to case. The words come from
/// the library's and the device's name tables, so a scenario says what every other surface says.
class NameTable {
 public:
  NameTable(std::string_view what, std::initializer_list<std::pair<std::string_view, long>> entries)
      : what_(what), entries_(entries) {}
  NameTable(std::string_view what, std::span<const pndhal::NamedValue> names) : what_(what) {
    for (const auto& named : names) entries_.emplace_back(named.name, named.value);
  }
  NameTable(std::string_view what, std::span<const pndsim::NamedValue> names) : what_(what) {
    for (const auto& named : names) entries_.emplace_back(named.name, named.value);
  }

  /// The value of `name`, or nothing.
  std::optional<long> Find(std::string_view name) const;
  /// The name of `value`, or the value in decimal when it has none.
  std::string NameOf(long value) const;
  /// What the names denote and the names themselves, for messages: "a call status (unknown, none, ...)".
  std::string Describe() const;
  /// The names, in table order, for suggestions.
  std::vector<std::string> Names() const;

 private:
  std::string_view what_;
  std::vector<std::pair<std::string_view, long>> entries_;
};

}  // namespace scenario
