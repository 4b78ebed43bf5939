// `pndhal phone`: the phone link on the default simulated device, with the
// simulated telephone program answering it, and what the HAL sees of it.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "json_output.h"

namespace tool {

namespace {

struct PhoneOptions {
  CommonOptions common;
  std::string call;   // a call state name, empty to leave it
  std::string power;  // "on" or "off", empty to leave it
};

// The word of a call status, as scripts and listeners say it.
std::string CallStatusName(int status) {
  const std::string_view name = pndhal::NameOf(pndhal::kCallStatusNames, status);
  return name.empty() ? std::to_string(status) : std::string(name);
}

int Phone(const PhoneOptions& options) {
  pndsim::Reset();
  CBTHAL* link = GetBTHAL();
  if (link == nullptr || !link->LaunchPhone(nullptr) || !pndsim::SyncTelephone()) {
    std::fprintf(stderr, "pndhal: phone: the telephone program did not answer\n");
    FreeDLL();
    return kExitFailure;
  }
  if (!options.power.empty()) pndsim::SetTelephoneBluetoothPower(options.power == "on" ? 1 : 0);
  for (const auto& call : pndsim::kTelephoneCallNames) {
    if (options.call == call.name) pndsim::SetTelephoneCallState(static_cast<int>(call.value));
  }

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

  if (options.common.json) {
    Json messages = Json::array();
    for (const auto& message : log) messages.push_back(message.Text());
    PrintJson({{"program", program},
               {"callStatus", status},
               {"callStatusName", CallStatusName(status)},
               {"volumePercent", hasVolume ? Json(percent) : Json(nullptr)},
               {"muted", muted},
               {"bluetoothPower", telephone.bluetoothPower},
               {"statusWindows", telephone.statusWindows},
               {"telephoneLog", messages}});
  } else {
    std::printf("telephone program: %s\n", program.c_str());
    std::printf("status windows:    ");
    for (const std::string& title : telephone.statusWindows) std::printf("%s ", title.c_str());
    std::printf("\nbluetooth power:   %s\n", telephone.bluetoothPower == 1 ? "on" : "off");
    std::printf("call status:       %s (%d)\n", CallStatusName(status).c_str(), status);
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
  return kExitSuccess;
}

}  // namespace

void AddPhoneCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "phone", "launch the phone link with the simulated telephone program and show what the HAL sees of it");
  auto options = std::make_shared<PhoneOptions>();
  std::vector<std::string> calls;
  for (const auto& call : pndsim::kTelephoneCallNames) calls.emplace_back(call.name);
  command
      ->add_option("--call", options->call,
                   "the call state the telephone program reports: idle, incoming, outgoing, active or held")
      ->type_name("STATE")
      ->check(CLI::IsMember(calls).description(""));
  command->add_option("--power", options->power, "the telephone's Bluetooth power")
      ->type_name("on|off")
      ->check(CLI::IsMember({"on", "off"}).description(""));
  AddCommonOptions(*command, options->common, {.json = true});
  SetAction(*command, [options] { return Phone(*options); });
}

}  // namespace tool
