// A program the tool starts and watches: an application it launches for `run --launch`, or a copy of
// itself playing scripts for `run -j N`. Starting it with chosen streams and environment, waiting for it
// with a time limit, and saying how it ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tool {

/// What to start and how.
struct ChildRequest {
  /// The program and its arguments; a program name without '/' is looked up on PATH.
  std::vector<std::string> argv;
  /// `NAME=VALUE` entries added to the tool's environment, each replacing a variable of its name.
  std::vector<std::string> environment;
  /// Give the child a pipe as its standard input, which the tool holds until CloseInput; otherwise
  /// /dev/null.
  bool pipeInput = false;
  /// Where its standard output and error go: a file opened for appending (both streams), or, when empty,
  /// a pipe each, read through OutputFd and ErrorFd.
  std::string outputFile;
};

/// A started child process. Destroying one that still runs kills it (SIGKILL) and reaps it.
class ChildProcess {
 public:
  /// Starts the child; null with *error set ("cannot start PROGRAM: REASON") when it cannot be started.
  static std::unique_ptr<ChildProcess> Start(const ChildRequest& request, std::string* error);

  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t Pid() const { return pid_; }
  /// The read ends of its output and error pipes; -1 when they go to a file or were closed.
  int OutputFd() const { return output_; }
  int ErrorFd() const { return error_; }
  /// A descriptor that becomes readable when the child ends, for poll; -1 where the kernel has none.
  int ExitFd() const { return exitFd_; }
  /// Closes the tool's end of its input pipe: the child reads the end of its input.
  void CloseInput();
  /// Closes the read end of its output or error pipe (after reading it to its end).
  void CloseOutput();
  void CloseError();

  /// Whether it has ended; reaps it when it has. Never blocks.
  bool Ended();
  /// Waits at most `limit` for it to end; true when it has.
  bool WaitFor(std::chrono::milliseconds limit);
  /// Sends `signal` to it while it runs.
  void Signal(int signal);

  /// After it ended: its exit status, or -1 when a signal ended it.
  int ExitStatus() const { return exitStatus_; }
  /// After it ended: the signal that ended it, or 0.
  int TermSignal() const { return termSignal_; }
  /// After it ended: "exited with status 3" or "was killed by signal 11 (Segmentation fault)".
  std::string HowItEnded() const;

 private:
  ChildProcess() = default;
  void Reaped(int status);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int error_ = -1;
  int exitFd_ = -1;
  bool ended_ = false;
  int exitStatus_ = -1;
  int termSignal_ = 0;
};

/// Splits a command line into words the way a shell splits a simple command: at blanks, with '...' and
/// "..." quoting (\" and \\ inside double quotes) and \ escaping one character outside quotes. False with
/// *error set for an unterminated quote or an empty command.
bool SplitCommand(const std::string& command, std::vector<std::string>& words, std::string* error);

/// Writes `text` to `fd` whole; false when the descriptor refused it.
bool WriteAll(int fd, const std::string& text);

}  // namespace tool
