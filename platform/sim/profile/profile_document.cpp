// The profile document: the reading kit every section reads its member with, and the whole document read
// and written section by section. Reading stops at the first fault and names it by JSON pointer and position.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "sim/profile/device_profile.h"

namespace sim::profile {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Member(const std::string& at, std::string_view name) {
  return at + "/" + PositionedJson::Escape(name);
}

std::string Shown(const Json& value) {
  if (value.is_object()) return "an object";
  if (value.is_array()) return "an array";
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

void RequireMembers(const Json& value, const std::string& at, std::span<const std::string_view> allowed,
                    std::string_view what) {
  if (!value.is_object()) {
    throw Fault{at, false, "expected an object (" + std::string(what) + "), got " + Shown(value)};
  }
  for (const auto& [name, member] : value.items()) {
    if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
    std::string message = "unknown field \"" + name + "\"; expected one of: ";
    for (std::size_t i = 0; i < allowed.size(); ++i) {
      if (i > 0) message += ", ";
      message += allowed[i];
    }
    throw Fault{Member(at, name), true, std::move(message)};
  }
}

std::int64_t Integer(const Json& value, const std::string& at, std::int64_t min, std::int64_t max,
                     std::string_view alternative) {
  bool inRange = false;
  std::int64_t number = 0;
  if (value.is_number_unsigned()) {
    const auto unsignedNumber = value.get<std::uint64_t>();
    inRange = unsignedNumber <= static_cast<std::uint64_t>(max);
    number = inRange ? static_cast<std::int64_t>(unsignedNumber) : 0;
    inRange = inRange && number >= min;
  } else if (value.is_number_integer()) {
    number = value.get<std::int64_t>();
    inRange = number >= min && number <= max;
  }
  if (!inRange) {
    throw Fault{at, false,
                "expected an integer from " + std::to_string(min) + " to " + std::to_string(max) +
                    std::string(alternative) + ", got " + Shown(value)};
  }
  return number;
}

bool Boolean(const Json& value, const std::string& at) {
  if (!value.is_boolean()) throw Fault{at, false, "expected true or false, got " + Shown(value)};
  return value.get<bool>();
}

std::string Text(const Json& value, const std::string& at, std::string_view what) {
  if (!value.is_string()) throw Fault{at, false, "expected " + std::string(what) + ", got " + Shown(value)};
  return value.get<std::string>();
}

std::string Name(const Json& value, const std::string& at, std::string_view what) {
  if (!value.is_string() || value.get_ref<const std::string&>().empty()) {
    throw Fault{at, false, "expected " + std::string(what) + ", got " + Shown(value)};
  }
  return value.get<std::string>();
}

Bytes HexBytes(const Json& value, const std::string& at, std::size_t maxBytes) {
  const std::string expected = "expected hexadecimal digit pairs for at most " + std::to_string(maxBytes) +
                               " bytes, got " + Shown(value);
  if (!value.is_string()) throw Fault{at, false, expected};
  const auto& text = value.get_ref<const std::string&>();
  if (text.size() % 2 != 0 || text.size() / 2 > maxBytes) throw Fault{at, false, expected};
  Bytes bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) throw Fault{at, false, expected};
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  return bytes;
}

std::string HexText(const Bytes& bytes, bool trimZeros) {
  std::size_t count = bytes.size();
  if (trimZeros) {
    while (count > 0 && bytes[count - 1] == 0) --count;
  }
  std::string text;
  char pair[3];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += pair;
  }
  return text;
}

std::optional<pndsim::ProfileError> ReadProfile(const PositionedJson& document, std::string_view source,
                                                DeviceProfile& profile) {
  try {
    const Json& root = document.Document();
    std::vector<std::string_view> names;
    for (const SectionBase* section : Sections()) names.push_back(section->Name());
    RequireMembers(root, "", names, "a device profile");
    for (const SectionBase* section : Sections()) {
      IfPresent(root, "", section->Name(),
                [&](const Json& member, const std::string& at) { section->Read(member, at, profile); });
    }
  } catch (const Fault& fault) {
    const TextPosition position = fault.atName ? document.NameAt(fault.field) : document.ValueAt(fault.field);
    return pndsim::ProfileError{std::string(source), position.line, position.column, fault.field,
                                fault.message};
  }
  return std::nullopt;
}

Json WriteProfile(const DeviceProfile& profile) {
  Json document = Json::object();
  for (const SectionBase* section : Sections()) {
    document[std::string(section->Name())] = section->Write(profile);
  }
  return document;
}

}  // namespace sim::profile
