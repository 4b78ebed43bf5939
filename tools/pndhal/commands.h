// The sub-commands of the pndhal tool. Each returns the process exit code.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tool {

/// Starts the HAL on the default simulated device, walks through a short
/// scenario and prints every platform action and listener call.
int Tour(const std::vector<std::string>& args);

/// Prints the device's UTC and local time, the current zone and its
/// descriptor (`--json` for JSON).
int Time(const std::vector<std::string>& args);

/// Prints the zone database as the HAL reads it (`--json` for JSON).
int Zones(const std::vector<std::string>& args);

/// Prints power, display, audio and identity as the HAL reports them
/// (`--json` for JSON).
int Info(const std::vector<std::string>& args);

/// The tour's device part on a running HAL: battery and AC changes, a
/// backlight fade, a volume change and a suspend/resume, each as the
/// listeners receive it. Frees the HAL. False when a listener call is missing.
bool TourDeviceServices();

/// Launches the phone link with the simulated telephone program, applies
/// `--call` and `--power`, and prints the link's state (`--json` for JSON).
int Phone(const std::vector<std::string>& args);

/// A readable name of a phone-link call status (-1 to 5).
const char* CallStatusName(int status);

/// The tour's storage-card part on a running HAL: cards mounted and removed
/// as a card listener receives them. False when a listener call is missing.
bool TourStorageCards();

/// Prints the device identifier, every device-information string, the
/// Bluetooth address and the memory figures; with `json`, as the members of
/// the `info` object (each line but the last ending in a comma).
void PrintIdentity(bool json);

/// Prints the platform actions recorded since the last call, indented.
void PrintNewTrace(std::FILE* out);

}  // namespace tool
