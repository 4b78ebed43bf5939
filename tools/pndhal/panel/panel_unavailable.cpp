// `pndhal panel` in a tool built without cpp-httplib: the command is there and says why it cannot serve.
#include "command_line.h"
#include "commands.h"

namespace tool {

void AddPanelCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("panel", "serve a running device's panel (not in this build)");
  command->allow_extras();
  SetAction(*command, [] {
    std::fprintf(stderr,
                 "pndhal: panel: this pndhal was built without cpp-httplib (Debian: libcpp-httplib-dev), so "
                 "it has no panel\n");
    return kExitUsage;
  });
}

}  // namespace tool
