// The identity concern's face: how the simulated device lays out its device-identifier record (the 20-byte
// head, then the preset and the platform identifier), and the profile sections the concern owns, whose
// built-in values the vendor data and the registry start from too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/profile/profile.h"

namespace sim {

/// The record built from `preset` and `platform`; an empty identifier gets offset 0.
std::vector<std::uint8_t> DeviceIdRecord(std::span<const std::uint8_t> preset,
                                         std::span<const std::uint8_t> platform);

/// What a profile's "identity" member sets: the device's records and texts, and the vendor library's
/// Bluetooth address and flash area.
struct IdentitySetting {
  profile::Bytes presetId;
  profile::Bytes platformId;
  std::optional<profile::Bytes>
      deviceIdRecord;  // exactly these bytes instead of the record built from the ids
  profile::Bytes deviceInfo;
  std::string versionText;  // one character a byte, without the terminator the device adds
  profile::Bytes versionRecord;
  std::string oemInfo;
  std::array<std::uint8_t, 6> btAddress{};
  profile::Bytes flash;
};

/// What a profile's "calibration" member sets: the touch controller's calibration points in the registry
/// and the calibration data the device answers.
struct CalibrationSetting {
  std::optional<std::string> registryText;  // none: no registry value
  profile::Bytes data;
};

/// The profile's "identity" member.
extern const profile::Section<IdentitySetting> kIdentitySection;
/// The profile's "calibration" member.
extern const profile::Section<CalibrationSetting> kCalibrationSection;

}  // namespace sim
