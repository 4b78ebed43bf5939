// pndhal: runs the HAL on the simulated device and shows what it does.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

namespace {

constexpr const char* kUsage =
    "usage: pndhal [--help] [--version] COMMAND [ARGS]\n"
    "\n"
    "Runs the navigation device's hardware-abstraction library on the simulated device.\n"
    "\n"
    "commands:\n"
    "  tour    start the HAL, walk through a short scenario and print every\n"
    "          platform action and listener call\n"
    "  info    show power, display and audio as the HAL reports them [--json]\n"
    "  time    show the device's UTC and local time and its time zone [--json]\n"
    "  zones   list the time-zone database as the HAL reads it [--json]\n"
    "  phone   launch the phone link with the simulated telephone program and\n"
    "          show its state [--call STATE] [--power on|off] [--json]\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("pndhal %s\n", PNDHAL_VERSION);
    return 0;
  }
  if (command == "tour") return tool::Tour(args);
  if (command == "info") return tool::Info(args);
  if (command == "time") return tool::Time(args);
  if (command == "zones") return tool::Zones(args);
  if (command == "phone") return tool::Phone(args);
  std::fprintf(stderr, "pndhal: unknown command '%s'\n%s", command.c_str(), kUsage);
  return 2;
}
