// `pndhal run --launch`: an application started with its device's console open on a port and a token of
// its own, found by its process id, watched while scripts play on it, and stopped when they are done.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "child_process.h"

namespace tool {

/// How long a launched application whose console closed is given to finish dying, so that its death, not
/// the closed connection, is what a report says.
inline constexpr std::chrono::milliseconds kDyingWait{2000};

/// How an application is launched.
struct LaunchOptions {
  /// How long to wait for its console to open.
  std::chrono::milliseconds wait{10000};
  /// How long it has to end after its input closed, and again after SIGTERM.
  std::chrono::milliseconds stopWait{3000};
  /// The time scale its device should start with (PNDSIM_TIME_SCALE); none: the device's own.
  std::optional<double> timeScale;
};

/// A running application launched by the tool. Destroying it stops it as Stop does and removes its
/// private folder (token file and output).
class LaunchedApplication {
 public:
  /// How starting went wrong.
  enum class StartFault {
    None,
    CannotStart,  ///< the command could not be started at all (no such program)
    NoConsole,    ///< it started but died, or its console did not open in time
  };

  /// Starts `command` (words split as a shell splits a simple command) with PNDSIM_CONSOLE=auto and
  /// PNDSIM_CONSOLE_TOKEN_FILE naming a fresh token file in a folder private to this run, its input a
  /// pipe the tool holds and its output in a file of that folder, then waits until its discovery record
  /// (found by its process id) shows the console open. Null with *error and *fault set when the command
  /// cannot be started, the application ends first, says its console did not open, or does not open it
  /// within `options.wait`; an application that was started is stopped first.
  static std::unique_ptr<LaunchedApplication> Start(const std::string& command, const LaunchOptions& options,
                                                    std::string* error, StartFault* fault);

  ~LaunchedApplication();
  LaunchedApplication(const LaunchedApplication&) = delete;
  LaunchedApplication& operator=(const LaunchedApplication&) = delete;

  pid_t Pid() const { return child_->Pid(); }
  int Port() const { return port_; }
  /// The token file its console and the tool's client share.
  const std::string& TokenFile() const { return tokenFile_; }
  /// The program's name as messages give it.
  const std::string& Program() const { return program_; }

  /// Whether it has ended (by itself: the tool has not asked it to stop yet).
  bool Ended() { return child_->Ended(); }
  /// Waits at most `limit` for it to end.
  bool WaitFor(std::chrono::milliseconds limit) { return child_->WaitFor(limit); }
  /// After it ended: "the application navapp (pid 42) was killed by signal 11 (Segmentation fault)",
  /// followed by the last lines it printed.
  std::string Death() const;

  /// Asks it to stop by closing its input; after `stopWait` sends SIGTERM, and after `stopWait` more
  /// SIGKILL. Empty when it ended by itself or of the input's end with status 0, or of SIGTERM; otherwise
  /// what went wrong ("... did not end within 3 s of SIGTERM and was killed", "... exited with status 1
  /// when asked to stop"). Only the first call stops it; later ones answer the same.
  std::string Stop();

  /// The last `lines` lines the application printed (stdout and stderr together).
  std::string OutputTail(std::size_t lines) const;

 private:
  LaunchedApplication() = default;

  std::unique_ptr<ChildProcess> child_;
  LaunchOptions options_;
  std::string folder_;
  std::string tokenFile_;
  std::string outputFile_;
  std::string program_;
  int port_ = 0;
  std::optional<std::string> stopped_;
};

}  // namespace tool
