// `pndhal devices` and `pndhal console`: the running simulated devices with an open console, and a
// session with one of them.
#include <memory>
#include <optional>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "console_client.h"

namespace tool {

void AddDevicesCommand(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  CLI::App* command =
      app.add_subcommand("devices", "list the running simulated devices whose console is open");
  command->add_flag("--json", *json, "print the result as JSON");
  SetAction(*command, [json] { return pndconsole::RunDevicesCommand(*json); });
}

void AddConsoleCommand(CLI::App& app) {
  struct Options {
    std::string device;
    std::string command;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command =
      app.add_subcommand("console", "open a console into a running simulated device (docs/console.md)");
  command->add_option("DEVICE", options->device,
                      "process id, port or program name; may be left out when one device runs");
  command->add_option("-c,--command", options->command, "run this one command and exit");
  command->footer(
      "Exit codes: 0 the command was answered OK; 1 KO (the reason on stderr); 2 the device cannot "
      "be found or reached.");
  SetAction(*command, [options, command] {
    const bool once = command->count("--command") != 0;
    return pndconsole::RunConsoleCommand(options->device,
                                         once ? std::optional<std::string>(options->command) : std::nullopt);
  });
}

}  // namespace tool
