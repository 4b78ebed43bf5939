// The profile concern's face: the device profile as a value (every piece of state a profile document sets),
// the built-in profile every device model starts from and returns to at reset, and profiles read from and
// written to text. The JSON document itself stays inside the concern (device_profile.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pndsim/clock.h"
#include "pndsim/files.h"
#include "pndsim/memory.h"
#include "pndsim/power.h"
#include "pndsim/profile.h"

namespace sim::profile {

using Bytes = std::vector<std::uint8_t>;

/// One hardware key of the device.
struct DeviceKey {
  std::string name;
  unsigned code = 0;
};

/// How the profile chooses the current time zone.
enum class ZoneChoice { Host, Named, Rules };

/// Everything a profile sets, in the units of the control API.
struct DeviceProfile {
  std::vector<DeviceKey> keys;
  pndsim::PowerStatus power{};
  unsigned backlightLevel = 0;
  std::uint16_t volumeLeft = 0;
  std::uint16_t volumeRight = 0;
  int screenWidth = 0;
  int screenHeight = 0;
  std::vector<std::string> cards;
  Bytes presetId;
  Bytes platformId;
  std::optional<Bytes> deviceIdRecord;  // exactly these bytes instead of the record built from the ids
  Bytes deviceInfo;
  std::string versionText;  // one character a byte, without the terminator the device adds
  Bytes versionRecord;
  std::string oemInfo;
  std::array<std::uint8_t, 6> btAddress{};
  Bytes flash;
  std::optional<std::string> calibrationText;  // the registry's calibration value; none: no value
  Bytes calibrationData;
  pndsim::MemoryDivision memory{};
  std::vector<pndsim::FileEntry> files;
  std::string applicationPath;
  bool telephoneInstalled = false;
  std::uint32_t telephoneWindowDelay = 0;
  bool telephoneBluetoothPower = false;
  unsigned telephoneVolumeStep = 0;
  std::uint32_t telephoneLanguage = 0;
  std::optional<std::int64_t> pinnedMs;  // UTC milliseconds since 1970
  std::int64_t clockOffsetMs = 0;
  ZoneChoice zoneChoice = ZoneChoice::Host;
  std::string zoneName;
  pndsim::ZoneInfo zoneRules;
};

/// The built-in profile (default_profile.json, embedded at build time), read once on first use. Each device
/// model takes its state from it when it is made and again at every reset.
const DeviceProfile& BuiltInProfile();

/// Reads the profile document `text` over `profile`, as ReadProfile does (each member present replaces what
/// `profile` holds); a syntax error or the first fault in the document is returned, named after `source`.
std::optional<pndsim::ProfileError> ReadProfileText(std::string_view text, std::string_view source,
                                                    DeviceProfile& profile);

/// `profile` as the text of a profile document, indented by two and ending in a line break.
std::string ProfileText(const DeviceProfile& profile);

/// True when the two zones are written the same in a profile document.
bool SameZoneRules(const pndsim::ZoneInfo& a, const pndsim::ZoneInfo& b);

}  // namespace sim::profile
