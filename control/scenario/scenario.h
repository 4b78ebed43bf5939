// Scenario scripts: one action on the simulated device or one expectation of what the library tells
// its listeners per line. A script is parsed whole before anything runs; a Session runs statements,
// for a script file or for a console, one at a time.
#pragma once

#include <pndhal/lifecycle.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
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
  std::string text;  ///< the line at fault, as written
};

/// A parsed script: its statements in order.
struct Script {
  std::string name;
  std::vector<Statement> statements;
};

/// Parses one line (`lineNumber` is kept in the statement). Nothing for a blank or comment line. A relative
/// file name in the line (`profile load car.json`) is resolved against `folder`, the folder of the script
/// the line comes from, into an absolute one; with no folder it stays as written.
std::variant<std::optional<Statement>, ParseError> ParseLine(std::string_view line, int lineNumber = 1,
                                                             std::string_view folder = {});

/// Parses a whole script whose file lies in `folder` (see ParseLine); every line at fault, in order, if
/// any is.
std::variant<Script, std::vector<ParseError>> ParseScript(std::string_view text, std::string name,
                                                          std::string_view folder = {});

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
  /// How long an action waits, in real time, for the device to be quiet after it.
  std::chrono::milliseconds settleLimit{2000};
};

/// Runs statements against the simulated device and the library, observing the library's listeners.
/// It follows the library's life: when FreeDLL takes the library away its listeners go with it, and when
/// the library is created again they are connected again before its threads start.
class Session {
 public:
  /// `sink` sees every event as it happens (see DeviceObserver).
  explicit Session(SessionOptions options = {}, DeviceObserver::Sink sink = {});
  /// Disconnects the listeners; never creates a library to do so.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  /// Connects the listeners and waits, at most five seconds, until the library's threads have registered
  /// for power and mount notifications. When the library does not run, it is started with the listeners
  /// connected before its threads start, and the first reports of the polling thread (the volume and the
  /// power state the library found) are shown to the sink but neither queued nor recorded: they are the
  /// library starting up, not changes. A running library is joined as it is: every report from then on is
  /// a change.
  void Start();

  /// Whether FreeDLL took the library away after Start, and no library runs again yet.
  bool LibraryFreed() const { return freed_.load(); }

  /// Asks a statement in progress (a wait, an expectation) to return at once; later ones run again.
  /// Called from another thread.
  void Cancel();

  /// Runs one statement. An action returns once what it caused has reached the listeners: the device is
  /// quiet again (no message or notification on its way, no thread still handling one; at most
  /// SessionOptions::settleLimit of real time), so the calls it caused are seen, and recorded, in every
  /// run alike.
  Outcome Run(const Statement& statement);

  DeviceObserver& Observer() { return observer_; }
  const SessionOptions& Options() const { return options_; }
  /// The time by which the expectation now starting must have been met.
  Clock::time_point ExpectDeadline() const { return Clock::now() + options_.expectTimeout; }
  /// The listener calls before the last action began: `expect none` counts the calls after it.
  std::uint64_t ActionMark() const { return actionMark_; }
  /// Sets aside every event so far: the next expectation waits for what happens from now on.
  void DiscardEvents();
  /// Lets `milliseconds` of device time pass (real time divided by the time scale); false when cancelled.
  bool WaitDeviceTime(double milliseconds);

 private:
  // Told by the library when it is created (the listeners connect before its threads start) and when
  // FreeDLL begins (they go).
  void OnLibrary(pndhal::LibraryEvent event);
  // Connects the listeners to a library whose threads have not started: their first reports are
  // start-up reports.
  void AttachAtCreation();

  SessionOptions options_;
  std::atomic<bool> recording_{false};  // listener calls are recorded once Start has returned
  std::atomic<bool> following_{false};  // Start ran: the session follows the library's life
  std::atomic<bool> freed_{false};
  std::uint64_t actionMark_ = 0;
  DeviceObserver observer_;
  std::mutex waitMutex_;
  std::condition_variable waitWoken_;
  bool cancelled_ = false;  // guarded by waitMutex_
  int libraryObserver_ = 0;
};

}  // namespace scenario
