// The device profile as a value: every piece of state a profile document sets, read from a document
// with full checks and written back to one.
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
#include "sim/profile/positioned_json.h"

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

/// Reads `document` over `profile`: each member present replaces what `profile` holds; a list
/// replaces the whole list. Checks every member; the first fault found, in document order, is
/// returned with its position, and `profile` is then partly changed.
std::optional<pndsim::ProfileError> ReadProfile(const PositionedJson& document, std::string_view source,
                                                DeviceProfile& profile);

/// `profile` as a profile document, members in the order the documentation lists them.
Json WriteProfile(const DeviceProfile& profile);

}  // namespace sim::profile
