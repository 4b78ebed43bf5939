// Controls and observations of the emulated window system: hardware key
// presses delivered to hot-key owners, the hot keys and windows that exist,
// the message boxes shown and the foreground window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pndsim/control.h"

namespace pndsim {

/// The modifier flags of PressKey, ReleaseKey and HotKey::modifiers: the platform's MOD_ALT, MOD_CONTROL,
/// MOD_SHIFT, MOD_WIN and MOD_KEYUP.
inline constexpr unsigned kModifierAlt = 0x1;
inline constexpr unsigned kModifierControl = 0x2;
inline constexpr unsigned kModifierShift = 0x4;
inline constexpr unsigned kModifierWin = 0x8;
inline constexpr unsigned kModifierKeyUp = 0x1000;

/// Presses a hardware key with the modifier keys `modifiers` (MOD_ALT,
/// MOD_CONTROL, MOD_SHIFT, MOD_WIN; MOD_KEYUP is ignored) held, on top of
/// those held down by earlier key events. The key takes the road of a key
/// injected with keybd_event: the power key (VK_OFF) suspends the device
/// (true when it did), a modifier key (VK_SHIFT, VK_CONTROL, VK_MENU, their
/// sided variants, VK_LWIN, VK_RWIN) is held until its release and reaches
/// no hot key (false). For any other key, the hot key
/// registered for exactly that key and those modifiers gets WM_HOTKEY in its
/// owner's queue (hwnd the owning window, null for a hot key of a thread;
/// wParam its id; lParam the modifiers without MOD_KEYUP in the low and the
/// key in the high 16 bits). Returns whether the message was delivered:
/// false when no hot key matches or the owner's queue is full (10,000 posted
/// messages), and the press is then lost, as on the device.
PNDSIM_CONTROL_API bool PressKey(unsigned virtualKey, unsigned modifiers = 0);

/// Releases a hardware key (a modifier key is no longer held). Only a hot key
/// registered with MOD_KEYUP reports its release: WM_HOTKEY as for the
/// press, with MOD_KEYUP among the modifiers. Returns whether it was
/// delivered, as PressKey.
PNDSIM_CONTROL_API bool ReleaseKey(unsigned virtualKey, unsigned modifiers = 0);

/// One registered hot key.
struct HotKey {
  std::uintptr_t window;      ///< the owning window; 0 for a hot key of a thread
  int id;                     ///< the identifier it was registered with
  unsigned modifiers;         ///< as registered, MOD_KEYUP included
  unsigned virtualKey;        ///< the key
  std::uint32_t ownerThread;  ///< the thread that owns the window, or the hot key
};

/// The registered hot keys in ascending order of virtual key, then of
/// modifiers (without MOD_KEYUP).
PNDSIM_CONTROL_API std::vector<HotKey> HotKeys();

/// One message box shown through MessageBoxW.
struct MessageBoxRecord {
  std::string caption;  ///< UTF-8
  std::string text;     ///< UTF-8
  unsigned type;        ///< the MB_ flags it was shown with
};

/// The number of message boxes the list keeps after a reset.
inline constexpr std::size_t kDefaultMessageBoxesCapacity = 1000;
/// The message boxes shown since the last reset or ClearMessageBoxes(), in
/// the order shown: the newest, up to the list's capacity.
PNDSIM_CONTROL_API std::vector<MessageBoxRecord> MessageBoxes();
/// Forgets the list and its count of dropped boxes, and gives their memory
/// back.
PNDSIM_CONTROL_API void ClearMessageBoxes();
/// Makes the list keep at most `capacity` boxes until the next reset,
/// forgetting at once (and counting as dropped) the oldest beyond it.
PNDSIM_CONTROL_API void SetMessageBoxesCapacity(std::size_t capacity);
/// How full the list is.
PNDSIM_CONTROL_API RecordStatus MessageBoxesStatus();

/// One live window.
struct WindowInfo {
  std::uintptr_t handle;
  std::string title;          ///< UTF-8
  std::string className;      ///< UTF-8, as registered
  std::uint32_t ownerThread;  ///< the thread that created it
  bool visible;               ///< shown (ShowWindow or WS_VISIBLE)
};

/// The live windows in creation order.
PNDSIM_CONTROL_API std::vector<WindowInfo> Windows();
/// The number of live windows.
PNDSIM_CONTROL_API int WindowCount();

/// Makes `window` the one GetForegroundWindow returns; 0 chooses none. False,
/// with nothing changed, when `window` is not a live window. The choice ends
/// when the window is destroyed and at Reset().
PNDSIM_CONTROL_API bool SetForegroundWindow(std::uintptr_t window);

}  // namespace pndsim
