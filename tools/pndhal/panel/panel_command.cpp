// `pndhal panel`: serves a running device's panel, a page that shows the device and drives it, on the
// loopback, until interrupted or until the device goes away.
#include <pndsim/registry.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "access.h"
#include "command_line.h"
#include "commands.h"
#include "console_client.h"
#include "device_link.h"
#include "event_hub.h"
#include "launcher.h"
#include "lexer.h"
#include "panel_server.h"

extern char** environ;

namespace tool {
namespace {

// How often the wait for a signal looks up to see whether the device went away.
constexpr auto kLookUp = std::chrono::milliseconds(100);

struct PanelOptions {
  CommonOptions common;
  std::string device;
  std::string launch;
  int port = 0;
  bool open = false;
};

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "pndhal: panel: %s\n", message.c_str());
  return code;
}

// Starts the user's browser on `address` and leaves it running on its own; false when xdg-open could not
// be started.
bool OpenBrowser(const std::string& address) {
  posix_spawnattr_t attributes{};
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
  std::string program = "xdg-open";
  std::string argument = address;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = -1;
  const int failed = posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  return failed == 0;
}

// The zone database the page offers: the device's database is the host's tz database, which the tool's
// own simulated registry reads the same way.
std::vector<std::string> ZoneNames() {
  return pndsim::ListRegistrySubkeys(pndsim::RegistryRoot::LocalMachine, "Time Zones");
}

int ServePanel(const PanelOptions& options, bool launched) {
  // The signals that stop the panel are taken by the waiting loop below, never by a handler; every thread
  // started from here on inherits the mask, and a launched application starts with none blocked.
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);

  std::string error;
  std::unique_ptr<LaunchedApplication> application;
  int port = 0;
  std::string tokenFile;
  if (launched) {
    LaunchedApplication::StartFault fault = LaunchedApplication::StartFault::None;
    application = LaunchedApplication::Start(options.launch, LaunchOptions{}, &error, &fault);
    if (!application) {
      return Fail(error, fault == LaunchedApplication::StartFault::CannotStart ? kExitUsage : kExitFailure);
    }
    port = application->Port();
    tokenFile = application->TokenFile();
  } else {
    const auto device = pndconsole::FindDevice(options.device, &error);
    if (!device) return Fail(error, kExitUsage);
    port = device->port;
  }
  const auto token = panel::NewToken(&error);
  if (!token) return Fail(error, kExitFailure);

  panel::EventHub hub;
  std::atomic<bool> lost{false};
  auto link = panel::DeviceLink::Open(
      port, tokenFile, [&hub](const panel::Json& event) { hub.Publish("device", event.dump()); },
      [&lost] { lost.store(true); }, &error);
  if (!link) return Fail("cannot reach the device: " + error, kExitUsage);
  if (!options.common.profile.empty()) {
    const std::string load =
        "profile load " + scenario::QuoteWord(std::filesystem::absolute(options.common.profile).string());
    const auto reply = link->Command(load, &error);
    if (!reply) return Fail("cannot reach the device: " + error, kExitUsage);
    if (!(*reply)["ok"].get<bool>()) {
      return Fail(load + ": " + (*reply)["reason"].get<std::string>(), kExitUsage);
    }
  }

  panel::PanelServer server(*link, hub, *token, ZoneNames());
  if (!server.Start(options.port, &error)) return Fail(error, kExitUsage);
  const std::string address = "http://127.0.0.1:" + std::to_string(server.Port()) + "/?token=" + *token;
  std::printf("%s\n", address.c_str());
  std::fflush(stdout);
  if (options.open && !OpenBrowser(address)) {
    std::fprintf(stderr, "pndhal: panel: cannot start xdg-open; open the address above yourself\n");
  }

  const timespec slice{0, std::chrono::nanoseconds(kLookUp).count()};
  while (!lost.load() && !(application && application->Ended())) {
    if (sigtimedwait(&stops, nullptr, &slice) > 0) break;
  }
  server.Stop();
  link.reset();
  if (lost.load() && application) application->WaitFor(kDyingWait);
  int code = kExitSuccess;
  if (application && application->Ended()) {
    code = Fail(application->Death(), kExitFailure);
  } else if (lost.load()) {
    code = Fail("the device went away", kExitFailure);
  }
  if (application) {
    const std::string stopped = application->Stop();
    if (!stopped.empty() && code == kExitSuccess) code = Fail(stopped, kExitFailure);
  }
  // Reaps a browser opener that has ended; one still running goes on without the panel.
  while (waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  return code;
}

}  // namespace

void AddPanelCommand(CLI::App& app) {
  auto options = std::make_shared<PanelOptions>();
  CLI::App* command = app.add_subcommand(
      "panel", "serve a running device's panel: a page on the loopback that shows the device and drives it");
  // The profile goes to the device (`profile load`), not to a device of the tool's own.
  AddCommonOptions(*command, options->common, {.ownProfile = true});
  command->add_option("DEVICE", options->device,
                      "the device: a process id, a port or a program name; without, the only one running");
  CLI::Option* launch =
      command
          ->add_option("--launch", options->launch,
                       "start this application (a command line, quoted) with its console open, serve its "
                       "panel, and stop it when the panel stops")
          ->type_name("COMMAND");
  launch->excludes(command->get_option("DEVICE"));
  command->add_option("--port", options->port, "serve on this port of 127.0.0.1 (default: any free port)")
      ->type_name("N")
      ->check(CLI::Range(1, 65535));
  command->add_flag("--open", options->open, "open the panel in the user's browser (xdg-open)");
  command->footer(
      "Prints the panel's address, http://127.0.0.1:PORT/?token=TOKEN, and serves until SIGINT or SIGTERM\n"
      "(exit code 0) or until the device goes away (exit code 1). Only requests that carry the token, name\n"
      "the panel's own address as their Host and come from the panel's own page are answered\n"
      "(docs/panel.md).\n"
      "Exit codes: 0 stopped when asked; 1 the device went away, or the launched application died or did\n"
      "not stop; 2 a usage error, a device that cannot be found or reached, a port that cannot be bound or\n"
      "an application that cannot be started.");
  SetAction(*command, [options, command] { return ServePanel(*options, command->count("--launch") != 0); });
}

}  // namespace tool
