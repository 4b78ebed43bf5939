// The device's own control codes of the kernel I/O control call (declared in ce/power.h) and the sizes of
// the records they return. The device defines them, not the system, so every build of the HAL shares this
// header as it is.
#pragma once

#include "ce/types.h"

// Backlight: the raw level is read when the input size is BACKLIGHT_READ_REQUEST, else written.
inline constexpr DWORD IOCTL_BACKLIGHT = 0x01013E9C;
inline constexpr DWORD BACKLIGHT_READ_REQUEST = 9;

inline constexpr DWORD IOCTL_HAL_GET_DEVICE_RECORD = 0x01010064;   // the 580-byte information record
inline constexpr DWORD IOCTL_HAL_GET_VERSION_TEXT = 0x01012008;    // the version text, one byte a character
inline constexpr DWORD IOCTL_HAL_SET_CALIBRATION = 0x01012014;     // marker 55 AA 55 AA, then the text
inline constexpr DWORD IOCTL_HAL_GET_CALIBRATION = 0x01012018;     // the calibration data the device holds
inline constexpr DWORD IOCTL_HAL_GET_VERSION_RECORD = 0x01012BC8;  // the 174-byte version record

inline constexpr DWORD DEVICE_INFO_RECORD_SIZE = 580;
inline constexpr DWORD VERSION_RECORD_SIZE = 174;
