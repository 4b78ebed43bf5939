// `pndhal info`: power, display and audio as the HAL reports them. The
// identity part lives in identity_commands.cpp.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "command_line.h"
#include "commands.h"

namespace tool {

namespace {

int Info(const CommonOptions& options) {
  InitHAL();
  PMPowerInfo power{0, 0};
  const bool powerKnown = PMGetPowerInfo(power);
  unsigned brightness = 0;
  const bool brightnessKnown = GetBrightness(brightness);
  DisplayInfo display{0, 0, 0};
  const bool displayKnown = GetScreenOrientation(display);
  unsigned volume = 0;
  const bool volumeKnown = GetVolume(volume);

  // The words scripts and listeners use for the same values.
  const auto word = [](std::span<const pndhal::NamedValue> names, long value) {
    const std::string_view name = pndhal::NameOf(names, value);
    return name.empty() ? std::string("unknown") : std::string(name);
  };
  const std::string state = word(pndhal::kPowerStateNames, power.powerState);
  const std::string orientation = word(pndhal::kOrientationNames, display.orientation);
  if (options.json) {
    Json info = {{"power",
                  {{"batteryLevel", power.batteryLevel},
                   {"powerState", power.powerState},
                   {"powerStateName", state},
                   {"batteryReported", powerKnown}}}};
    info["brightnessPercent"] = brightnessKnown ? Json(brightness) : Json(nullptr);
    info["display"] =
        displayKnown
            ? Json{{"width", display.width}, {"height", display.height}, {"orientation", orientation}}
            : Json(nullptr);
    info["volumePercent"] = volumeKnown ? Json(volume) : Json(nullptr);
    AddIdentity(info);
    PrintJson(info);
    FreeDLL();
    return kExitSuccess;
  }
  PrintField("battery, power state (PMGetPowerInfo)",
             std::to_string(power.batteryLevel) + "%" + (powerKnown ? "" : " (reported as empty)") + ", " +
                 state + " (" + std::to_string(power.powerState) + ")");
  PrintField("brightness (GetBrightness)",
             brightnessKnown ? std::to_string(brightness) + "%" : "unavailable");
  PrintField("screen (GetScreenOrientation)",
             displayKnown
                 ? std::to_string(display.width) + " x " + std::to_string(display.height) + ", " + orientation
                 : "unavailable");
  PrintField("volume (GetVolume)", volumeKnown ? std::to_string(volume) + "%" : "unavailable");
  PrintIdentity();
  FreeDLL();
  return kExitSuccess;
}

}  // namespace

void AddInfoCommand(CLI::App& app) {
  CLI::App* command =
      app.add_subcommand("info", "show power, display, audio and identity as the HAL reports them");
  auto options = std::make_shared<CommonOptions>();
  AddCommonOptions(*command, *options, {.json = true});
  SetAction(*command, [options] { return Info(*options); });
}

}  // namespace tool
