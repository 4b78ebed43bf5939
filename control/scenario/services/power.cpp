// Power in the scenario language: the battery, external power, suspend and resume; the power and suspend
// listeners and the power information query.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <optional>

#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

// What a power listener is told of the power source: battery, external, charging, full.
const NameTable& PowerStates() {
  static const NameTable table("a power state", pndhal::kPowerStateNames);
  return table;
}

// Battery flags: high, low, critical, charging, none, unknown.
const NameTable& BatteryFlags() {
  static const NameTable table("a battery flag", pndsim::kBatteryFlagNames);
  return table;
}

// The AC line: offline, online, backup, unknown.
const NameTable& AcLines() {
  static const NameTable table("an AC line state", pndsim::kAcLineNames);
  return table;
}

Statement ParseBattery(Cursor& cursor) {
  const long percent = cursor.Integer(0, 100, "a battery percentage");
  std::optional<long> flag;
  std::optional<long> ac;
  while (!cursor.AtEnd()) {
    if (cursor.TakeIf("ac")) {
      ac = cursor.Named(AcLines(), true, 0, 255);
    } else if (!flag) {
      flag = cursor.Named(BatteryFlags(), true, 0, 255);
    } else {
      cursor.Choice({"ac"});
    }
  }
  // Without a flag, the one a battery gauge would report for the level.
  const long chosenFlag = flag ? *flag : percent <= 5 ? 0x04 : percent <= 20 ? 0x02 : 0x01;
  std::string text = "battery " + std::to_string(percent) + " " + BatteryFlags().NameOf(chosenFlag);
  if (ac) text += " ac " + AcLines().NameOf(*ac);
  return Action(text, [=] {
    if (ac) {
      pndsim::SetPowerStatus({static_cast<std::uint8_t>(*ac), static_cast<std::uint8_t>(chosenFlag),
                              static_cast<std::uint8_t>(percent)});
    } else {
      pndsim::SetBattery(static_cast<std::uint8_t>(percent), static_cast<std::uint8_t>(chosenFlag));
    }
    return std::string();
  });
}

Statement ParsePlug(Cursor&) {
  return Action("plug", [] { return pndsim::PlugAc(), std::string(); });
}

Statement ParseUnplug(Cursor&) {
  return Action("unplug", [] { return pndsim::UnplugAc(), std::string(); });
}

Statement ParseSuspend(Cursor&) {
  return Action("suspend", [] { return Unless(pndsim::Suspend(), "the device is suspended already"); });
}

Statement ParseResume(Cursor&) {
  return Action("resume", [] { return Unless(pndsim::Resume(), "the device is not suspended"); });
}

std::string PowerInfoAnswer(long) {
  PMPowerInfo info{};
  if (!PMGetPowerInfo(info)) return "false";
  return std::to_string(info.batteryLevel) + " " + PowerStates().NameOf(static_cast<long>(info.powerState));
}

// expect power LEVEL [STATE]
void PowerPattern(CallPattern& pattern) {
  pattern.Number(0, 255, "a battery level");
  if (!pattern.AtEnd()) pattern.Named(PowerStates(), 0, 255);
}

ListenerCall PowerCall(PMPowerInfo const& info) {
  return {{NumberField("level", info.batteryLevel),
           TextField("state", PowerStates().NameOf(static_cast<long>(info.powerState)))},
          {}};
}

// expect suspend true|false
void SuspendPattern(CallPattern& pattern) {
  pattern.Field([&] { return pattern.Input().OnOff() ? "true" : "false"; });
}

ListenerCall SuspendCall(bool const& suspending) {
  return {{NumberField("suspending", suspending ? 1 : 0, suspending ? "true" : "false")}, {}};
}

// The polling thread's first round reports the power state it finds when it is not 0, its starting point.
std::string_view ReportAtStart() {
  PMPowerInfo power{};
  PMGetPowerInfo(power);
  return power.batteryLevel != 0 || power.powerState != 0 ? pndhal::ListenerKind<IPMPowerListener>::kName
                                                          : std::string_view();
}

ServiceDescription Describe() {
  return {
      .verbs =
          {
              {50,
               {"battery", "battery PERCENT [FLAG] [ac offline|online|backup|unknown]",
                "set the battery level, its flag (high, low, critical, charging, none) and the AC line"},
               ParseBattery},
              {60, {"plug", "plug", "plug external power in"}, ParsePlug},
              {70, {"unplug", "unplug", "unplug external power"}, ParseUnplug},
              {80, {"suspend", "suspend", "suspend the device"}, ParseSuspend},
              {90, {"resume", "resume", "wake the suspended device"}, ParseResume},
          },
      .queries = {{40, "PMGetPowerInfo", false, "LEVEL STATE", PowerInfoAnswer}},
      .listeners =
          {
              Listener<IPMPowerListener>(PowerPattern, PowerCall),
              Listener<ISuspendResumeDeviceListener>(SuspendPattern, SuspendCall),
          },
      .listening = [] { return pndsim::PowerNotificationCount() > 0; },
      .reportAtStart = ReportAtStart,
  };
}

const Service kPower(Describe);

}  // namespace
}  // namespace scenario
