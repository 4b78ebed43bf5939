// Controls and observations of the simulated device's identity: the identifier, information and version
// records, the OEM text and touch calibration.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pndsim/control.h"
// The files, the shell and the memory division have headers of their own; code written when this header
// declared them keeps compiling.
#include "pndsim/files.h"
#include "pndsim/memory.h"
#include "pndsim/shell.h"

namespace pndsim {

/// Builds the device-identifier record from the preset and the platform
/// identifier bytes: the 20-byte head, then both identifiers. An empty preset
/// identifier gets offset 0.
PNDSIM_CONTROL_API void SetDeviceId(std::span<const std::uint8_t> preset,
                                    std::span<const std::uint8_t> platform);
/// Replaces the device-identifier record with exactly `record`, offsets and
/// sizes as given (so a test can store a malformed one).
PNDSIM_CONTROL_API void SetDeviceIdRecord(std::span<const std::uint8_t> record);
/// The device-identifier record the control code answers.
PNDSIM_CONTROL_API std::vector<std::uint8_t> DeviceIdRecord();

/// Replaces the 580-byte device-information record; shorter input is padded
/// with zeros, longer input cut.
PNDSIM_CONTROL_API void SetDeviceInfoRecord(std::span<const std::uint8_t> record);
/// The 580-byte device-information record.
PNDSIM_CONTROL_API std::vector<std::uint8_t> DeviceInfoRecord();

/// Replaces the version text's bytes (one byte a character; a terminator is
/// not added).
PNDSIM_CONTROL_API void SetVersionText(std::span<const std::uint8_t> bytes);
/// The version text's bytes as the control code answers them.
PNDSIM_CONTROL_API std::vector<std::uint8_t> VersionText();
/// The 174-byte version record.
PNDSIM_CONTROL_API std::vector<std::uint8_t> VersionRecord();
/// Replaces the 174-byte version record; shorter input is padded with zeros,
/// longer input cut.
PNDSIM_CONTROL_API void SetVersionRecord(std::span<const std::uint8_t> record);

/// The OEM information text (UTF-8).
PNDSIM_CONTROL_API std::string OemInfo();
/// Sets the OEM information text (UTF-8).
PNDSIM_CONTROL_API void SetOemInfo(const std::string& text);

/// The calibration data the device holds and answers to a read request:
/// the last buffer sent, or the device's own data before any was sent.
PNDSIM_CONTROL_API std::vector<std::uint8_t> CalibrationData();
/// Replaces the calibration data the device holds, as if it came with it;
/// not counted as sent.
PNDSIM_CONTROL_API void SetCalibrationData(std::span<const std::uint8_t> bytes);

/// Bytes of the last calibration buffer sent to the device, as many as the
/// sender declared; empty when none was sent since the last reset.
PNDSIM_CONTROL_API std::vector<std::uint8_t> SentCalibration();
/// How often the interactive touch calibration ran since the last reset.
PNDSIM_CONTROL_API int TouchCalibrationCount();

}  // namespace pndsim
