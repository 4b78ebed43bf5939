// `pndhal tour`: the library on the default simulated device, walked through every service by the
// built-in tour scenario, with every platform action and listener call printed as it happens.
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>

#include "command_line.h"
#include "commands.h"
#include "json_output.h"
#include "scenario_runner.h"

namespace tool {

/// The tour scenario (examples/scenarios/tour.scn), built into the tool.
extern const char* const kTourScript;

namespace {

void PrintSummary(const RunSummary& summary, bool json) {
  int listenerCalls = 0;
  for (const auto& [kind, count] : summary.listenerCalls) listenerCalls += count;
  if (json) {
    Json line = {{"type", "summary"},
                 {"statements", summary.statements},
                 {"platformEffects", summary.platformEffects},
                 {"listenerCalls", summary.listenerCalls},
                 {"traceDropped", summary.traceDropped},
                 {"threadsLeft", pndsim::LiveThreadCount()},
                 {"windowsLeft", pndsim::WindowCount()},
                 {"passed", summary.exitCode == kExitSuccess}};
    std::puts(line.dump().c_str());
    return;
  }
  std::printf("\n== Summary\n  %d lines played, %d platform effects, %d listener calls:", summary.statements,
              summary.platformEffects, listenerCalls);
  for (const auto& [kind, count] : summary.listenerCalls) std::printf(" %s %d", kind.c_str(), count);
  std::printf("\n  %llu trace events dropped (the device's trace keeps the last %zu)",
              static_cast<unsigned long long>(summary.traceDropped), pndsim::TraceStatus().capacity);
  std::printf(
      "\n  after the library was freed: %d threads and %d windows left\n  %s\n", pndsim::LiveThreadCount(),
      pndsim::WindowCount(),
      summary.exitCode == kExitSuccess ? "every expectation held" : "an expectation was not met (see above)");
}

}  // namespace

void AddTourCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    std::string record;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand("tour",
                                         "walk the library through every service on the simulated device, "
                                         "printing each platform action and listener call");
  AddCommonOptions(*command, options->common, {.json = true, .timeScale = true});
  command->add_option("--record", options->record, "write what happened as a scenario to this file");
  command->footer("Exit codes: 0 every step went as expected; 1 a listener call was missing or different.");
  SetAction(*command, [options] {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    RunSettings settings;
    settings.trace = true;
    // The tour ends with a summary of its own.
    settings.quiet = true;
    settings.json = options->common.json;
    settings.timeScale = options->common.timeScale;
    settings.profilePath = options->common.profile;
    settings.recordPath = options->record;
    const RunSummary summary = RunScripts({{"tour", kTourScript, {}}}, settings);
    if (summary.exitCode != kExitUsage) PrintSummary(summary, options->common.json);
    return summary.exitCode;
  });
}

}  // namespace tool
