// The keyboard input road: every key event that reaches the device takes it, whether a key pressed on the
// hardware (pndsim::PressKey and ReleaseKey) or one a program injects with keybd_event, so that both reach
// the same owners in the same way. The power key goes to the power manager, whose press suspends the device;
// a modifier key is held down from its press to its release and is no hot key itself; every other key goes
// to the hot key registered for it with the modifiers held.
#include <cstdio>
#include <iterator>

#include "ce/power.h"
#include "sim/power/power.h"
#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

namespace {

// The modifier keys, generic and sided, and the MOD_ flag each holds down.
constexpr struct {
  unsigned key;
  unsigned modifier;
} kModifierKeys[] = {
    {0x10, MOD_SHIFT},   {0xA0, MOD_SHIFT},   {0xA1, MOD_SHIFT},    // VK_SHIFT, VK_LSHIFT, VK_RSHIFT
    {0x11, MOD_CONTROL}, {0xA2, MOD_CONTROL}, {0xA3, MOD_CONTROL},  // VK_CONTROL, VK_LCONTROL, VK_RCONTROL
    {0x12, MOD_ALT},     {0xA4, MOD_ALT},     {0xA5, MOD_ALT},      // VK_MENU, VK_LMENU, VK_RMENU
    {0x5B, MOD_WIN},     {0x5C, MOD_WIN},                           // VK_LWIN, VK_RWIN
};

// The MOD_ flags of the modifier keys held down: a modifier stays held while any of its keys is down.
unsigned HeldModifiers(unsigned heldKeys) {
  unsigned modifiers = 0;
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i) {
    if ((heldKeys & (1u << i)) != 0) {
      modifiers |= kModifierKeys[i].modifier;
    }
  }
  return modifiers;
}

// One key event down the road: `modifiers` are those the event names, on top of the ones held. Returns
// whether it reached anyone: the power manager for a press of the power key that suspended the device, the
// owner of the hot key it matches for any other key but a modifier key, which only holds its modifier.
bool InjectKey(unsigned virtualKey, unsigned modifiers, bool release) {
  const DWORD time = GetTickCount();
  KernelLock lock(KernelMutex());
  if (virtualKey == VK_OFF) {
    return !release && SuspendLocked("power key");
  }
  WindowSystem& state = State();
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i) {
    if (kModifierKeys[i].key == virtualKey) {
      state.heldModifierKeys =
          release ? state.heldModifierKeys & ~(1u << i) : state.heldModifierKeys | (1u << i);
      return false;
    }
  }
  return DeliverHotKey(virtualKey, modifiers | HeldModifiers(state.heldModifierKeys), release, time);
}

}  // namespace

void keybd_event(BYTE virtualKey, BYTE scanCode, DWORD flags, ULONG_PTR extraInfo) {
  char vk[8];
  std::snprintf(vk, sizeof vk, "0x%02X", virtualKey);
  char flagText[16];
  std::snprintf(flagText, sizeof flagText, "0x%X", flags);
  Record("keybd_event",
         {NumberField("vk", virtualKey, vk), NumberField("scan", scanCode),
          NumberField("flags", flags, flagText), NumberField("extra", static_cast<std::int64_t>(extraInfo))});
  InjectKey(virtualKey, 0, (flags & KEYEVENTF_KEYUP) != 0);
}

bool pndsim::PressKey(unsigned virtualKey, unsigned modifiers) {
  return InjectKey(virtualKey, modifiers, false);
}

bool pndsim::ReleaseKey(unsigned virtualKey, unsigned modifiers) {
  return InjectKey(virtualKey, modifiers, true);
}
