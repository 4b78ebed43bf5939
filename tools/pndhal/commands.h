// The pndhal tool's commands, each registered by the file that implements it,
// and what commands share.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "json_output.h"

namespace tool {

/// Adds `tour`: plays the built-in tour scenario on the simulated device,
/// printing every platform action and listener call, then a summary. Exit
/// code 1 when a listener call is missing or different.
void AddTourCommand(CLI::App& app);

/// Adds `run`: plays scenario scripts. Exit code 1 at an unmet expectation,
/// 2 for a script that does not parse.
void AddRunCommand(CLI::App& app);

/// Adds `profile`: prints the built-in device profile, or checks one.
void AddProfileCommand(CLI::App& app);

/// Adds `devices`: the running simulated devices whose console is open.
void AddDevicesCommand(CLI::App& app);

/// Adds `console`: a session with a running device's console, or one command.
void AddConsoleCommand(CLI::App& app);

/// Adds `panel`: serves a running device's panel, a page on the loopback
/// that shows the device and drives it, until interrupted or until the
/// device goes away (docs/panel.md).
void AddPanelCommand(CLI::App& app);

/// Adds `info`: power, display, audio and identity as the HAL reports them.
void AddInfoCommand(CLI::App& app);

/// Adds `keys`: the HAL's key map and the hot keys registered on the device.
void AddKeysCommand(CLI::App& app);

/// Adds `time`: the device's UTC and local time, the current zone and its
/// descriptor.
void AddTimeCommand(CLI::App& app);

/// Adds `zones`: the zone database as the HAL reads it.
void AddZonesCommand(CLI::App& app);

/// Adds `help [COMMAND]`: the tool's help, or a command's, on stdout, as
/// `--help` gives them. Add it last: it knows the commands added before it.
void AddHelpCommand(CLI::App& app);

/// Adds `phone`: launches the phone link with the simulated telephone
/// program, applies `--call` and `--power` and shows the link's state. Exit
/// code 1 when the telephone program does not answer.
void AddPhoneCommand(CLI::App& app);

/// Prints the device identifier, every device-information string, the
/// Bluetooth address and the memory figures, one line each.
void PrintIdentity();

/// Prints one line of `info`: the label (what the value is, and the call
/// that reports it) in a column of its own, then the value.
void PrintField(const std::string& label, const std::string& value);

/// Adds the same figures as `PrintIdentity` to `info` as members: `deviceId`,
/// `deviceInfo`, `bluetoothMac` (null where the HAL answered false) and `memory`.
void AddIdentity(Json& info);

}  // namespace tool
