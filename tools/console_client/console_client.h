// The tool's console commands over the console client (<pndconsole/client.h>): `pndhal devices` and
// `pndhal console`.
#pragma once

#include <optional>
#include <string>

#include "pndconsole/client.h"

namespace pndconsole {

/// `pndhal devices`: prints the running devices (a table, or a JSON array with `json`); returns the exit
/// status.
int RunDevicesCommand(bool json);

/// `pndhal console [DEVICE] [-c COMMAND]`: with `command`, runs it, prints its output and events and
/// returns 0 on OK, 1 on KO (the reason on stderr) or 2 when the device cannot be reached; without, an
/// interactive session with line editing, history in ~/.pndsim_console_history and completion of the
/// verbs the device's `help` lists, showing the event stream as it comes.
int RunConsoleCommand(const std::string& device, const std::optional<std::string>& command);

}  // namespace pndconsole
