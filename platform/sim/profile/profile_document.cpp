// The profile document's schema: reading each member with its type and range checked, and writing the
// same members back. Reading stops at the first fault and names it by JSON pointer and position.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <set>

#include "ce/identity.h"
#include "pndsim/names.h"
#include "pndsim/vendor.h"
#include "sim/calendar/calendar.h"
#include "sim/profile/device_profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim::profile {
namespace {

constexpr std::size_t kMaxCardNameChars = 260;
constexpr std::size_t kMaxZoneNameChars = 31;
constexpr int kMaxBiasMinutes = 24 * 60;

// A fault in the document: the member's pointer, whether its name (an unknown member) rather than its
// value is at fault, and what was expected.
struct Fault {
  std::string field;
  bool atName = false;
  std::string message;
};

// A value as a fault message shows it: short values as written, containers by kind.
std::string Shown(const Json& value) {
  if (value.is_object()) return "an object";
  if (value.is_array()) return "an array";
  std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

std::string Member(const std::string& at, std::string_view name) {
  return at + "/" + PositionedJson::Escape(name);
}

// Checks that `value` is an object whose members are all among `allowed`.
void RequireMembers(const Json& value, const std::string& at, std::initializer_list<std::string_view> allowed,
                    std::string_view what) {
  if (!value.is_object()) {
    throw Fault{at, false, "expected an object (" + std::string(what) + "), got " + Shown(value)};
  }
  for (const auto& [name, member] : value.items()) {
    if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
    std::string message = "unknown field \"" + name + "\"; expected one of: ";
    for (std::size_t i = 0; i < allowed.size(); ++i) {
      if (i > 0) message += ", ";
      message += allowed.begin()[i];
    }
    throw Fault{Member(at, name), true, std::move(message)};
  }
}

// Calls `read(member, pointer)` when `object` has the member `name`.
template <class Read>
void IfPresent(const Json& object, const std::string& at, std::string_view name, Read read) {
  const auto found = object.find(name);
  if (found != object.end()) read(*found, Member(at, name));
}

std::int64_t Integer(const Json& value, const std::string& at, std::int64_t min, std::int64_t max,
                     std::string_view alternative = {}) {
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

std::string Text(const Json& value, const std::string& at, std::string_view what = "a text") {
  if (!value.is_string()) throw Fault{at, false, "expected " + std::string(what) + ", got " + Shown(value)};
  return value.get<std::string>();
}

// A text that must not be empty, such as a name or a path.
std::string Name(const Json& value, const std::string& at, std::string_view what) {
  if (!value.is_string() || value.get_ref<const std::string&>().empty()) {
    throw Fault{at, false, "expected " + std::string(what) + ", got " + Shown(value)};
  }
  return value.get<std::string>();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
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

std::array<std::uint8_t, 6> BtAddress(const Json& value, const std::string& at) {
  const std::string expected = "expected a Bluetooth address like \"00:1A:2B:3C:4D:5E\", got " + Shown(value);
  if (!value.is_string()) throw Fault{at, false, expected};
  const auto& text = value.get_ref<const std::string&>();
  std::array<std::uint8_t, 6> address{};
  if (text.size() != 17) throw Fault{at, false, expected};
  for (std::size_t i = 0; i < address.size(); ++i) {
    const int high = HexDigit(text[3 * i]);
    const int low = HexDigit(text[3 * i + 1]);
    if (high < 0 || low < 0 || (i < 5 && text[3 * i + 2] != ':')) throw Fault{at, false, expected};
    address[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return address;
}

// A version text: characters up to U+00FF, one byte each on the device.
std::string VersionText(const Json& value, const std::string& at) {
  const std::string expected = "expected a text of characters U+0001 to U+00FF, got " + Shown(value);
  if (!value.is_string()) throw Fault{at, false, expected};
  std::string bytes;
  for (const wchar_t c : Widen(value.get_ref<const std::string&>())) {
    if (c == 0 || c > 0xFF) throw Fault{at, false, expected};
    bytes += static_cast<char>(c);
  }
  return bytes;
}

std::string VersionTextJson(const std::string& bytes) {
  std::wstring wide;
  for (const char c : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return Narrow(wide);
}

// "YYYY-MM-DDThh:mm:ss[.mmm]Z" as milliseconds since 1970.
std::optional<std::int64_t> ParseInstant(const std::string& text) {
  const bool withMs = text.size() == 24;
  if (text.size() != 20 && !withMs) return std::nullopt;
  const std::string pattern = withMs ? "dddd-dd-ddTdd:dd:dd.dddZ" : "dddd-dd-ddTdd:dd:ddZ";
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return std::nullopt;
  }
  const auto number = [&](std::size_t from, std::size_t count) {
    return static_cast<WORD>(std::stoi(text.substr(from, count)));
  };
  SYSTEMTIME time{};
  time.wYear = number(0, 4);
  time.wMonth = number(5, 2);
  time.wDay = number(8, 2);
  time.wHour = number(11, 2);
  time.wMinute = number(14, 2);
  time.wSecond = number(17, 2);
  time.wMilliseconds = withMs ? number(20, 3) : 0;
  if (!civil::IsValidSystemTime(time)) return std::nullopt;
  return civil::MsFromSystemTime(time);
}

std::string InstantText(std::int64_t ms) {
  const SYSTEMTIME t = civil::SystemTimeFromMs(ms);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  std::string result = text;
  if (t.wMilliseconds != 0) {
    std::snprintf(text, sizeof text, ".%03u", t.wMilliseconds);
    result += text;
  }
  return result + "Z";
}

pndsim::ZoneDate ReadZoneDate(const Json& value, const std::string& at) {
  RequireMembers(value, at, {"year", "month", "dayOfWeek", "day", "hour", "minute", "second", "milliseconds"},
                 "a transition date");
  pndsim::ZoneDate date;
  const auto field = [&](std::string_view name, std::uint16_t& target) {
    IfPresent(value, at, name, [&](const Json& member, const std::string& where) {
      target = static_cast<std::uint16_t>(Integer(member, where, 0, 65535));
    });
  };
  field("year", date.year);
  field("month", date.month);
  field("dayOfWeek", date.dayOfWeek);
  field("day", date.day);
  field("hour", date.hour);
  field("minute", date.minute);
  field("second", date.second);
  field("milliseconds", date.milliseconds);
  return date;
}

Json ZoneDateJson(const pndsim::ZoneDate& date) {
  return Json{{"year", date.year},           {"month", date.month},
              {"dayOfWeek", date.dayOfWeek}, {"day", date.day},
              {"hour", date.hour},           {"minute", date.minute},
              {"second", date.second},       {"milliseconds", date.milliseconds}};
}

std::string ZoneName(const Json& value, const std::string& at) {
  std::string name = Text(value, at);
  if (Widen(name).size() > kMaxZoneNameChars) {
    throw Fault{at, false, "expected a name of at most 31 characters, got " + Shown(value)};
  }
  return name;
}

TIME_ZONE_INFORMATION ZoneRecord(const pndsim::ZoneInfo& info) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = info.bias;
  zone.StandardBias = info.standardBias;
  zone.DaylightBias = info.daylightBias;
  const auto date = [](const pndsim::ZoneDate& d) {
    return SYSTEMTIME{d.year, d.month, d.dayOfWeek, d.day, d.hour, d.minute, d.second, d.milliseconds};
  };
  zone.StandardDate = date(info.standardDate);
  zone.DaylightDate = date(info.daylightDate);
  return zone;
}

pndsim::ZoneInfo ReadZoneRules(const Json& value, const std::string& at) {
  RequireMembers(value, at,
                 {"bias", "standardName", "standardDate", "standardBias", "daylightName", "daylightDate",
                  "daylightBias"},
                 "zone rules");
  pndsim::ZoneInfo zone;
  const auto bias = [&](std::string_view name, std::int32_t& target) {
    IfPresent(value, at, name, [&](const Json& member, const std::string& where) {
      target = static_cast<std::int32_t>(Integer(member, where, -kMaxBiasMinutes, kMaxBiasMinutes));
    });
  };
  bias("bias", zone.bias);
  IfPresent(value, at, "standardName",
            [&](const Json& m, const std::string& w) { zone.standardName = ZoneName(m, w); });
  IfPresent(value, at, "standardDate",
            [&](const Json& m, const std::string& w) { zone.standardDate = ReadZoneDate(m, w); });
  bias("standardBias", zone.standardBias);
  IfPresent(value, at, "daylightName",
            [&](const Json& m, const std::string& w) { zone.daylightName = ZoneName(m, w); });
  IfPresent(value, at, "daylightDate",
            [&](const Json& m, const std::string& w) { zone.daylightDate = ReadZoneDate(m, w); });
  bias("daylightBias", zone.daylightBias);
  if (!tz::IsValidZone(ZoneRecord(zone))) {
    throw Fault{at, false,
                "expected transition dates the device accepts: standardDate month 0 for no daylight time, "
                "else both dates valid"};
  }
  return zone;
}

void ReadKeys(const Json& value, const std::string& at, DeviceProfile& profile) {
  if (!value.is_array()) throw Fault{at, false, "expected an array of keys, got " + Shown(value)};
  std::vector<DeviceKey> keys;
  std::set<std::string> names;
  std::set<unsigned> codes;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string where = at + "/" + std::to_string(i);
    const Json& entry = value[i];
    RequireMembers(entry, where, {"name", "code"}, "a key with a name and a code");
    if (!entry.contains("name") || !entry.contains("code")) {
      throw Fault{where, false, "expected a key with both a \"name\" and a \"code\""};
    }
    DeviceKey key{Name(entry["name"], Member(where, "name"), "a key name"),
                  static_cast<unsigned>(Integer(entry["code"], Member(where, "code"), 1, 254))};
    if (!names.insert(key.name).second) throw Fault{Member(where, "name"), false, "key name listed twice"};
    if (!codes.insert(key.code).second) throw Fault{Member(where, "code"), false, "key code listed twice"};
    keys.push_back(std::move(key));
  }
  profile.keys = std::move(keys);
}

void ReadPower(const Json& value, const std::string& at, DeviceProfile& profile) {
  RequireMembers(value, at, {"battery", "batteryFlag", "ac"}, "power");
  IfPresent(value, at, "battery", [&](const Json& m, const std::string& w) {
    profile.power.batteryPercent =
        m.is_null() ? std::uint8_t{0xFF}
                    : static_cast<std::uint8_t>(Integer(m, w, 0, 100, ", or null for unknown"));
  });
  IfPresent(value, at, "batteryFlag", [&](const Json& m, const std::string& w) {
    profile.power.batteryFlag = static_cast<std::uint8_t>(Integer(m, w, 0, 255));
  });
  IfPresent(value, at, "ac", [&](const Json& m, const std::string& w) {
    std::string expected;
    const std::size_t count = std::size(pndsim::kAcLineNames);
    for (std::size_t i = 0; i < count; ++i) {
      const auto& [name, state] = pndsim::kAcLineNames[i];
      if (m.is_string() && m.get_ref<const std::string&>() == name) {
        profile.power.acLineStatus = static_cast<std::uint8_t>(state);
        return;
      }
      expected += std::string(i == 0 ? "" : i + 1 == count ? " or " : ", ") + "\"" + std::string(name) + "\"";
    }
    throw Fault{w, false, "expected " + expected + ", got " + Shown(m)};
  });
}

void ReadIdentity(const Json& value, const std::string& at, DeviceProfile& profile) {
  RequireMembers(value, at,
                 {"deviceId", "deviceInfo", "versionText", "versionRecord", "oemInfo", "btAddress", "flash"},
                 "identity");
  IfPresent(value, at, "deviceId", [&](const Json& id, const std::string& where) {
    RequireMembers(id, where, {"preset", "platform", "record"}, "a device identifier");
    IfPresent(id, where, "preset",
              [&](const Json& m, const std::string& w) { profile.presetId = HexBytes(m, w, 256); });
    IfPresent(id, where, "platform",
              [&](const Json& m, const std::string& w) { profile.platformId = HexBytes(m, w, 256); });
    IfPresent(id, where, "record", [&](const Json& m, const std::string& w) {
      profile.deviceIdRecord = m.is_null() ? std::nullopt : std::optional<Bytes>(HexBytes(m, w, 4096));
    });
  });
  IfPresent(value, at, "deviceInfo", [&](const Json& m, const std::string& w) {
    profile.deviceInfo = HexBytes(m, w, DEVICE_INFO_RECORD_SIZE);
    profile.deviceInfo.resize(DEVICE_INFO_RECORD_SIZE);
  });
  IfPresent(value, at, "versionText",
            [&](const Json& m, const std::string& w) { profile.versionText = VersionText(m, w); });
  IfPresent(value, at, "versionRecord", [&](const Json& m, const std::string& w) {
    profile.versionRecord = HexBytes(m, w, VERSION_RECORD_SIZE);
    profile.versionRecord.resize(VERSION_RECORD_SIZE);
  });
  IfPresent(value, at, "oemInfo", [&](const Json& m, const std::string& w) { profile.oemInfo = Text(m, w); });
  IfPresent(value, at, "btAddress",
            [&](const Json& m, const std::string& w) { profile.btAddress = BtAddress(m, w); });
  IfPresent(value, at, "flash", [&](const Json& m, const std::string& w) {
    profile.flash = HexBytes(m, w, pndsim::kFlashSize);
    profile.flash.resize(pndsim::kFlashSize);
  });
}

void ReadFiles(const Json& value, const std::string& at, DeviceProfile& profile) {
  if (!value.is_array()) throw Fault{at, false, "expected an array of files, got " + Shown(value)};
  std::vector<pndsim::FileEntry> files;
  std::set<std::wstring> seen;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string where = at + "/" + std::to_string(i);
    const Json& entry = value[i];
    RequireMembers(entry, where, {"path", "folder"}, "a file with a path");
    if (!entry.contains("path")) throw Fault{where, false, "expected a file with a \"path\""};
    pndsim::FileEntry file{Name(entry["path"], Member(where, "path"), "a path"), false};
    IfPresent(entry, where, "folder",
              [&](const Json& m, const std::string& w) { file.folder = Boolean(m, w); });
    if (!seen.insert(FoldCase(Widen(file.path))).second) {
      throw Fault{Member(where, "path"), false, "path listed twice (paths do not differ by case)"};
    }
    files.push_back(std::move(file));
  }
  profile.files = std::move(files);
}

void ReadPrograms(const Json& value, const std::string& at, DeviceProfile& profile) {
  RequireMembers(value, at, {"application", "telephone"}, "programs");
  IfPresent(value, at, "application",
            [&](const Json& m, const std::string& w) { profile.applicationPath = Name(m, w, "a path"); });
  IfPresent(value, at, "telephone", [&](const Json& phone, const std::string& where) {
    RequireMembers(phone, where, {"installed", "windowDelay", "bluetoothPower", "volumeStep", "language"},
                   "the telephone program");
    IfPresent(phone, where, "installed",
              [&](const Json& m, const std::string& w) { profile.telephoneInstalled = Boolean(m, w); });
    IfPresent(phone, where, "windowDelay", [&](const Json& m, const std::string& w) {
      profile.telephoneWindowDelay = static_cast<std::uint32_t>(Integer(m, w, 0, 600000));
    });
    IfPresent(phone, where, "bluetoothPower",
              [&](const Json& m, const std::string& w) { profile.telephoneBluetoothPower = Boolean(m, w); });
    IfPresent(phone, where, "volumeStep", [&](const Json& m, const std::string& w) {
      profile.telephoneVolumeStep = static_cast<unsigned>(Integer(m, w, 0, 10));
    });
    IfPresent(phone, where, "language", [&](const Json& m, const std::string& w) {
      profile.telephoneLanguage = static_cast<std::uint32_t>(Integer(m, w, 0, 65535));
    });
  });
}

void ReadClock(const Json& value, const std::string& at, DeviceProfile& profile) {
  RequireMembers(value, at, {"pinned", "offset"}, "the clock");
  IfPresent(value, at, "pinned", [&](const Json& m, const std::string& w) {
    if (m.is_null()) {
      profile.pinnedMs.reset();
      return;
    }
    const auto ms = m.is_string() ? ParseInstant(m.get<std::string>()) : std::nullopt;
    if (!ms) {
      throw Fault{w, false, "expected null or a UTC instant like \"2026-03-29T01:30:00Z\", got " + Shown(m)};
    }
    profile.pinnedMs = ms;
  });
  IfPresent(value, at, "offset", [&](const Json& m, const std::string& w) {
    // Far enough to reach any year the device's clock holds from any host date.
    constexpr std::int64_t kLimit = civil::kEndMs - civil::kMinMs;
    profile.clockOffsetMs = Integer(m, w, -kLimit, kLimit);
    const auto hostNow = std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const std::int64_t deviceNow = hostNow.time_since_epoch().count() + profile.clockOffsetMs;
    if (deviceNow < civil::kMinMs || deviceNow >= civil::kEndMs) {
      throw Fault{w, false, "expected an offset that keeps the device clock within the years 1601 to 30827"};
    }
  });
  if (profile.pinnedMs && profile.clockOffsetMs != 0) {
    throw Fault{Member(at, "offset"), false,
                "expected 0 while the clock is pinned, got " + std::to_string(profile.clockOffsetMs)};
  }
}

void ReadZone(const Json& value, const std::string& at, DeviceProfile& profile) {
  if (value.is_object()) {
    profile.zoneRules = ReadZoneRules(value, at);
    profile.zoneChoice = ZoneChoice::Rules;
    return;
  }
  if (value.is_string() && value.get_ref<const std::string&>() == "host") {
    profile.zoneChoice = ZoneChoice::Host;
    return;
  }
  if (!value.is_string() || !tz::LoadRule(value.get_ref<const std::string&>())) {
    throw Fault{at, false,
                "expected \"host\", a tz database name, a POSIX TZ rule or zone rules, got " + Shown(value)};
  }
  profile.zoneName = value.get<std::string>();
  profile.zoneChoice = ZoneChoice::Named;
}

void Read(const Json& document, DeviceProfile& profile) {
  const std::string root;
  RequireMembers(document, root,
                 {"keys", "power", "backlight", "volume", "screen", "cards", "identity", "calibration",
                  "memory", "files", "programs", "clock", "zone"},
                 "a device profile");
  IfPresent(document, root, "keys", [&](const Json& m, const std::string& w) { ReadKeys(m, w, profile); });
  IfPresent(document, root, "power", [&](const Json& m, const std::string& w) { ReadPower(m, w, profile); });
  IfPresent(document, root, "backlight", [&](const Json& m, const std::string& w) {
    RequireMembers(m, w, {"level"}, "the backlight");
    IfPresent(m, w, "level", [&](const Json& level, const std::string& where) {
      profile.backlightLevel = static_cast<unsigned>(Integer(level, where, 0, 255));
    });
  });
  IfPresent(document, root, "volume", [&](const Json& m, const std::string& w) {
    RequireMembers(m, w, {"left", "right"}, "the volume");
    IfPresent(m, w, "left", [&](const Json& v, const std::string& where) {
      profile.volumeLeft = static_cast<std::uint16_t>(Integer(v, where, 0, 65535));
    });
    IfPresent(m, w, "right", [&](const Json& v, const std::string& where) {
      profile.volumeRight = static_cast<std::uint16_t>(Integer(v, where, 0, 65535));
    });
  });
  IfPresent(document, root, "screen", [&](const Json& m, const std::string& w) {
    RequireMembers(m, w, {"width", "height"}, "the screen");
    IfPresent(m, w, "width", [&](const Json& v, const std::string& where) {
      profile.screenWidth = static_cast<int>(Integer(v, where, 0, 32767));
    });
    IfPresent(m, w, "height", [&](const Json& v, const std::string& where) {
      profile.screenHeight = static_cast<int>(Integer(v, where, 0, 32767));
    });
  });
  IfPresent(document, root, "cards", [&](const Json& m, const std::string& w) {
    if (!m.is_array()) throw Fault{w, false, "expected an array of folder names, got " + Shown(m)};
    std::vector<std::string> cards;
    for (std::size_t i = 0; i < m.size(); ++i) {
      const std::string where = w + "/" + std::to_string(i);
      std::string name = Name(m[i], where, "a folder name of 1 to 260 characters");
      if (Widen(name).size() > kMaxCardNameChars) {
        throw Fault{where, false, "expected a folder name of 1 to 260 characters, got " + Shown(m[i])};
      }
      if (std::find(cards.begin(), cards.end(), name) != cards.end()) {
        throw Fault{where, false, "card listed twice"};
      }
      cards.push_back(std::move(name));
    }
    profile.cards = std::move(cards);
  });
  IfPresent(document, root, "identity",
            [&](const Json& m, const std::string& w) { ReadIdentity(m, w, profile); });
  IfPresent(document, root, "calibration", [&](const Json& m, const std::string& w) {
    RequireMembers(m, w, {"registry", "data"}, "the calibration");
    IfPresent(m, w, "registry", [&](const Json& v, const std::string& where) {
      profile.calibrationText =
          v.is_null() ? std::nullopt : std::optional<std::string>(Text(v, where, "a text or null"));
    });
    IfPresent(m, w, "data", [&](const Json& v, const std::string& where) {
      profile.calibrationData = HexBytes(v, where, 0x40000);
    });
  });
  IfPresent(document, root, "memory", [&](const Json& m, const std::string& w) {
    RequireMembers(m, w, {"storePages", "ramPages", "pageSize", "storeUsedBytes", "ramUsedBytes"},
                   "the memory");
    const auto field = [&](std::string_view name, std::uint32_t& target) {
      IfPresent(m, w, name, [&](const Json& v, const std::string& where) {
        target = static_cast<std::uint32_t>(Integer(v, where, 0, std::numeric_limits<std::uint32_t>::max()));
      });
    };
    field("storePages", profile.memory.storePages);
    field("ramPages", profile.memory.ramPages);
    field("pageSize", profile.memory.pageSize);
    field("storeUsedBytes", profile.memory.storeUsedBytes);
    field("ramUsedBytes", profile.memory.ramUsedBytes);
  });
  IfPresent(document, root, "files", [&](const Json& m, const std::string& w) { ReadFiles(m, w, profile); });
  IfPresent(document, root, "programs",
            [&](const Json& m, const std::string& w) { ReadPrograms(m, w, profile); });
  IfPresent(document, root, "clock", [&](const Json& m, const std::string& w) { ReadClock(m, w, profile); });
  IfPresent(document, root, "zone", [&](const Json& m, const std::string& w) { ReadZone(m, w, profile); });
}

}  // namespace

std::optional<pndsim::ProfileError> ReadProfile(const PositionedJson& document, std::string_view source,
                                                DeviceProfile& profile) {
  try {
    Read(document.Document(), profile);
  } catch (const Fault& fault) {
    const TextPosition position = fault.atName ? document.NameAt(fault.field) : document.ValueAt(fault.field);
    return pndsim::ProfileError{std::string(source), position.line, position.column, fault.field,
                                fault.message};
  }
  return std::nullopt;
}

Json WriteProfile(const DeviceProfile& profile) {
  Json keys = Json::array();
  for (const DeviceKey& key : profile.keys) keys.push_back(Json{{"name", key.name}, {"code", key.code}});
  Json ac = profile.power.acLineStatus;
  if (const std::string_view name = pndsim::NameOf(pndsim::kAcLineNames, profile.power.acLineStatus);
      !name.empty()) {
    ac = name;
  }
  Json battery = profile.power.batteryPercent;
  if (profile.power.batteryPercent == 0xFF) battery = nullptr;
  char address[18];
  const auto& a = profile.btAddress;
  std::snprintf(address, sizeof address, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
  Json files = Json::array();
  for (const pndsim::FileEntry& file : profile.files) {
    files.push_back(Json{{"path", file.path}, {"folder", file.folder}});
  }
  Json zone = "host";
  if (profile.zoneChoice == ZoneChoice::Named) zone = profile.zoneName;
  if (profile.zoneChoice == ZoneChoice::Rules) {
    const pndsim::ZoneInfo& rules = profile.zoneRules;
    zone = Json{{"bias", rules.bias},
                {"standardName", rules.standardName},
                {"standardDate", ZoneDateJson(rules.standardDate)},
                {"standardBias", rules.standardBias},
                {"daylightName", rules.daylightName},
                {"daylightDate", ZoneDateJson(rules.daylightDate)},
                {"daylightBias", rules.daylightBias}};
  }
  const pndsim::MemoryDivision& memory = profile.memory;
  return Json{{"keys", keys},
              {"power", {{"battery", battery}, {"batteryFlag", profile.power.batteryFlag}, {"ac", ac}}},
              {"backlight", {{"level", profile.backlightLevel}}},
              {"volume", {{"left", profile.volumeLeft}, {"right", profile.volumeRight}}},
              {"screen", {{"width", profile.screenWidth}, {"height", profile.screenHeight}}},
              {"cards", profile.cards},
              {"identity",
               {{"deviceId",
                 {{"preset", HexText(profile.presetId, false)},
                  {"platform", HexText(profile.platformId, false)},
                  {"record",
                   profile.deviceIdRecord ? Json(HexText(*profile.deviceIdRecord, false)) : Json(nullptr)}}},
                {"deviceInfo", HexText(profile.deviceInfo, true)},
                {"versionText", VersionTextJson(profile.versionText)},
                {"versionRecord", HexText(profile.versionRecord, true)},
                {"oemInfo", profile.oemInfo},
                {"btAddress", address},
                {"flash", HexText(profile.flash, true)}}},
              {"calibration",
               {{"registry", profile.calibrationText ? Json(*profile.calibrationText) : Json(nullptr)},
                {"data", HexText(profile.calibrationData, false)}}},
              {"memory",
               {{"storePages", memory.storePages},
                {"ramPages", memory.ramPages},
                {"pageSize", memory.pageSize},
                {"storeUsedBytes", memory.storeUsedBytes},
                {"ramUsedBytes", memory.ramUsedBytes}}},
              {"files", files},
              {"programs",
               {{"application", profile.applicationPath},
                {"telephone",
                 {{"installed", profile.telephoneInstalled},
                  {"windowDelay", profile.telephoneWindowDelay},
                  {"bluetoothPower", profile.telephoneBluetoothPower},
                  {"volumeStep", profile.telephoneVolumeStep},
                  {"language", profile.telephoneLanguage}}}}},
              {"clock",
               {{"pinned", profile.pinnedMs ? Json(InstantText(*profile.pinnedMs)) : Json(nullptr)},
                {"offset", profile.clockOffsetMs}}},
              {"zone", zone}};
}

}  // namespace sim::profile
