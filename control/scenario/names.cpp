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

const NameTable& ApplicationKeys() {
  static const NameTable table("an application key", {{"Up", 0},
                                                      {"Down", 1},
                                                      {"Right", 2},
                                                      {"Left", 3},
                                                      {"Enter", 4},
                                                      {"Device5", 5},
                                                      {"Device6", 6},
                                                      {"Device7", 7},
                                                      {"Device8", 8},
                                                      {"F6", 10},
                                                      {"F7", 11},
                                                      {"F8", 12},
                                                      {"Device16", 16},
                                                      {"Device24", 24},
                                                      {"Device25", 25},
                                                      {"Device26", 26},
                                                      {"Device27", 27},
                                                      {"Unmapped", 28}});
  return table;
}

const NameTable& PowerStates() {
  static const NameTable table("a power state",
                               {{"battery", 0}, {"external", 1}, {"charging", 2}, {"full", 3}});
  return table;
}

const NameTable& CallStatuses() {
  static const NameTable table("a call status", {{"unknown", -1},
                                                 {"none", 0},
                                                 {"idle", 1},
                                                 {"incoming", 2},
                                                 {"outgoing", 3},
                                                 {"active", 4},
                                                 {"held", 5}});
  return table;
}

const NameTable& TelephoneCalls() {
  static const NameTable table("a call state",
                               {{"idle", 0}, {"incoming", 1}, {"outgoing", 2}, {"active", 3}, {"held", 4}});
  return table;
}

const NameTable& ForegroundStates() {
  static const NameTable table("a foreground state", {{"unknown", -1}, {"application", 0}, {"telephone", 1}});
  return table;
}

const NameTable& TelephoneForegrounds() {
  static const NameTable table("a foreground", {{"application", 1}, {"telephone", 2}});
  return table;
}

const NameTable& BatteryFlags() {
  static const NameTable table("a battery flag", {{"high", 0x01},
                                                  {"low", 0x02},
                                                  {"critical", 0x04},
                                                  {"charging", 0x08},
                                                  {"none", 0x80},
                                                  {"unknown", 0xFF}});
  return table;
}

const NameTable& AcLines() {
  static const NameTable table("an AC line state",
                               {{"offline", 0}, {"online", 1}, {"backup", 2}, {"unknown", 0xFF}});
  return table;
}

const NameTable& CardTypes() {
  static const NameTable table("a card type", {{"sd", 0}, {"cf", 1}, {"other", 3}});
  return table;
}

}  // namespace scenario
