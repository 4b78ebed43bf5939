// What the console tests share: private home and runtime folders, a device program run as a child
// process, and a client speaking the wire protocol by hand.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "console_client.h"
#include "host.h"
#include "pndsim/pndsim.h"

namespace consoletest {

namespace fs = std::filesystem;
constexpr auto kBound = std::chrono::seconds(10);

inline std::optional<std::string> ReadLineFrom(int fd, std::string& buffered) {
  const auto deadline = std::chrono::steady_clock::now() + kBound;
  while (true) {
    if (const auto end = buffered.find('\n'); end != std::string::npos) {
      std::string line = buffered.substr(0, end);
      buffered.erase(0, end + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char chunk[8192];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) return std::nullopt;
    buffered.append(chunk, static_cast<std::size_t>(got));
  }
}

// A private home and runtime folder for the test process and the devices it starts.
class Folders {
 public:
  Folders() {
    char pattern[] = "/tmp/pndsim-console-test-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directory(root_ / "home");
    fs::create_directory(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    // NOLINTBEGIN(concurrency-mt-unsafe): set at the start of a test, before any console thread runs
    setenv("HOME", Home().c_str(), 1);
    setenv("XDG_RUNTIME_DIR", Run().c_str(), 1);
    // NOLINTEND(concurrency-mt-unsafe)
  }
  ~Folders() { fs::remove_all(root_); }
  Folders(const Folders&) = delete;
  Folders& operator=(const Folders&) = delete;

  std::string Home() const { return (root_ / "home").string(); }
  std::string Run() const { return (root_ / "run").string(); }
  fs::path TokenFile() const { return root_ / "home" / ".pndsim_console_token"; }
  fs::path Records() const { return root_ / "run" / "pndsim"; }
  void WriteToken(const std::string& text) const {
    std::ofstream(TokenFile()) << text;
    fs::permissions(TokenFile(), fs::perms::owner_read | fs::perms::owner_write);
  }

 private:
  fs::path root_;
};

// A device program (the recording one unless `program` says otherwise) as a child process, with the test's
// folders, `console` as PNDSIM_CONSOLE (unset when null), and the variables `more` ("NAME=VALUE") besides.
class Device {
 public:
  explicit Device(std::vector<std::string> arguments, const char* console = nullptr,
                  const char* program = CONSOLE_DEVICE_PATH, std::vector<std::string> more = {}) {
    std::vector<std::string> environment = std::move(more);
    for (char** each = environ; *each != nullptr; ++each) {
      if (std::string(*each).rfind("PNDSIM_CONSOLE", 0) != 0) environment.emplace_back(*each);
    }
    if (console != nullptr) environment.push_back(std::string("PNDSIM_CONSOLE=") + console);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (auto& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(program)};
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int in[2];
    int out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      execve(program, argv.data(), envp.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    port_ = ReadPort();
  }
  ~Device() {
    if (stdin_ >= 0) close(stdin_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) close(stdout_);
  }
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  int Port() const { return port_; }
  // The reason the program gave with its last port 0, when it opened the console itself.
  const std::string& Error() const { return error_; }
  pid_t Pid() const { return pid_; }
  // Sends a line to the program's input and answers the next line it writes.
  std::optional<std::string> Tell(const std::string& line) {
    const std::string text = line + "\n";
    if (write(stdin_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return std::nullopt;
    return ReadLineFrom(stdout_, buffered_);
  }
  // Sends a control line ("stop", "start PORT") and answers the port it reports.
  int Control(const std::string& line) {
    const std::string text = line + "\n";
    if (write(stdin_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return -1;
    return port_ = ReadPort();
  }
  // Ends the program the ordinary way (end of its input) and answers its exit status.
  int Finish() {
    close(stdin_);
    stdin_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  // The port the program reports ("port N [REASON]"), or, for a program that knows nothing of its console
  // and says "ready", the one its discovery record gives.
  int ReadPort() {
    const auto line = ReadLineFrom(stdout_, buffered_);
    if (line && *line == "ready") {
      for (const auto& device : pndconsole::ListDevices()) {
        if (device.pid == pid_) return device.port;
      }
      return 0;
    }
    if (!line || line->rfind("port ", 0) != 0) return -1;
    const auto reason = line->find(' ', 5);
    error_ = reason == std::string::npos ? std::string() : line->substr(reason + 1);
    return std::atoi(line->c_str() + 5);
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  int port_ = -1;
  std::string error_;
  std::string buffered_;
};

inline int Connect(int family, const std::string& address, int port) {
  const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_storage storage{};
  socklen_t size = 0;
  if (family == AF_INET) {
    auto* in = reinterpret_cast<sockaddr_in*>(&storage);
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &in->sin_addr);
    size = sizeof *in;
  } else {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET6, address.c_str(), &in6->sin6_addr);
    size = sizeof *in6;
  }
  if (connect(fd, reinterpret_cast<sockaddr*>(&storage), size) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A client speaking the wire protocol by hand.
class Raw {
 public:
  explicit Raw(int port, int family = AF_INET)
      : fd_(Connect(family, family == AF_INET ? "127.0.0.1" : "::1", port)) {}
  ~Raw() { Close(); }
  Raw(const Raw&) = delete;
  Raw& operator=(const Raw&) = delete;

  bool Connected() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
  }
  // Sends without asserting: false when the console has closed the connection meanwhile.
  bool TrySend(const std::string& bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  std::optional<std::string> Line() { return ReadLineFrom(fd_, buffered_); }
  // The greeting's lines, through its last ("# ready" or "# auth required...").
  std::vector<std::string> Greeting() {
    std::vector<std::string> lines;
    while (auto line = Line()) {
      lines.push_back(*line);
      if (line->rfind("# ready", 0) == 0 || line->rfind("# auth", 0) == 0 || line->rfind("KO", 0) == 0) break;
    }
    return lines;
  }
  // The lines of one reply through its final OK or KO; a closed connection ends it with "<closed>".
  std::vector<std::string> Reply() {
    std::vector<std::string> lines;
    while (true) {
      const auto line = Line();
      lines.push_back(line.value_or("<closed>"));
      if (!line || *line == "OK" || line->rfind("KO: ", 0) == 0) return lines;
    }
  }
  std::vector<std::string> Command(const std::string& line) {
    Send(line + "\n");
    return Reply();
  }
  void EndInput() { shutdown(fd_, SHUT_WR); }
  // True when the console closed the connection (after any lines still on their way).
  bool ClosedByPeer() {
    while (Line()) {
    }
    char byte = 0;
    return recv(fd_, &byte, 1, 0) == 0;
  }

 private:
  int fd_;
  std::string buffered_;
};

using Lines = std::vector<std::string>;

}  // namespace consoletest
