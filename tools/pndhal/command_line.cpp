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

#include "suggestions.h"

namespace tool {
namespace {

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  success\n"
    "  1  a check or expectation failed, or the device did not answer\n"
    "  2  usage error, malformed script or bad profile";

// The names a command line may use at `command`: its commands, or its options' long and short forms.
std::vector<std::string> NamesOf(const CLI::App* command, bool options) {
  std::vector<std::string> names;
  if (!options) {
    for (const CLI::App* sub : command->get_subcommands([](const CLI::App*) { return true; })) {
      names.push_back(sub->get_name());
    }
    return names;
  }
  for (const CLI::Option* option : command->get_options()) {
    if (option->get_group().empty()) continue;
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

// Names the command whose line was wrong, so the hint points at its help, and the word that was probably
// meant for one the tool did not know.
std::string UsageError(const CLI::App* app, const CLI::Error& error) {
  std::string who = "pndhal";
  const CLI::App* command = app;
  for (const CLI::App* chosen = app; !chosen->get_subcommands().empty();) {
    chosen = chosen->get_subcommands().front();
    who += " " + chosen->get_name();
    command = chosen;
  }
  std::string message = error.what();
  const std::vector<std::string> unknown = command->remaining();
  if (!unknown.empty()) {
    const bool option = unknown.front().starts_with('-');
    // Without a command, the first word the tool did not know is the mistake, not the missing command.
    if (command == app) message = (option ? "unknown option '" : "unknown command '") + unknown.front() + "'";
    // A word that is not an option is an operand too many; only a near miss of an option is guessed at.
    const std::string guess = command == app || option
                                  ? scenario::DidYouMean(unknown.front(), NamesOf(command, option))
                                  : std::string();
    if (!guess.empty()) message += "; " + guess;
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
