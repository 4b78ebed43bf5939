// What playing one scenario script came to: the verdict, what it counted, where and why it stopped, and
// the trace of its run, as the run's report, its JSON and its JUnit XML give them.
#pragma once

#include <string>

namespace tool {

/// How a script ended.
enum class Verdict {
  Passed,  ///< every line held
  Failed,  ///< an expectation was not met or an action could not be done
  Error,   ///< it could not be played to its end: the device or the application went away
};

/// One script's result.
struct ScriptResult {
  std::string name;  ///< the script as named on the command line
  Verdict verdict = Verdict::Passed;
  int statements = 0;    ///< lines that ran
  int expectations = 0;  ///< expectations that held
  double seconds = 0;    ///< real time from its first line to its end
  std::string where;     ///< "NAME:LINE" of the line at fault; empty when it passed
  std::string message;   ///< what went wrong: "expected key F6, got key Up"
  /// What went wrong: "expectation", "action", "device" (the console went away) or "application" (the
  /// launched application died).
  std::string kind;
  /// The trace of its run as `--trace` prints it, when the run keeps traces (its last part when long).
  std::string trace;
};

/// Whether a script line is an expectation: counted in ScriptResult::expectations, and a failure of kind
/// "expectation" when unmet.
inline bool IsExpectation(const std::string& line) { return line.rfind("expect ", 0) == 0; }

/// The word of a verdict in reports: "pass", "fail" or "error".
inline const char* VerdictWord(Verdict verdict) {
  return verdict == Verdict::Passed ? "pass" : verdict == Verdict::Failed ? "fail" : "error";
}

}  // namespace tool
