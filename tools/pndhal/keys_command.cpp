// `pndhal keys`: the HAL's key map and the hot keys it registered on the device, so a reader sees which
// device key (the name a script presses) reaches a listener as which application key (the name a script
// expects).
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ce/window.h"
#include "command_line.h"
#include "commands.h"
#include "json_output.h"

namespace tool {
namespace {

// The device profile's name of a virtual key, or empty when the device has no key of that code.
std::string DeviceKeyName(unsigned long virtualKey) {
  for (const auto& [name, code] : pndsim::DeviceKeys()) {
    if (code == virtualKey) return name;
  }
  return {};
}

std::string ApplicationKeyName(eHardwareKey key) {
  return std::string(pndhal::NameOf(pndhal::kApplicationKeyNames, static_cast<long>(key)));
}

Json NameOrNull(const std::string& name) { return name.empty() ? Json(nullptr) : Json(name); }

std::string ModifierWords(unsigned modifiers) {
  std::string words;
  for (const auto& named : pndsim::kModifierNames) {
    if ((modifiers & static_cast<unsigned>(named.value)) != 0) {
      words += (words.empty() ? "" : "+") + std::string(named.name);
    }
  }
  return words.empty() ? "none" : words;
}

int Keys(const CommonOptions& options) {
  InitHAL();
  const HardwareKeyMap& map = GetHardwareKeyMap();
  const auto hotKeys = pndsim::HotKeys();
  if (options.json) {
    Json entries = Json::array();
    for (const auto& [virtualKey, key] : map) {
      entries.push_back({{"deviceKey", NameOrNull(DeviceKeyName(virtualKey))},
                         {"virtualKey", virtualKey},
                         {"applicationKey", NameOrNull(ApplicationKeyName(key))},
                         {"hardwareKey", static_cast<std::int32_t>(key)}});
    }
    Json registered = Json::array();
    for (const auto& hotKey : hotKeys) {
      registered.push_back({{"deviceKey", NameOrNull(DeviceKeyName(hotKey.virtualKey))},
                            {"virtualKey", hotKey.virtualKey},
                            {"modifiers", hotKey.modifiers & ~MOD_KEYUP},
                            {"keyUp", (hotKey.modifiers & MOD_KEYUP) != 0},
                            {"id", hotKey.id},
                            {"ownerThread", hotKey.ownerThread}});
    }
    PrintJson({{"keyMap", entries}, {"hotKeys", registered}});
  } else {
    // Scripts press the device key and expect the application key: the two columns side by side.
    std::printf("key map: device key (virtual-key code) -> application key (eHardwareKey value)\n");
    for (const auto& [virtualKey, key] : map) {
      const std::string device = DeviceKeyName(virtualKey);
      const std::string application = ApplicationKeyName(key);
      std::printf("  %-10s (0x%02lX) -> %-10s (%d)\n", device.empty() ? "-" : device.c_str(), virtualKey,
                  application.empty() ? "?" : application.c_str(), static_cast<int>(key));
    }
    std::printf("hot keys registered on the device: device key (virtual-key code)\n");
    for (const auto& hotKey : hotKeys) {
      const std::string device = DeviceKeyName(hotKey.virtualKey);
      std::printf("  %-10s (0x%02X)  id %d, modifiers %s, key-up %s, thread %u\n",
                  device.empty() ? "-" : device.c_str(), hotKey.virtualKey, hotKey.id,
                  ModifierWords(hotKey.modifiers & ~MOD_KEYUP).c_str(),
                  (hotKey.modifiers & MOD_KEYUP) != 0 ? "reported" : "not reported", hotKey.ownerThread);
    }
  }
  FreeDLL();
  return kExitSuccess;
}

}  // namespace

void AddKeysCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "keys",
      "show the key map (which device key reaches the listeners as which application key) and the "
      "hot keys the HAL registered on the device");
  auto options = std::make_shared<CommonOptions>();
  AddCommonOptions(*command, *options, {.json = true});
  SetAction(*command, [options] { return Keys(*options); });
}

}  // namespace tool
