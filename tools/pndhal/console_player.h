// Playing scenario scripts line by line on a device's console, for `run --attach` and `run --launch`: each
// line sent as a command, its OK or KO taken as the line's outcome, the event stream watched for the trace,
// the JSON lines and the recording, and a launched application that dies told apart from a failed line.
#pragma once

#include <string>

#include "console_client.h"
#include "launcher.h"
#include "recording.h"
#include "run_report.h"
#include "scenario.h"

namespace tool {

class ConsolePlayer {
 public:
  /// `application` is the launched application behind the console, or null when attached; `recording`
  /// receives the actions sent and an expectation per listener call seen, or is null.
  ConsolePlayer(pndconsole::Connection& console, const RunSettings& settings, RunReport& report,
                Recording* recording, LaunchedApplication* application);

  /// Plays one script and reports its result; false when the device can no longer be reached, so that
  /// the scripts after it are not tried.
  bool Play(const scenario::Script& script);

 private:
  // Readies the device for the next script: the stream when it is needed, and the profile when one was
  // given. A console verb that returns the device to a known state belongs here too.
  bool Prepare(ScriptResult& result);
  // Fills in why the console stopped answering: the application died, or the device went away.
  void Lost(ScriptResult& result, const std::string& where, const std::string& error);
  void OnEvent(const std::string& line);

  pndconsole::Connection& console_;
  const RunSettings& settings_;
  RunReport& report_;
  Recording* recording_;
  LaunchedApplication* application_;
  bool watching_ = false;
};

/// How long a recording waits, after a script's last line, for listener calls still on their way: until
/// no event has come for this long.
inline constexpr std::chrono::milliseconds kRecordingQuiet{250};

}  // namespace tool
