// `pndhal run`: plays scenario scripts on the simulated device, on a running application's device through
// its console, or on an application it launches; reports per script as text, JSON lines and JUnit XML.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "json_output.h"
#include "scenario_runner.h"

namespace tool {
namespace {

// A usage fault found after the command line parsed: on stderr, and as a JSON line when JSON was asked for.
int Refuse(const std::string& message, bool json) {
  std::fprintf(stderr, "pndhal: run: %s\n", message.c_str());
  if (json) {
    const Json line = {{"type", "usage"}, {"at", "pndhal"}, {"message", "run: " + message}};
    std::puts(line.dump().c_str());
  }
  return kExitUsage;
}

std::chrono::milliseconds Milliseconds(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

}  // namespace

void AddRunCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    bool trace = false;
    bool quiet = false;
    bool childReport = false;
    std::string record;
    std::string junit;
    std::string attach;
    std::string launch;
    double launchWait = static_cast<double>(kDefaultLaunchWait.count()) / 1000;
    double stopWait = static_cast<double>(kDefaultStopWait.count()) / 1000;
    int jobs = 1;
    std::vector<std::string> files;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command =
      app.add_subcommand("run",
                         "play scenario scripts: actions on the simulated device and expectations of what "
                         "the library tells its listeners (docs/scenarios.md)");
  AddCommonOptions(*command, options->common, {.json = true, .timeScale = true, .ownProfile = true});
  command->add_flag("--trace", options->trace,
                    "print every line as it runs, and each platform effect and listener call as it happens");
  command->add_flag("-q,--quiet", options->quiet,
                    "print no line per script and no summary: only failures, on stderr");
  command
      ->add_option("--junit", options->junit,
                   "write a JUnit XML report to this file: a test case per script, its trace as its output")
      ->type_name("FILE");
  command->add_option(
      "--record", options->record,
      "write what happened as a scenario to this file: the actions, and an expectation for every "
      "listener call (one FILE only)");
  CLI::Option* attach =
      command
          ->add_option("--attach", options->attach,
                       "play on the console of this running device (process id, port or program name; '' for "
                       "the only one running) instead of a fresh simulated device")
          ->type_name("DEVICE");
  CLI::Option* launch =
      command
          ->add_option(
              "--launch", options->launch,
              "start this application (a command line, quoted) with its console open, play on it, "
              "then stop it: end of its input, SIGTERM after --stop-wait, SIGKILL after as long again")
          ->type_name("COMMAND");
  attach->excludes(launch);
  command
      ->add_option("--launch-wait", options->launchWait,
                   "how long to wait for the launched application's console to open")
      ->type_name("SECONDS")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  command
      ->add_option("--stop-wait", options->stopWait,
                   "how long the launched application has to end after its input ends, and again after "
                   "SIGTERM")
      ->type_name("SECONDS")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  command
      ->add_option("-j,--jobs", options->jobs,
                   "play scripts in N processes at once, each on a device of its own (a launched "
                   "application of its own with --launch)")
      ->type_name("N")
      ->check(CLI::Range(1, 64))
      ->capture_default_str();
  // How a parent `run -j` hears from the copies it runs: JSON lines, each script's trace in its result.
  command->add_flag("--child-report", options->childReport)->group("");
  command->add_option("FILE", options->files, "scenario scripts to play, in order")->required();
  command->footer(
      "Each script prints 'PASS NAME  N expectations  TIME' or 'FAIL NAME  line L: MESSAGE  TIME', and a\n"
      "summary line ends the run.\n"
      "Exit codes: 0 every expectation held; 1 an expectation was not met, an action could not be done or a\n"
      "launched application died or did not stop (FILE:LINE: expected ..., got ... on stderr); 2 a usage\n"
      "error, a line that does not parse (FILE:LINE:COLUMN: ...; nothing runs then), a bad profile, a\n"
      "device that cannot be reached, an application that cannot be started, or an unwritable report or\n"
      "recording.");
  SetAction(*command, [options, command] {
    const bool json = options->common.json || options->childReport;
    const bool attached = command->count("--attach") != 0;
    const bool launched = command->count("--launch") != 0;
    if (!options->record.empty() && options->files.size() != 1) {
      return Refuse("--record takes exactly one FILE", json);
    }
    if (attached && options->jobs > 1) {
      return Refuse("-j plays scripts on devices of their own; with --attach they would share one", json);
    }
    if (!launched && (command->count("--launch-wait") != 0 || command->count("--stop-wait") != 0)) {
      return Refuse("--launch-wait and --stop-wait go with --launch", json);
    }
    std::vector<ScriptSource> scripts;
    if (!ReadScripts(options->files, scripts, json)) return kExitUsage;
    RunSettings settings;
    settings.trace = options->trace;
    settings.json = json;
    settings.quiet = options->quiet;
    settings.childReport = options->childReport;
    settings.timeScale = options->common.timeScale;
    settings.timeScaleGiven = command->count("--time-scale") != 0;
    settings.profilePath = options->common.profile;
    settings.recordPath = options->record;
    settings.junitPath = options->junit;
    settings.jobs = options->jobs;
    if (attached) settings.attach = options->attach;
    if (launched) settings.launch = options->launch;
    settings.launchWait = Milliseconds(options->launchWait);
    settings.stopWait = Milliseconds(options->stopWait);
    // Lines reach a reader (or a parent run) as they are printed, not when a buffer fills.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return RunScripts(scripts, settings).exitCode;
  });
}

}  // namespace tool
