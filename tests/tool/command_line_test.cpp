// The tool's command line as a person meets it: help for the tool and every
// command, the version, and usage errors on stderr with exit code 2.
#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "process.h"

namespace {

enum class Stream { Out, Err };

struct CommandLineCase {
  const char* name;
  std::vector<std::string> args;
  int exitCode;
  Stream speaksOn;                  // where the tool must write; the other stream stays empty
  std::vector<std::string> naming;  // texts that must appear there
};

constexpr const char* kCommands[] = {"tour",  "run",   "profile", "info",    "keys", "time",
                                     "zones", "phone", "devices", "console", "help"};

std::vector<CommandLineCase> Cases() {
  std::vector<std::string> toolHelp(std::begin(kCommands), std::end(kCommands));
  toolHelp.insert(toolHelp.end(), {"--help", "--version", "Exit codes", "0  success",
                                   "1  a check or expectation failed", "2  usage error"});
  return {
      {"Version", {"--version"}, 0, Stream::Out, {"pndhal " PNDHAL_VERSION "\n"}},
      {"ToolHelp", {"--help"}, 0, Stream::Out, toolHelp},
      {"TourHelp",
       {"tour", "--help"},
       0,
       Stream::Out,
       {"tour", "--time-scale", "--json", "--record", "--profile"}},
      {"RunHelp",
       {"run", "--help"},
       0,
       Stream::Out,
       {"FILE", "--trace", "--json", "--time-scale", "--record", "--attach", "--launch", "--stop-wait",
        "--jobs", "--junit", "--quiet", "--profile", "FILE:LINE"}},
      {"ProfileHelp", {"profile", "--help"}, 0, Stream::Out, {"FILE"}},
      {"DevicesHelp", {"devices", "--help"}, 0, Stream::Out, {"--json"}},
      {"ConsoleHelp", {"console", "--help"}, 0, Stream::Out, {"DEVICE", "--command"}},
      {"RunNeedsAFile", {"run"}, 2, Stream::Err, {"FILE"}},
      {"InfoHelp", {"info", "--help"}, 0, Stream::Out, {"info", "--json"}},
      {"KeysHelp", {"keys", "--help"}, 0, Stream::Out, {"keys", "--json"}},
      {"TimeHelp", {"time", "--help"}, 0, Stream::Out, {"time", "--json"}},
      {"ZonesHelp", {"zones", "--help"}, 0, Stream::Out, {"zones", "--json"}},
      {"PhoneHelp", {"phone", "--help"}, 0, Stream::Out, {"phone", "--call", "--power", "--json"}},
      {"NoCommandPrintsHelpToStderr", {}, 2, Stream::Err, toolHelp},
      {"UnknownCommand", {"frobnicate"}, 2, Stream::Err, {"frobnicate", "pndhal --help"}},
      {"UnknownOption", {"info", "--bogus"}, 2, Stream::Err, {"--bogus", "pndhal info --help"}},
      {"UnknownToolOption", {"--bogus"}, 2, Stream::Err, {"--bogus"}},
      {"TwoCommands", {"time", "zones"}, 2, Stream::Err, {"zones"}},
      {"JsonOnlyWhereOutputIsData",
       {"profile", "--json"},
       2,
       Stream::Err,
       {"--json", "pndhal profile --help"}},
      {"BadCallState", {"phone", "--call", "ringing"}, 2, Stream::Err, {"ringing"}},
      {"MissingOptionValue", {"phone", "--power"}, 2, Stream::Err, {"--power"}},
      {"TimeScaleMustBePositive", {"tour", "--time-scale", "0"}, 2, Stream::Err, {"--time-scale"}},
      {"KeysShowTheDeviceKeyBesideTheApplicationKey",
       {"keys"},
       0,
       Stream::Out,
       {"\n  Return     (0x0D) -> Enter      (4)\n"}},
      {"InfoLabelsSayWhatEachValueIs",
       {"info"},
       0,
       Stream::Out,
       {"\nOEM text (GetDeviceInfo 4):", "\nversion text (GetDeviceInfo 15):",
        "\nBluetooth address (GetBtMACAddr):"}},
      {"HelpAsACommand", {"help"}, 0, Stream::Out, toolHelp},
      {"HelpOfACommand",
       {"help", "run"},
       0,
       Stream::Out,
       {"Usage: pndhal run", "--launch", "--junit", "--jobs"}},
      {"HelpOfANearMiss", {"help", "rnu"}, 2, Stream::Err, {"no command 'rnu'; did you mean 'run'?"}},
      {"NearMissCommand", {"kyes"}, 2, Stream::Err, {"unknown command 'kyes'; did you mean 'keys'?"}},
      {"NearMissOption", {"run", "--jsn", "x.scn"}, 2, Stream::Err, {"--jsn; did you mean '--json'?"}},
      {"NoGuessForAFarWord", {"zones", "--colour"}, 2, Stream::Err, {"--colour\nRun 'pndhal zones --help'"}},
  };
}

// Test listings name a case by its name alone.
void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, ExitCodeAndMessage) {
  const CommandLineCase& c = GetParam();
  pndtest::ProcessRequest request;
  request.argv = {PNDHAL_TOOL};
  request.argv.insert(request.argv.end(), c.args.begin(), c.args.end());
  const pndtest::ProcessResult result = pndtest::RunProcess(request);

  EXPECT_EQ(result.exitCode, c.exitCode) << "stderr: " << result.err;
  const std::string& spoken = c.speaksOn == Stream::Out ? result.out : result.err;
  const std::string& silent = c.speaksOn == Stream::Out ? result.err : result.out;
  EXPECT_EQ(silent, "");
  for (const std::string& text : c.naming) {
    EXPECT_NE(spoken.find(text), std::string::npos) << text << " in:\n" << spoken;
  }
}

INSTANTIATE_TEST_SUITE_P(Tool, CommandLineTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<CommandLineCase>& param) {
                           return param.param.name;
                         });

}  // namespace
