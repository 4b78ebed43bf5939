// The words for the values the library exchanges with the application, one table per kind of value: the
// tool, scenario scripts and their recordings, device profiles and every JSON output say these words and
// no others.
#pragma once

#include <span>
#include <string_view>

#include "pndhal/listeners.h"
#include "pndhal/records.h"

namespace pndhal {

/// A value and its word.
struct NamedValue {
  std::string_view name;
  long value;
};

/// The application's key codes (eHardwareKey).
inline constexpr NamedValue kApplicationKeyNames[] = {{"Up", eHardwareKeyUp},
                                                      {"Down", eHardwareKeyDown},
                                                      {"Right", eHardwareKeyRight},
                                                      {"Left", eHardwareKeyLeft},
                                                      {"Enter", eHardwareKeyEnter},
                                                      {"Device5", eHardwareKeyDevice5},
                                                      {"Device6", eHardwareKeyDevice6},
                                                      {"Device7", eHardwareKeyDevice7},
                                                      {"Device8", eHardwareKeyDevice8},
                                                      {"F6", eHardwareKeyF6},
                                                      {"F7", eHardwareKeyF7},
                                                      {"F8", eHardwareKeyF8},
                                                      {"Device16", eHardwareKeyDevice16},
                                                      {"Device24", eHardwareKeyDevice24},
                                                      {"Device25", eHardwareKeyDevice25},
                                                      {"Device26", eHardwareKeyDevice26},
                                                      {"Device27", eHardwareKeyDevice27},
                                                      {"Unmapped", eHardwareKeyUnmapped}};

/// The power source and charge of a power report (ePowerState).
inline constexpr NamedValue kPowerStateNames[] = {{"battery", ePowerStateBattery},
                                                  {"external", ePowerStateExternal},
                                                  {"charging", ePowerStateCharging},
                                                  {"full", ePowerStateFull}};

/// Storage-card kinds (eCardType).
inline constexpr NamedValue kCardTypeNames[] = {
    {"sd", eCardTypeSD}, {"cf", eCardTypeCF}, {"other", eCardTypeOther}};

/// The phone link's call status (eCallStatus).
inline constexpr NamedValue kCallStatusNames[] = {
    {"unknown", eCallStatusUnknown},   {"none", eCallStatusNone},         {"idle", eCallStatusIdle},
    {"incoming", eCallStatusIncoming}, {"outgoing", eCallStatusOutgoing}, {"active", eCallStatusActive},
    {"held", eCallStatusHeld}};

/// Which program is in front (eForegroundState).
inline constexpr NamedValue kForegroundStateNames[] = {{"unknown", eForegroundUnknown},
                                                       {"application", eForegroundApplication},
                                                       {"telephone", eForegroundTelephone}};

/// The screen's orientation (eOrientation).
inline constexpr NamedValue kOrientationNames[] = {
    {"portrait", eOrientationPortrait}, {"landscape", eOrientationLandscape}, {"square", eOrientationSquare}};

/// The words of the listener kinds: those of PNDHAL_LISTENERS, then those of PNDHAL_PHONE_LISTENERS.
inline constexpr std::string_view kListenerKindNames[] = {
#define PNDHAL_LISTENER_WORD(Interface, word) word,
    PNDHAL_LISTENERS(PNDHAL_LISTENER_WORD) PNDHAL_PHONE_LISTENERS(PNDHAL_LISTENER_WORD)
#undef PNDHAL_LISTENER_WORD
};

/// The word of a listener interface's kind: ListenerKind<IPMPowerListener>::kName is "power".
template <class Listener>
struct ListenerKind;
#define PNDHAL_LISTENER_KIND(Interface, word)       \
  template <>                                       \
  struct ListenerKind<Interface> {                  \
    static constexpr std::string_view kName = word; \
  };
PNDHAL_LISTENERS(PNDHAL_LISTENER_KIND)
PNDHAL_PHONE_LISTENERS(PNDHAL_LISTENER_KIND)
#undef PNDHAL_LISTENER_KIND

/// The word of `value` in `names`; empty when it has none.
constexpr std::string_view NameOf(std::span<const NamedValue> names, long value) {
  for (const NamedValue& named : names) {
    if (named.value == value) return named.name;
  }
  return {};
}

}  // namespace pndhal
