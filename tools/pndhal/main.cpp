// pndhal: runs the HAL on the simulated device and shows what it does.
#include "command_line.h"
#include "commands.h"

int main(int argc, char** argv) {
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
  return tool::RunTool(app, argc, argv);
}
