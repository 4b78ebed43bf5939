// The system's current zone and its zone database, read as descriptors.
#include "time/zone_database.h"

#include "ce/registry.h"
#include "ce/utf16.h"
#include "time/zone_rules.h"

namespace time_services {
namespace {

constexpr DWORD kTziBytes = 44;
constexpr std::size_t kNameChars = 512;

struct RegistryKey {
  HKEY key = nullptr;
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key != nullptr) RegCloseKey(key);
  }
};

// Reads the "Display" text of a database zone into `out`; empty when missing or not a string. False when
// the text's memory cannot be had.
bool ReadDisplayName(HKEY zoneKey, String::StringProxy<String::ZuStringImpl>& out) {
  BYTE bytes[kNameChars * 2] = {};
  DWORD size = sizeof bytes;
  DWORD type = REG_NONE;
  if (RegQueryValueExW(zoneKey, L"Display", nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return out.Assign(L"");
  }
  wchar_t text[kNameChars];
  ce::Utf16BytesToWide(bytes, size, text, kNameChars);
  return out.Assign(text);
}

}  // namespace

int CurrentUtcYear() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  return now.wYear;
}

WalkEnd WalkZoneDatabase(const wchar_t* key, int year, REG_TZI_FORMAT& tzi,
                         String::StringProxy<String::ZuStringImpl>& display, ZoneVisitor& visitor) {
  for (DWORD index = 0;; ++index) {
    RegistryKey database;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &database.key) !=
        ERROR_SUCCESS) {
      return WalkEnd::kNoMoreZones;
    }
    wchar_t name[kNameChars];
    DWORD nameChars = kNameChars;
    RegistryKey zoneKey;
    if (RegEnumKeyExW(database.key, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS ||
        RegOpenKeyExW(database.key, name, 0, KEY_QUERY_VALUE, &zoneKey.key) != ERROR_SUCCESS) {
      return WalkEnd::kNoMoreZones;
    }
    DWORD type = REG_NONE;
    DWORD size = kTziBytes;
    if (RegQueryValueExW(zoneKey.key, L"TZI", nullptr, &type, reinterpret_cast<BYTE*>(&tzi), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size != kTziBytes) {
      return WalkEnd::kBadTzi;  // a short value would leave part of the record unread
    }
    if (!ReadDisplayName(zoneKey.key, display)) return WalkEnd::kOutOfMemory;
    wchar_t descriptor[kDescriptorChars];
    FormatZoneDescriptor(descriptor, kDescriptorChars, tzi, year);
    if (!visitor.Zone(name, display.c_str(), descriptor)) return WalkEnd::kOutOfMemory;
  }
}

bool CurrentZoneDescriptor(wchar_t* out, std::size_t capacity, int year,
                           String::StringProxy<String::ZuStringImpl>& daylightName) {
  TIME_ZONE_INFORMATION information{};
  const DWORD answer = GetTimeZoneInformation(&information);
  if (answer != TIME_ZONE_ID_UNKNOWN && answer != TIME_ZONE_ID_STANDARD && answer != TIME_ZONE_ID_DAYLIGHT) {
    return false;
  }
  information.DaylightName[31] = L'\0';
  if (!daylightName.Assign(information.DaylightName)) return false;
  // Built as a database zone is, whatever time is in force now: the base is
  // the standard offset and the windows add the daylight shift, so the zone's
  // offset is the device's local time minus UTC all year.
  REG_TZI_FORMAT record{};
  record.Bias = information.Bias;
  record.StandardBias = information.StandardBias;
  record.DaylightBias = information.DaylightBias;
  record.StandardDate = information.StandardDate;
  record.DaylightDate = information.DaylightDate;
  FormatZoneDescriptor(out, capacity, record, year);
  return true;
}

}  // namespace time_services
