// Test support: runs a child process with pipes on its standard streams.
#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace pndtest {
namespace {

// A pipe whose ends close with it.
class Pipe {
 public:
  Pipe() {
    if (pipe2(ends_.data(), O_CLOEXEC) != 0) ends_ = {-1, -1};
  }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool Valid() const { return ends_[0] >= 0; }
  int Read() const { return ends_[0]; }
  int Write() const { return ends_[1]; }
  void CloseRead() { Close(ends_[0]); }
  void CloseWrite() { Close(ends_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  std::array<int, 2> ends_{-1, -1};
};

std::string Failure(const char* what, int error) {
  // Only the test's own thread runs children, so strerror's shared buffer is not raced.
  return std::string(what) + ": " + std::strerror(error);  // NOLINT(concurrency-mt-unsafe)
}

// The caller's environment with `overrides` added, each replacing a variable
// of its name.
std::vector<std::string> Environment(const std::vector<std::string>& overrides) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const std::string name = variable.substr(0, variable.find('=') + 1);
    bool replaced = false;
    for (const std::string& added : overrides) replaced = replaced || added.starts_with(name);
    if (!replaced) result.push_back(variable);
  }
  result.insert(result.end(), overrides.begin(), overrides.end());
  return result;
}

// A child that stops reading its input must not end the test with SIGPIPE:
// the write fails with EPIPE instead.
void IgnoreBrokenPipes() {
  static const bool ignored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
  (void)ignored;
}

std::vector<char*> Pointers(const std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (const std::string& text : texts) pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProcessResult RunProcess(const ProcessRequest& request) {
  const std::vector<std::string>& argv = request.argv;
  const std::string& input = request.input;
  ProcessResult result;
  if (argv.empty()) {
    result.err = "no program to run";
    return result;
  }
  Pipe in, out, err;
  if (!in.Valid() || !out.Valid() || !err.Valid()) {
    result.err = Failure("pipe", errno);
    return result;
  }
  IgnoreBrokenPipes();
  // The child starts with the default action for SIGPIPE, as from a shell.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.Read(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out.Write(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.Write(), STDERR_FILENO);
  const std::vector<std::string> environment = Environment(request.environment);
  std::vector<char*> args = Pointers(argv);
  std::vector<char*> variables = Pointers(environment);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, args[0], &actions, &attributes, args.data(), variables.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0) {
    result.err = Failure(argv[0].c_str(), spawned);
    return result;
  }
  in.CloseRead();
  out.CloseWrite();
  err.CloseWrite();
  if (input.empty()) {
    in.CloseWrite();
  } else {
    // Written only as far as the pipe takes it, so the loop keeps reading.
    fcntl(in.Write(), F_SETFL, O_NONBLOCK);
  }

  // Readable once the child ends, so a child that closes its streams and
  // keeps running still meets the time limit; -1 on kernels without it.
  const int exitFd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
  bool running = exitFd >= 0;
  const auto deadline = std::chrono::steady_clock::now() + request.timeout;
  std::size_t written = 0;
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen || running) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    std::array<pollfd, 4> fds{{{outOpen ? out.Read() : -1, POLLIN, 0},
                               {errOpen ? err.Read() : -1, POLLIN, 0},
                               {in.Write(), POLLOUT, 0},
                               {running ? exitFd : -1, POLLIN, 0}}};
    if (poll(fds.data(), fds.size(), static_cast<int>(left.count())) < 0) {
      if (errno == EINTR) continue;
      kill(child, SIGKILL);
      result.err += Failure("poll", errno);
      break;
    }
    const auto drain = [](pollfd& fd, std::string& into, bool& open) {
      if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
      char buffer[4096];
      const ssize_t n = read(fd.fd, buffer, sizeof buffer);
      if (n > 0) {
        into.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        open = false;
      }
    };
    drain(fds[0], result.out, outOpen);
    drain(fds[1], result.err, errOpen);
    if ((fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
      const ssize_t n = write(in.Write(), input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) in.CloseWrite();
    }
    if ((fds[3].revents & POLLIN) != 0) running = false;
  }
  in.CloseWrite();
  if (exitFd >= 0) close(exitFd);

  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && !result.timedOut) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace pndtest
