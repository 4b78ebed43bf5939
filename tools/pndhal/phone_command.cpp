// `pndhal phone`: the phone link on the default simulated device, with the
// simulated telephone program answering it, and what the HAL sees of it.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "text_output.h"

namespace tool {

const char* CallStatusName(int status) {
  switch (status) {
    case -1:
      return "unknown";
    case 0:
      return "no telephone service";
    case 1:
      return "no call";
    case 2:
      return "incoming call";
    case 3:
      return "dialling";
    case 4:
      return "call active";
    case 5:
      return "call held";
    default:
      return "?";
  }
}

namespace {

constexpr const char* kPhoneUsage =
    "usage: pndhal phone [--call idle|incoming|outgoing|active|held] [--power on|off] [--json]\n"
    "\n"
    "Launches the phone link on the simulated device, lets the telephone program\n"
    "report the given call state and Bluetooth power, and shows the link's state.\n";

struct Options {
  int call = -1;   // a TelephoneCall value, or -1 to leave it
  int power = -1;  // 0 or 1, or -1 to leave it
  bool json = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options& options) {
  static constexpr struct {
    const char* name;
    int state;
  } kCalls[] = {{"idle", pndsim::TelephoneCall::Idle},
                {"incoming", pndsim::TelephoneCall::Incoming},
                {"outgoing", pndsim::TelephoneCall::Outgoing},
                {"active", pndsim::TelephoneCall::Active},
                {"held", pndsim::TelephoneCall::Held}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--call" && hasValue) {
      const std::string& value = args[++i];
      for (const auto& call : kCalls) {
        if (value == call.name) options.call = call.state;
      }
      if (options.call == -1) {
        std::fprintf(stderr, "pndhal: phone: unknown call state '%s'\n", value.c_str());
        return false;
      }
    } else if (arg == "--power" && hasValue && (args[i + 1] == "on" || args[i + 1] == "off")) {
      options.power = args[++i] == "on" ? 1 : 0;
    } else {
      std::fprintf(stderr, "pndhal: phone: unknown or incomplete argument '%s'\n%s", arg.c_str(),
                   kPhoneUsage);
      return false;
    }
  }
  return true;
}

}  // namespace

int Phone(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kPhoneUsage, stdout);
    return 0;
  }
  Options options;
  if (!ParseOptions(args, options)) return 2;
  pndsim::Reset();
  CBTHAL* link = GetBTHAL();
  if (link == nullptr || !link->LaunchPhone(nullptr) || !pndsim::SyncTelephone()) {
    std::fprintf(stderr, "pndhal: phone: the telephone program did not answer\n");
    FreeDLL();
    return 1;
  }
  if (options.power != -1) pndsim::SetTelephoneBluetoothPower(options.power);
  if (options.call != -1) pndsim::SetTelephoneCallState(options.call);

  int status = -1;
  link->GetCallStatus(status);
  unsigned int percent = 0;
  const bool hasVolume = link->GetPhoneVolume(percent);
  bool muted = false;
  link->IsPhoneMuted(muted);
  const pndsim::TelephoneState telephone = pndsim::Telephone();
  const auto processes = pndsim::Processes();
  const std::string program = processes.empty() ? std::string() : processes.back().path;
  const auto log = pndsim::TelephoneLog();

  if (options.json) {
    std::printf("{\"program\": %s, \"callStatus\": %d, \"callStatusName\": %s, \"volumePercent\": %s, ",
                JsonString(program).c_str(), status, JsonString(CallStatusName(status)).c_str(),
                hasVolume ? std::to_string(percent).c_str() : "null");
    std::printf("\"muted\": %s, \"bluetoothPower\": %d, \"statusWindows\": [", muted ? "true" : "false",
                telephone.bluetoothPower);
    for (std::size_t i = 0; i < telephone.statusWindows.size(); ++i) {
      std::printf("%s%s", i == 0 ? "" : ", ", JsonString(telephone.statusWindows[i]).c_str());
    }
    std::printf("], \"telephoneLog\": [");
    for (std::size_t i = 0; i < log.size(); ++i) {
      std::printf("%s%s", i == 0 ? "" : ", ", JsonString(log[i].Text()).c_str());
    }
    std::printf("]}\n");
  } else {
    std::printf("telephone program: %s\n", program.c_str());
    std::printf("status windows:    ");
    for (const std::string& title : telephone.statusWindows) std::printf("%s ", title.c_str());
    std::printf("\nbluetooth power:   %s\n", telephone.bluetoothPower == 1 ? "on" : "off");
    std::printf("call status:       %d (%s)\n", status, CallStatusName(status));
    if (hasVolume) {
      std::printf("phone volume:      %u%%%s\n", percent, muted ? " (muted)" : "");
    } else {
      std::printf("phone volume:      unknown\n");
    }
    std::printf("messages the telephone program received:\n");
    for (const auto& message : log) std::printf("  %s\n", message.Text().c_str());
  }
  FreeDLL();
  pndsim::Reset();
  return 0;
}

}  // namespace tool
