// The report of a `pndhal run` as it happens: the trace (`--trace`), JSON lines (`--json`), a line per script
// and a summary, the failures on stderr, and each script's result kept for the JUnit file. Used from the
// thread that plays a script and from the library's threads at once.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "json_output.h"
#include "scenario.h"
#include "scenario_runner.h"

namespace tool {

/// The longest trace a script's result keeps, in bytes: its last part when the run said more.
inline constexpr std::size_t kTraceKeptBytes = std::size_t{1} << 20;

class RunReport {
 public:
  RunReport(const RunSettings& settings, RunSummary& summary);

  /// A script starts: its clock and its trace begin.
  void BeginScript();
  /// A heading of the script ("## ..." comment lines) or of the run, for the trace.
  void Heading(const std::string& heading);
  /// A line of the script is about to run.
  void Statement(const std::string& script, const scenario::Statement& statement);
  /// Something the in-process device or library did.
  void Event(const scenario::Event& event);
  /// An event from a device's console in JSON mode: one object of the shared event schema.
  void ConsoleEvent(const std::string& line);
  /// An expectation of a script held (`met`) or did not; reported in JSON only.
  void Expectation(const std::string& script, const scenario::Statement& statement, bool met);
  /// The output of a line (a console's answer), printed as it comes.
  void Output(const std::string& text);
  /// What the device's trace dropped while the script played; said only when it dropped something.
  void TraceDropped(const std::string& script, std::uint64_t dropped, std::size_t capacity);
  /// The script ended: its time and trace are filled in, the failure goes to stderr, and its line (or its
  /// JSON object) is printed.
  void EndScript(ScriptResult result);
  /// A result played elsewhere (a child process of `run -j`), with its trace, reported as if played here.
  void AdoptResult(ScriptResult result);
  /// A JSON line from a child process, passed on when this run prints JSON.
  void ForwardJson(const std::string& line);

  /// A fault that stops the run before or around its scripts: "WHERE: MESSAGE" on stderr and, with
  /// `--json`, an object of `type` ("syntax", "profile", "file", "device", "application", "usage", ...);
  /// `extra` members are added to it.
  void Fault(const std::string& where, const std::string& message, const char* type, const Json& extra = {});
  /// A syntax error: the fault, then the line with a caret under the column (not in JSON).
  void SyntaxFault(const std::string& script, const scenario::ParseError& error);

  /// How many scripts did not pass so far.
  int Failures() const;
  /// The result of the script reported last; called from the thread that plays, after EndScript.
  const ScriptResult& LastResult() const { return summary_.results.back(); }
  /// Ends the report: the summary line (or the JSON `result` object, with `extra` members added). The
  /// results stay in the summary, in the order the scripts were given.
  void Finish(const std::vector<std::string>& order, double seconds, const Json& extra = {});

 private:
  void Print(const Json& line);
  void TraceLine(const std::string& line);
  void Report(const ScriptResult& result);

  const RunSettings& settings_;
  RunSummary& summary_;
  mutable std::mutex mutex_;
  scenario::Clock::time_point start_ = scenario::Clock::now();
  bool keepTrace_;
  std::string trace_;      // the current script's trace, its last kTraceKeptBytes at most
  bool traceCut_ = false;  // the current script's trace lost its beginning
};

}  // namespace tool
