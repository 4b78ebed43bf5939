// The key map: the key-map operations at every level (the default table,
// grabbing a map's keys as hot keys of the key-event window), and the
// exported functions that read, replace and share key maps.
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

}  // namespace

// Level 0: no key map is grabbed or replaced, and there are no defaults.
bool CHAL::ActivateSharedHardwareKeyMap(KeyMap&) { return false; }
void CHAL::DeactivateSharedHardwareKeyMap(KeyMap&) {}
void CHAL::FillDefaultKeyMap(KeyMap&) {}
bool CHAL::SetKeyMap(KeyMap const&) { return false; }

CHAL::KeyMap CHAL::CopyKeyMap() const {
  std::lock_guard lock(m_keyMapLock);
  return m_keyMap;
}

bool CHALPlatform::ActivateSharedHardwareKeyMap(KeyMap& map) {
  if (map.empty()) {
    MessageBoxW(nullptr, L"No HardwareKeys in Map\n found....EMPTY?!", L"ERROR", MB_OK);
    return false;
  }
  std::lock_guard grab(m_grabLock);
  return GrabKeys(map);
}

void CHALCommon::DeactivateSharedHardwareKeyMap(KeyMap& map) {
  std::lock_guard grab(m_grabLock);
  ReleaseKeys(map);
}

bool CHALCommon::GrabKeys(KeyMap const& map) {
  HWND window = KeyEventWindow();
  // Without the key-event window a null window would grab the keys for the calling thread, whose queue
  // nobody reads as key events: the keys would be lost to every program.
  if (window == nullptr) return false;
  std::bitset<kKeyCodes> grabbedHere;
  for (const auto& entry : map) {
    const unsigned long code = entry.first;
    const UINT modifiers = code >= kFirstKeyUpCode ? MOD_KEYUP : 0;
    // Registering a code this window holds already only confirms it.
    if (RegisterHotKey(window, static_cast<int>(code), modifiers, static_cast<UINT>(code)) == FALSE) {
      for (std::size_t undone = 0; undone < kKeyCodes; ++undone) {
        if (grabbedHere.test(undone)) UnregisterHotKey(window, static_cast<int>(undone));
      }
      m_grabbedKeys &= ~grabbedHere;
      return false;
    }
    if (code < kKeyCodes && !m_grabbedKeys.test(code)) {
      grabbedHere.set(code);
      m_grabbedKeys.set(code);
    }
  }
  return true;
}

void CHALCommon::ReleaseKeys(KeyMap const& map) {
  HWND window = KeyEventWindow();
  if (window == nullptr) return;  // nothing was grabbed, and null would name the calling thread's keys
  for (const auto& entry : map) {
    UnregisterHotKey(window, static_cast<int>(entry.first));
    if (entry.first < kKeyCodes) m_grabbedKeys.reset(entry.first);
    m_bKeyMapGrabbed = m_bKeyMapGrabbed && m_keyMap.find(entry.first) == m_keyMap.end();
  }
}

bool CHALCommon::GrabKeyMap() {
  std::lock_guard grab(m_grabLock);
  // The key map only changes under m_grabLock, which is held: no copy needed.
  m_bKeyMapGrabbed = GrabKeys(m_keyMap);
  return m_bKeyMapGrabbed;
}

void CHALCommon::ReleaseKeyMap() {
  std::lock_guard grab(m_grabLock);
  ReleaseKeys(m_keyMap);
  m_bKeyMapGrabbed = false;
}

bool CHALCommon::SetKeyMap(KeyMap const& map) {
  KeyMap replacement;
  if (!replacement.CopyFrom(map)) return false;
  std::lock_guard grab(m_grabLock);
  if (!GrabKeys(replacement)) return false;
  {
    // A key arriving meanwhile is translated with the old map or the new one,
    // never with a partial map.
    std::lock_guard lock(m_keyMapLock);
    std::swap(m_keyMap, replacement);
  }
  // `replacement` now holds the old map: let go of the keys the new one lacks.
  HWND window = KeyEventWindow();
  for (const auto& entry : replacement) {
    if (m_keyMap.find(entry.first) != m_keyMap.end()) continue;
    UnregisterHotKey(window, static_cast<int>(entry.first));
    if (entry.first < kKeyCodes) m_grabbedKeys.reset(entry.first);
  }
  m_bKeyMapGrabbed = true;
  return true;
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
  HalCall hal;
  return hal && !map.empty() && hal->ActivateSharedHardwareKeyMap(map);
}

void DeactivateSharedHardwareKeyMap(HardwareKeyMap& map) {
  // Only takes something away: never creates a HAL.
  HalCall hal(HalCall::Use::kExisting);
  if (hal && !map.empty()) hal->DeactivateSharedHardwareKeyMap(map);
}

HardwareKeyMap const& GetHardwareKeyMap() {
  static HardwareKeyMap held;
  static std::mutex refreshing;
  std::lock_guard lock(refreshing);
  if (HalCall hal; hal) {
    held = hal->CopyKeyMap();
  } else {
    held.clear();
  }
  return held;
}

bool SetHardwareKeyMap(HardwareKeyMap const& map) {
  HalCall hal;
  return hal && !map.empty() && hal->SetKeyMap(map);
}
