// Test support: runs a program as a child process, feeds it input and
// collects what it printed and how it ended, for tests of the command-line tool.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace pndtest {

/// How a child process ended and what it printed.
struct ProcessResult {
  /// The exit status; -1 when the process did not exit by itself (it could
  /// not be started, a signal ended it, or it overran its time limit).
  int exitCode = -1;
  /// The signal that ended it, 0 when none did.
  int signal = 0;
  /// It overran its time limit and was killed.
  bool timedOut = false;
  std::string out;  ///< everything it wrote to stdout
  std::string err;  ///< everything it wrote to stderr
};

/// What to run and how.
struct ProcessRequest {
  /// The program's path and its arguments.
  std::vector<std::string> argv;
  /// Written to its stdin, which is then closed.
  std::string input;
  /// `NAME=VALUE` entries added to the caller's environment, replacing a
  /// variable of the same name.
  std::vector<std::string> environment;
  /// A child still running after this long is killed.
  std::chrono::milliseconds timeout = std::chrono::seconds(30);
};

/// Runs `request.argv` and waits for it to end, reading stdout and stderr
/// meanwhile so a talkative child never blocks. A child that overruns the
/// time-out is killed and reported as timed out. An empty `argv`, or a
/// program that cannot be started, gives exitCode -1 and the reason in `err`.
ProcessResult RunProcess(const ProcessRequest& request);

}  // namespace pndtest
