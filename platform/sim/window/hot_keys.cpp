// Hot keys: one owner (a window, or a thread) per combination of virtual key
// and modifiers, and the WM_HOTKEY a key coming down the input road posts to
// its owner.
#include <algorithm>

#include "sim/window/window_system.h"

using namespace sim;
using namespace sim::window;

namespace {

constexpr UINT kKnownModifiers = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN | MOD_KEYUP;
static_assert(pndsim::kModifierAlt == MOD_ALT && pndsim::kModifierControl == MOD_CONTROL &&
                  pndsim::kModifierShift == MOD_SHIFT && pndsim::kModifierWin == MOD_WIN &&
                  pndsim::kModifierKeyUp == MOD_KEYUP,
              "the control API's modifier flags are the platform's");
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

// The window of a hot key or a message: its handle, or "thread" for the thread's own queue.
pndsim::TraceField WindowField(HWND window) {
  if (window == nullptr) return TextField("window", "thread");
  const auto handle = reinterpret_cast<std::uintptr_t>(window);
  return NumberField("window", static_cast<std::int64_t>(handle), Hex(handle));
}

std::vector<pndsim::TraceField> HotKeyFields(HWND window, int id, UINT virtualKey) {
  return {WindowField(window), NumberField("id", id), NumberField("vk", virtualKey, Hex(virtualKey))};
}

// A hot key taken away with its owner: the detail says which owner went.
void RecordOwnerGone(HWND window, int id, UINT virtualKey, const char* cause) {
  std::vector<pndsim::TraceField> fields = HotKeyFields(window, id, virtualKey);
  fields.push_back(TextField("cause", cause));
  Record("hotkey.unregister", std::move(fields), "window={window} id={id} vk={vk} ({cause})");
}

// True when `entry` belongs to the owner a call names: the window, or
// (window null) the calling thread through its queue.
bool OwnedBy(const HotKeyEntry& entry, const std::shared_ptr<Window>& window, const MessageQueue* queue) {
  return window ? entry.window == window : (!entry.window && entry.queue.get() == queue);
}

}  // namespace

bool sim::window::DeliverHotKey(unsigned virtualKey, unsigned modifiers, bool release, DWORD time) {
  WindowSystem& state = State();
  auto it = state.hotKeys.find({virtualKey, modifiers & ~MOD_KEYUP});
  if (it == state.hotKeys.end()) {
    return false;
  }
  const HotKeyEntry& key = it->second;
  if (release && (key.modifiers & MOD_KEYUP) == 0) {
    return false;
  }
  const UINT reported = release ? (key.modifiers | MOD_KEYUP) : (key.modifiers & ~MOD_KEYUP);
  const auto lParam = static_cast<LPARAM>(((virtualKey & 0xFFFFu) << 16) | reported);
  const HWND target = key.window ? key.window->handle : nullptr;
  return key.queue->Post(MSG{target, WM_HOTKEY, static_cast<WPARAM>(key.id), lParam, time, POINT{0, 0}});
}

void sim::window::DropHotKeys(HWND window) {
  std::erase_if(State().hotKeys, [&](const auto& entry) {
    const auto& [combination, key] = entry;
    if (!key.window || key.window->handle != window) {
      return false;
    }
    RecordOwnerGone(window, key.id, combination.first, "window destroyed");
    return true;
  });
}

void sim::window::DropThreadHotKeys(const MessageQueue& queue) {
  std::erase_if(State().hotKeys, [&](const auto& entry) {
    const auto& [combination, key] = entry;
    if (key.window || key.queue.get() != &queue) {
      return false;
    }
    RecordOwnerGone(nullptr, key.id, combination.first, "thread ended");
    return true;
  });
}

BOOL RegisterHotKey(HWND window, int id, UINT modifiers, UINT virtualKey) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  std::shared_ptr<Window> owner = window != nullptr ? LookupWindow(window) : nullptr;
  const KeyCombination combination{virtualKey, modifiers & ~MOD_KEYUP};
  DWORD error = ERROR_SUCCESS;
  if (window != nullptr && !owner) {
    error = ERROR_INVALID_WINDOW_HANDLE;
  } else if ((modifiers & ~kKnownModifiers) != 0 || virtualKey < kLowestKey || virtualKey > kHighestKey) {
    error = ERROR_INVALID_PARAMETER;
  }
  // A failure injected as when another program holds the key.
  if (!BeginCall(pndsim::Call::RegisterHotKey, error, ERROR_HOTKEY_ALREADY_REGISTERED)) {
    return FALSE;
  }
  std::shared_ptr<MessageQueue> queue = owner ? owner->queue : CurrentQueue(self);
  auto taken = state.hotKeys.find(combination);
  if (taken != state.hotKeys.end() &&
      (!OwnedBy(taken->second, owner, queue.get()) || taken->second.id != id)) {
    return FailCall(ERROR_HOTKEY_ALREADY_REGISTERED, FALSE);
  }
  // Registering the same owner and id again replaces key and modifiers.
  std::erase_if(state.hotKeys, [&](const auto& entry) {
    return OwnedBy(entry.second, owner, queue.get()) && entry.second.id == id;
  });
  state.hotKeys[combination] = HotKeyEntry{owner, std::move(queue), id, modifiers};
  std::vector<pndsim::TraceField> fields = HotKeyFields(window, id, virtualKey);
  fields.push_back(NumberField("modifiers", modifiers, DescribeModifiers(modifiers)));
  Record("hotkey.register", std::move(fields));
  return TRUE;
}

BOOL UnregisterHotKey(HWND window, int id) {
  ThreadObject& self = CurrentThread();
  KernelLock lock(KernelMutex());
  WindowSystem& state = State();
  std::shared_ptr<Window> owner = window != nullptr ? LookupWindow(window) : nullptr;
  if (window != nullptr && !owner) {
    return FailCall(ERROR_INVALID_WINDOW_HANDLE, FALSE);
  }
  const MessageQueue* queue = owner ? owner->queue.get() : CurrentQueue(self).get();
  auto it = std::find_if(state.hotKeys.begin(), state.hotKeys.end(), [&](const auto& entry) {
    return OwnedBy(entry.second, owner, queue) && entry.second.id == id;
  });
  if (it == state.hotKeys.end()) {
    return FailCall(ERROR_HOTKEY_NOT_REGISTERED, FALSE);
  }
  Record("hotkey.unregister", HotKeyFields(window, id, it->first.first));
  state.hotKeys.erase(it);
  return TRUE;
}

std::vector<pndsim::HotKey> pndsim::HotKeys() {
  KernelLock lock(KernelMutex());
  std::vector<HotKey> keys;
  for (const auto& [combination, key] : State().hotKeys) {
    keys.push_back({reinterpret_cast<std::uintptr_t>(key.window ? key.window->handle : nullptr), key.id,
                    key.modifiers, combination.first, key.queue->threadId()});
  }
  return keys;
}
