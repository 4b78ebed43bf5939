// The pndhal tool's commands, each registered by the file that implements it,
// and the parts of the tour that live beside the commands they share code with.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>

#include "json_output.h"

namespace tool {

/// Adds `tour`: starts the HAL on the default simulated device, walks through
/// a short scenario and prints every platform action and listener call. Exit
/// code 1 when a listener call or the telephone program's answer is missing.
void AddTourCommand(CLI::App& app);

/// Adds `info`: power, display, audio and identity as the HAL reports them.
void AddInfoCommand(CLI::App& app);

/// Adds `keys`: the HAL's key map and the hot keys registered on the device.
void AddKeysCommand(CLI::App& app);

/// Adds `time`: the device's UTC and local time, the current zone and its
/// descriptor.
void AddTimeCommand(CLI::App& app);

/// Adds `zones`: the zone database as the HAL reads it.
void AddZonesCommand(CLI::App& app);

/// Adds `phone`: launches the phone link with the simulated telephone
/// program, applies `--call` and `--power` and shows the link's state. Exit
/// code 1 when the telephone program does not answer.
void AddPhoneCommand(CLI::App& app);

/// The tour's device part on a running HAL: battery and AC changes, a
/// backlight fade, a volume change and a suspend/resume, each as the
/// listeners receive it. Frees the HAL. False when a listener call is missing.
bool TourDeviceServices();

/// The tour's storage-card part on a running HAL: cards mounted and removed
/// as a card listener receives them. False when a listener call is missing.
bool TourStorageCards();

/// A readable name of a phone-link call status (-1 to 5); "?" for others.
const char* CallStatusName(int status);

/// Prints the device identifier, every device-information string, the
/// Bluetooth address and the memory figures, one line each.
void PrintIdentity();

/// Adds the same figures as `PrintIdentity` to `info` as members: `deviceId`,
/// `deviceInfo`, `bluetoothMac` (null where the HAL answered false) and `memory`.
void AddIdentity(Json& info);

/// Prints the platform actions recorded since the last call, indented.
void PrintNewTrace(std::FILE* out);

}  // namespace tool
