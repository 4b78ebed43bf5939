// The phone link in the scenario language: driving the link, and playing the telephone program's side;
// the call-status and foreground listeners and the phone link's queries.
#include <pndhal/pndhal.h>
#include <pndsim/pndsim.h>

#include <array>

#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

// What a call-status listener is told: unknown (-1), none (0), idle, incoming, outgoing, active, held.
const NameTable& CallStatuses() {
  static const NameTable table("a call status", pndhal::kCallStatusNames);
  return table;
}

// The telephone program's call states: idle, incoming, outgoing, active, held.
const NameTable& TelephoneCalls() {
  static const NameTable table("a call state", pndsim::kTelephoneCallNames);
  return table;
}

// What a foreground listener is told: unknown (-1), application (0), telephone (1).
const NameTable& ForegroundStates() {
  static const NameTable table("a foreground state", pndhal::kForegroundStateNames);
  return table;
}

// The telephone program's foreground reports: application (1), telephone (2).
const NameTable& TelephoneForegrounds() {
  static const NameTable table("a foreground", pndsim::kTelephoneForegroundNames);
  return table;
}

Statement ParsePhone(Cursor& cursor) {
  const std::size_t what = cursor.Choice({"launch", "close", "hangup", "show", "hide", "start", "stop",
                                          "call", "bluetooth", "foreground", "volume-step"});
  std::string text = "phone ";
  text += std::array<const char*, 11>{"launch", "close", "hangup",    "show",       "hide",       "start",
                                      "stop",   "call",  "bluetooth", "foreground", "volume-step"}[what];
  long value = 0;
  if (what == 7) {
    value = cursor.Named(TelephoneCalls());
    text += " " + TelephoneCalls().NameOf(value);
  } else if (what == 8) {
    value = cursor.TakeIf("on")    ? 1
            : cursor.TakeIf("off") ? 0
                                   : cursor.Integer(-1000, 1000, "on, off or a number");
    text += value == 1 ? " on" : value == 0 ? " off" : " " + std::to_string(value);
  } else if (what == 9) {
    value = cursor.Named(TelephoneForegrounds());
    text += " " + TelephoneForegrounds().NameOf(value);
  } else if (what == 10) {
    value = cursor.Integer(0, 1000, "a volume step");
    text += " " + std::to_string(value);
  }
  return Action(text, [what, value] {
    constexpr std::string_view kNotRunning = "the telephone program does not run";
    switch (what) {
      case 0:
        return Unless(GetBTHAL()->LaunchPhone(nullptr) && pndsim::SyncTelephone(),
                      "the phone link did not start");
      case 1:
        return Unless(GetBTHAL()->ClosePhone(), "the phone link did not close");
      case 2:
        return Unless(GetBTHAL()->HangUp() && pndsim::SyncTelephone(),
                      "the hang-up did not reach the program");
      case 3:
        return Unless(GetBTHAL()->ShowPhoneWindow(), "the phone window was not shown");
      case 4:
        return Unless(GetBTHAL()->HidePhoneWindow(), "the phone window was not hidden");
      case 5:
        return Unless(pndsim::StartTelephone(), "the telephone program did not start");
      case 6:
        return Unless(pndsim::StopTelephone(), "the telephone program did not stop");
      case 7:
        return Unless(pndsim::SetTelephoneCallState(static_cast<int>(value)), kNotRunning);
      case 8:
        return Unless(pndsim::SetTelephoneBluetoothPower(static_cast<int>(value)), kNotRunning);
      case 9:
        return Unless(pndsim::SetTelephoneForeground(static_cast<int>(value)), kNotRunning);
      default:
        return Unless(pndsim::SetTelephoneVolumeStep(static_cast<unsigned>(value)), kNotRunning);
    }
  });
}

std::string CallStatusAnswer(long) {
  int status = -1;
  GetBTHAL()->GetCallStatus(status);
  return CallStatuses().NameOf(status);
}

std::string PhoneVolumeAnswer(long) {
  unsigned percent = 0;
  return GetBTHAL()->GetPhoneVolume(percent) ? std::to_string(percent) : "false";
}

std::string PhoneMutedAnswer(long) {
  bool muted = false;
  return GetBTHAL()->IsPhoneMuted(muted) ? BoolAnswer(muted) : "false";
}

// expect call STATUS
void CallStatusPattern(CallPattern& pattern) { pattern.Named(CallStatuses(), -1, 5); }

ListenerCall CallStatusCall(int const* status) {
  return {{TextField("status", CallStatuses().NameOf(*status))}, {}};
}

// expect foreground STATE
void ForegroundPattern(CallPattern& pattern) { pattern.Named(ForegroundStates(), -1, 1); }

ListenerCall ForegroundCall(int const* state) {
  return {{TextField("state", ForegroundStates().NameOf(*state))}, {}};
}

ServiceDescription Describe() {
  return {
      .verbs = {{190,
                 {"phone",
                  "phone launch|close|hangup|show|hide|start|stop | call STATE | bluetooth on|off | "
                  "foreground application|telephone | volume-step N",
                  "drive the phone link, or play the telephone program's side"},
                 ParsePhone}},
      .queries =
          {
              {130, "GetCallStatus", false, "STATUS", CallStatusAnswer},
              {140, "GetPhoneVolume", false, "PERCENT", PhoneVolumeAnswer},
              {150, "IsPhoneMuted", false, "true|false", PhoneMutedAnswer},
          },
      // The two listeners share a signature: each kind is told apart by its interface.
      .listeners =
          {
              Listener<IBTCallStatusListener>(CallStatusPattern, CallStatusCall),
              Listener<IBTForegroundListener>(ForegroundPattern, ForegroundCall),
          },
  };
}

const Service kPhoneLink(Describe);

}  // namespace
}  // namespace scenario
