// `pndhal help [COMMAND]`: the help people ask for the way they ask other tools, the same text as
// `pndhal --help` and `pndhal COMMAND --help`.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "suggestions.h"

namespace tool {

void AddHelpCommand(CLI::App& app) {
  auto topic = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("help", "show the help of the tool, or of a command");
  command->add_option("COMMAND", *topic, "the command to explain");
  SetAction(*command, [topic, &app] {
    if (topic->empty()) {
      // Asked of the tool itself: App::help would explain the chosen command, `help`.
      std::fputs(app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal).c_str(),
                 stdout);
      return kExitSuccess;
    }
    std::vector<std::string> names;
    for (const CLI::App* each : app.get_subcommands([](const CLI::App*) { return true; })) {
      if (each->get_name() == *topic) {
        std::fputs(each->help(app.get_name()).c_str(), stdout);
        return kExitSuccess;
      }
      names.push_back(each->get_name());
    }
    const std::string guess = scenario::DidYouMean(*topic, names);
    std::fprintf(stderr, "pndhal help: no command '%s'%s\nRun 'pndhal --help' for the commands.\n",
                 topic->c_str(), guess.empty() ? "" : ("; " + guess).c_str());
    return kExitUsage;
  });
}

}  // namespace tool
