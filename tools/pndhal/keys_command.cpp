// `pndhal keys`: the HAL's key map and the hot keys it registered on the
// device, so a reader sees which virtual keys reach which listener value.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>

#include "ce/window.h"
#include "command_line.h"
#include "commands.h"
#include "json_output.h"

namespace tool {
namespace {

// The enumerator's name of a hardware-key value, or null for a value the
// enumeration does not name.
const char* HardwareKeyName(eHardwareKey key) {
  switch (key) {
    case eHardwareKeyUp:
      return "eHardwareKeyUp";
    case eHardwareKeyDown:
      return "eHardwareKeyDown";
    case eHardwareKeyRight:
      return "eHardwareKeyRight";
    case eHardwareKeyLeft:
      return "eHardwareKeyLeft";
    case eHardwareKeyEnter:
      return "eHardwareKeyEnter";
    case eHardwareKeyDevice5:
      return "eHardwareKeyDevice5";
    case eHardwareKeyDevice6:
      return "eHardwareKeyDevice6";
    case eHardwareKeyDevice7:
      return "eHardwareKeyDevice7";
    case eHardwareKeyDevice8:
      return "eHardwareKeyDevice8";
    case eHardwareKeyF6:
      return "eHardwareKeyF6";
    case eHardwareKeyF7:
      return "eHardwareKeyF7";
    case eHardwareKeyF8:
      return "eHardwareKeyF8";
    case eHardwareKeyDevice16:
      return "eHardwareKeyDevice16";
    case eHardwareKeyDevice24:
      return "eHardwareKeyDevice24";
    case eHardwareKeyDevice25:
      return "eHardwareKeyDevice25";
    case eHardwareKeyDevice26:
      return "eHardwareKeyDevice26";
    case eHardwareKeyDevice27:
      return "eHardwareKeyDevice27";
    case eHardwareKeyUnmapped:
      return "eHardwareKeyUnmapped";
  }
  return nullptr;
}

int Keys(const CommonOptions& options) {
  InitHAL();
  const HardwareKeyMap& map = GetHardwareKeyMap();
  const auto hotKeys = pndsim::HotKeys();
  if (options.json) {
    Json entries = Json::array();
    for (const auto& [virtualKey, key] : map) {
      const char* name = HardwareKeyName(key);
      entries.push_back({{"virtualKey", virtualKey},
                         {"hardwareKey", static_cast<std::int32_t>(key)},
                         {"name", name != nullptr ? Json(name) : Json(nullptr)}});
    }
    Json registered = Json::array();
    for (const auto& hotKey : hotKeys) {
      registered.push_back({{"virtualKey", hotKey.virtualKey},
                            {"modifiers", hotKey.modifiers & ~MOD_KEYUP},
                            {"keyUp", (hotKey.modifiers & MOD_KEYUP) != 0},
                            {"id", hotKey.id},
                            {"ownerThread", hotKey.ownerThread}});
    }
    PrintJson({{"keyMap", entries}, {"hotKeys", registered}});
  } else {
    std::printf("key map (virtual key -> hardware key):\n");
    for (const auto& [virtualKey, key] : map) {
      const char* name = HardwareKeyName(key);
      std::printf("  0x%02lX -> %2d %s\n", virtualKey, static_cast<int>(key), name != nullptr ? name : "?");
    }
    std::printf("hot keys registered on the device:\n");
    for (const auto& hotKey : hotKeys) {
      std::printf("  0x%02X  id %d, modifiers 0x%X%s, thread %u\n", hotKey.virtualKey, hotKey.id,
                  hotKey.modifiers & ~MOD_KEYUP,
                  (hotKey.modifiers & MOD_KEYUP) != 0 ? ", key-up reported" : "", hotKey.ownerThread);
    }
  }
  FreeDLL();
  return kExitSuccess;
}

}  // namespace

void AddKeysCommand(CLI::App& app) {
  CLI::App* command =
      app.add_subcommand("keys", "show the HAL's key map and the hot keys it registered on the device");
  auto options = std::make_shared<CommonOptions>();
  AddCommonOptions(*command, *options, {.json = true});
  SetAction(*command, [options] { return Keys(*options); });
}

}  // namespace tool
