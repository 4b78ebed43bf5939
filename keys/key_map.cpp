// The key map: the default table, grabbing a map's keys as hot keys of the
// key-event window, and the exported functions that read, replace and share
// key maps.
#include <mutex>
#include <span>

#include "hal/hal_levels.h"

namespace {

// Keys from this code on are device keys whose releases are reported too.
constexpr unsigned long kFirstKeyUpCode = 0xC1;

struct KeyEntry {
  unsigned long code;
  eHardwareKey key;
};

// Adds every entry; false when one could not be added for want of memory (or
// was there already).
bool InsertAll(CHAL::KeyMap& map, std::span<const KeyEntry> entries) {
  bool complete = true;
  for (const KeyEntry& entry : entries) complete = map.insert(entry.code, entry.key) && complete;
  return complete;
}

void GrabKey(HWND window, unsigned long code) {
  const UINT modifiers = code >= kFirstKeyUpCode ? MOD_KEYUP : 0;
  RegisterHotKey(window, static_cast<int>(code), modifiers, static_cast<UINT>(code));
}

}  // namespace

bool CHALPlatform::ActivateSharedHardwareKeyMap(KeyMap& map) {
  if (map.empty()) {
    MessageBoxW(nullptr, L"No HardwareKeys in Map\n found....EMPTY?!", L"ERROR", MB_OK);
    return false;
  }
  HWND window = KeyEventWindow();
  // Without the key-event window a null window would grab the keys for the calling thread, whose queue
  // nobody reads as key events: the keys would be lost to every program.
  if (window == nullptr) return false;
  for (const auto& entry : map) GrabKey(window, entry.first);
  return true;
}

void CHALCommon::DeactivateSharedHardwareKeyMap(KeyMap& map) {
  HWND window = KeyEventWindow();
  if (window == nullptr) return;  // nothing was grabbed, and null would name the calling thread's keys
  for (const auto& entry : map) UnregisterHotKey(window, static_cast<int>(entry.first));
}

void CHALCommon::GrabKeyMap() {
  // Registered under the lock rather than from a copy, which could fail.
  std::lock_guard lock(m_keyMapLock);
  HWND window = KeyEventWindow();
  if (window == nullptr) return;  // as ActivateSharedHardwareKeyMap: never grab for this thread
  for (const auto& entry : m_keyMap) GrabKey(window, entry.first);
}

void CHALCommon::ReleaseKeyMap() {
  std::lock_guard lock(m_keyMapLock);
  HWND window = KeyEventWindow();
  for (const auto& entry : m_keyMap) UnregisterHotKey(window, static_cast<int>(entry.first));
}

bool CHALPlatform::FillPlatformDefaults(KeyMap& map) {
  static constexpr KeyEntry kTable[] = {
      {0x0D, eHardwareKeyEnter},   {0x26, eHardwareKeyUp},      {0x28, eHardwareKeyDown},
      {0x25, eHardwareKeyLeft},    {0x27, eHardwareKeyRight},   {0xC4, eHardwareKeyDevice16},
      {0xC3, eHardwareKeyDevice5}, {0xC2, eHardwareKeyDevice7}, {0xC1, eHardwareKeyDevice6},
      {0x75, eHardwareKeyF6},      {0x76, eHardwareKeyF7},      {0xC5, eHardwareKeyDevice8},
  };
  return InsertAll(map, kTable);
}

void CHALPlatform::FillDefaultKeyMap(KeyMap& map) { FillPlatformDefaults(map); }

// The device's extended table. The HAL's construction fills the map with the
// level-3 table above; this one is kept for devices that want it.
void CHALExternApi::FillDefaultKeyMap(KeyMap& map) {
  map.clear();
  static constexpr KeyEntry kTable[] = {
      {0x0D, eHardwareKeyEnter},    {0x26, eHardwareKeyUp},       {0x28, eHardwareKeyDown},
      {0x25, eHardwareKeyLeft},     {0x27, eHardwareKeyRight},    {0xC4, eHardwareKeyDevice16},
      {0xC3, eHardwareKeyDevice5},  {0xC2, eHardwareKeyDevice7},  {0xC1, eHardwareKeyDevice6},
      {0x75, eHardwareKeyF6},       {0x76, eHardwareKeyF7},       {0xC5, eHardwareKeyDevice8},
      {0xC1, eHardwareKeyDevice5},  {0xC2, eHardwareKeyDevice27}, {0xC3, eHardwareKeyDevice25},
      {0xC4, eHardwareKeyDevice26}, {0xC5, eHardwareKeyEnter},    {0xC6, eHardwareKeyDevice24},
      {0x75, eHardwareKeyF6},       {0x76, eHardwareKeyF7},       {0x77, eHardwareKeyF8},
      {0x78, eHardwareKeyDevice16},
  };
  InsertAll(map, kTable);
}

bool ActivateSharedHardwareKeyMap(HardwareKeyMap& map) {
  CHAL* hal = GetHALInstance();
  return hal != nullptr && !map.empty() && hal->ActivateSharedHardwareKeyMap(map);
}

void DeactivateSharedHardwareKeyMap(HardwareKeyMap& map) {
  CHAL* hal = GetHALInstance();
  if (hal != nullptr && !map.empty()) hal->DeactivateSharedHardwareKeyMap(map);
}

HardwareKeyMap const& GetHardwareKeyMap() {
  static HardwareKeyMap held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  if (CHAL* hal = GetHALInstance()) {
    held = hal->CopyKeyMap();
  } else {
    held.clear();
  }
  return held;
}

bool SetHardwareKeyMap(HardwareKeyMap const& map) {
  CHAL* hal = GetHALInstance();
  if (hal == nullptr || map.empty()) return false;
  HardwareKeyMap current = hal->CopyKeyMap();
  hal->DeactivateSharedHardwareKeyMap(current);
  // The new map replaces the old one in one piece: a key arriving meanwhile
  // is translated with either of them, never with a partial map. Without
  // memory for it the old map stays, and its keys are grabbed again.
  if (!hal->ReplaceKeyMap(map)) {
    hal->ActivateSharedHardwareKeyMap(current);
    return false;
  }
  HardwareKeyMap replacement = hal->CopyKeyMap();
  return hal->ActivateSharedHardwareKeyMap(replacement);
}
