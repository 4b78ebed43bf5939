// Controls and observations of the simulated device's identity and system
// services: the identifier, information and version records, the OEM text,
// touch calibration, the files that exist, the programs the shell started and
// the division of memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pndsim/control.h"

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

/// Creates the file (or, with `folder`, the folder) `path` (UTF-8, for example
/// "\\Windows\\tcontacts.exe"); an existing entry is replaced.
PNDSIM_CONTROL_API void SetFile(const std::string& path, bool folder = false);
/// Deletes a file or folder; false when it does not exist.
PNDSIM_CONTROL_API bool RemoveFile(const std::string& path);

/// One file or folder that exists.
struct FileEntry {
  std::string path;     ///< UTF-8, as last created
  bool folder = false;  ///< a folder rather than a file
};
/// The files and folders that exist, in order of their paths compared
/// without regard to case.
PNDSIM_CONTROL_API std::vector<FileEntry> Files();

/// One program the shell started.
struct ShellLaunch {
  std::string file;        ///< the file as asked, for example "tcontacts.exe"
  std::string parameters;  ///< the parameters as passed
  std::string verb;        ///< "Open", ...
  std::uint32_t mask;      ///< the record's mask
  int show;                ///< the show command
};
/// The programs the shell started since the last reset, in order.
PNDSIM_CONTROL_API std::vector<ShellLaunch> ShellLaunches();

/// The division of memory between object store and programs.
struct MemoryDivision {
  std::uint32_t storePages;      ///< pages given to the object store
  std::uint32_t ramPages;        ///< pages given to programs
  std::uint32_t pageSize;        ///< bytes per page
  std::uint32_t storeUsedBytes;  ///< bytes the object store's files take
  std::uint32_t ramUsedBytes;    ///< bytes programs take
};
/// The current division.
PNDSIM_CONTROL_API MemoryDivision Memory();
/// Replaces the division and usage wholesale, without checks, so a test can
/// set figures the system would never report.
PNDSIM_CONTROL_API void SetMemory(const MemoryDivision& memory);
/// The store-page counts asked for through SetSystemMemoryDivision since the
/// last reset, in order, including refused ones.
PNDSIM_CONTROL_API std::vector<std::uint32_t> MemoryDivisionRequests();

}  // namespace pndsim
