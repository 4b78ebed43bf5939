// Launching an application on the simulated device with a console of its own, and stopping it.
#include "launcher.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "console_client.h"
#include "token.h"

namespace tool {
namespace {

// How often the discovery records are read while the console is awaited.
constexpr std::chrono::milliseconds kPollPeriod{20};
// The line the device writes when PNDSIM_CONSOLE is set but the console cannot open.
constexpr std::string_view kNotOpened = "pndsim: console not opened: ";
// What an application's last words may take of a message.
constexpr std::size_t kTailLines = 10;

std::string SecondsText(std::chrono::milliseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(time.count()) / 1000);
  return text;
}

// A folder private to this run, under $TMPDIR or /tmp; empty with *error set when it cannot be made.
std::string PrivateFolder(std::string* error) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the environment is only read
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pndhal-launch-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    *error =
        "cannot make a private folder for the application's token: " + std::generic_category().message(errno);
    return {};
  }
  return pattern;
}

// A fresh token in a new file readable by the user alone.
bool WriteToken(const std::string& path, std::string* error) {
  unsigned char random[16];
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    *error = "cannot draw a token: " + std::generic_category().message(errno);
    return false;
  }
  std::string token;
  for (const unsigned char byte : random) {
    static constexpr char kHex[] = "0123456789abcdef";
    token += kHex[byte >> 4];
    token += kHex[byte & 0xF];
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 || !WriteAll(fd, token + "\n")) {
    *error = "cannot write the token file " + path + ": " + std::generic_category().message(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  close(fd);
  return true;
}

std::string ReadTail(const std::string& path, std::size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0) return {};
  const std::streamoff from =
      size > static_cast<std::streamoff>(bytes) ? size - static_cast<std::streamoff>(bytes) : 0;
  in.seekg(from);
  std::string text(static_cast<std::size_t>(size - from), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

}  // namespace

std::unique_ptr<LaunchedApplication> LaunchedApplication::Start(const std::string& command,
                                                                const LaunchOptions& options,
                                                                std::string* error, StartFault* fault) {
  *fault = StartFault::CannotStart;
  ChildRequest request;
  if (!SplitCommand(command, request.argv, error)) {
    *error = "--launch \"" + command + "\": " + *error;
    return nullptr;
  }
  std::unique_ptr<LaunchedApplication> application(new LaunchedApplication);
  application->options_ = options;
  application->program_ = std::filesystem::path(request.argv.front()).filename().string();
  application->folder_ = PrivateFolder(error);
  if (application->folder_.empty()) return nullptr;
  application->tokenFile_ = application->folder_ + "/token";
  application->outputFile_ = application->folder_ + "/output";
  if (!WriteToken(application->tokenFile_, error)) return nullptr;

  request.pipeInput = true;
  request.outputFile = application->outputFile_;
  request.environment = {"PNDSIM_CONSOLE=auto", std::string(pndconsole::protocol::kTokenFileVariable) + "=" +
                                                    application->tokenFile_};
  if (options.timeScale) {
    std::ostringstream scale;
    scale << *options.timeScale;
    request.environment.push_back("PNDSIM_TIME_SCALE=" + scale.str());
  }
  application->child_ = ChildProcess::Start(request, error);
  if (!application->child_) return nullptr;

  *fault = StartFault::NoConsole;
  const auto deadline = std::chrono::steady_clock::now() + options.wait;
  while (true) {
    for (const pndconsole::Device& device : pndconsole::ListDevices()) {
      if (device.pid == application->Pid()) {
        application->port_ = device.port;
        *fault = StartFault::None;
        return application;
      }
    }
    const std::string output = ReadTail(application->outputFile_, 4096);
    if (const std::size_t said = output.find(kNotOpened); said != std::string::npos) {
      const std::size_t end = output.find('\n', said);
      *error = "the application " + application->program_ + " could not open its console: " +
               output.substr(said + kNotOpened.size(),
                             end == std::string::npos ? end : end - said - kNotOpened.size());
      break;
    }
    if (application->Ended()) {
      *error = application->Death() + ", before its console opened";
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      *error = "the application " + application->program_ + " (pid " + std::to_string(application->Pid()) +
               ") did not open its console within " + SecondsText(options.wait) +
               " (is it started on the simulated device, linked with libpndsim?)";
      break;
    }
    application->child_->WaitFor(kPollPeriod);
  }
  const std::string tail = application->OutputTail(kTailLines);
  if (!tail.empty() && error->find("\n") == std::string::npos) *error += "\n  its last output:\n" + tail;
  application->Stop();
  return nullptr;
}

LaunchedApplication::~LaunchedApplication() {
  if (child_) Stop();
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

std::string LaunchedApplication::Death() const {
  return "the application " + program_ + " (pid " + std::to_string(child_->Pid()) + ") " +
         child_->HowItEnded();
}

std::string LaunchedApplication::Stop() {
  if (stopped_) return *stopped_;
  if (child_->Ended()) {
    stopped_ = child_->ExitStatus() == 0 ? std::string() : Death();
    return *stopped_;
  }
  child_->CloseInput();
  if (child_->WaitFor(options_.stopWait)) {
    stopped_ = child_->ExitStatus() == 0 ? std::string() : Death() + " when its input ended";
    return *stopped_;
  }
  child_->Signal(SIGTERM);
  if (child_->WaitFor(options_.stopWait)) {
    const bool asked = child_->TermSignal() == SIGTERM || child_->ExitStatus() == 0;
    stopped_ = asked ? std::string() : Death() + " after SIGTERM";
    return *stopped_;
  }
  child_->Signal(SIGKILL);
  child_->WaitFor(options_.stopWait);
  stopped_ = "the application " + program_ + " (pid " + std::to_string(child_->Pid()) +
             ") did not end within " + SecondsText(options_.stopWait) + " of the end of its input nor " +
             SecondsText(options_.stopWait) + " of SIGTERM, and was killed";
  return *stopped_;
}

std::string LaunchedApplication::OutputTail(std::size_t lines) const {
  std::istringstream text(ReadTail(outputFile_, 8192));
  std::vector<std::string> last;
  for (std::string line; std::getline(text, line);) {
    if (last.size() == lines) last.erase(last.begin());
    last.push_back(std::move(line));
  }
  std::string tail;
  for (const std::string& line : last) tail += (tail.empty() ? "    " : "\n    ") + line;
  return tail;
}

}  // namespace tool
