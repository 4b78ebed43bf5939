// `pndhal info` and the device part of `pndhal tour`: power, display and
// audio as the HAL reports them, and their changes as listeners receive them.
// The identity and storage-card parts live in identity_commands.cpp.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "command_line.h"
#include "commands.h"
#include "hal/device_threads.h"
#include "hal/hal.h"

namespace tool {
namespace {

// Prints every power, volume and suspend notification and lets the tour wait
// for a number of them.
class PrintingDeviceListener : public IPMPowerListener,
                               public IVolumeListener,
                               public ISuspendResumeDeviceListener {
 public:
  void Notify(PMPowerInfo const& info) override {
    char text[80];
    std::snprintf(text, sizeof text, "power listener: battery %u%%, power state %u", info.batteryLevel,
                  info.powerState);
    Report(text);
  }
  void Notify(VolumeInfo const& volume) override {
    char text[80];
    std::snprintf(text, sizeof text, "volume listener: %u%%%s", static_cast<unsigned>(volume.volume),
                  volume.muted ? ", muted" : "");
    Report(text);
  }
  void Notify(bool const& suspending) override {
    Report(suspending ? "suspend/resume listener: about to suspend" : "suspend/resume listener: resumed");
  }

  /// Waits until `count` calls arrived in all; false after five seconds.
  bool WaitFor(int count) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(5), [&] { return calls_ >= count; });
  }
  int Calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void Report(const char* text) {
    std::lock_guard lock(mutex_);
    std::printf("    %s\n", text);
    ++calls_;
    arrived_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable arrived_;
  int calls_ = 0;
};

void PrintBacklightWrites() {
  std::printf("    levels written:");
  for (const auto& write : pndsim::BacklightWrites()) std::printf(" %u", write.level);
  std::printf(" (via %s)\n",
              pndsim::BacklightWrites().empty() ? "-" : pndsim::BacklightWrites().back().via.c_str());
  pndsim::ClearBacklightWrites();
}

// Runs `action`, then waits for one more listener call; false when none came.
template <class Action>
bool ExpectCall(PrintingDeviceListener& listener, const char* what, Action action) {
  std::printf("  %s\n", what);
  const int before = listener.Calls();
  action();
  if (listener.WaitFor(before + 1)) return true;
  std::fprintf(stderr, "pndhal: tour: no listener call after: %s\n", what);
  return false;
}

}  // namespace

bool TourDeviceServices() {
  PrintingDeviceListener listener;

  std::printf("\n== Power\n");
  const bool connected = ExpectCall(listener, "connect a power listener (it hears the state at once)",
                                    [&] { Connect(static_cast<IPMPowerListener*>(&listener)); });
  bool ok = connected;
  ok = ok && ExpectCall(listener, "plug in external power", [] { pndsim::PlugAc(); });
  ok = ok && ExpectCall(listener, "battery charging at 85%", [] { pndsim::SetBattery(85, 0x08); });
  ok = ok && ExpectCall(listener, "unplug external power", [] { pndsim::UnplugAc(); });

  std::printf("\n== Backlight\n");
  pndsim::ClearBacklightWrites();
  std::printf("  SetBrightness(30): the device level writes the vendor's level at once\n");
  SetBrightness(30, 0);
  PrintBacklightWrites();
  std::printf("  a fade back to 100%% in steps of 20 points, as the platform levels run it\n");
  if (CHAL* hal = GetHALInstance()) {
    CBrightnessFadeThread fade(100, 100);
    if (fade.Start(hal, nullptr)) fade.Wait(INFINITE);
  }
  PrintBacklightWrites();
  std::printf("  PMDisplayOff\n");
  PMDisplayOff();
  PrintBacklightWrites();

  std::printf("\n== Volume\n");
  Connect(static_cast<IVolumeListener*>(&listener));
  ok = ok && ExpectCall(listener, "SetVolume(50): the polling thread reports it within one period",
                        [] { SetVolume(50); });
  ok = ok && ExpectCall(listener, "Mute(true)", [] { Mute(true); });
  ok = ok && ExpectCall(listener, "Mute(false) restores it", [] { Mute(false); });

  std::printf("\n== Suspend and resume\n");
  Connect(static_cast<ISuspendResumeDeviceListener*>(&listener));
  ok = ok && ExpectCall(listener, "SuspendDevice(): the power-off key", [] { SuspendDevice(); });
  ok = ok && ExpectCall(listener, "the device wakes up", [] { pndsim::Resume(); });
  PrintNewTrace(stdout);
  ok = TourStorageCards() && ok;

  Disconnect(static_cast<IPMPowerListener*>(&listener));
  Disconnect(static_cast<IVolumeListener*>(&listener));
  Disconnect(static_cast<ISuspendResumeDeviceListener*>(&listener));
  // Listener calls already under way end before the listener goes away.
  FreeDLL();
  return ok;
}

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
