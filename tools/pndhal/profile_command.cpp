// `pndhal profile`: the built-in device profile as a starting point for one's own, or a profile checked
// and shown in full.
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>
#include <string>

#include "command_line.h"
#include "commands.h"

namespace tool {

void AddProfileCommand(CLI::App& app) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand("profile",
                                         "print the built-in device profile (JSON) as a starting point, or "
                                         "check the profile FILE and print it in full");
  command->add_option("FILE", *file, "a device profile to check");
  command->footer(
      "Exit codes: 0 the profile is sound; 2 it is not (FILE:LINE:COLUMN: FIELD: what is wrong).");
  SetAction(*command, [file] {
    if (file->empty()) {
      std::fputs(pndsim::DefaultProfile().c_str(), stdout);
      return kExitSuccess;
    }
    if (const auto error = pndsim::LoadProfile(*file)) {
      std::fprintf(stderr, "%s\n", error->Text().c_str());
      return kExitUsage;
    }
    std::fputs(pndsim::DeviceState().c_str(), stdout);
    return kExitSuccess;
  });
}

}  // namespace tool
