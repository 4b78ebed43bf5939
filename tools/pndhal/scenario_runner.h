// Playing scenario scripts for `pndhal run` and `pndhal tour`: each script on a fresh device and library of
// the tool's own, on a running application's device through its console, or on an application the tool
// launches; in one process or in several at once; reported per script as text, JSON lines and JUnit XML;
// recorded as a script.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "script_result.h"

namespace tool {

/// A script to play: its name in messages (the file name as given), its text, and the folder its file
/// lies in (for the relative file names it holds; empty for a script of no file).
struct ScriptSource {
  std::string name;
  std::string text;
  std::string folder;
};

/// How long `run --launch` waits for the application's console to open, by default.
inline constexpr std::chrono::milliseconds kDefaultLaunchWait{10000};
/// How long `run --launch` gives the application to end after closing its input, and again after SIGTERM,
/// by default.
inline constexpr std::chrono::milliseconds kDefaultStopWait{3000};

/// How scripts are played and reported.
struct RunSettings {
  bool trace = false;           ///< print every statement, platform effect and listener call
  bool json = false;            ///< report as JSON lines on stdout
  bool quiet = false;           ///< no line per script and no summary: only failures, on stderr
  double timeScale = 100;       ///< the simulator's time scale
  bool timeScaleGiven = false;  ///< the command line chose the time scale
  std::string profilePath;      ///< a device profile to start each script from; empty: the built-in one
  std::string recordPath;       ///< write what happened as a scenario here; empty: no recording
  std::string junitPath;        ///< write a JUnit XML report here; empty: none
  /// Play on this running device's console (process id, port or program name) instead of a fresh device
  /// of the tool's own; "" picks the only one running.
  std::optional<std::string> attach;
  /// Start this application (a command line) with its console open, play on it, and stop it.
  std::optional<std::string> launch;
  std::chrono::milliseconds launchWait = kDefaultLaunchWait;
  std::chrono::milliseconds stopWait = kDefaultStopWait;
  /// How many processes play scripts at once; above 1 the tool runs copies of itself.
  int jobs = 1;
  /// Report to a parent `run -j`: JSON lines, each script's result carrying its trace.
  bool childReport = false;
};

/// What a run did: its exit code, what it counted and each script's result, in the order given.
struct RunSummary {
  int exitCode = 0;
  int statements = 0;
  int platformEffects = 0;
  std::map<std::string, int> listenerCalls;  ///< by listener kind
  /// Events the device's trace dropped to stay within its capacity, over the scripts played in-process.
  std::uint64_t traceDropped = 0;
  std::vector<ScriptResult> results;
};

/// Parses every script first (each line at fault: `NAME:LINE:COLUMN: message` and the line with a caret
/// under the column on stderr, exit code 2, and nothing runs), checks the profile, then plays each script
/// and stops it at its first unmet expectation or impossible action (`NAME:LINE: message` on stderr).
/// Exit code 0 when every script passed, 1 when one did not or a launched application failed, 2 for a
/// bad profile, a device that cannot be reached, an application that cannot be started or an unwritable
/// report or recording.
RunSummary RunScripts(const std::vector<ScriptSource>& scripts, const RunSettings& settings);

/// Reads the script files; each file that cannot be read is reported ("cannot read FILE: REASON", on
/// stderr and, with `json`, as a JSON line), and then the answer is false.
bool ReadScripts(const std::vector<std::string>& files, std::vector<ScriptSource>& scripts, bool json);

}  // namespace tool
