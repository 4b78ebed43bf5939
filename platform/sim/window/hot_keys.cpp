// Hot keys: one owning window per virtual key, and the simulated hardware key
// presses and releases that reach their owners as WM_HOTKEY.
#include <algorithm>

#include "window_system.h"

using namespace sim;
using namespace sim::window;

namespace {

constexpr UINT kKnownModifiers = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN | MOD_KEYUP;
constexpr UINT kLowestKey = 0x01;
constexpr UINT kHighestKey = 0xFE;

std::string DescribeModifiers(UINT modifiers) {
  static constexpr struct {
    UINT flag;
    const char* name;
  } kNames[] = {{MOD_ALT, "ALT"},
                {MOD_CONTROL, "CONTROL"},
                {MOD_SHIFT, "SHIFT"},
                {MOD_WIN, "WIN"},
                {MOD_KEYUP, "KEYUP"}};
  std::string text;
  for (const auto& named : kNames) {
    if ((modifiers & named.flag) == 0) {
      continue;
    }
    if (!text.empty()) {
      text += '|';
    }
    text += named.name;
  }
  return text.empty() ? "none" : text;
}

std::string DescribeHotKey(HWND window, int id, UINT virtualKey) {
  return "window=" + Hex(reinterpret_cast<std::uintptr_t>(window)) + " id=" + std::to_string(id) +
         " vk=" + Hex(virtualKey);
}

// Posts the owner's WM_HOTKEY for a key going down or (only for a key
// registered with MOD_KEYUP) up. Returns whether anyone was told.
bool DeliverKey(unsigned virtualKey, bool release) {
  const DWORD time = GetTickCount();
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  auto it = state.hotKeys.find(virtualKey);
  if (it == state.hotKeys.end()) {
    return false;
  }
  const HotKeyEntry& key = it->second;
  if (release && (key.modifiers & MOD_KEYUP) == 0) {
    return false;
  }
  const UINT modifiers = release ? (key.modifiers | MOD_KEYUP) : (key.modifiers & ~MOD_KEYUP);
  const auto lParam = static_cast<LPARAM>(((virtualKey & 0xFFFFu) << 16) | modifiers);
  key.window->queue->Post(
      MSG{key.window->handle, WM_HOTKEY, static_cast<WPARAM>(key.id), lParam, time, POINT{0, 0}});
  return true;
}

}  // namespace

void sim::window::DropHotKeys(HWND window) {
  std::erase_if(State().hotKeys, [&](const auto& entry) {
    const auto& [virtualKey, key] = entry;
    if (key.window->handle != window) {
      return false;
    }
    Record("hotkey.unregister", DescribeHotKey(window, key.id, virtualKey) + " (window destroyed)");
    return true;
  });
}

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  std::shared_ptr<Window> owner = LookupWindow(window);
  DWORD error = ERROR_SUCCESS;
  if (!owner) {
    error = ERROR_INVALID_WINDOW_HANDLE;
  } else if ((modifiers & ~kKnownModifiers) != 0 || virtualKey < kLowestKey || virtualKey > kHighestKey) {
    error = ERROR_INVALID_PARAMETER;
  } else if (ShouldFail(pndsim::Call::RegisterHotKey)) {
    error = ERROR_HOTKEY_ALREADY_REGISTERED;  // as when another program holds the key
  }
  if (error == ERROR_SUCCESS) {
    auto taken = state.hotKeys.find(virtualKey);
    if (taken != state.hotKeys.end() && (taken->second.window != owner || taken->second.id != id)) {
      error = ERROR_HOTKEY_ALREADY_REGISTERED;
    }
  }
  if (error != ERROR_SUCCESS) {
    lock.unlock();
    SetLastError(error);
    return FALSE;
  }
  // Registering the same window and id again moves it to the new key.
  std::erase_if(state.hotKeys,
                [&](const auto& entry) { return entry.second.window == owner && entry.second.id == id; });
  state.hotKeys[virtualKey] = HotKeyEntry{owner, id, modifiers};
  Record("hotkey.register",
         DescribeHotKey(window, id, virtualKey) + " modifiers=" + DescribeModifiers(modifiers));
  return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id) {
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  std::shared_ptr<Window> owner = LookupWindow(window);
  auto it = std::find_if(state.hotKeys.begin(), state.hotKeys.end(), [&](const auto& entry) {
    return owner && entry.second.window == owner && entry.second.id == id;
  });
  if (it == state.hotKeys.end()) {
    lock.unlock();
    SetLastError(owner ? ERROR_HOTKEY_NOT_REGISTERED : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  Record("hotkey.unregister", DescribeHotKey(window, id, it->first));
  state.hotKeys.erase(it);
  return TRUE;
}

bool pndsim::PressKey(unsigned virtualKey) { return DeliverKey(virtualKey, false); }

bool pndsim::ReleaseKey(unsigned virtualKey) { return DeliverKey(virtualKey, true); }

std::vector<pndsim::HotKey> pndsim::HotKeys() {
  KernelLock lock(KernelMutex());
  std::vector<HotKey> keys;
  for (const auto& [virtualKey, key] : State().hotKeys) {
    keys.push_back({reinterpret_cast<std::uintptr_t>(key.window->handle), key.id, key.modifiers, virtualKey,
                    key.window->queue->threadId()});
  }
  return keys;
}
