// `pndhal run -j N`: scripts played by N copies of the tool at once, each on a device of its own (its own
// in-process device, or its own launched application), their results gathered into one report.
#pragma once

#include <vector>

#include "run_report.h"
#include "scenario_runner.h"

namespace tool {

/// Plays `scripts` in `settings.jobs` child processes of the tool at once. Each child plays a share of the
/// scripts in turn and reports its results as JSON lines; they reach `report` as each script ends, with
/// their traces. A child that ends without reporting its scripts makes them errors that say how it ended.
/// A fault of the run a child meets (an application that cannot be started) is reported once. Returns 2
/// when a child ended with exit code 2, else 0.
int RunInChildren(const std::vector<ScriptSource>& scripts, const RunSettings& settings, RunReport& report);

}  // namespace tool
