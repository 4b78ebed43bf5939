// Scenario scripts: one action on the simulated device or one expectation of what the library tells
// its listeners per line. A script is parsed whole before anything runs; a Session runs statements,
// for a script file or for a console, one at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "observer.h"

namespace scenario {

class Session;

/// What running a statement gave: whether it held, why not ("expected key F6, got key Up"), and what
/// it prints (a console's answer).
struct Outcome {
  bool ok = true;
  std::string message;
  std::string output;
};

/// One parsed line.
struct Statement {
  int line = 0;
  /// The line in its canonical words (what a recording writes).
  std::string text;
  /// An action a recording repeats; expectations and console commands are not repeated.
  bool recorded = false;
  std::function<Outcome(Session&)> run;
};

/// Where a line does not follow the grammar.
struct ParseError {
  int line = 0;
  int column = 0;
  std::string message;
};

/// A parsed script: its statements in order.
struct Script {
  std::string name;
  std::vector<Statement> statements;
};

/// Parses one line (`lineNumber` is kept in the statement). Nothing for a blank or comment line.
std::variant<std::optional<Statement>, ParseError> ParseLine(std::string_view line, int lineNumber = 1);

/// Parses a whole script; the first line at fault, if any.
std::variant<Script, ParseError> ParseScript(std::string_view text, std::string name);

/// The verbs in the order `help` lists them, each with its usage and one line of explanation.
struct VerbHelp {
  std::string_view verb;
  std::string_view usage;
  std::string_view summary;
};
const std::vector<VerbHelp>& Verbs();

/// How a session runs.
struct SessionOptions {
  /// How long an expectation waits for its event, in real time.
  std::chrono::milliseconds expectTimeout{5000};
  /// Called with each statement that ran and each listener call, to write a recording (the canonical
  /// text of a statement a recording repeats; "expect ..." for a listener call). Null: no recording.
  std::function<void(const std::string& line)> record;
};

/// Runs statements against the simulated device and the library, observing the library's listeners.
class Session {
 public:
  /// `sink` sees every event as it happens (see DeviceObserver).
  explicit Session(SessionOptions options = {}, DeviceObserver::Sink sink = {});

  /// Connects the listeners (starting the library when needed) and waits, at most five seconds, until
  /// the library's threads have registered for power and mount notifications. The polling thread's
  /// first report of the power state and the volume is the library starting up, not a change: when it
  /// comes after the listeners were connected, it is shown to the sink but neither queued nor recorded.
  void Start();

  /// Runs one statement.
  Outcome Run(const Statement& statement);

  DeviceObserver& Observer() { return observer_; }
  const SessionOptions& Options() const { return options_; }
  /// The time by which the expectation now starting must have been met.
  Clock::time_point ExpectDeadline() const { return Clock::now() + options_.expectTimeout; }
  /// The listener calls before the last action began: `expect none` counts the calls after it.
  std::uint64_t ActionMark() const { return actionMark_; }
  /// Lets `milliseconds` of device time pass (real time divided by the time scale).
  static void WaitDeviceTime(double milliseconds);

 private:
  SessionOptions options_;
  std::atomic<bool> recording_{false};  // listener calls are recorded once Start has returned
  std::uint64_t actionMark_ = 0;
  DeviceObserver observer_;
};

}  // namespace scenario
