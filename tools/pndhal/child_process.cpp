// Child processes of the tool: started with posix_spawn, waited for through a process descriptor.
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

extern char** environ;

namespace tool {
namespace {

std::string ErrnoText(int error) { return std::generic_category().message(error); }

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// The tool's environment with `overrides` added, each replacing a variable of its name.
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

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Owns the spawn attributes and file actions for the length of one start.
struct SpawnSetup {
  SpawnSetup() {
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  posix_spawnattr_t attributes{};
  posix_spawn_file_actions_t actions{};
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const ChildRequest& request, std::string* error) {
  if (request.argv.empty()) {
    *error = "no program to start";
    return nullptr;
  }
  std::unique_ptr<ChildProcess> child(new ChildProcess);
  std::array<int, 2> input{-1, -1}, output{-1, -1}, errors{-1, -1};
  int file = -1;
  const auto closeAll = [&] {
    for (int* fd : {&input[0], &input[1], &output[0], &output[1], &errors[0], &errors[1], &file}) {
      CloseFd(*fd);
    }
  };
  const auto fail = [&](const std::string& what, int code) {
    closeAll();
    *error = "cannot start " + request.argv.front() + ": " + what + ErrnoText(code);
    return nullptr;
  };
  if (request.pipeInput && pipe2(input.data(), O_CLOEXEC) != 0) return fail("", errno);
  if (request.outputFile.empty()) {
    if (pipe2(output.data(), O_CLOEXEC) != 0 || pipe2(errors.data(), O_CLOEXEC) != 0) return fail("", errno);
  } else {
    file = open(request.outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (file < 0) return fail(request.outputFile + ": ", errno);
  }

  SpawnSetup setup;
  // The child starts as from a shell: default signal actions and nothing blocked, whatever the tool does.
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP}) sigaddset(&defaults, signal);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  if (request.pipeInput) {
    posix_spawn_file_actions_adddup2(&setup.actions, input[0], STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&setup.actions, file >= 0 ? file : output[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.actions, file >= 0 ? file : errors[1], STDERR_FILENO);

  std::vector<std::string> arguments = request.argv;
  std::vector<std::string> variables = Environment(request.environment);
  const std::vector<char*> argv = Pointers(arguments);
  const std::vector<char*> envp = Pointers(variables);
  const int spawned =
      posix_spawnp(&child->pid_, argv[0], &setup.actions, &setup.attributes, argv.data(), envp.data());
  if (spawned != 0) return fail("", spawned);

  CloseFd(input[0]);
  CloseFd(output[1]);
  CloseFd(errors[1]);
  CloseFd(file);
  child->input_ = input[1];
  child->output_ = output[0];
  child->error_ = errors[0];
  child->exitFd_ = static_cast<int>(syscall(SYS_pidfd_open, child->pid_, 0));
  return child;
}

ChildProcess::~ChildProcess() {
  CloseInput();
  CloseOutput();
  CloseError();
  if (!Ended()) {
    kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  CloseFd(exitFd_);
}

void ChildProcess::CloseInput() { CloseFd(input_); }
void ChildProcess::CloseOutput() { CloseFd(output_); }
void ChildProcess::CloseError() { CloseFd(error_); }

void ChildProcess::Reaped(int status) {
  ended_ = true;
  if (WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) termSignal_ = WTERMSIG(status);
}

bool ChildProcess::Ended() {
  if (ended_) return true;
  int status = 0;
  pid_t got = 0;
  while ((got = waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (got == pid_) Reaped(status);
  // A child reaped by someone else cannot be waited for any more; it has ended all the same.
  if (got < 0 && errno == ECHILD) ended_ = true;
  return ended_;
}

bool ChildProcess::WaitFor(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!Ended()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (exitFd_ >= 0) {
      pollfd ready{exitFd_, POLLIN, 0};
      poll(&ready, 1, static_cast<int>(left.count()));
    } else {
      // Without a process descriptor the child's end can only be asked for now and then.
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    }
  }
  return true;
}

void ChildProcess::Signal(int signal) {
  if (!Ended()) kill(pid_, signal);
}

std::string ChildProcess::HowItEnded() const {
  if (termSignal_ != 0) {
    // strsignal's text is read at once, on the thread that plays the run.
    return "was killed by signal " + std::to_string(termSignal_) + " (" +
           strsignal(termSignal_) +  // NOLINT(concurrency-mt-unsafe)
           ")";
  }
  if (exitStatus_ >= 0) return "exited with status " + std::to_string(exitStatus_);
  return "ended";
}

bool SplitCommand(const std::string& command, std::vector<std::string>& words, std::string* error) {
  words.clear();
  std::string word;
  bool inWord = false;
  for (std::size_t at = 0; at < command.size(); ++at) {
    const char c = command[at];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else if (c == '\'' || c == '"') {
      inWord = true;
      const std::size_t open = at;
      for (++at; at < command.size() && command[at] != c; ++at) {
        if (c == '"' && command[at] == '\\' && at + 1 < command.size() &&
            (command[at + 1] == '"' || command[at + 1] == '\\')) {
          ++at;
        }
        word += command[at];
      }
      if (at >= command.size()) {
        *error = std::string("unterminated ") + c + " at character " + std::to_string(open + 1);
        return false;
      }
    } else if (c == '\\' && at + 1 < command.size()) {
      inWord = true;
      word += command[++at];
    } else {
      inWord = true;
      word += c;
    }
  }
  if (inWord) words.push_back(std::move(word));
  if (words.empty()) *error = "the command is empty";
  return !words.empty();
}

bool WriteAll(int fd, const std::string& text) {
  for (std::size_t sent = 0; sent < text.size();) {
    const ssize_t wrote = write(fd, text.data() + sent, text.size() - sent);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    sent += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace tool
