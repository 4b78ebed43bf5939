// Playing scenario scripts on the simulated device for `pndhal run` and `pndhal tour`: each script on a
// fresh device and library, reporting as text or JSON lines, and recording what happened as a script.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tool {

/// A script to play: its name in messages (the file name) and its text.
struct ScriptSource {
  std::string name;
  std::string text;
};

/// How scripts are played.
struct RunSettings {
  bool trace = false;       ///< print every statement, platform effect and listener call
  bool json = false;        ///< report as JSON lines on stdout
  double timeScale = 100;   ///< the simulator's time scale
  std::string profilePath;  ///< a device profile to start each script from; empty: the built-in one
  std::string recordPath;   ///< write what happened as a scenario here; empty: no recording
  /// Play on this running device's console (process id, port or program name) instead of a fresh device
  /// of the tool's own; "" picks the only one running.
  std::optional<std::string> attach;
};

/// What a run did: its exit code and what it counted.
struct RunSummary {
  int exitCode = 0;
  int statements = 0;
  int platformEffects = 0;
  std::map<std::string, int> listenerCalls;  ///< by listener kind
  /// Events the device's trace dropped to stay within its capacity, over the scripts played in-process.
  std::uint64_t traceDropped = 0;
};

/// Parses every script first (a malformed one: `NAME:LINE:COLUMN: message` on stderr, exit code 2, and
/// nothing runs), then plays each on a freshly reset device with the library started anew; stops a
/// script at its first unmet expectation or impossible action (`NAME:LINE: message` on stderr, exit
/// code 1). A bad profile or an unwritable recording is exit code 2. Attached to a running device, each
/// script plays line by line on its console, after a `profile load` when a profile was given, and a device
/// that cannot be reached is exit code 2.
RunSummary RunScripts(const std::vector<ScriptSource>& scripts, const RunSettings& settings);

/// Reads the script files; a file that cannot be read is reported on stderr and gives false.
bool ReadScripts(const std::vector<std::string>& files, std::vector<ScriptSource>& scripts);

}  // namespace tool
