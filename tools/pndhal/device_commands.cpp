// `pndhal info`: power, display and audio as the HAL reports them. The
// identity part lives in identity_commands.cpp.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <cstdio>
#include <memory>

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

  static const char* const kPowerStates[] = {"on battery", "external power, no battery", "charging",
                                             "external power"};
  static const char* const kOrientations[] = {"portrait", "landscape", "square"};
  const char* state = power.powerState < 4 ? kPowerStates[power.powerState] : "unknown";
  const char* orientation = display.orientation < 3 ? kOrientations[display.orientation] : "unknown";
  if (options.json) {
    Json info = {{"power",
                  {{"batteryLevel", power.batteryLevel},
                   {"powerState", power.powerState},
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
  std::printf("power:      battery %u%%%s, %s (state %u)\n", power.batteryLevel,
              powerKnown ? "" : " (reported as empty)", state, power.powerState);
  if (brightnessKnown) {
    std::printf("brightness: %u%%\n", brightness);
  } else {
    std::printf("brightness: unavailable\n");
  }
  if (displayKnown) {
    std::printf("display:    %u x %u, %s\n", display.width, display.height, orientation);
  } else {
    std::printf("display:    unavailable\n");
  }
  if (volumeKnown) {
    std::printf("volume:     %u%%\n", volume);
  } else {
    std::printf("volume:     unavailable\n");
  }
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
