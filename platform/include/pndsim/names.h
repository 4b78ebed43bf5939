// The words for the values of the simulated device's own state, one table per kind of value: device
// profiles, scenario scripts, the console and the tool say these words and no others.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "pndsim/telephone.h"
#include "pndsim/windows.h"

namespace pndsim {

/// A value and its word.
struct NamedValue {
  std::string_view name;
  long value;
};

/// The AC line (PowerStatus::acLineStatus).
inline constexpr NamedValue kAcLineNames[] = {
    {"offline", 0}, {"online", 1}, {"backup", 2}, {"unknown", 0xFF}};

/// Battery flags (PowerStatus::batteryFlag).
inline constexpr NamedValue kBatteryFlagNames[] = {{"high", 0x01},     {"low", 0x02},  {"critical", 0x04},
                                                   {"charging", 0x08}, {"none", 0x80}, {"unknown", 0xFF}};

/// The telephone program's call states (TelephoneCall).
inline constexpr NamedValue kTelephoneCallNames[] = {{"idle", TelephoneCall::Idle},
                                                     {"incoming", TelephoneCall::Incoming},
                                                     {"outgoing", TelephoneCall::Outgoing},
                                                     {"active", TelephoneCall::Active},
                                                     {"held", TelephoneCall::Held}};

/// The telephone program's foreground reports (TelephoneForeground).
inline constexpr NamedValue kTelephoneForegroundNames[] = {{"application", TelephoneForeground::Application},
                                                           {"telephone", TelephoneForeground::Telephone}};

/// The modifier keys held with a pressed key.
inline constexpr NamedValue kModifierNames[] = {
    {"alt", kModifierAlt}, {"ctrl", kModifierControl}, {"shift", kModifierShift}, {"win", kModifierWin}};

/// The word of `value` in `names`; empty when it has none.
constexpr std::string_view NameOf(std::span<const NamedValue> names, long value) {
  for (const NamedValue& named : names) {
    if (named.value == value) return named.name;
  }
  return {};
}

}  // namespace pndsim
