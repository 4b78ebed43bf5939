// `pndhal run`: plays scenario scripts on the simulated device, or on a running application's device
// through its console.
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "scenario_runner.h"

namespace tool {

void AddRunCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    bool trace = false;
    std::string record;
    std::string attach;
    std::vector<std::string> files;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command =
      app.add_subcommand("run",
                         "play scenario scripts: actions on the simulated device and expectations of what "
                         "the library tells its listeners (docs/scenarios.md)");
  AddCommonOptions(*command, options->common, {.json = true, .timeScale = true});
  command->add_flag("--trace", options->trace,
                    "print every line as it runs, and each platform effect and listener call as it happens");
  command->add_option(
      "--record", options->record,
      "write what happened as a scenario to this file: the actions, and an expectation for every "
      "listener call (one FILE only)");
  command
      ->add_option("--attach", options->attach,
                   "play on the console of this running device (process id, port or program name; '' for the "
                   "only one running) instead of a fresh simulated device")
      ->type_name("DEVICE");
  command->add_option("FILE", options->files, "scenario scripts to play, in order")->required();
  command->footer(
      "Exit codes: 0 every expectation held; 1 an expectation was not met or an action could not be done\n"
      "(FILE:LINE: expected ..., got ... on stderr); 2 a usage error, a line that does not parse\n"
      "(FILE:LINE:COLUMN: ...; nothing runs then), a bad profile or an unwritable recording.");
  SetAction(*command, [options, command] {
    const bool attached = command->count("--attach") != 0;
    if (attached && !options->record.empty()) {
      std::fprintf(stderr, "pndhal: run: --record cannot be used with --attach\n");
      return kExitUsage;
    }
    if (!options->record.empty() && options->files.size() != 1) {
      std::fprintf(stderr, "pndhal: run: --record takes exactly one FILE\n");
      return kExitUsage;
    }
    std::vector<ScriptSource> scripts;
    if (!ReadScripts(options->files, scripts)) return kExitUsage;
    RunSettings settings;
    settings.trace = options->trace;
    settings.json = options->common.json;
    settings.timeScale = options->common.timeScale;
    settings.profilePath = options->common.profile;
    settings.recordPath = options->record;
    if (attached) settings.attach = options->attach;
    return RunScripts(scripts, settings).exitCode;
  });
}

}  // namespace tool
