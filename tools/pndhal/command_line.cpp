// The pndhal tool's shared options, exit codes and error reporting.
#include "command_line.h"

#include <pndsim/pndsim.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace tool {
namespace {

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  success\n"
    "  1  a check or expectation failed, or the device did not answer\n"
    "  2  usage error, malformed script or bad profile";

// Names the command whose line was wrong, so the hint points at its help.
std::string UsageError(const CLI::App* app, const CLI::Error& error) {
  std::string who = "pndhal";
  for (const CLI::App* command : app->get_subcommands()) who += " " + command->get_name();
  std::string message = error.what();
  // Without a command, the first word the tool did not know is the mistake,
  // not the missing command.
  const std::vector<std::string> unknown = app->remaining();
  if (app->get_subcommands().empty() && !unknown.empty()) {
    const bool option = unknown.front().starts_with('-');
    message = (option ? "unknown option '" : "unknown command '") + unknown.front() + "'";
  }
  return who + ": " + message + "\nRun '" + who + " --help' for usage.\n";
}

// A positive, finite number: a factor the simulated clock can run at.
std::string PositiveFactor(std::string& text) {
  double value = 0;
  const bool number = CLI::detail::lexical_cast(text, value);
  if (number && value > 0 && std::isfinite(value)) return {};
  return "'" + text + "' is not a positive number";
}

}  // namespace

void AddCommonOptions(CLI::App& command, CommonOptions& options, CommonOptionSet set) {
  if (set.json) command.add_flag("--json", options.json, "print the result as JSON");
  if (set.timeScale) {
    command
        .add_option("--time-scale", options.timeScale,
                    "run the simulated clock FACTOR times faster than real time")
        ->type_name("FACTOR")
        ->check(CLI::Validator(PositiveFactor, ""))
        ->capture_default_str();
  }
  command
      .add_option("--profile", options.profile, "start from this device profile (JSON; see 'pndhal profile')")
      ->type_name("FILE");
  if (set.ownProfile) return;
  command.parse_complete_callback([&options] {
    if (options.profile.empty()) return;
    if (const auto error = pndsim::LoadProfile(options.profile)) {
      std::fprintf(stderr, "%s\n", error->Text().c_str());
      throw CLI::RuntimeError(kExitUsage);
    }
  });
}

void SetAction(CLI::App& command, std::function<int()> action) {
  command.callback([action = std::move(action)] {
    const int code = action();
    if (code != kExitSuccess) throw CLI::RuntimeError(code);
  });
}

void ConfigureTool(CLI::App& app) {
  app.name("pndhal");
  app.description("Runs the navigation device's hardware-abstraction library on the simulated device.");
  app.set_help_flag("-h,--help", "print this help and exit");
  app.set_version_flag("--version", "pndhal " PNDHAL_VERSION, "print the version and exit");
  app.require_subcommand(1);
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  // Commands added later inherit the footer and the error wording.
  app.footer(kExitCodes);
  app.failure_message(UsageError);
}

int RunTool(CLI::App& app, int argc, char** argv) {
  // Listed under one heading, however each command was added.
  for (CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    command->group("Commands");
  }
  if (argc < 2) {
    std::cerr << app.help();
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::RuntimeError& failure) {
    return failure.get_exit_code();
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == kExitSuccess ? kExitSuccess : kExitUsage;
  } catch (const std::exception& failure) {
    std::cerr << "pndhal: " << failure.what() << "\n";
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace tool
