// The scenario language's name tables.
#include "names.h"

#include <algorithm>
#include <cctype>

namespace scenario {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::optional<long> NameTable::Find(std::string_view name) const {
  for (const auto& [entry, value] : entries_) {
    if (SameName(entry, name)) return value;
  }
  return std::nullopt;
}

std::string NameTable::NameOf(long value) const {
  for (const auto& [entry, entryValue] : entries_) {
    if (entryValue == value) return std::string(entry);
  }
  return std::to_string(value);
}

std::string NameTable::Describe() const {
  std::string text = std::string(what_) + " (";
  for (const auto& [entry, value] : entries_) {
    if (&entry != &entries_.front().first) text += ", ";
    text += entry;
  }
  return text + ")";
}

std::vector<std::string> NameTable::Names() const {
  std::vector<std::string> names;
  for (const auto& [entry, value] : entries_) names.emplace_back(entry);
  return names;
}

}  // namespace scenario
