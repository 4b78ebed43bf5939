// The frame every pndhal command plugs into: the options all commands share,
// the exit codes, and how a command's work reports its exit code.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace tool {

/// The tool's exit codes.
inline constexpr int kExitSuccess = 0;
/// A check or expectation failed, or the device did not answer.
inline constexpr int kExitFailure = 1;
/// A usage error, a malformed script or a bad profile.
inline constexpr int kExitUsage = 2;

/// The values of the options commands share, as the command line gave them.
struct CommonOptions {
  /// Print the result as JSON instead of text.
  bool json = false;
  /// How many times faster than real time the simulated clock runs.
  double timeScale = 100;
  /// The device profile the command starts from; empty: the built-in one.
  std::string profile;
};

/// Which of the shared options a command offers.
struct CommonOptionSet {
  bool json = false;       ///< `--json`: the command's output is data
  bool timeScale = false;  ///< `--time-scale`: the command waits on simulated time
  /// The command loads `--profile` itself, reporting a bad one its own way (`run --json`).
  bool ownProfile = false;
};

/// Adds the shared options named by `set` to `command`, and `--profile FILE`
/// to every command, storing their values in `options`, which must outlive
/// the parse. Unless the command loads it itself, a profile given is loaded
/// before the command's work; a bad one ends the command with its fault on
/// stderr and kExitUsage.
void AddCommonOptions(CLI::App& command, CommonOptions& options, CommonOptionSet set);

/// Makes `action` the work `command` does when the command line chooses it.
/// The action's result is the process exit code; a non-zero result ends the
/// parse as a CLI::RuntimeError carrying it.
void SetAction(CLI::App& command, std::function<int()> action);

/// The tool's top-level command line, without commands: `--help`,
/// `--version`, exactly one command required, the exit codes in the help
/// footer, usage errors worded for stderr.
void ConfigureTool(CLI::App& app);

/// Parses `argv` and runs the chosen command. Returns the exit code: the
/// command's result, 0 after `--help` or `--version`, kExitUsage (with a
/// message on stderr) for a usage error or no command at all, and
/// kExitFailure when the command's work throws.
int RunTool(CLI::App& app, int argc, char** argv);

}  // namespace tool
