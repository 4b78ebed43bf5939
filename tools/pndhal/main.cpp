// pndhal: runs the HAL on the simulated device and shows what it does.
#include <cstdio>
#include <exception>

#include "command_line.h"
#include "commands.h"

int main(int argc, char** argv) try {
  CLI::App app;
  tool::ConfigureTool(app);
  tool::AddTourCommand(app);
  tool::AddRunCommand(app);
  tool::AddProfileCommand(app);
  tool::AddInfoCommand(app);
  tool::AddKeysCommand(app);
  tool::AddTimeCommand(app);
  tool::AddZonesCommand(app);
  tool::AddPhoneCommand(app);
  tool::AddDevicesCommand(app);
  tool::AddConsoleCommand(app);
  tool::AddPanelCommand(app);
  tool::AddHelpCommand(app);
  return tool::RunTool(app, argc, argv);
} catch (const std::exception& failure) {
  // Setting up the command line needs memory; without it, there is nothing to run.
  std::fprintf(stderr, "pndhal: %s\n", failure.what());
  return tool::kExitFailure;
}
