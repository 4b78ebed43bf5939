// The records and enumerations the HAL exchanges with the application.
#pragma once

#include <cstdint>

#include "pndhal/named_value.h"
#include "pndhal/zu_string.h"

/// The application's key codes, into which the key map translates the
/// device's virtual-key codes.
enum eHardwareKey : std::int32_t {
  eHardwareKeyUp = 0,         ///< Up arrow (virtual key 0x26)
  eHardwareKeyDown = 1,       ///< Down arrow (0x28)
  eHardwareKeyRight = 2,      ///< Right arrow (0x27)
  eHardwareKeyLeft = 3,       ///< Left arrow (0x25)
  eHardwareKeyEnter = 4,      ///< Return (0x0D)
  eHardwareKeyDevice5 = 5,    ///< device key 0xC3
  eHardwareKeyDevice6 = 6,    ///< device key 0xC1
  eHardwareKeyDevice7 = 7,    ///< device key 0xC2
  eHardwareKeyDevice8 = 8,    ///< device key 0xC5
  eHardwareKeyF6 = 10,        ///< F6 (0x75)
  eHardwareKeyF7 = 11,        ///< F7 (0x76)
  eHardwareKeyF8 = 12,        ///< F8 (0x77) in the extended device table
  eHardwareKeyDevice16 = 16,  ///< device key 0xC4 (also F9, 0x78, in the extended table)
  eHardwareKeyDevice24 = 24,  ///< device key 0xC6 in the extended table
  eHardwareKeyDevice25 = 25,
  eHardwareKeyDevice26 = 26,
  eHardwareKeyDevice27 = 27,
  eHardwareKeyUnmapped = 28,  ///< any virtual key without an entry in the key map
};

namespace pndhal {
/// The words of the application's key codes (eHardwareKey).
inline constexpr NamedValue kApplicationKeyNames[] = {{"Up", eHardwareKeyUp},
                                                      {"Down", eHardwareKeyDown},
                                                      {"Right", eHardwareKeyRight},
                                                      {"Left", eHardwareKeyLeft},
                                                      {"Enter", eHardwareKeyEnter},
                                                      {"Device5", eHardwareKeyDevice5},
                                                      {"Device6", eHardwareKeyDevice6},
                                                      {"Device7", eHardwareKeyDevice7},
                                                      {"Device8", eHardwareKeyDevice8},
                                                      {"F6", eHardwareKeyF6},
                                                      {"F7", eHardwareKeyF7},
                                                      {"F8", eHardwareKeyF8},
                                                      {"Device16", eHardwareKeyDevice16},
                                                      {"Device24", eHardwareKeyDevice24},
                                                      {"Device25", eHardwareKeyDevice25},
                                                      {"Device26", eHardwareKeyDevice26},
                                                      {"Device27", eHardwareKeyDevice27},
                                                      {"Unmapped", eHardwareKeyUnmapped}};
}  // namespace pndhal

/// The power source and charge a PMPowerInfo reports in `powerState`.
enum ePowerState : std::uint32_t {
  ePowerStateBattery = 0,   ///< on battery
  ePowerStateExternal = 1,  ///< external power, no battery
  ePowerStateCharging = 2,  ///< external power, charging
  ePowerStateFull = 3,      ///< external power with a full battery, or battery state unknown
};

namespace pndhal {
/// The words of the power source and charge of a power report (ePowerState).
inline constexpr NamedValue kPowerStateNames[] = {{"battery", ePowerStateBattery},
                                                  {"external", ePowerStateExternal},
                                                  {"charging", ePowerStateCharging},
                                                  {"full", ePowerStateFull}};
}  // namespace pndhal

/// Battery and power-source state, filled by PMGetPowerInfo.
struct PMPowerInfo {
  /// Battery charge in percent as the system reports it (255: unknown).
  std::uint32_t batteryLevel;
  /// An ePowerState value.
  std::uint32_t powerState;
};

/// The screen's orientation a DisplayInfo reports.
enum eOrientation : std::uint32_t {
  eOrientationPortrait = 0,   ///< width < height
  eOrientationLandscape = 1,  ///< width > height
  eOrientationSquare = 2,
};

namespace pndhal {
/// The words of the screen's orientation (eOrientation).
inline constexpr NamedValue kOrientationNames[] = {
    {"portrait", eOrientationPortrait}, {"landscape", eOrientationLandscape}, {"square", eOrientationSquare}};
}  // namespace pndhal

/// Screen orientation and resolution, filled by GetScreenOrientation.
struct DisplayInfo {
  std::uint32_t orientation;  ///< an eOrientation value
  std::uint32_t width;        ///< pixels
  std::uint32_t height;       ///< pixels
};

/// The kind of card a CardInfo reports, from its folder's name.
enum eCardType : std::int32_t {
  eCardTypeSD = 0,     ///< "SD-Karte..." or "\\Storage Card..."
  eCardTypeCF = 1,     ///< "CF-Karte..."
  eCardTypeOther = 3,  ///< any other folder
};

namespace pndhal {
/// The words of the storage-card kinds (eCardType).
inline constexpr NamedValue kCardTypeNames[] = {
    {"sd", eCardTypeSD}, {"cf", eCardTypeCF}, {"other", eCardTypeOther}};
}  // namespace pndhal

/// A storage card folder that was mounted or removed.
struct CardInfo {
  std::int32_t cardType;                           ///< an eCardType value
  String::StringProxy<String::ZuStringImpl> path;  ///< the folder name as mounted
  bool removed;                                    ///< false when mounted, true when removed
};

/// Selects the device-information text GetDeviceInfo returns.
enum eDeviceInfoID : std::int32_t {
  eDeviceInfoOEM = 4,     ///< the OEM information text
  eDeviceInfoValue5 = 5,  ///< 16-bit value of the device-information record
  eDeviceInfoText6 = 6,   ///< text field of the device-information record
  eDeviceInfoValue7 = 7,
  eDeviceInfoText8 = 8,
  eDeviceInfoValue9 = 9,
  eDeviceInfoText10 = 10,
  eDeviceInfoText11 = 11,
  eDeviceInfoValue12 = 12,  ///< 32-bit value
  eDeviceInfoValue13 = 13,  ///< 32-bit value
  eDeviceInfoValue14 = 14,
  eDeviceInfoVersion = 15,  ///< the device's version text
};

/// Dynamic-range control of the FM transmitter. This device has no FM
/// transmitter; the record is passed through unchanged.
struct FMDRCSetting {
  std::uint32_t threshold;
  std::uint32_t attackTime;
  std::uint32_t releaseTime;
  bool enabled;
};

/// The report a volume listener receives: the master volume in percent and
/// whether the output is muted.
struct VolumeInfo {
  unsigned char volume;
  bool muted;
};
static_assert(sizeof(VolumeInfo) == 2, "the volume report is two bytes");
